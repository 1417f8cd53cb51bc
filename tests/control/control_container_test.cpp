// The tests' own OLE container: a site with the client, in-place and
// control-site interfaces and ambient properties creates the control from
// PLXAC529.dll, activates it in place, gives it SRC through a property bag
// and reads the viewer's windows and pixels.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>
#include <objsafe.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "tests/control/test_container.h"
#include "tests/viewer/core/settings_test_support.h"
#include "viewer/windows/recent_files.h"

namespace {

using namespace control_test;

constexpr wchar_t kHostClass[] = L"ControlContainerTestHost";

// The viewer's frame, subclassed to count the host-moved message.
WNDPROC g_frame_procedure = nullptr;
int g_host_moved = 0;
bool g_marker_seen = false;
constexpr UINT kMarkerMessage = WM_APP + 77;

LRESULT CALLBACK CountingFrameProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP) ++g_host_moved;
    if (message == kMarkerMessage) {
        g_marker_seen = true;
        return 0;
    }
    return CallWindowProcW(g_frame_procedure, window, message, wparam, lparam);
}

class ControlContainerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ASSERT_TRUE(library_.loaded());
        RegisterTestWindowClass(kHostClass, DefWindowProcW);
        host_ = CreateWindowExW(0, kHostClass, L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 600, 500,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override {
        if (host_) DestroyWindow(host_);
        OleUninitialize();
    }

    ControlLibrary library_;
    HWND host_ = nullptr;
};

