#include "control/plovex_ctrl.h"

#include <oleauto.h>

#include <iterator>
#include <utility>

#include "control/com/bstr.h"
#include "control/converter.h"
#include "control/document.h"
#include "control/object_safety.h"
#include "viewer/app/app_root.h"
#include "viewer/app/document_controller.h"
#include "viewer/app/page_navigation.h"
#include "viewer/app/pane_modes.h"
#include "viewer/core/command_line.h"
#include "viewer/core/document_open_close.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/open_request.h"
#include "viewer/core/pane_display_modes.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/export/convert_source.h"
#include "viewer/views/main_view.h"
#include "viewer/views/preview_window.h"
#include "viewer/windows/floating_pane.h"
#include "viewer/windows/frame_window.h"

namespace {

constexpr long kNoDocument = -1;
constexpr long kNoViewMode = -1;
// The views that scripts name by number.
constexpr long kViewMain = 1;
constexpr long kViewPreview = 2;

VARIANT_BOOL Bool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// SetViewMode and GetViewMode: views 1 to 6, each with the highest mode it
// takes, its action and the setting that keeps its mode.
struct ViewEntry {
    SettingsPane pane;
    int32_t highest_mode;
    bool (*show)(ViewerContext* context, int32_t mode, uint32_t kind);
};
constexpr ViewEntry kViews[] = {
    {kPaneMainView, kPaneFloating, ViewerShowZoomView},   {kPanePreview, kPaneFloating, ViewerShowPreview},
    {kPaneNavigation, kPaneDocked, ViewerShowNavigation}, {kPaneStatusBar, kPaneDocked, ViewerShowStatusBar},
    {kPaneToolBar, kPaneDocked, ViewerShowToolbar},       {kPaneMenuBar, kPaneDocked, ViewerShowMenuBar},
};

const ViewEntry* FindView(long view) {
    if (view < 1 || view > static_cast<long>(std::size(kViews))) return nullptr;
    return &kViews[view - 1];
}

// The window of the main view (1) or the preview (2); null when it is not
// made (hidden, or no frame).
HWND ViewWindow(ViewerContext* context, long view) {
    Ref<FrameWindow> frame = ViewerGetFrame(context);
    if (!frame) return nullptr;
    if (view == kViewMain) return frame->main_view ? frame->main_view->window() : nullptr;
    if (view == kViewPreview) return frame->preview ? frame->preview->window() : nullptr;
    return nullptr;
}

// The view's window rectangle relative to the frame's window origin, as
// the floating panes store theirs; all zero when the window is absent.
RectI ViewRect(ViewerContext* context, long view) {
    const HWND window = ViewWindow(context, view);
    const HWND frame = ViewerGetFrameHwnd(context);
    return window && frame ? FloatingPaneRelativeRect(window, frame) : RectI{};
}

// The text of a VARIANT that holds one, by value or by reference (scripts
// pass their variables by reference); false for anything else.
bool VariantText(const VARIANT& value, WString& out) {
    VARIANT direct;
    VariantInit(&direct);
    if (FAILED(VariantCopyInd(&direct, const_cast<VARIANT*>(&value)))) return false;
    const bool is_text = direct.vt == VT_BSTR;
    if (is_text) out = WStringFromBstr(direct.bstrVal);
    VariantClear(&direct);
    return is_text;
}

}  // namespace

