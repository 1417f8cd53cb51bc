#include "foundation/dll_handle.h"

#include <gtest/gtest.h>
#include <windows.h>

TEST(DllHandleUse, LoadsResolvesAndFrees) {
    DllHandle handle;
    EXPECT_FALSE(DllLoad(handle, WString()));
    EXPECT_EQ(DllGetProc(handle, L"GetTickCount"), nullptr);
    EXPECT_FALSE(DllLoad(handle, L"plx-no-such-module.dll"));
    EXPECT_FALSE(handle.module);

    ASSERT_TRUE(DllLoad(handle, L"version.dll"));
    EXPECT_EQ(reinterpret_cast<FARPROC>(DllGetProc(handle, L"GetFileVersionInfoSizeW")),
              GetProcAddress(GetModuleHandleW(L"version.dll"), "GetFileVersionInfoSizeW"));
    EXPECT_EQ(DllGetProc(handle, L"NoSuchEntryPoint"), nullptr);
    EXPECT_EQ(DllGetProc(handle, WString()), nullptr);
    DllFree(handle);
    EXPECT_FALSE(handle.module);
    EXPECT_EQ(DllGetProc(handle, L"GetFileVersionInfoSizeW"), nullptr);
    DllFree(handle);  // a second free does nothing
}

// The destructor gives the module back: a module loaded only through the
// handle is gone once the handle is.
TEST(DllHandleUse, DestructorFreesTheModule) {
    ASSERT_EQ(GetModuleHandleW(L"msacm32.dll"), nullptr);
    {
        DllHandle handle;
        ASSERT_TRUE(DllLoad(handle, L"msacm32.dll"));
        EXPECT_NE(GetModuleHandleW(L"msacm32.dll"), nullptr);
    }
    EXPECT_EQ(GetModuleHandleW(L"msacm32.dll"), nullptr);
}