TEST_F(ControlContainerTest, ActivatedControlShowsItsSrcDocumentAndUnloadsAfterwards) {
    const std::string dir = MakeScratchDir("control_container");
    const std::string file = dir + "/red page+1.bmp";
    ASSERT_TRUE(WriteHostFile(file, SolidBmp(64, 48, 0, 0, 255)));
    std::wstring src = FileUrlOf(file);
    // A blank in an escape, a '+' as it stands.
    const size_t blank = src.find(L' ');
    ASSERT_NE(blank, std::wstring::npos);
    src.replace(blank, 1, L"%20");
    SettingsKeyRedirect redirect("PlovexContainerTest");
    ASSERT_TRUE(redirect.ok());

    Site site(host_);
    Bag bag(src);
    {
        ComPtr<IOleObject> control = library_.CreateControl();
        ASSERT_TRUE(control);
        DWORD status = 0;
        EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
        EXPECT_EQ(status, 131473u);
        ASSERT_EQ(control->SetClientSite(&site), S_OK);
        ComPtr<IPersistPropertyBag> persist;
        ASSERT_EQ(control->QueryInterface(IID_IPersistPropertyBag, persist.PutVoid()), S_OK);
        EXPECT_EQ(persist->InitNew(), S_OK);
        EXPECT_EQ(persist->Load(&bag, nullptr), S_OK);

        // StartUp before activation waits for the window.
        ComPtr<IPlovexCtrl> automation;
        ASSERT_EQ(control->QueryInterface(IID_IPlovexCtrl, automation.PutVoid()), S_OK);
        EXPECT_EQ(automation->StartUp(), S_OK);
        EXPECT_EQ(ControlWindow(control.get()), nullptr);

        RECT rect = {0, 0, 400, 300};
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host_, &rect), S_OK);
        EXPECT_EQ(site.activations, 1);
        const HWND window = ControlWindow(control.get());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetParent(window), host_);
        EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_BORDER);
        const HWND frame = GetWindow(window, GW_CHILD);
        ASSERT_NE(frame, nullptr);
        // The host window itself is never shown here: the style tells.
        EXPECT_TRUE(GetWindowLongW(frame, GWL_STYLE) & WS_VISIBLE);

        HWND view = nullptr;
        EXPECT_TRUE(WaitFor([&] {
            view = FindWindowExW(frame, nullptr, kMainViewClass, nullptr);
            return view && CountColour(view, RGB(255, 0, 0)) > 500;
        })) << "the main view never showed the red page";

        // Moving the container's window tells the viewer's frame, so its
        // floating panes can follow; moving another window does not.
        g_frame_procedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingFrameProc)));
        g_host_moved = 0;
        SetWindowPos(host_, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_TRUE(WaitFor([] { return g_host_moved > 0; }));
        const int moved = g_host_moved;
        HWND other = CreateWindowExW(0, kHostClass, L"other", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowPos(other, nullptr, 70, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        // The hook posts while the move runs: a marker posted afterwards
        // arrives after anything it posted.
        g_marker_seen = false;
        PostMessageW(frame, kMarkerMessage, 0, 0);
        EXPECT_TRUE(WaitFor([] { return g_marker_seen; }));
        EXPECT_EQ(g_host_moved, moved);
        DestroyWindow(other);
        SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_frame_procedure));

        // Keys: the site goes first (no properties flag set yet would be the
        // other order; SRC was loaded, so the viewer's table goes first and
        // the site gets what it does not take).
        ComPtr<IOleInPlaceActiveObject> active;
        ASSERT_EQ(control->QueryInterface(IID_IOleInPlaceActiveObject, active.PutVoid()), S_OK);
        MSG key = {window, WM_KEYDOWN, 'Q', 0, 0, {0, 0}};
        EXPECT_EQ(active->TranslateAccelerator(&key), S_FALSE);
        EXPECT_EQ(site.keys_offered, 1);
        // A key of the viewer's table stays with the viewer.
        MSG next_page = {window, WM_KEYDOWN, VK_NEXT, 0, 0, {0, 0}};
        EXPECT_EQ(active->TranslateAccelerator(&next_page), S_OK);
        EXPECT_EQ(site.keys_offered, 1);

        // A second StartUp while running changes nothing; Shutdown and
        // StartUp restart the viewer in the same window.
        EXPECT_EQ(automation->StartUp(), S_OK);
        EXPECT_EQ(GetWindow(window, GW_CHILD), frame);
        ComPtr<IDropTarget> target;
        ASSERT_EQ(control->QueryInterface(IID_IDropTarget, target.PutVoid()), S_OK);
        EXPECT_EQ(RegisterDragDrop(window, target.get()), DRAGDROP_E_ALREADYREGISTERED);
        EXPECT_EQ(automation->Shutdown(), S_OK);
        EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);
        // Shutdown gave up the drop target (and its reference to the control).
        EXPECT_EQ(RevokeDragDrop(window), DRAGDROP_E_NOTREGISTERED);
        EXPECT_EQ(automation->StartUp(), S_OK);
        EXPECT_NE(GetWindow(window, GW_CHILD), nullptr);
        EXPECT_EQ(RegisterDragDrop(window, target.get()), DRAGDROP_E_ALREADYREGISTERED);
        target.Reset();

        EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(site.deactivations, 1);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
        EXPECT_EQ(library_.can_unload(), S_FALSE);
    }
    EXPECT_EQ(site.references, 0u);
    EXPECT_EQ(bag.references, 0u);
    EXPECT_EQ(library_.can_unload(), S_OK);
    // What a page shows stays out of the desktop program's recent list.
    EXPECT_FALSE(RegOpen(HKEY_CURRENT_USER, kRecentFilesKeyPath, true)) << "the control wrote a recent list";
}

