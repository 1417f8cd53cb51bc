// The hand-over of a full-page document: the tests' own "IEFrame" windows
// stand for the browser, a DDE peer of the tests' own (or a second control
// of this process) for the running viewer.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/control/page_document.h"
#include "tests/control/test_container.h"
#include "tests/foundation/dde_test_partner.h"
#include "viewer/dde/instance_link.h"

namespace {

using namespace control_test;

constexpr wchar_t kBrowserClass[] = L"IEFrame";
constexpr wchar_t kHostClass[] = L"HandOverTestHost";

std::map<HWND, int>& CloseRequests() {
    static std::map<HWND, int> requests;
    return requests;
}

// A browser frame records WM_CLOSE and stays, so the test can look at it.
LRESULT CALLBACK BrowserProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CLOSE) {
        ++CloseRequests()[window];
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

std::string Narrow(const std::wstring& text) { return Utf8Of(text); }

// The service name of a control with the default file-open mode: this
// process's own.
std::wstring OwnServiceName() { return L"PLX-VAX" + std::to_wstring(GetCurrentProcessId()); }

class HandOverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ASSERT_TRUE(library_.loaded());
        RegisterTestWindowClass(kBrowserClass, BrowserProc);
        RegisterTestWindowClass(kHostClass, DefWindowProcW);
        CloseRequests().clear();
        const std::string dir = MakeScratchDir("control_hand_over");
        document_ = dir + "/plan.bmp";
        ASSERT_TRUE(WriteHostFile(document_, SolidBmp(32, 32, 0, 0, 255)));
    }
    void TearDown() override {
        for (HWND window : windows_) DestroyWindow(window);
        OleUninitialize();
    }

    HWND Browser() {
        HWND window = CreateWindowExW(0, kBrowserClass, L"browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                      640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        windows_.push_back(window);
        return window;
    }
    HWND Host(HWND browser) {
        HWND window =
            CreateWindowExW(0, kHostClass, L"", browser ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW, 0, 0,
                            600, 400, browser, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!browser) windows_.push_back(window);
        return window;
    }

    // Whether a control given the document (or `src`) as SRC in `host`, on
    // `page`, shows it itself.
    bool ShowsItself(HWND host, PageDocument* page = nullptr, std::wstring src = L"", DWORD untrusted = 0) {
        Site site(host);
        site.page = page;
        if (src.empty()) src = FileUrlOf(document_);
        ComPtr<IOleObject> control = ActivateControl(library_, site, host, src, untrusted);
        const bool shown = control && GetWindow(ControlWindow(control.get()), GW_CHILD);
        CloseControl(control);
        return shown;
    }

    bool PeerGotFileOpen(const std::string& log) {
        // The path as SRC gave it, after "file:///".
        const std::string wanted = "execute\tMDI\tFileOpen(\"" + Narrow(FileUrlOf(document_).substr(8));
        for (const std::string& line : LogLines(log)) {
            if (line.compare(0, wanted.size(), wanted) == 0) return true;
        }
        return false;
    }

    ControlLibrary library_;
    std::string document_;
    std::vector<HWND> windows_;
};

TEST_F(HandOverTest, AnotherProcessViewerGetsTheDocumentOnlyPastOneOwnBrowserFrame) {
    const std::string log = MakeScratchDir("control_hand_over_peer") + "/peer.log";
    Partner peer(log, L"-service " + OwnServiceName() + L" -lifetime 60000");
    ASSERT_TRUE(peer.started());
    ASSERT_TRUE(WaitForLogLine(log, "ready"));
    const std::wstring src = FileUrlOf(document_);

    // The control keeps the document, and nothing goes to the peer, when one
    // browser frame is not above one,
    HWND first = Browser();
    EXPECT_TRUE(ShowsItself(Host(first)));
    EXPECT_EQ(CloseRequests()[first], 0);
    // when two frames are, but the control's container is no browser,
    HWND second = Browser();
    EXPECT_TRUE(ShowsItself(Host(nullptr)));
    // and when an HTML page hosts the control: it is no full-page document.
    {
        HWND host = Host(second);
        PageDocument page(L"Text/HTML", L"http://server.example/page.html");
        EXPECT_TRUE(ShowsItself(host, &page));
        EXPECT_EQ(page.references, 0u);
        DestroyWindow(host);
    }
    // as well as when a web page's data are untrusted: the running viewer
    // would open every entry of its list.
    {
        HWND host = Host(second);
        PageDocument page(L"application/octet-stream", L"http://server.example/plans.lst");
        EXPECT_TRUE(
            ShowsItself(host, &page, L"http://127.0.0.1:9/plans.lst", INTERFACESAFE_FOR_UNTRUSTED_DATA));
        DestroyWindow(host);
    }
    EXPECT_EQ(CloseRequests()[second], 0);
    EXPECT_FALSE(PeerGotFileOpen(log));

    // Two frames with the control inside one, on a full-page TIFF's page:
    // the peer opens the document and is activated; the hosting frame is
    // hidden and asked to close.
    {
        HWND host = Host(second);
        PageDocument page(L"image/tiff", L"file:///Z:/plan.tif");
        Site site(host);
        site.page = &page;
        ComPtr<IOleObject> control = ActivateControl(library_, site, host, src);
        ASSERT_TRUE(control);
        const HWND window = ControlWindow(control.get());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);
        EXPECT_TRUE(WaitFor([&] { return CloseRequests()[second] == 1; }));
        EXPECT_FALSE(GetWindowLongW(second, GWL_STYLE) & WS_VISIBLE);
        EXPECT_EQ(CloseRequests()[first], 0);
        // Black text: "could not be loaded".
        EXPECT_GT(CountColour(window, RGB(0, 0, 0)), 20);
        CloseControl(control);
    }
    EXPECT_TRUE(PeerGotFileOpen(log));
    EXPECT_TRUE(LogHas(log, "execute\tMDI\tAppActivate"));

    // The peer ends on "Quit".
    Ref<InstanceLink> link = InstanceLinkConnect(WString(OwnServiceName().c_str()));
    ASSERT_TRUE(link);
    InstanceLinkExecute(link.get(), WString(L"Quit"));
}

