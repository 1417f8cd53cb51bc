#include "viewer/core/app_texts.h"

#include "imaging/formats/image_status.h"
#include "resources/text_ids.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"

Ref<AppTextTable> AppTextTableCreate(HMODULE module, uint16_t language) {
    Ref<AppTextTable> texts = MakeRef<AppTextTable>();
    texts->table = TextTableLoad(module, kTextResourceId, kTextResourceType, false, language);
    return texts;
}

const wchar_t* AppTextTableGet(const AppTextTable* texts, uint32_t language, uint32_t number) {
    if (!texts || !texts->table) return nullptr;
    return TextTableGet(texts->table.get(), language, number);
}

void AppTextTableDrop(AppTextTable* texts) {
    if (texts) texts->table.Reset();
}

bool ErrorCodeToText(ViewerContext* context, uint32_t status, WString& out) {
    // The codes the readers and the page render report. A damaged file that
    // still shows (the warning) and one whose data do not decode both get
    // the text about errors in the file.
    struct StatusText {
        int32_t status;
        uint32_t text;
    };
    static constexpr StatusText kTexts[] = {
        {kStatusDamagedButUsable, text::kFileHasErrors}, {kRenderStatusUnreadable, text::kAccessError},
        {kStatusNothingToRender, text::kFileHasErrors},  {kStatusNotRecognised, text::kInvalidFormat},
        {kStatusUnsupported, text::kUnsupportedFormat},  {kStatusBadData, text::kFileHasErrors},
    };
    for (const StatusText& entry : kTexts) {
        if (static_cast<uint32_t>(entry.status) != status) continue;
        const wchar_t* found = ViewerGetText(context, entry.text);
        if (!found) return false;
        out = found;
        return true;
    }
    return false;
}
