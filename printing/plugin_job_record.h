// The job records a print plug-in receives, one per document: the 840-byte
// record of PL_Print5 and the 752-byte one of PL_Print3 and PL_CanPrint3,
// laid out byte for byte as the plug-ins read them (little-endian, every
// unnamed byte zero), and the pieces that fill them: the document kind, the
// page-range text and the document's file name in the ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "printing/print_plugin_interface.h"

// A constant that every record carries; its meaning lies with the plug-ins.
inline constexpr uint16_t kPluginJobMarker = 422;
// The standard-paper field of a fitted job whose paper is not a standard one.
inline constexpr int32_t kPluginNoStandardPaper = -1;
inline constexpr uint32_t kPluginFileNameBytes = 256;
inline constexpr uint32_t kPluginRanges5Bytes = 128;
inline constexpr uint32_t kPluginRanges3Bytes = 40;

struct PluginJob5 {
    uint32_t document_kind;
    uint16_t page_count;
    uint16_t copies;
    uint8_t collate;
    uint8_t fit;
    uint16_t ratio_numerator;
    uint16_t ratio_denominator;
    uint8_t reserved_14[6];
    uint32_t reserved_20;
    char ranges[kPluginRanges5Bytes];
    char file_name[kPluginFileNameBytes];
    uint8_t reserved_408[384];
    double cut_out[4];  // left, top, right, bottom in mm
    uint16_t marker;
    uint16_t reserved_826;
    int32_t standard_paper;
    uint8_t fold;
    uint8_t cover;
    uint8_t reserved_834[6];
};

struct PluginJob3 {
    uint32_t document_kind;
    uint16_t page_count;
    uint16_t copies;
    uint8_t fit;
    uint8_t reserved_9;
    uint16_t ratio_numerator;
    uint16_t ratio_denominator;
    uint8_t reserved_14[10];
    char ranges[kPluginRanges3Bytes];
    char file_name[kPluginFileNameBytes];
    uint8_t reserved_320[384];
    double cut_out[4];  // left, top, right, bottom as fractions of the page
    uint16_t marker;
    uint16_t reserved_738;
    int32_t standard_paper;
    uint8_t fold;
    uint8_t cover;
    uint8_t reserved_746[6];
};

static_assert(sizeof(PluginJob5) == PL_JOB5_SIZE);
static_assert(offsetof(PluginJob5, page_count) == 4 && offsetof(PluginJob5, copies) == 6);
static_assert(offsetof(PluginJob5, collate) == 8 && offsetof(PluginJob5, fit) == 9);
static_assert(offsetof(PluginJob5, ratio_numerator) == 10 && offsetof(PluginJob5, ratio_denominator) == 12);
static_assert(offsetof(PluginJob5, ranges) == 24 && offsetof(PluginJob5, file_name) == 152);
static_assert(offsetof(PluginJob5, cut_out) == 792 && offsetof(PluginJob5, marker) == 824);
static_assert(offsetof(PluginJob5, standard_paper) == 828 && offsetof(PluginJob5, fold) == 832);
static_assert(offsetof(PluginJob5, cover) == 833);
static_assert(sizeof(PluginJob3) == PL_JOB3_SIZE);
static_assert(offsetof(PluginJob3, page_count) == 4 && offsetof(PluginJob3, copies) == 6);
static_assert(offsetof(PluginJob3, fit) == 8 && offsetof(PluginJob3, ratio_numerator) == 10);
static_assert(offsetof(PluginJob3, ratio_denominator) == 12 && offsetof(PluginJob3, ranges) == 24);
static_assert(offsetof(PluginJob3, file_name) == 64 && offsetof(PluginJob3, cut_out) == 704);
static_assert(offsetof(PluginJob3, marker) == 736 && offsetof(PluginJob3, standard_paper) == 740);
static_assert(offsetof(PluginJob3, fold) == 744 && offsetof(PluginJob3, cover) == 745);

// What a job takes from the print options.
struct PluginJobOptions {
    bool fit = true;
    bool cut_out_only = true;
    uint32_t ratio_numerator = 1;
    uint32_t ratio_denominator = 1;
    bool collate = true;
    bool fold = false;
    bool cover = false;
};

// What one job record says, before it is laid out in either size.
struct PluginJobContent {
    uint32_t document_kind = 0;
    uint32_t page_count = 0;
    uint32_t copies = 1;
    PluginJobOptions options;
    // The standard index of the current paper, or kPluginNoStandardPaper.
    int32_t standard_paper = kPluginNoStandardPaper;
    AString ranges;
    AString file_name;
    SizeD page_size;  // mm
    RectD cut_out;    // mm
};

// The record's kind of document for a reader's FormatOrdinal: TIFF 1, CALS
// 3, BMP 5, GIF 8, JPEG 9, anything else 0.
uint32_t PluginDocumentKind(uint32_t format_ordinal);

// The 1-based range text of 0-based page indices in their order ("1-3,5,7-8"),
// cut into pieces of at most `max_chars` characters, each a valid range text
// on its own: a piece ends only between two entries, so no page number is
// ever cut short. Together the pieces name exactly the given pages.
std::vector<AString> PluginRangeTexts(const std::vector<uint32_t>& page_indices, uint32_t max_chars);

// The path as the record carries it: the ANSI form when it converts without
// loss and fits in kPluginFileNameBytes - 1 bytes, else the file's short
// (8.3) path when that does. False when neither does.
bool PluginRecordFileName(const WString& path, AString& out);

void PluginJobFill5(const PluginJobContent& content, PluginJob5& record);
void PluginJobFill3(const PluginJobContent& content, PluginJob3& record);
