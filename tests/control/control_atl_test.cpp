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

// Wine's atl.dll and a top-level window holding an "AtlAxWin" window for
// the control's ProgID (the control must be registered).
class AtlHost {
  public:
    AtlHost() {
        atl_.Reset(LoadLibraryW(L"atl.dll"));
        auto init = Entry<AtlAxWinInitFunction>("AtlAxWinInit");
        get_control_ = Entry<AtlAxGetControlFunction>("AtlAxGetControl");
        if (!init || !get_control_) return;
        // False when an earlier case registered the window class already.
        init();
        top = CreateWindowExW(0, L"STATIC", L"atl host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640,
                              480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (top) {
            ax = CreateWindowExW(0, L"AtlAxWin", L"PlovexActiveXCtrl.PlovexCtrl", WS_CHILD | WS_VISIBLE, 0, 0,
                                 600, 400, top, nullptr, GetModuleHandleW(nullptr), nullptr);
        }
    }
    ~AtlHost() { Close(); }
    AtlHost(const AtlHost&) = delete;
    AtlHost& operator=(const AtlHost&) = delete;

    // The hosted control; null without one.
    ComPtr<IUnknown> Control() const {
        ComPtr<IUnknown> control;
        if (ax && get_control_) get_control_(ax, control.Put());
        return control;
    }
    // The container's end, which closes the control.
    void Close() {
        if (top) DestroyWindow(top);
        top = ax = nullptr;
    }

    HWND top = nullptr;
    HWND ax = nullptr;

  private:
    // Through a data pointer: the entry points' types differ from FARPROC's.
    template <class Function>
    Function Entry(const char* name) {
        return atl_ ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(atl_.get(), name)))
                    : nullptr;
    }

    ModuleHandle atl_;
    AtlAxGetControlFunction get_control_ = nullptr;
};

TEST(AtlContainerTest, AtlAxWinHostsTheControlWithTheViewerInside) {
    OleInitialize(nullptr);
    ControlLibrary library;
    ASSERT_TRUE(library.loaded());
    ASSERT_EQ(library.register_server(), S_OK);

    AtlHost host;
    const HWND ax = host.ax;
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
    host.Close();
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
    AtlHost host;
    ComPtr<IUnknown> object = host.Control();
    ASSERT_TRUE(object);
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
    // A served list of the local file, its file URL and the served drawing,
    // and one of those and that list as its last entry: only the web's open.
    const std::string inner =
        "; $PLOVEX-LST\r\n" + Utf8Of(local + L"\r\n" + FileUrlOf(dir + "/local.bmp") + L"\r\n" +
                                     server.Url("/file/served.bmp") + L"\r\n");
    const std::string set = inner + Utf8Of(server.Url("/file/inner.lst"));
    ASSERT_TRUE(WriteHostFile(server.Document("inner.lst"), {inner.begin(), inner.end()}));
    ASSERT_TRUE(WriteHostFile(server.Document("set.lst"), {set.begin(), set.end()}));
    auto list_opens = [&](long entries, long inner_entries) {
        const long id = open(server.Url("/file/set.lst"));
        ComPtr<IDocument> list, last;
        long last_id = -1;
        return WaitForPages(automation.get(), id, entries) &&
               SUCCEEDED(automation->GetDocument(id, list.Put())) &&
               SUCCEEDED(list->GetSubDoc(entries - 1, last.Put())) && last &&
               SUCCEEDED(last->get_ID(&last_id)) && WaitForPages(automation.get(), last_id, inner_entries);
    };
    EXPECT_TRUE(list_opens(2, 1)) << "a served list opened more than the web's entries";
    // The machine allows the local ones.
    ASSERT_TRUE(RegSetString(machine.get(), kAllowUntrustedLocalFilesValue, WString(L"1")));
    const long opened = open(local);
    EXPECT_GE(opened, 0);
    EXPECT_TRUE(WaitForPages(automation.get(), opened, 1)) << "the allowed local drawing did not open";
    EXPECT_TRUE(list_opens(4, 3)) << "an allowed list did not open every entry";
    RegDeleteValue(machine.get(), kAllowUntrustedLocalFilesValue);

    automation.Reset();
    control.Reset();
    safety.Reset();
    object.Reset();
    host.Close();
    EXPECT_EQ(library.unregister_server(), S_OK);
    OleUninitialize();
    server.Stop();
}

}  // namespace
