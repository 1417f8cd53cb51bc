// PlovexCtrl around the viewer: its window, start and shutdown, the
// hand-over to a viewer that runs already, keys, drops and the text shown
// while no viewer runs.
#include <windows.h>
// after windows.h, which they need
#include <mshtml.h>

#include "control/com/bstr.h"
#include "control/com/com_module.h"
#include "control/host_support.h"
#include "control/move_hook.h"
#include "control/plovex_ctrl.h"
#include "foundation/handles.h"
#include "printing/printing_layer.h"
#include "redlining/redline_markups.h"
#include "viewer/app/app_root.h"
#include "viewer/app/document_controller.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/document_open_close.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/open_request.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dde/dde_server.h"
#include "viewer/dde/instance_link.h"

namespace {

constexpr DWORD kControlWindowStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
static_assert(kControlWindowStyle == 0x56000000);
// How many of this process's browser frames are counted at most.
constexpr int32_t kBrowserFrameCountLimit = 3;
constexpr wchar_t kHtmlMimeType[] = L"text/html";

constexpr wchar_t kTextNotStarted[] = L"Plovex ActiveX Control is not started";
constexpr wchar_t kTextDesignMode[] = L"Plovex ActiveX Control in design-mode";
constexpr wchar_t kTextNotLoaded[] = L"Plovex ActiveX Control could not be loaded";

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<PlovexCtrl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!control) return DefWindowProcW(window, message, wparam, lparam);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return control->OnMessage(window, message, wparam, lparam);
}

bool RegisterControlWindowClass() {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(ComModuleInstance(), kControlWindowClass, &existing)) return true;
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    window_class.lpfnWndProc = ControlWindowProc;
    window_class.hInstance = ComModuleInstance();
    window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = kControlWindowClass;
    return RegisterClassExW(&window_class) != 0;
}

// The modifier word of IOleControlSite::TranslateAccelerator.
constexpr DWORD kModifierShift = 1;
constexpr DWORD kModifierControl = 2;
constexpr DWORD kModifierAlt = 4;

DWORD ModifierKeys() {
    DWORD keys = 0;
    if (GetKeyState(VK_SHIFT) < 0) keys |= kModifierShift;
    if (GetKeyState(VK_CONTROL) < 0) keys |= kModifierControl;
    if (GetKeyState(VK_MENU) < 0) keys |= kModifierAlt;
    return keys;
}

bool IsButtonDown(UINT event) {
    return event == WM_LBUTTONDOWN || event == WM_RBUTTONDOWN || event == WM_MBUTTONDOWN ||
           event == WM_XBUTTONDOWN;
}

}  // namespace

bool PlovexCtrl::CreateControlWindow(HWND parent, const RECT& position) {
    if (window_) return true;
    if (!RegisterControlWindowClass()) return false;
    // WM_CREATE starts the viewer; the procedure sets window_ first.
    CreateWindowExW(0, kControlWindowClass, L"", kControlWindowStyle, position.left, position.top,
                    position.right - position.left, position.bottom - position.top, parent, nullptr,
                    ComModuleInstance(), this);
    return window_ != nullptr;
}

