#include "printing/plugin_job_record.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "imaging/formats/image_format.h"

namespace {

// Smallest page area (mm squared) whose cut-out is sent as fractions.
constexpr double kMinPageAreaForFractions = 0.00001;

uint16_t Clamp16(uint32_t value) { return value > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(value); }

// The record's text field: the text with its terminator, never more than
// the field holds (callers have already made the text fit).
void CopyText(char* field, uint32_t size, const AString& text) {
    const uint32_t n = AStrLength(text) < size ? AStrLength(text) : size - 1;
    if (n) std::memcpy(field, AStrCStr(text), n);
    field[n] = '\0';
}

// The ANSI form only when every character has one of its own: no '?' for
// what the code page lacks, no best-fit look-alike. A UTF-8 code page takes
// neither flag nor default character and refuses only broken text.
bool ToAnsiExactly(const wchar_t* text, std::string& out) {
    out.clear();
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* report = utf8 ? nullptr : &lossy;
    const int n = WideCharToMultiByte(CP_ACP, flags, text, -1, nullptr, 0, nullptr, report);
    if (n <= 0 || lossy) return false;
    out.resize(static_cast<size_t>(n));
    if (WideCharToMultiByte(CP_ACP, flags, text, -1, out.data(), n, nullptr, report) != n || lossy)
        return false;
    out.pop_back();  // the terminator
    return true;
}

bool FitsRecord(const wchar_t* path, std::string& ansi) {
    return ToAnsiExactly(path, ansi) && !ansi.empty() && ansi.size() < kPluginFileNameBytes;
}

struct CutOutEdges {
    double left, top, right, bottom;
};

CutOutEdges MillimetreEdges(const PluginJobContent& content) {
    if (!content.options.cut_out_only) return {0, 0, content.page_size.width, content.page_size.height};
    const RectD& r = content.cut_out;
    return {r.origin.x, r.origin.y, r.origin.x + r.size.width, r.origin.y + r.size.height};
}

CutOutEdges FractionEdges(const PluginJobContent& content) {
    const double width = content.page_size.width, height = content.page_size.height;
    if (!content.options.cut_out_only || !(width * height >= kMinPageAreaForFractions)) return {0, 0, 1, 1};
    const RectD& r = content.cut_out;
    return {r.origin.x / width, r.origin.y / height, (r.origin.x + r.size.width) / width,
            (r.origin.y + r.size.height) / height};
}

// The fields both records share, whatever their offsets.
template <class Record>
void FillCommon(const PluginJobContent& content, Record& record, uint32_t ranges_bytes,
                const CutOutEdges& edges) {
    std::memset(&record, 0, sizeof(record));
    const PluginJobOptions& options = content.options;
    record.document_kind = content.document_kind;
    record.page_count = Clamp16(content.page_count);
    record.copies = Clamp16(content.copies);
    record.fit = options.fit ? 1 : 0;
    record.ratio_numerator = options.fit ? 1 : Clamp16(options.ratio_numerator);
    record.ratio_denominator = options.fit ? 1 : Clamp16(options.ratio_denominator);
    CopyText(record.ranges, ranges_bytes, content.ranges);
    CopyText(record.file_name, kPluginFileNameBytes, content.file_name);
    record.cut_out[0] = edges.left;
    record.cut_out[1] = edges.top;
    record.cut_out[2] = edges.right;
    record.cut_out[3] = edges.bottom;
    record.marker = kPluginJobMarker;
    record.standard_paper = options.fit ? content.standard_paper : 0;
    record.fold = options.fold ? 1 : 0;
    record.cover = options.cover ? 1 : 0;
}

void AppendEntry(std::string& text, uint32_t first, uint32_t last) {
    text += std::to_string(uint64_t(first) + 1);
    if (last != first) text += "-" + std::to_string(uint64_t(last) + 1);
}

}  // namespace

uint32_t PluginDocumentKind(uint32_t format_ordinal) {
    switch (format_ordinal) {
        case kOrdinalTiff:
            return 1;
        case kOrdinalCals:
            return 3;
        case kOrdinalBmp:
            return 5;
        case kOrdinalGif:
            return 8;
        case kOrdinalJpeg:
            return 9;
        default:
            return 0;
    }
}

std::vector<AString> PluginRangeTexts(const std::vector<uint32_t>& page_indices, uint32_t max_chars) {
    std::vector<AString> pieces;
    std::string piece;
    auto flush = [&] {
        if (!piece.empty()) pieces.emplace_back(piece.c_str());
        piece.clear();
    };
    for (size_t i = 0; i < page_indices.size();) {
        size_t end = i + 1;
        while (end < page_indices.size() && page_indices[end - 1] != 0xFFFFFFFFu &&
               page_indices[end] == page_indices[end - 1] + 1)
            ++end;
        std::string entry;
        AppendEntry(entry, page_indices[i], page_indices[end - 1]);
        if (!piece.empty() && piece.size() + 1 + entry.size() > max_chars) flush();
        if (!piece.empty()) piece += ",";
        piece += entry;
        i = end;
    }
    flush();
    return pieces;
}

bool PluginRecordFileName(const WString& path, AString& out) {
    AStrClear(out);
    if (!WStrLength(path)) return false;
    std::string ansi;
    if (!FitsRecord(WStrCStr(path), ansi)) {
        // The short name is pure ASCII and short, where the volume keeps one.
        std::wstring short_path(32768, L'\0');
        const DWORD n =
            GetShortPathNameW(WStrCStr(path), short_path.data(), static_cast<DWORD>(short_path.size()));
        if (n == 0 || n >= short_path.size()) return false;
        short_path.resize(n);
        if (!FitsRecord(short_path.c_str(), ansi)) return false;
    }
    AStrAssignChars(out, ansi.c_str());
    return true;
}

void PluginJobFill5(const PluginJobContent& content, PluginJob5& record) {
    FillCommon(content, record, kPluginRanges5Bytes, MillimetreEdges(content));
    record.collate = content.options.collate ? 1 : 0;
}

void PluginJobFill3(const PluginJobContent& content, PluginJob3& record) {
    FillCommon(content, record, kPluginRanges3Bytes, FractionEdges(content));
}