const ComInterfaceEntry PlovexCtrl::kInterfaces[] = {
    ComEntry<PlovexCtrl, IPlovexCtrl>(IID_IPlovexCtrl),
    ComEntry<PlovexCtrl, IPlovexCtrl>(IID_IDispatch),
    ComEntry<PlovexCtrl, IProvideClassInfo2>(IID_IProvideClassInfo2),
    ComEntry<PlovexCtrl, IProvideClassInfo2>(IID_IProvideClassInfo),
    ComEntry<PlovexCtrl, IOleObject>(IID_IOleObject),
    ComEntry<PlovexCtrl, IOleInPlaceObject>(IID_IOleInPlaceObject),
    ComEntry<PlovexCtrl, IOleInPlaceObject>(IID_IOleWindow),
    ComEntry<PlovexCtrl, IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject),
    ComEntry<PlovexCtrl, IViewObject2>(IID_IViewObject2),
    ComEntry<PlovexCtrl, IViewObject2>(IID_IViewObject),
    ComEntry<PlovexCtrl, IOleControl>(IID_IOleControl),
    ComEntry<PlovexCtrl, IPersistStreamInit>(IID_IPersistStreamInit),
    ComEntry<PlovexCtrl, IPersistPropertyBag>(IID_IPersistPropertyBag),
    ComEntry<PlovexCtrl, IConnectionPointContainer>(IID_IConnectionPointContainer),
    ComEntry<PlovexCtrl, IObjectSafety>(IID_IObjectSafety),
    ComEntry<PlovexCtrl, IDropTarget>(IID_IDropTarget),
    {},
};

PlovexCtrl::PlovexCtrl()
    : events_point_(this, DIID__IPlovexCtrlEvents), property_point_(this, IID_IPropertyNotifySink) {}

PlovexCtrl::~PlovexCtrl() {
    // A container that released the control without closing it. The count
    // is spent: the shutdown runs without the reference ControlShutdown
    // takes.
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        StopViewer();
        DestroyWindow(window_);
    } else {
        StopViewer();
    }
    events_point_.Clear();
    property_point_.Clear();
}

HRESULT PlovexCtrl::Create(REFIID iid, void** out) { return ComCreate(new PlovexCtrl(), iid, out); }

ViewerContext* PlovexCtrl::RunningContext() const { return root_ ? context_.get() : nullptr; }

long PlovexCtrl::OpenFile(const WString& path, Ref<OpenParams> params) {
    ViewerContext* context = RunningContext();
    if (!context || WStrLength(path) == 0 || !ViewerGetController(context)) return kNoDocument;
    return ViewerOpenDocumentEx(context, path, CallerParams(std::move(params)).get(), kOpenRemote);
}

bool PlovexCtrl::WebOnly() {
    if (!untrusted_page_) return false;
    WString page;
    const bool page_known = PageUrl(page);
    return ObjectSafetyUntrustedWebOnly(page_known ? &page : nullptr);
}

Ref<OpenParams> PlovexCtrl::CallerParams(Ref<OpenParams> params) {
    if (!WebOnly()) return params;
    if (!params) params = OpenParamsCreate();
    OpenParamsSetWebOnly(params.get(), true);
    return params;
}

STDMETHODIMP PlovexCtrl::GetInfo(BSTR pszName, VARIANT vValue, VARIANT* pvResult) {
    if (!pvResult) return E_POINTER;
    VariantInit(pvResult);
    const WString name = WStringFromBstr(pszName);
    WString value;
    const bool has_text = VariantText(vValue, value);
    if (WStrEqualsNoCase(name, L"DO_OPENFILE")) {
        pvResult->vt = VT_I4;
        pvResult->lVal = has_text ? OpenFile(value, nullptr) : kNoDocument;
        return S_OK;
    }
    ViewerContext* context = RunningContext();
    if (!context) return S_OK;
    if (WStrEqualsNoCase(name, L"DO_CLOSEFILE")) {
        // The close action takes -1 as the active document: a name that
        // matches nothing must close nothing.
        Ref<DocItem> item = has_text ? ViewerFindItemByName(context, value) : nullptr;
        if (item) ViewerSendActionArg(context, event::kCloseDocument, VariantOfInt(DocItemGetId(item.get())));
    } else if (WStrEqualsNoCase(name, L"DO_CLOSEALL")) {
        ViewerSendAction(context, event::kCloseAll);
    }
    return S_OK;
}