LRESULT PlovexCtrl::OnMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_NCCREATE:
            window_ = window;
            break;
        case WM_CREATE:
            ReadAmbientUserMode();
            ControlStart();
            return 0;
        case WM_DESTROY:
            ControlShutdown();
            return 0;
        case WM_NCDESTROY:
            window_ = nullptr;
            break;
        // A windowed control asks for UI activation itself: a browser
        // activates it in place only and offers keys to the object that
        // made itself UI-active. A click in a child reaches this window as
        // WM_PARENTNOTIFY (the top window already active) or as
        // WM_MOUSEACTIVATE (passed up by the child's default handling).
        case WM_MOUSEACTIVATE:
            ActivateUserInterface();
            break;
        case WM_PARENTNOTIFY:
            if (IsButtonDown(LOWORD(wparam))) ActivateUserInterface();
            break;
        case WM_SETFOCUS:
            ActivateUserInterface();
            NotifySiteFocus(true);
            break;
        case WM_KILLFOCUS:
            // The focus that moves on into the viewer stays with the control.
            if (!IsChild(window, reinterpret_cast<HWND>(wparam))) NotifySiteFocus(false);
            break;
        case WM_SIZE: {
            const HWND frame = context_ ? ViewerGetFrameHwnd(context_.get()) : nullptr;
            if (frame) {
                MoveWindow(frame, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
                InvalidateRect(frame, nullptr, TRUE);
            }
            return 0;
        }
        case WM_PAINT: {
            PaintDC paint(window);
            RECT client;
            GetClientRect(window, &client);
            if (paint) Paint(paint.get(), client);
            return 0;
        }
        case WM_PRINTCLIENT: {
            RECT client;
            GetClientRect(window, &client);
            Paint(reinterpret_cast<HDC>(wparam), client);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void PlovexCtrl::Paint(HDC dc, const RECT& bounds) {
    if (state_ == kControlRunning) return;
    Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    SetTextAlign(dc, TA_CENTER | TA_BASELINE);
    const wchar_t* text = state_ == kControlNotStarted   ? kTextNotStarted
                          : state_ == kControlDesignMode ? kTextDesignMode
                                                         : kTextNotLoaded;
    TextOutW(dc, (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2, text, lstrlenW(text));
}

bool PlovexCtrl::ControlStart() {
    if (state_ != kControlNotStarted) return false;
    // Before activation there is no window to hold the viewer: the window's
    // creation starts it.
    if (!window_) return false;
    if (!user_mode_) {
        state_ = kControlDesignMode;
        InvalidateRect(window_, nullptr, TRUE);
        return true;
    }
    if (context_) return false;
    SetWindowLongW(window_, GWL_STYLE, GetWindowLongW(window_, GWL_STYLE) | WS_BORDER);
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);

    PrintingLayerInstall();
    root_ = AppCreate(ComModuleInstance(), nullptr);
    if (!root_) {
        state_ = kControlFailed;
        SetFocus(window_);
        return false;
    }
    AppSetMarkups(root_.get(), RedlineMarkupsCreate().get());

    bool created = false;
    // A caller held to the web keeps its document: the viewer it would go to
    // knows nothing of that limit, and would open a list's every entry.
    if (WStrLength(pending_src_) > 0 && !WebOnly() && !PageIsHtml() && HandOver()) {
        // The browser frame closes; this control shows nothing.
    } else {
        context_ = ViewerContextConstruct(root_.get());
        if (context_ && AppCreateWindow(root_.get(), context_.get(), ComModuleInstance(), window_, true)) {
            created = true;
            const HWND frame = ViewerGetFrameHwnd(context_.get());
            RECT client;
            GetClientRect(window_, &client);
            MoveWindow(frame, 0, 0, client.right, client.bottom, TRUE);
            ShowWindow(frame, SW_SHOW);
        }
        if (WStrLength(pending_src_) > 0) {
            if (created) OpenDocumentText(pending_src_, kOpenCommandLine);
            pending_src_ = WString();
        }
        drop_target_registered_ = SUCCEEDED(RegisterDragDrop(window_, static_cast<IDropTarget*>(this)));
    }
    SetFocus(window_);
    if (created) {
        MoveHookAddWindow(ViewerGetFrameHwnd(context_.get()));
        state_ = kControlRunning;
    } else {
        state_ = kControlFailed;
    }
    InvalidateRect(window_, nullptr, TRUE);
    return created;
}

bool PlovexCtrl::ControlShutdown() {
    // Revoking the drop target may give up the last reference (a container
    // that released the control and then destroyed its window): the
    // control lives until its shutdown is over.
    AddRef();
    StopViewer();
    Release();
    return true;
}

void PlovexCtrl::StopViewer() {
    if (context_) {
        if (const HWND frame = ViewerGetFrameHwnd(context_.get())) MoveHookRemoveWindow(frame);
    }
    // The registration holds a reference to the control, and a second start
    // registers again.
    if (drop_target_registered_) {
        RevokeDragDrop(window_);
        drop_target_registered_ = false;
    }
    if (root_) {
        AppStop(root_.get());
        AppCloseAll(root_.get(), context_.get());
        AppBroadcast(root_.get(), event::kAppEnding);
    }
    if (context_) {
        ViewerReleaseMembers(context_.get());
        context_.Reset();
    }
    if (root_) {
        AppShutdown(root_.get());
        root_.Reset();
    }
    state_ = kControlNotStarted;
    if (window_) InvalidateRect(window_, nullptr, TRUE);
}

bool PlovexCtrl::HandOver() {
    WString service;
    DdeServiceName(AppGetSettings(root_.get()).get(), service);
    Ref<InstanceLink> link = InstanceLinkConnect(service);
    if (!link) return false;
    const int32_t frames = CountOwnBrowserFrames(kBrowserFrameCountLimit);
    uint32_t pid = 0;
    if (!InstanceLinkGetProcessId(link.get(), pid)) pid = 0;
    const int32_t threshold = pid == GetCurrentProcessId() ? 2 : 1;
    // Only a browser's frame is closed: any other container's top window
    // belongs to an application that did not ask for it.
    const HWND browser = FindBrowserFrame(window_);
    if (frames <= threshold || !browser || !InstanceLinkFileOpen(link.get(), pending_src_)) return false;
    InstanceLinkAppActivate(link.get());
    pending_src_ = WString();
    ShowWindow(browser, SW_HIDE);
    PostMessageW(browser, WM_CLOSE, 0, 0);
    return true;
}

HRESULT PlovexCtrl::PageDocument(IDispatch** out) {
    *out = nullptr;
    if (!site_) return E_FAIL;
    ComPtr<IOleContainer> container;
    HRESULT result = site_->GetContainer(container.Put());
    if (FAILED(result) || !container) return E_FAIL;
    return container->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(out));
}

bool PlovexCtrl::PageIsHtml() {
    ComPtr<IDispatch> page;
    if (FAILED(PageDocument(page.Put())) || !page) return false;
    auto* document = static_cast<IHTMLDocument2*>(page.get());
    BSTR mime = nullptr;
    if (FAILED(document->get_mimeType(&mime)) || !mime) return false;
    const bool html = lstrcmpiW(mime, kHtmlMimeType) == 0;
    SysFreeString(mime);
    return html;
}

bool PlovexCtrl::PageUrl(WString& url) {
    ComPtr<IDispatch> page;
    if (FAILED(PageDocument(page.Put())) || !page) return false;
    auto* document = static_cast<IHTMLDocument2*>(page.get());
    BSTR text = nullptr;
    if (FAILED(document->get_URL(&text)) || !text) return false;
    url = WStringFromBstr(text);
    SysFreeString(text);
    return WStrLength(url) > 0;
}

void PlovexCtrl::OpenDocumentText(const WString& text, uint32_t mode) {
    // SRC may have been read before the container said that the page is
    // untrusted: the limit is taken as it stands now.
    if (context_ && ViewerGetController(context_.get()))
        ViewerOpenDocumentEx(context_.get(), text, CallerParams(nullptr).get(), mode);
}

STDMETHODIMP PlovexCtrl::TranslateAccelerator(LPMSG message) {
    if (!message) return E_POINTER;
    ComPtr<IOleControlSite> site;
    if (!site_ || FAILED(site_->QueryInterface(IID_IOleControlSite, site.PutVoid()))) return S_FALSE;
    const HWND frame = root_ ? AppGetFrameHwnd(root_.get()) : nullptr;
    if (!root_ || !context_ || !frame) return S_FALSE;
    const DWORD modifiers = ModifierKeys();
    const HACCEL table = AppGetAccelerators(root_.get());
    auto viewer_translates = [&] { return table && ::TranslateAcceleratorW(frame, table, message) != 0; };
    if (prefer_own_shortcuts_ || properties_loaded_) {
        if (viewer_translates()) return S_OK;
        return site->TranslateAccelerator(message, modifiers);
    }
    const HRESULT answer = site->TranslateAccelerator(message, modifiers);
    if (answer != S_OK && viewer_translates()) return S_OK;
    return answer;
}

STDMETHODIMP PlovexCtrl::DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) {
    if (effect) *effect = DROPEFFECT_MOVE;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::DragOver(DWORD, POINTL, DWORD* effect) {
    if (effect) *effect = DROPEFFECT_MOVE;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::Drop(IDataObject* data, DWORD, POINTL, DWORD*) {
    if (!data) return S_OK;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return S_OK;
    WString files;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) DropFilesReadGlobal(medium.hGlobal, files);
    // The source decides through pUnkForRelease who frees the memory.
    ReleaseStgMedium(&medium);
    if (WStrLength(files) > 0 && context_ && ViewerGetController(context_.get()))
        ViewerOpenDocument(context_.get(), files, nullptr, kOpenInteractive);
    return S_OK;
}