// A container that behaves as a browser: it activates the control in place
// only, and its message loop offers keys only to the object that made
// itself UI-active. A click in the viewer makes the control ask for that,
// so the viewer's own shortcut keys work.
TEST_F(ControlContainerTest, ClickInTheViewerAsksABrowserForTheKeys) {
    const std::string dir = MakeScratchDir("control_browser_keys");
    ASSERT_TRUE(WriteHostFile(dir + "/wide.bmp", SolidBmp(64, 32, 0, 0, 255)));
    Site site(host_);
    ShowWindow(host_, SW_SHOW);
    SetForegroundWindow(host_);
    ComPtr<IOleObject> control = ActivateControl(library_, site, host_, FileUrlOf(dir + "/wide.bmp"));
    ASSERT_TRUE(control);
    ComPtr<IPlovexCtrl> automation;
    ASSERT_EQ(control->QueryInterface(IID_IPlovexCtrl, automation.PutVoid()), S_OK);
    const HWND frame = GetWindow(ControlWindow(control.get()), GW_CHILD);
    ASSERT_NE(frame, nullptr);
    HWND view = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        view = FindWindowExW(frame, nullptr, kMainViewClass, nullptr);
        return view && CountColour(view, RGB(255, 0, 0)) > 100;
    })) << "the main view never showed the page";
    ComPtr<IDocument> page;
    long rotation = -1;
    auto rotation_of_page = [&] {
        long id = -1;
        page.Reset();
        rotation = -1;
        return SUCCEEDED(automation->GetCurrentDocumentID(&id)) &&
               SUCCEEDED(automation->GetDocument(id, page.Put())) && page &&
               SUCCEEDED(page->get_Rotation(&rotation));
    };
    ASSERT_TRUE(rotation_of_page());
    EXPECT_EQ(rotation, 0);

    // The page takes the focus, as when the user clicks elsewhere on it.
    ComPtr<IOleInPlaceObject> in_place;
    ASSERT_EQ(control->QueryInterface(IID_IOleInPlaceObject, in_place.PutVoid()), S_OK);
    in_place->UIDeactivate();
    SetFocus(host_);
    ASSERT_FALSE(site.ui_active);

    // A click in the main view, through the system's input.
    RECT box;
    GetWindowRect(view, &box);
    SetCursorPos((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(SendInput(2, clicks, sizeof(INPUT)), 2u);
    EXPECT_TRUE(WaitFor([&] { return site.ui_active; })) << "the control never asked to be UI-active";
    EXPECT_TRUE(site.has_focus);

    // Ctrl+Right through the browser's loop: the viewer turns the page a
    // quarter to the right (its rotation counts the other way round).
    ComPtr<IOleInPlaceActiveObject> active;
    ASSERT_EQ(control->QueryInterface(IID_IOleInPlaceActiveObject, active.PutVoid()), S_OK);
    BYTE keys[256] = {};
    ASSERT_TRUE(GetKeyboardState(keys));
    keys[VK_CONTROL] = 0x80;
    ASSERT_TRUE(SetKeyboardState(keys));
    const HWND focus = GetFocus();
    ASSERT_NE(focus, nullptr);
    PostMessageW(focus, WM_KEYDOWN, VK_RIGHT, 1);
    EXPECT_TRUE(WaitFor([&] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (site.ui_active && active->TranslateAccelerator(&message) == S_OK) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return rotation_of_page() && rotation == 270;
    })) << "the page did not turn: rotation "
        << rotation;
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);

    page.Reset();
    active.Reset();
    in_place.Reset();
    automation.Reset();
    CloseControl(control);
    EXPECT_EQ(site.references, 0u);
}

TEST_F(ControlContainerTest, DesignModePaintsItsStateText) {
    Site site(host_);
    site.user_mode = false;
    {
        ComPtr<IOleObject> control = ActivateControl(library_, site, host_);
        ASSERT_TRUE(control);
        const HWND window = ControlWindow(control.get());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);
        EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_BORDER);
        // Black text in the middle of a white rectangle.
        EXPECT_GT(CountColour(window, RGB(0, 0, 0)), 20);
        CloseControl(control);
    }
    EXPECT_EQ(site.references, 0u);
}

