#include "viewer/core/builtin_variables.h"

#include <cstdio>

#include "foundation/data_source.h"
#include "imaging/formats/image_format.h"
#include "resources/text_ids.h"
#include "viewer/core/var_text.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

namespace {

enum class BuiltIn {
    kDate,
    kTime,
    kUserName,
    kDocumentName,
    kFileName,
    kPath,
    kPageNumber,
    kPageCount,
    kPrintPageNumber,
    kPrintPageCount,
};

struct BuiltInRow {
    BuiltIn which;
    const wchar_t* name;
    uint32_t description_text;
};

constexpr BuiltInRow kBuiltIns[] = {
    {BuiltIn::kDate, L"DATE", text::kVariableDate},
    {BuiltIn::kTime, L"TIME", text::kVariableTime},
    {BuiltIn::kUserName, L"USERNAME", text::kVariableUserName},
    {BuiltIn::kDocumentName, L"DOCNAME", text::kVariableDocumentName},
    {BuiltIn::kFileName, L"FILENAME", text::kVariableFileName},
    {BuiltIn::kPath, L"PATH", text::kVariableFilePath},
    {BuiltIn::kPageNumber, L"PGNUMBER", text::kVariablePageNumber},
    {BuiltIn::kPageCount, L"PGCOUNT", text::kVariablePageCount},
    {BuiltIn::kPrintPageNumber, L"PRPGNUMBER", text::kVariablePrintPageNumber},
    {BuiltIn::kPrintPageCount, L"PRPGCOUNT", text::kVariablePrintPageCount},
};

constexpr wchar_t kPathSeparators[] = L"/\\:";
constexpr uint32_t kDateChars = 20;
constexpr uint32_t kUserNameChars = 50;

WString& Decimal(int64_t value, WString& out) {
    wchar_t text[24];
    swprintf(text, 24, L"%lld", static_cast<long long>(value));
    return out = text;
}

WString& UserName(WString& out) {
    wchar_t name[kUserNameChars + 1] = {};
    const DWORD length = GetEnvironmentVariableW(L"USERNAME", name, kUserNameChars + 1);
    // A longer name does not fit and is left out rather than cut.
    if (length == 0 || length > kUserNameChars) return WStrClear(out);
    return out = name;
}

WString& SourcePath(DocItem* document, WString& out) {
    Ref<DocumentSource> source = document->GetSource();
    if (!source) return WStrClear(out);
    return SourceGetPath(source.get(), out);
}

// A document that the load worker copied or downloaded into a temporary
// file has no directory of its own to show.
bool CameThroughTemporaryCopy(DocItem* document) {
    Ref<DocumentSource> source = document->GetSource();
    Ref<DataSource> data = source ? SourceGetData(source.get()) : nullptr;
    if (!data) return false;
    ScopedLock hold(data->lock);
    return data->kind == kDataSourceTempFile;
}

WString& PageCount(DocItem* document, WString& out) {
    Ref<DocumentSource> source = document->GetSource();
    Ref<ImageFormat> format = source ? SourceGetFormat(source.get()) : nullptr;
    if (!format) return WStrClear(out);
    return Decimal(format->PageCount(), out);
}

class BuiltInVariable : public Variable {
  public:
    BuiltInVariable(const BuiltInRow& row, VarClock clock)
        : Variable(WString(row.name), kVariableBuiltIn), row_(row), clock_(clock) {}

    WString& GetDescription(WString& out, ViewerContext* context) override {
        return out = ViewerGetText(context, row_.description_text);
    }

    WString& GetValue(WString& out, ViewerContext* context, const VarContext* var_context) override {
        switch (row_.which) {
            case BuiltIn::kDate:
                return FormatVariableDate(clock_(), ViewerGetLanguage(context), out);
            case BuiltIn::kTime:
                return FormatVariableTime(clock_(), out);
            case BuiltIn::kUserName:
                return UserName(out);
            case BuiltIn::kPrintPageNumber:
                if (!var_context || var_context->page_number < 0) return WStrClear(out);
                return Decimal(int64_t{var_context->page_number} + 1, out);
            case BuiltIn::kPrintPageCount:
                if (!var_context || var_context->page_count < 0) return WStrClear(out);
                return Decimal(var_context->page_count, out);
            default:
                break;
        }
        DocItem* document = var_context ? var_context->document.get() : nullptr;
        if (!document) return WStrClear(out);
        return DocumentValue(document, context, out);
    }

  private:
    WString& DocumentValue(DocItem* document, ViewerContext* context, WString& out) {
        WString path;
        switch (row_.which) {
            case BuiltIn::kDocumentName:
                return DocItemGetDisplayName(document, context, out);
            case BuiltIn::kFileName:
                return VariableFileName(SourcePath(document, path), out);
            case BuiltIn::kPath:
                if (CameThroughTemporaryCopy(document)) return WStrClear(out);
                return VariableDirectory(SourcePath(document, path), out);
            case BuiltIn::kPageNumber: {
                const uint32_t index = document->GetPageIndex();
                if (index == kNoPageIndex) return WStrClear(out);
                return Decimal(int64_t{index} + 1, out);
            }
            case BuiltIn::kPageCount:
                return PageCount(document, out);
            default:
                return WStrClear(out);
        }
    }

    const BuiltInRow& row_;
    const VarClock clock_;
};

}  // namespace

bool AddBuiltInVariables(VariableList* list) {
    const VarClock clock = list->clock ? list->clock : VarLocalClock;
    for (const BuiltInRow& row : kBuiltIns) {
        Ref<Variable> variable = MakeRef<BuiltInVariable>(row, clock);
        if (PtrArrayAdd(list->variables, variable.get()) < 0) return false;
    }
    return true;
}

WString& FormatVariableDate(const SYSTEMTIME& time, uint16_t language, WString& out) {
    wchar_t text[kDateChars + 1] = {};
    if (language == 0) {
        swprintf(text, kDateChars, L"%hd.%hd.%04hd", time.wDay, time.wMonth, time.wYear);
    } else {
        swprintf(text, kDateChars, L"%04hd-%02hd-%02hd", time.wYear, time.wMonth, time.wDay);
    }
    return out = text;
}

WString& FormatVariableTime(const SYSTEMTIME& time, WString& out) {
    wchar_t text[16] = {};
    swprintf(text, 16, L"%hd:%02hd", time.wHour, time.wMinute);
    return out = text;
}

WString& VariableFileName(const WString& path, WString& out) {
    const int32_t last = WStrFindAnyOfReverse(path, kPathSeparators);
    return WStrMid(path, uint32_t(last + 1), -1, out);
}

WString& VariableDirectory(const WString& path, WString& out) {
    const int32_t last = WStrFindAnyOfReverse(path, kPathSeparators);
    if (last < 0) return WStrClear(out);
    return WStrLeft(path, uint32_t(last + 1), out);
}
