#include "redlining/redline_properties.h"

#include <cwchar>

#include "redlining/redline_layer.h"
#include "redlining/redline_property_pages.h"
#include "redlining/redline_view.h"
#include "resources/text_ids.h"
#include "viewer/core/viewer_context.h"

namespace {

constexpr uint32_t kMaxTitleLength = 200;

// The kind of the page that was active when the last sheet closed: the next
// sheet opens on it when it has that page.
int32_t g_start_kind = redline_attribute::kText;

bool AllHold(RedlineObjectList& selection, int32_t kind) {
    const uint32_t count = selection.Count();
    for (uint32_t i = 0; i < count; ++i) {
        Ref<RedlineObject> object = selection.GetAt(i);
        if (!object || !object->GetAttribute(kind)) return false;
    }
    return count > 0;
}

WString SheetTitle(ViewerContext* context, uint32_t count) {
    if (count == 1) return WString(ViewerTextOrEmpty(context, text::kMarkupPropertiesOne));
    // The stored text is never used as a format: its "%d" is replaced.
    WString title(ViewerTextOrEmpty(context, text::kMarkupPropertiesMany));
    wchar_t number[16] = {};
    swprintf(number, 16, L"%u", count);
    WStrReplaceAll(title, L"%d", number, true);
    return WStrTruncate(title, kMaxTitleLength);
}

template <class T>
Ref<T> AttributeOf(RedlineObject* object, int32_t kind) {
    Ref<RedlineAttribute> attribute = object->GetAttribute(kind);
    return attribute ? Ref<T>(static_cast<T*>(attribute.get())) : nullptr;
}

// The first object's attributes of the pages the sheet had.
void Refill(RedlineLastAttributes& record, RedlineObject* first, const int32_t* kinds, uint32_t count) {
    record = RedlineLastAttributes();
    if (!first) return;
    for (uint32_t i = 0; i < count; ++i) {
        switch (kinds[i]) {
            case redline_attribute::kLine:
                record.outline = AttributeOf<LineAttr>(first, kinds[i]);
                break;
            case redline_attribute::kLineEnds:
                record.line_ends = AttributeOf<LineEndsAttr>(first, kinds[i]);
                break;
            case redline_attribute::kFont:
                record.font = AttributeOf<FontAttr>(first, kinds[i]);
                break;
            case redline_attribute::kFill:
                record.filling = AttributeOf<FillAttr>(first, kinds[i]);
                break;
            default:
                break;
        }
    }
}

}  // namespace

uint32_t RedlinePropertyPageKinds(RedlineObjectList& selection, int32_t (&kinds)[5]) {
    uint32_t shown = 0;
    for (const RedlinePageEntry& page : kRedlinePages) {
        if (page.kind == redline_attribute::kText && selection.Count() != 1) continue;
        if (AllHold(selection, page.kind)) kinds[shown++] = page.kind;
    }
    return shown;
}

int32_t RunRedlinePropertiesSheet(RedlineLastAttributes& record, ViewerContext* context,
                                  RedlineObjectList& selection) {
    record = RedlineLastAttributes();
    int32_t kinds[kRedlinePageCount] = {};
    const uint32_t count = RedlinePropertyPageKinds(selection, kinds);
    const HWND frame = ViewerGetFrameHwnd(context);
    if (count == 0) {
        MessageBoxW(frame, ViewerTextOrEmpty(context, text::kMarkupNoCommonAttributes),
                    ViewerTextOrEmpty(context, text::kMarkupMessageCaption), MB_ICONEXCLAMATION);
        return kRedlineSheetNoPage;
    }

    RedlineSheetState sheet;
    sheet.context = context;
    sheet.selection = &selection;
    const HINSTANCE instance = ViewerGetInstance(context);
    PROPSHEETPAGEW pages[kRedlinePageCount];
    UINT start = 0;
    for (uint32_t i = 0; i < count; ++i) {
        for (const RedlinePageEntry& entry : kRedlinePages) {
            if (entry.kind != kinds[i]) continue;
            DlgInitPropPage(pages[i], instance, entry.template_id, ViewerTextOrEmpty(context, entry.title),
                            entry.procedure);
            pages[i].lParam = reinterpret_cast<LPARAM>(static_cast<DlgPageState*>(&sheet));
        }
        if (kinds[i] == g_start_kind) start = i;
    }
    sheet.active_kind = kinds[start];

    const WString title = SheetTitle(context, selection.Count());
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOCONTEXTHELP;
    header.hwndParent = frame;
    header.hInstance = instance;
    header.pszCaption = WStrCStr(title);
    header.nPages = count;
    header.nStartPage = start;
    header.ppsp = pages;
    const INT_PTR result = PropertySheetW(&header);
    g_start_kind = sheet.active_kind;

    // Also after Cancel: the next markup takes what the first object shows.
    Refill(record, selection.GetAt(0).get(), kinds, count);
    return static_cast<int32_t>(result);
}