TEST_F(ControlContainerTest, DropReleasesTheMediumThroughItsSourceAndKeysFollowTheFlags) {
    Site site(host_);
    const std::string dir = MakeScratchDir("control_drop");
    const std::string file = dir + "/dropped.bmp";
    ASSERT_TRUE(WriteHostFile(file, SolidBmp(16, 16, 255, 0, 0)));
    const std::wstring name = WindowsPathOf(file);
    const std::vector<uint8_t> block = DropBlock(name + std::wstring(2, L'\0'));
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, block.size());
    ASSERT_NE(memory, nullptr);
    {
        GlobalLockScope locked(memory);
        std::memcpy(locked.data(), block.data(), block.size());
    }
    DropData data(memory);
    {
        ComPtr<IOleObject> control = ActivateControl(library_, site, host_);
        ASSERT_TRUE(control);
        ComPtr<IDropTarget> target;
        ASSERT_EQ(control->QueryInterface(IID_IDropTarget, target.PutVoid()), S_OK);
        DWORD effect = DROPEFFECT_COPY;
        EXPECT_EQ(target->DragEnter(&data, 0, {0, 0}, &effect), S_OK);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
        effect = DROPEFFECT_COPY;
        EXPECT_EQ(target->Drop(&data, 0, {0, 0}, &effect), S_OK);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
        EXPECT_EQ(data.handed_out, 1);
        // The medium went back to its source, which still owns the memory.
        EXPECT_EQ(data.references, 0u);
        EXPECT_EQ(GlobalSize(memory), block.size());
        const HWND frame = GetWindow(ControlWindow(control.get()), GW_CHILD);
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(WaitFor([&] {
            HWND view = FindWindowExW(frame, nullptr, kMainViewClass, nullptr);
            return view && CountColour(view, RGB(0, 0, 255)) > 100;
        })) << "the dropped file was not shown";
        target.Reset();

        // No properties were loaded: the site sees every key first, and a
        // key it leaves goes to the viewer's table.
        ComPtr<IOleInPlaceActiveObject> active;
        ASSERT_EQ(control->QueryInterface(IID_IOleInPlaceActiveObject, active.PutVoid()), S_OK);
        MSG next_page = {ControlWindow(control.get()), WM_KEYDOWN, VK_NEXT, 0, 0, {0, 0}};
        EXPECT_EQ(active->TranslateAccelerator(&next_page), S_OK);
        EXPECT_EQ(site.keys_offered, 1);
        // Preferring the viewer's shortcuts keeps them from the site.
        ComPtr<IPlovexCtrl> automation;
        ASSERT_EQ(control->QueryInterface(IID_IPlovexCtrl, automation.PutVoid()), S_OK);
        EXPECT_EQ(automation->SetPreferPlovexShortcuts(VARIANT_TRUE), S_OK);
        EXPECT_EQ(active->TranslateAccelerator(&next_page), S_OK);
        EXPECT_EQ(site.keys_offered, 1);
        active.Reset();
        automation.Reset();
        CloseControl(control);
    }
    GlobalFree(memory);
    EXPECT_EQ(site.references, 0u);
}

TEST_F(ControlContainerTest, EventPointsAndSafetyAnswers) {
    // The site speaks IDispatch and counts its references: a sink.
    Site sink(host_);
    {
        ComPtr<IOleObject> control = library_.CreateControl();
        ASSERT_TRUE(control);
        ComPtr<IConnectionPointContainer> points;
        ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, points.PutVoid()), S_OK);
        ComPtr<IConnectionPoint> events;
        ASSERT_EQ(points->FindConnectionPoint(DIID__IPlovexCtrlEvents, events.Put()), S_OK);
        ComPtr<IConnectionPoint> notify;
        EXPECT_EQ(points->FindConnectionPoint(IID_IPropertyNotifySink, notify.Put()), S_OK);
        ComPtr<IConnectionPoint> none;
        EXPECT_EQ(points->FindConnectionPoint(IID_IDropTarget, none.Put()), CONNECT_E_NOCONNECTION);

        // A container that enumerates finds the same two points.
        ComPtr<IEnumConnectionPoints> all;
        ASSERT_EQ(points->EnumConnectionPoints(all.Put()), S_OK);
        ASSERT_TRUE(all);
        IConnectionPoint* found[3] = {};
        ULONG fetched = 0;
        EXPECT_EQ(all->Next(3, found, &fetched), S_FALSE);
        ASSERT_EQ(fetched, 2u);
        EXPECT_EQ(found[0], events.get());
        EXPECT_EQ(found[1], notify.get());
        for (ULONG i = 0; i < fetched; ++i) found[i]->Release();
        all.Reset();

        DWORD first = 0;
        DWORD second = 0;
        IDispatch* dispatch = &sink;
        ASSERT_EQ(events->Advise(dispatch, &first), S_OK);
        ASSERT_EQ(events->Advise(dispatch, &second), S_OK);
        EXPECT_NE(first, second);
        EXPECT_EQ(events->Unadvise(first), S_OK);
        EXPECT_EQ(events->Unadvise(first), CONNECT_E_NOCONNECTION);
        // The second connection is dropped with the control.

        ComPtr<IObjectSafety> safety;
        ASSERT_EQ(control->QueryInterface(IID_IObjectSafety, safety.PutVoid()), S_OK);
        DWORD supported = 0;
        DWORD enabled = 0;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
        EXPECT_EQ(supported, 3u);
        EXPECT_EQ(enabled, 3u);
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 0, 0), S_OK);
    }
    EXPECT_EQ(sink.references, 0u);
    EXPECT_EQ(library_.can_unload(), S_OK);
}

}  // namespace
