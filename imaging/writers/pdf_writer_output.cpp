// Writing the document: page, catalog, page tree and info bodies, the
// objects, the cross-reference table and the trailer; the file of a document.
#include <cstdio>
#include <cstring>

#include "imaging/writers/pdf_writer.h"

namespace {

constexpr char kHeader[] = "%PDF-1.2\r\n%\xE2\xE3\xCF\xD3\r\n";
constexpr uint64_t kMaxXrefOffset = 9999999999ull;  // ten digits

void ClearBody(PdfObject* object) { object->length = 0; }

bool AppendBuilder(PdfObject* object, const AStrBuilder& text) {
    return PdfObjectAppend(object, StrBuilderData(text), text.length);
}

bool Write(OutStream* stream, const void* bytes, uint32_t n) {
    OutStreamWrite(*stream, bytes, n);
    return !stream->failed;
}

bool WriteText(OutStream* stream, const char* text) { return Write(stream, text, uint32_t(strlen(text))); }

bool FillCatalog(PdfDocument* doc) {
    const auto* first = static_cast<const PdfPage*>(doc->pages.items[0]);
    ClearBody(doc->catalog);
    return PdfObjectPrint(doc->catalog,
                          "<< /Type /Catalog\r\n/Pages %u 0 R\r\n/OpenAction [ %u 0 R /Fit ]\r\n>>\r\n",
                          doc->pages_object->number, first->page_object->number);
}

bool FillPageTree(PdfDocument* doc) {
    PdfObject* object = doc->pages_object;
    ClearBody(object);
    bool ok = PdfObjectAppendText(object, "<< /Type /Pages\r\n/Kids [");
    for (uint32_t i = 0; ok && i < doc->pages.count; ++i) {
        const auto* page = static_cast<const PdfPage*>(doc->pages.items[i]);
        ok = PdfObjectPrint(object, "%u 0 R ", page->page_object->number);
    }
    return ok && PdfObjectPrint(object, "]\r\n/Count %u\r\n>>\r\n", doc->pages.count);
}

bool AppendInfoText(PdfObject* object, const char* key, const AString& text) {
    if (AStrLength(text) == 0) return true;
    AString escaped;
    PdfEscapeString(text, escaped);
    return PdfObjectAppendText(object, key) && PdfObjectAppendText(object, AStrCStr(escaped)) &&
           PdfObjectAppendText(object, ")\r\n");
}

bool FillInfo(PdfDocument* doc) {
    PdfObject* object = doc->info;
    ClearBody(object);
    SYSTEMTIME now;
    GetLocalTime(&now);
    bool ok = PdfObjectPrint(object, "<< /CreationDate (D:%04u%02u%02u%02u%02u%02u)\r\n", now.wYear,
                             now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    ok = ok && AppendInfoText(object, "/Title (", doc->title);
    ok = ok && AppendInfoText(object, "/Subject (", doc->subject);
    ok = ok && AppendInfoText(object, "/Author (", doc->author);
    ok = ok && AppendInfoText(object, "/Creator (", doc->creator);
    return ok && PdfObjectAppendText(object, ">>\r\n");
}

bool WriteObjects(PdfDocument* doc, OutStream* stream, uint64_t start) {
    for (uint32_t i = 0; i < doc->objects.objects.count; ++i) {
        auto* object = static_cast<PdfObject*>(doc->objects.objects.items[i]);
        if (object->written) continue;
        object->offset = OutStreamPosition(*stream) - start;
        char line[32];
        const int n = snprintf(line, sizeof line, "%u 0 obj\r\n", object->number);
        if (!Write(stream, line, uint32_t(n)) || !Write(stream, object->body.data(), object->length) ||
            !WriteText(stream, "endobj\r\n")) {
            return false;
        }
    }
    return true;
}

bool WriteXrefAndTrailer(PdfDocument* doc, OutStream* stream, uint64_t start) {
    const uint64_t xref = OutStreamPosition(*stream) - start;
    const uint32_t count = doc->objects.objects.count;
    char text[200];
    int n = snprintf(text, sizeof text, "xref\r\n0 %u\r\n0000000000 65535 f\r\n", count + 1);
    if (!Write(stream, text, uint32_t(n))) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const auto* object = static_cast<const PdfObject*>(doc->objects.objects.items[i]);
        if (object->offset > kMaxXrefOffset) return false;
        n = snprintf(text, sizeof text, "%010llu 00000 n\r\n",
                     static_cast<unsigned long long>(object->offset));
        if (!Write(stream, text, uint32_t(n))) return false;
    }
    n = snprintf(text, sizeof text,
                 "\r\ntrailer\r\n<< /Size %u\r\n/Root %u 0 R\r\n/Info %u 0 "
                 "R\r\n>>\r\nstartxref\r\n%llu\r\n%%%%EOF\r\n",
                 count + 1, doc->catalog->number, doc->info->number, static_cast<unsigned long long>(xref));
    return Write(stream, text, uint32_t(n));
}

// Whether a whole document can be written: pages, nothing lost, no image
// left half filled.
bool Writable(const PdfDocument* doc) {
    return doc && !doc->failed && !doc->finished && doc->pages.count > 0 && !doc->fill.page;
}

HANDLE CreateTarget(const WString& path) {
    return CreateFileW(WStrCStr(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool CompleteOwnFile(PdfDocument* doc) {
    bool ok = PdfDocumentWrite(doc, doc->file_stream.get());
    doc->finished = true;
    doc->stream = nullptr;
    doc->file_stream.reset();
    ok = doc->file.Close() && ok;
    if (!ok) DeleteFileW(WStrCStr(doc->file_path));
    WStrClear(doc->file_path);
    return ok;
}

}  // namespace

bool PdfPageWrite(PdfPage* page) {
    if (!page || !page->document) return false;
    const PdfDocument* doc = page->document;
    PdfObject* object = page->page_object;
    ClearBody(object);
    bool ok = PdfObjectPrint(
        object,
        "<< /Type /Page\r\n/Parent %u 0 R\r\n/MediaBox [0 0 %d %d]\r\n/Contents %u 0 R\r\n/Rotate "
        "%u\r\n",
        doc->pages_object->number, MmToPdfPoints(page->size.width), MmToPdfPoints(page->size.height),
        page->contents_object->number, page->rotation);
    ok = ok && AppendBuilder(object, page->resources);
    ok = ok && PdfObjectPrint(object, "/Font << %s %u 0 R >>\r\n", doc->font.name, doc->font.object->number);
    if (page->xobjects.length > 0) {
        ok = ok && PdfObjectAppendText(object, "/XObject << ") && AppendBuilder(object, page->xobjects) &&
             PdfObjectAppendText(object, ">>\r\n");
    }
    ok = ok && PdfObjectAppendText(object, ">>\r\n/PZ 1.0\r\n>>\r\n");
    // A page without images still needs its content stream: the page
    // object refers to it.
    PdfObject* contents = page->contents_object;
    ClearBody(contents);
    ok = ok && PdfObjectPrint(contents, "<< /Length %u >>\r\nstream\r\n", page->content.length);
    return ok && AppendBuilder(contents, page->content) && PdfObjectAppendText(contents, "\r\nendstream\r\n");
}

bool PdfDocumentBeginStream(PdfDocument* doc, OutStream* stream) {
    if (!doc || !stream || doc->stream || doc->failed || doc->finished) return false;
    doc->stream_start = OutStreamPosition(*stream);
    if (!Write(stream, kHeader, sizeof kHeader - 1)) return false;
    doc->stream = stream;
    return true;
}

bool PdfDocumentWrite(PdfDocument* doc, OutStream* stream) {
    if (!Writable(doc) || !stream || (doc->stream && doc->stream != stream)) return false;
    uint64_t start = doc->stream_start;
    if (!doc->stream) {
        start = OutStreamPosition(*stream);
        if (!Write(stream, kHeader, sizeof kHeader - 1)) return false;
    }
    // A streaming document cannot be written twice: its images are gone.
    if (doc->stream) doc->finished = true;
    for (uint32_t i = 0; i < doc->pages.count; ++i) {
        if (!PdfPageWrite(static_cast<PdfPage*>(doc->pages.items[i]))) return false;
    }
    if (!FillCatalog(doc) || !FillPageTree(doc) || !FillInfo(doc)) return false;
    if (!WriteObjects(doc, stream, start) || !WriteXrefAndTrailer(doc, stream, start)) return false;
    if (stream->fill > 0) OutStreamFlush(*stream);
    return !stream->failed;
}

bool PdfDocumentStreamToFile(PdfDocument* doc, const WString& path) {
    if (!doc || doc->stream || doc->failed || doc->finished || WStrLength(path) == 0) return false;
    FileHandle file(CreateTarget(path));
    if (!file.valid()) return false;
    doc->file = std::move(file);
    doc->file_path = path;
    doc->file_stream = std::make_unique<FileOutStream>(doc->file.get());
    if (PdfDocumentBeginStream(doc, doc->file_stream.get())) return true;
    doc->file_stream.reset();
    doc->file.Close();
    DeleteFileW(WStrCStr(path));
    WStrClear(doc->file_path);
    return false;
}

bool PdfDocumentSave(PdfDocument* doc, const WString& path) {
    if (!doc || WStrLength(path) == 0) return false;
    if (doc->file_stream) {
        // The name must be the file's own: anything else would leave it behind.
        if (!WStrEquals(path, doc->file_path)) return false;
        return CompleteOwnFile(doc);
    }
    // Refused before the target is touched: an existing file stays.
    if (!Writable(doc) || doc->stream) return false;
    FileHandle file(CreateTarget(path));
    if (!file.valid()) return false;
    bool ok = false;
    {
        FileOutStream stream(file.get());
        ok = PdfDocumentWrite(doc, &stream);
    }
    ok = file.Close() && ok;
    if (!ok) DeleteFileW(WStrCStr(path));
    return ok;
}

AString& PdfEscapeString(const AString& text, AString& out) {
    const char* chars = AStrCStr(text);
    const uint32_t n = AStrLength(text);
    AStrBuilder escaped(n * 2 + 1);
    for (uint32_t i = 0; i < n; ++i) {
        const char c = chars[i];
        const char* code = nullptr;
        switch (c) {
            case '\r':
                code = "\\r";
                break;
            case '\n':
                code = "\\n";
                break;
            case '\t':
                code = "\\t";
                break;
            case '\b':
                code = "\\b";
                break;
            case '\f':
                code = "\\f";
                break;
            case '(':
                code = "\\(";
                break;
            case ')':
                code = "\\)";
                break;
            case '\\':
                code = "\\\\";
                break;
            default:
                break;
        }
        if (code) {
            AStrBuilderAppendN(escaped, code, 2);
        } else {
            AStrBuilderAppendN(escaped, &c, 1);
        }
    }
    return AStrBuilderToString(escaped, out);
}
