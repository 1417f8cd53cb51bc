#include "viewer/core/app_texts.h"

#include "resources/text_ids.h"
#include "viewer/core/viewer_context.h"

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
    uint32_t number = 0;
    switch (status) {
        case 1000:
            number = text::kRequestCanceled;
            break;
        case 1001:
            number = text::kAccessError;
            break;
        case 1002:
            number = text::kInvalidFormat;
            break;
        case 1003:
            number = text::kUnsupportedFormat;
            break;
        case 2000:
            number = text::kFileHasErrors;
            break;
        default:
            return false;
    }
    const wchar_t* found = ViewerGetText(context, number);
    if (!found) return false;
    out = found;
    return true;
}