STDMETHODIMP PlovexCtrl::FileOpen(BSTR pszFilename, BSTR pszAnzeigename, BSTR pszOptionen,
                                  long* plDocumentID) {
    if (!plDocumentID) return E_POINTER;
    *plDocumentID = kNoDocument;
    if (!RunningContext()) return S_OK;
    Ref<OpenParams> params =
        CmdLineOpenParamsFor(WStringFromBstr(pszOptionen), WStringFromBstr(pszAnzeigename));
    *plDocumentID = OpenFile(WStringFromBstr(pszFilename), std::move(params));
    return S_OK;
}

STDMETHODIMP PlovexCtrl::FileCloseAll() {
    ViewerContext* context = RunningContext();
    if (context && ViewerGetController(context)) ViewerCloseAll(context);
    return S_OK;
}

STDMETHODIMP PlovexCtrl::FileClose(long lDocumentID, VARIANT_BOOL* pbResult) {
    ViewerContext* context = RunningContext();
    return ComAnswer(pbResult, Bool(context && ViewerCloseDocument(context, lDocumentID)));
}

STDMETHODIMP PlovexCtrl::SetPage(long lDocumentID, int iPageIndexBase0, VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    *pbResult = VARIANT_FALSE;
    ViewerContext* context = RunningContext();
    if (!context || lDocumentID < 0 || iPageIndexBase0 < 0) return S_OK;
    Ref<DocItem> document = ViewerFindItem(context, lDocumentID);
    Ref<DocItem> page =
        document ? DocItemGetChild(document.get(), static_cast<uint32_t>(iPageIndexBase0)) : nullptr;
    *pbResult = Bool(page && ViewerActivateItem(context, DocItemGetId(page.get())));
    return S_OK;
}

STDMETHODIMP PlovexCtrl::SetRestrictions(long lNewRestrictions, VARIANT_BOOL* pbResult) {
    Ref<Settings> settings = ViewerGetSettings(RunningContext());
    return ComAnswer(
        pbResult, Bool(settings && SettingsAddRestrictions(settings.get(), context_.get(), kCallerAutomation,
                                                           static_cast<uint32_t>(lNewRestrictions))));
}

STDMETHODIMP PlovexCtrl::SetViewMode(long lView, long lMode, VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    *pbResult = VARIANT_FALSE;
    ViewerContext* context = RunningContext();
    const ViewEntry* view = FindView(lView);
    if (!context || !view || lMode < kPaneHidden || lMode > view->highest_mode) return S_OK;
    *pbResult = Bool(view->show(context, static_cast<int32_t>(lMode), kCallerAutomation));
    return S_OK;
}

STDMETHODIMP PlovexCtrl::GetViewMode(long lViewID, long* plMode) {
    Ref<Settings> settings = ViewerGetSettings(RunningContext());
    const ViewEntry* view = FindView(lViewID);
    return ComAnswer(plMode, settings && view
                                 ? static_cast<long>(SettingsGetViewMode(settings.get(), view->pane))
                                 : kNoViewMode);
}

STDMETHODIMP PlovexCtrl::SetViewRect(long lViewID, long lLeft, long lTop, long lWidth, long lHeight,
                                     VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    *pbResult = VARIANT_FALSE;
    ViewerContext* context = RunningContext();
    if (!context || lWidth < kFloatingPaneMinSide || lHeight < kFloatingPaneMinSide) return S_OK;
    const HWND window = ViewWindow(context, lViewID);
    const HWND frame = ViewerGetFrameHwnd(context);
    if (!window || !frame) return S_OK;
    const RectI screen = FloatingPaneScreenRect(frame, RectI{{lWidth, lHeight}, {lLeft, lTop}});
    POINT origin = {screen.origin.x, screen.origin.y};
    // A docked view is a child of the frame and is placed in its parent's
    // client coordinates.
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD)
        MapWindowPoints(HWND_DESKTOP, GetParent(window), &origin, 1);
    *pbResult = Bool(SetWindowPos(window, nullptr, origin.x, origin.y, lWidth, lHeight,
                                  SWP_NOZORDER | SWP_NOACTIVATE) != FALSE);
    return S_OK;
}

