#include "viewer/dde/dde_request.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "viewer/core/app_utils.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dde/dde_command_parser.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

namespace {

struct Request {
    ViewerContext* context;
    int32_t count;
    Variant args[kDdeMaxArguments];
    WString texts[kDdeMaxArguments];

    bool HasArg() const { return count > 0 && !DdeArgIsEmpty(args[0]); }
    // The item of the first argument, or the active item without one.
    Ref<DocItem> ItemOrActive() const { return DdeFindItem(context, args[0], texts[0], true); }
    // The item of the first argument; none without one.
    Ref<DocItem> Item() const { return HasArg() ? DdeFindItem(context, args[0], texts[0], false) : nullptr; }
};

void AppendFormatted(AString& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendFormatted(AString& out, const char* format, ...) {
    char text[128];
    va_list arguments;
    va_start(arguments, format);
    const int n = vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    if (n > 0) AStrAppendUpTo(out, text, sizeof(text));
}

void AppendQuoted(AString& out, const WString& text) {
    AString bytes;
    AStrFromWide(bytes, text);
    AStrAppendChars(out, "\"");
    AStrAppendChars(out, AStrCStr(bytes));
    AStrAppendChars(out, "\"");
}

// Millimetres as whole thousandths, rounded half up.
long long Thousandths(double millimetres) {
    return static_cast<long long>(std::floor(millimetres * 1000 + 0.5));
}

bool BuildDate(AString& out) {
    WString date;
    if (!GetBuildDate(date)) return false;
    AString bytes;
    AStrFromWide(bytes, date);
    AStrAppendChars(out, AStrCStr(bytes));
    return true;
}

bool GetVersion(Request&, AString& out) {
    AStrAssignChars(out, "PLOVEX,");
    AStrAppendChars(out, kDdeVersionText);
    AStrAppendChars(out, ",");
    if (!BuildDate(out)) return false;
    AStrAppendChars(out, ",STANDARD");
    return true;
}

bool GetCompileDate(Request&, AString& out) { return BuildDate(out); }

// The main view's client area in screen pixels (the one frame of reference
// a client in another process shares); zeros while there is no main view.
RECT MainViewRect(ViewerContext* context) {
    RECT rect = {0, 0, 0, 0};
    Ref<MainViewWindow> view = FrameGetMainView(ViewerGetFrame(context).get());
    const HWND window = view ? view->window() : nullptr;
    if (!window || !GetClientRect(window, &rect)) return RECT{0, 0, 0, 0};
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool GetWindowInfo(Request& request, AString& out) {
    Ref<DocItem> item;
    if (request.HasArg()) {
        item = request.Item();
        // A document without pages yet still answers with itself.
        if (Ref<DocItem> page = DdePageOf(item.get())) item = page;
    } else {
        item = ViewerGetActiveItem(request.context);
    }
    if (!item) return false;

    WString file_name;
    if (Ref<DocumentSource> source = item->GetSource()) SourceGetFileName(source.get(), file_name);
    WString name;
    DocItemGetName(item.get(), name);
    AppendFormatted(out, "\"%d\", ", DocItemGetId(item.get()));
    AppendQuoted(out, file_name);
    AStrAppendChars(out, ", ");
    AppendQuoted(out, name);
    AStrAppendChars(out, ", 1, 0, 0, ");
    const RECT view = MainViewRect(request.context);
    AppendFormatted(out, "%ld, %ld, %ld, %ld, ", static_cast<long>(view.left), static_cast<long>(view.top),
                    static_cast<long>(view.right - view.left), static_cast<long>(view.bottom - view.top));

    double relative[4] = {0, 0, 0, 0};
    if (Ref<CutOutState> cut_out = item->GetCutOut()) {
        const SizeD page = CutOutGetPageSize(cut_out.get());
        RectD rect;
        CutOutGetRect(cut_out.get(), rect);
        if (page.width > 0 && page.height > 0) {
            relative[0] = rect.origin.x / page.width;
            relative[1] = rect.origin.y / page.height;
            relative[2] = rect.size.width / page.width;
            relative[3] = rect.size.height / page.height;
        }
    }
    for (double value : relative) AppendFormatted(out, "%f, ", value);
    AStrAppendChars(out, "0, 0");
    return true;
}

bool GetActPage(Request& request, AString& out) {
    Ref<DocItem> page;
    if (request.HasArg()) {
        page = DdePageOf(request.Item().get());
    } else {
        Ref<DocItem> active = ViewerGetActiveItem(request.context);
        if (DdeIsPage(active.get())) page = active;
    }
    if (!page) return false;
    AppendFormatted(out, "%u", page->GetPageIndex());
    return true;
}

// The page of the (required) first argument and its cut-out state.
Ref<CutOutState> PageCutOut(Request& request, int32_t& page_id) {
    Ref<DocItem> page = DdePageOf(request.Item().get());
    if (!page) return nullptr;
    page_id = DocItemGetId(page.get());
    return page->GetCutOut();
}

bool GetCutOut(Request& request, AString& out) {
    int32_t page_id = 0;
    Ref<CutOutState> cut_out = PageCutOut(request, page_id);
    if (!cut_out) return false;
    RectD rect;
    CutOutGetRect(cut_out.get(), rect);
    AppendFormatted(out, "\"%d\", %lld, %lld, %lld, %lld, 0, 0", page_id, Thousandths(rect.origin.x),
                    Thousandths(rect.origin.y), Thousandths(rect.size.width), Thousandths(rect.size.height));
    return true;
}

// The page's size where GetCutOut3 has the cut-out: origin 0, 0.
bool GetImageSize(Request& request, AString& out) {
    int32_t page_id = 0;
    Ref<CutOutState> cut_out = PageCutOut(request, page_id);
    if (!cut_out) return false;
    const SizeD page = CutOutGetPageSize(cut_out.get());
    AppendFormatted(out, "\"%d\", 0, 0, %lld, %lld, 0, 0", page_id, Thousandths(page.width),
                    Thousandths(page.height));
    return true;
}

bool GetCutOutStatus(Request&, AString& out) {
    AStrAssignChars(out, "000000");
    return true;
}

bool GetMetricPoint(Request&, AString& out) {
    AStrAssignChars(out, "0, 0, 0, 0");
    return true;
}

bool GetPageCount(Request& request, AString& out) {
    Ref<DocItem> item = request.ItemOrActive();
    if (!item) return false;
    Ref<DocItem> document = DocItemFindDocument(item.get(), request.context);
    if (!document) return false;
    uint32_t pages = 0;
    const uint32_t children = DocItemGetChildCount(document.get());
    for (uint32_t i = 0; i < children; ++i) {
        Ref<DocItem> child = DocItemGetChild(document.get(), i);
        pages += DocItemGetType(child.get()) == doc_type::kPage;
    }
    AppendFormatted(out, "%u", pages);
    return true;
}

bool GetProcessId(Request&, AString& out) {
    AppendFormatted(out, "%lu", static_cast<unsigned long>(GetCurrentProcessId()));
    return true;
}

struct ItemEntry {
    const wchar_t* name;
    bool (*answer)(Request&, AString&);
};

constexpr ItemEntry kItems[] = {
    {L"GetVersion", GetVersion},          {L"GetCompileDate", GetCompileDate},
    {L"GetWindowInfo3", GetWindowInfo},   {L"GetActiveWindow3", GetWindowInfo},
    {L"GetActPage", GetActPage},          {L"GetCutOut3", GetCutOut},
    {L"GetImageSize3", GetImageSize},     {L"GetCutOutStatus3", GetCutOutStatus},
    {L"GetMetricPoint3", GetMetricPoint}, {L"GetPageCount", GetPageCount},
    {L"GetProcessID", GetProcessId},
};

}  // namespace

DdeOutcome DdeAnswerRequest(ViewerContext* context, const WString& text, AString& answer) {
    AStrClear(answer);
    Request request{context, 0, {}, {}};
    WString name;
    request.count = DdeParseCommand(text, name, request.args, kDdeMaxArguments, request.texts);
    if (request.count < 0) return DdeOutcome::kInvalid;
    for (const ItemEntry& entry : kItems) {
        if (!WStrEqualsNoCase(name, entry.name)) continue;
        if (!context || !entry.answer(request, answer)) {
            AStrClear(answer);
            return DdeOutcome::kFailed;
        }
        return DdeOutcome::kDone;
    }
    return DdeOutcome::kUnknown;
}
