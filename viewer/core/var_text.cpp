#include "viewer/core/var_text.h"

#include "foundation/string_builder.h"
#include "viewer/core/variable_list.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"

namespace {

// What ends a placeholder's name: its closing '>', or a character that no
// name holds.
constexpr wchar_t kNameEnds[] = L"<> \r\n\t";
constexpr uint32_t kExpandCapacity = 200;

// The closing '>' of the placeholder that opens at `open`, or -1. `next`
// receives where the search for the next '<' starts: at the character that
// ended the name, so that "<<DATE>" still finds "<DATE>".
int32_t PlaceholderEnd(const WString& text, int32_t open, int32_t& next) {
    const int32_t end = WStrFindAnyOf(text, kNameEnds, uint32_t(open + 1));
    next = end;
    if (end < 0) return -1;
    if (WStrCharAt(text, uint32_t(end)) != L'>' || end == open + 1) return -1;
    return end;
}

bool AppendRange(WStrBuilder& builder, const WString& text, int32_t from, int32_t to) {
    if (to <= from) return true;
    return WStrBuilderAppendN(builder, WStrCStr(text) + from, uint32_t(to - from));
}

// False when the builder could not grow.
bool ExpandInto(WStrBuilder& builder, const WString& text, VariableList* list, ViewerContext* context,
                const VarContext* var_context) {
    int32_t copied = 0;
    int32_t open = WStrFindChar(text, L'<');
    while (open >= 0) {
        int32_t next = -1;
        const int32_t close = PlaceholderEnd(text, open, next);
        if (next < 0) break;
        if (close >= 0) {
            if (!AppendRange(builder, text, copied, open)) return false;
            WString name, value;
            WStrMid(text, uint32_t(open + 1), close - open - 1, name);
            if (Ref<Variable> variable = VarListFind(list, name)) {
                variable->GetValue(value, context, var_context);
                if (!WStrBuilderAppend(builder, value)) return false;
            } else if (!AppendRange(builder, text, open, close + 1)) {
                return false;
            }
            copied = close + 1;
        }
        open = WStrFindChar(text, L'<', uint32_t(next));
    }
    return AppendRange(builder, text, copied, int32_t(WStrLength(text)));
}

}  // namespace

VarContext::VarContext() = default;
VarContext::VarContext(DocItem* document) : document(document) {}
VarContext::~VarContext() = default;

void VarTextInit(VarText& self) {
    WStrClear(self.text);
    self.has_placeholders = false;
}

void VarTextCopy(VarText& self, const VarText& other) {
    self.text = other.text;
    self.has_placeholders = other.has_placeholders;
}

void VarTextSet(VarText& self, const WString& text) {
    self.text = text;
    self.has_placeholders = VarTextScanPlaceholders(self.text);
}

bool VarTextScanPlaceholders(const WString& text) {
    int32_t open = WStrFindChar(text, L'<');
    while (open >= 0) {
        int32_t next = -1;
        if (PlaceholderEnd(text, open, next) >= 0) return true;
        if (next < 0) return false;
        open = WStrFindChar(text, L'<', uint32_t(next));
    }
    return false;
}

WString& VarTextExpand(const VarText& self, ViewerContext* context, const VarContext* var_context,
                       WString& out) {
    const WString text = self.text;  // `out` may be the text itself
    Ref<VariableList> list = self.has_placeholders ? ViewerGetVariableList(context) : nullptr;
    if (!list) return out = text;
    WStrBuilder builder(kExpandCapacity);
    if (!ExpandInto(builder, text, list.get(), context, var_context)) return out = text;
    return WStrBuilderToString(builder, out);
}

void VarContextInit(VarContext& self, DocItem* document) {
    self.document = Ref<DocItem>(document);
    self.page_number = -1;
    self.page_count = -1;
}

void VarContextFree(VarContext& self) { self.document.Reset(); }