// With the default file-open mode the service name holds this process's id,
// so only a second control of this process is a running viewer to hand to:
// then it takes three browser frames.
TEST_F(HandOverTest, SecondControlOfThisProcessNeedsThreeBrowserFrames) {
    HWND plain = Host(nullptr);
    Site first_site(plain);
    ComPtr<IOleObject> first = ActivateControl(library_, first_site, plain, L"");
    ASSERT_TRUE(first);
    const HWND first_frame = GetWindow(ControlWindow(first.get()), GW_CHILD);
    ASSERT_NE(first_frame, nullptr);

    HWND browsers[3] = {Browser(), Browser(), nullptr};
    // Two frames are not above two: the second control shows it itself.
    EXPECT_TRUE(ShowsItself(Host(browsers[1])));
    EXPECT_EQ(CloseRequests()[browsers[1]], 0);
    browsers[2] = Browser();
    EXPECT_FALSE(ShowsItself(Host(browsers[2])));
    EXPECT_TRUE(WaitFor([&] { return CloseRequests()[browsers[2]] == 1; }));
    // The first control opened the document: its view shows the red page.
    EXPECT_TRUE(WaitFor([&] {
        HWND view = FindWindowExW(first_frame, nullptr, L"Plovex50Hauptansicht", nullptr);
        return view && CountColour(view, RGB(255, 0, 0)) > 100;
    })) << "the running control did not show the handed-over document";
    EXPECT_EQ(CloseRequests()[browsers[0]], 0);
    EXPECT_EQ(CloseRequests()[browsers[1]], 0);
    CloseControl(first);
}

// Whether any item of the control's tree has a document source (its
// FileName). Documents get small ids, counted from the tree's root.
bool HasAnyDocument(IPlovexCtrl* control) {
    for (long id = 0; id < 50; ++id) {
        ComPtr<IDocument> document;
        BSTR name = nullptr;
        if (FAILED(control->GetDocument(id, document.Put())) || !document) continue;
        const bool named = SUCCEEDED(document->get_FileName(&name)) && name;
        SysFreeString(name);
        if (named) return true;
    }
    return false;
}

// SRC is the page's choice as well: once the browser has said that the
// page's data are untrusted, a local file opens only for a page that came
// from this machine itself (or with the machine's consent, which the
// object-safety tests cover).
TEST_F(HandOverTest, UntrustedPagesSrcOpensALocalFileOnlyForALocalPage) {
    auto opens = [&](const wchar_t* page_url) {
        HWND host = Host(nullptr);
        PageDocument page(L"text/html", page_url);
        Site site(host);
        site.page = &page;
        ComPtr<IOleObject> control =
            ActivateControl(library_, site, host, FileUrlOf(document_), INTERFACESAFE_FOR_UNTRUSTED_DATA);
        ComPtr<IPlovexCtrl> automation;
        if (control) control->QueryInterface(IID_IPlovexCtrl, automation.PutVoid());
        // The viewer opens SRC as it starts, the list entry at once.
        const bool opened = automation && HasAnyDocument(automation.get());
        automation.Reset();
        CloseControl(control);
        EXPECT_EQ(page.references, 0u);
        return opened;
    };
    EXPECT_FALSE(opens(L"http://server.example/page.html"));
    EXPECT_TRUE(opens(L"file:///Z:/pages/page.html"));
}

}  // namespace