STDMETHODIMP PlovexCtrl::GetViewPosX(long lViewID, long* plPos) {
    return ComAnswer(plPos, static_cast<long>(ViewRect(RunningContext(), lViewID).origin.x));
}

STDMETHODIMP PlovexCtrl::GetViewPosY(long lViewID, long* plPos) {
    return ComAnswer(plPos, static_cast<long>(ViewRect(RunningContext(), lViewID).origin.y));
}

STDMETHODIMP PlovexCtrl::GetViewWidth(long lViewID, long* plWidth) {
    return ComAnswer(plWidth, static_cast<long>(ViewRect(RunningContext(), lViewID).size.width));
}

STDMETHODIMP PlovexCtrl::GetViewHeight(long lViewID, long* plHeight) {
    return ComAnswer(plHeight, static_cast<long>(ViewRect(RunningContext(), lViewID).size.height));
}

STDMETHODIMP PlovexCtrl::SetPopupsAreMoveable(VARIANT_BOOL vbMoveable, VARIANT_BOOL* pbResult) {
    ViewerContext* context = RunningContext();
    return ComAnswer(pbResult, Bool(context && ViewerSetPopupsMoveable(context, vbMoveable != VARIANT_FALSE,
                                                                       kCallerAutomation)));
}

STDMETHODIMP PlovexCtrl::SetMovePopupsWithMainWindow(VARIANT_BOOL vbMoveWithMainWindow,
                                                     VARIANT_BOOL* pbResult) {
    ViewerContext* context = RunningContext();
    return ComAnswer(
        pbResult, Bool(context && ViewerSetPopupsMoveWithMain(context, vbMoveWithMainWindow != VARIANT_FALSE,
                                                              kCallerAutomation)));
}

STDMETHODIMP PlovexCtrl::GetCurrentDocumentID(long* plDokID) {
    ViewerContext* context = RunningContext();
    return ComAnswer(plDokID, context ? static_cast<long>(ViewerGetActiveItemId(context)) : kNoDocument);
}

STDMETHODIMP PlovexCtrl::GetDocument(long lDocumentID, IDocument** ppDocument) {
    if (!ppDocument) return E_POINTER;
    *ppDocument = nullptr;
    ViewerContext* context = RunningContext();
    if (!context || lDocumentID < 0) return S_OK;
    Ref<DocItem> item = ViewerFindItem(context, lDocumentID);
    if (!item) return S_OK;
    return DocumentCreateBound(context, item.get(), ppDocument);
}

STDMETHODIMP PlovexCtrl::SetPreferPlovexShortcuts(VARIANT_BOOL bPreferPlovex) {
    prefer_own_shortcuts_ = bPreferPlovex != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::Shutdown() {
    ControlShutdown();
    return S_OK;
}

STDMETHODIMP PlovexCtrl::StartUp() {
    ControlStart();
    return S_OK;
}

STDMETHODIMP PlovexCtrl::ConvertDoc(BSTR pszFilename, IConverter** pConverter) {
    if (!pConverter) return E_POINTER;
    *pConverter = nullptr;
    const WString path = WStringFromBstr(pszFilename);
    if (WStrLength(path) == 0) return E_INVALIDARG;
    ViewerContext* context = RunningContext();
    if (!context) return S_OK;
    // Bounded: a document that does not load in time gives no converter
    // rather than a page whose thread never returns.
    Ref<DocumentSource> source = ConvertLoadSource(context, path, CallerParams(nullptr).get());
    if (!source) return S_OK;
    ConverterCreateBound(context, source.get(), nullptr, 0, pConverter);
    return S_OK;
}
