// Wine's atl.dll as a second, independent container: an "AtlAxWin" window
// with the control's ProgID as its text creates the registered control and
// activates it in place; the viewer's frame appears inside it. Told that its
// caller is untrusted, as a browser tells it, the control opens what the
// web serves and leaves the user's files alone.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>
#include <objsafe.h>

#include "control/object_safety.h"
#include "foundation/registry.h"
#include "tests/control/test_container.h"
#include "tests/viewer/documents/download_server.h"
#include "viewer/core/settings.h"

namespace {

using namespace control_test;

using AtlAxWinInitFunction = BOOL(WINAPI*)();
using AtlAxGetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);

constexpr wchar_t kFrameClass[] = L"Plovex5";

// The first descendant of `window` of the class, or null.
HWND FindDescendant(HWND window, const wchar_t* class_name) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (lstrcmpiW(name, class_name) == 0) return child;
        if (HWND deeper = FindDescendant(child, class_name)) return deeper;
    }
    return nullptr;
}

TEST(AtlContainerTest, AtlAxWinHostsTheControlWithTheViewerInside) {
    OleInitialize(nullptr);
    ControlLibrary library;
    ASSERT_TRUE(library.loaded());
    ASSERT_EQ(library.register_server(), S_OK);

    ModuleHandle atl(LoadLibraryW(L"atl.dll"));
    ASSERT_TRUE(atl);
    auto init = reinterpret_cast<AtlAxWinInitFunction>(
        reinterpret_cast<void*>(GetProcAddress(atl.get(), "AtlAxWinInit")));
    ASSERT_NE(init, nullptr);
    ASSERT_TRUE(init());

    HWND top = CreateWindowExW(0, L"STATIC", L"atl host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640,
                               480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(top, nullptr);
    HWND ax = CreateWindowExW(0, L"AtlAxWin", L"PlovexActiveXCtrl.PlovexCtrl", WS_CHILD | WS_VISIBLE, 0, 0,
                              600, 400, top, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(ax, nullptr);
    HWND frame = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (frame = FindDescendant(ax, kFrameClass)) != nullptr; }))
        << "no viewer frame inside the AtlAxWin window";
    if (frame) {
        // The frame is the child of the control's window, which is the
        // container's child.
        const HWND control_window = GetParent(frame);
        EXPECT_EQ(GetParent(control_window), ax);
        EXPECT_TRUE(GetWindowLongW(frame, GWL_STYLE) & WS_CHILD);
    }
    DestroyWindow(top);
    // The container's end closed the control and stopped its viewer.
    EXPECT_FALSE(frame && IsWindow(frame));
    // The other control tests find the registry as they left it.
    EXPECT_EQ(library.unregister_server(), S_OK);
    OleUninitialize();
}

TEST(AtlContainerTest, AnUntrustedCallerOpensOnlyWhatTheWebServes) {
    DownloadServer server;
    ASSERT_TRUE(server.Start("control_atl_untrusted")) << "the tests' HTTP server did not start";
    ASSERT_TRUE(WriteHostFile(server.Document("served.bmp"), SolidBmp(24, 16, 0, 255, 0)));
    const std::string dir = MakeScratchDir("control_atl_untrusted");
    ASSERT_TRUE(WriteHostFile(dir + "/local.bmp", SolidBmp(24, 16, 0, 0, 255)));
    const std::wstring local = WindowsPathOf(dir + "/local.bmp");
    OleInitialize(nullptr);
    ControlLibrary library;
    ASSERT_TRUE(library.loaded());
    ASSERT_EQ(library.register_server(), S_OK);
    ModuleHandle atl(LoadLibraryW(L"atl.dll"));
    ASSERT_TRUE(atl);
    auto init = reinterpret_cast<AtlAxWinInitFunction>(
        reinterpret_cast<void*>(GetProcAddress(atl.get(), "AtlAxWinInit")));
    auto get_control = reinterpret_cast<AtlAxGetControlFunction>(
        reinterpret_cast<void*>(GetProcAddress(atl.get(), "AtlAxGetControl")));
    ASSERT_TRUE(init && get_control);
    // False when an earlier case registered the window class already.
    init();
    HWND top = CreateWindowExW(0, L"STATIC", L"atl host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640,
                               480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND ax = CreateWindowExW(0, L"AtlAxWin", L"PlovexActiveXCtrl.PlovexCtrl", WS_CHILD | WS_VISIBLE, 0, 0,
                              600, 400, top, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(ax, nullptr);
    ComPtr<IUnknown> object;
    ASSERT_EQ(get_control(ax, object.Put()), S_OK);
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(object->QueryInterface(IID_IObjectSafety, safety.PutVoid()), S_OK);
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                INTERFACESAFE_FOR_UNTRUSTED_CALLER),
              S_OK);
    ComPtr<IDispatch> control;
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, control.PutVoid()), S_OK);
    RegKey machine = RegOpen(HKEY_LOCAL_MACHINE, kSettingsKeyPath, false);
    ASSERT_TRUE(machine);
    RegDeleteValue(machine.get(), kAllowUntrustedLocalFilesValue);
    auto open = [&](const std::wstring& name) {
        const VARIANT id = Call(control.get(), L"FileOpen", {Text(name), Text(L""), Text(L"")});
        return id.vt == VT_I4 ? id.lVal : -2;
    };

    // A local path, a UNC path and a file URL: refused by every opening member.
    for (const std::wstring& name :
         {local, std::wstring(L"\\\\127.0.0.1\\share\\plan.tif"), FileUrlOf(dir + "/local.bmp")}) {
        EXPECT_EQ(open(name), -1) << Utf8Of(name);
        VARIANT info = Call(control.get(), L"GetInfo", {Text(L"DO_OPENFILE"), Text(name)});
        EXPECT_EQ(info.vt, VT_I4);
        EXPECT_EQ(info.lVal, -1) << Utf8Of(name);
        VARIANT converter = Call(control.get(), L"ConvertDoc", {Text(name)});
        EXPECT_TRUE(IsNothing(converter)) << Utf8Of(name);
        VariantClear(&converter);
    }
    // The web's drawing opens and shows its page.
    const long served = open(server.Url("/file/served.bmp"));
    EXPECT_GE(served, 0);
    ComPtr<IPlovexCtrl> automation;
    ASSERT_EQ(object->QueryInterface(IID_IPlovexCtrl, automation.PutVoid()), S_OK);
    EXPECT_TRUE(WaitForPages(automation.get(), served, 1)) << "the served drawing did not open";
    // The machine allows the local ones.
    ASSERT_TRUE(RegSetString(machine.get(), kAllowUntrustedLocalFilesValue, WString(L"1")));
    const long opened = open(local);
    EXPECT_GE(opened, 0);
    EXPECT_TRUE(WaitForPages(automation.get(), opened, 1)) << "the allowed local drawing did not open";
    RegDeleteValue(machine.get(), kAllowUntrustedLocalFilesValue);

    automation.Reset();
    control.Reset();
    safety.Reset();
    object.Reset();
    DestroyWindow(top);
    EXPECT_EQ(library.unregister_server(), S_OK);
    OleUninitialize();
    server.Stop();
}

}  // namespace
