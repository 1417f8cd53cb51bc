#include "viewer/dialogs/property_texts.h"

#include <cmath>
#include <cstdio>

#include "foundation/geometry.h"
#include "foundation/string_builder.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_directory.h"
#include "resources/text_ids.h"
#include "viewer/core/length_text.h"
#include "viewer/core/number_format.h"
#include "viewer/core/open_params.h"
#include "viewer/core/scale.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/tiff_tag_names.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

namespace {

constexpr wchar_t kUnknown[] = L"???";
constexpr int32_t kDefaultLengthUnit = kLengthMetric;
constexpr uint32_t kValueCountChars = 30;
constexpr uint32_t kNumberChars = 20;

WString& AppendText(WString& out, ViewerContext* context, uint32_t text_id) {
    return WStrAppendChars(out, ViewerGetText(context, text_id));
}

WString& Text(ViewerContext* context, uint32_t text_id, WString& out) {
    return out = ViewerGetText(context, text_id);
}

// "first x second unit".
WString& Pair(uint32_t first, uint32_t second, ViewerContext* context, uint32_t unit_text, WString& out) {
    wchar_t text[48];
    swprintf(text, 48, L"%lu x %lu ", static_cast<unsigned long>(first), static_cast<unsigned long>(second));
    out = text;
    return AppendText(out, context, unit_text);
}

WString& PhysicalSize(ViewerContext* context, const ImagePage* page, WString& out) {
    Ref<Settings> settings = ViewerGetSettings(context);
    const int32_t unit = settings ? SettingsGetLengthUnit(settings.get()) : kDefaultLengthUnit;
    WStrBuilder builder(64);
    if (!FormatLengthInUnit(context, std::fabs(page->WidthMm()), unit, builder) ||
        !WStrBuilderAppendChars(builder, L" x ") ||
        !FormatLengthInUnit(context, std::fabs(page->HeightMm()), unit, builder)) {
        return out = kUnknown;
    }
    return WStrBuilderToString(builder, out);
}

WString& DocumentScale(ViewerContext* context, DocItem* document, WString& out) {
    Ref<OpenParams> params = document ? document->GetOpenParams() : nullptr;
    Ref<Scale> scale = OpenParamsGetScale(params.get());
    if (!scale) return Text(context, text::kPropertyUnknownScale, out);
    return FormatScale(scale.get(), out);
}

WString& FormatName(ViewerContext* context, DocItem* document, WString& out) {
    Ref<DocumentSource> source = document ? document->GetSource() : nullptr;
    Ref<ImageFormat> format = source ? SourceGetFormat(source.get()) : nullptr;
    FormatInfo info;
    if (!format || !format->GetInfo(&info) || WStrLength(info.format_name) == 0) {
        return Text(context, text::kNotSpecified, out);
    }
    return out = info.format_name;
}

WString& Number(uint32_t value, WString& out) {
    wchar_t text[16];
    swprintf(text, 16, L"%lu", static_cast<unsigned long>(value));
    return out = text;
}

bool IsIntegerType(uint16_t type) {
    return type == kTiffByte || type == kTiffShort || type == kTiffLong || type == kTiffSByte ||
           type == kTiffSShort || type == kTiffSLong;
}

bool IsRealType(uint16_t type) {
    return type == kTiffRational || type == kTiffSRational || type == kTiffFloat || type == kTiffDouble;
}

}  // namespace

WString& FormatFileSizeText(ViewerContext* context, uint64_t size, WString& out) {
    if (size == ~uint64_t(0) || size > uint64_t(INT64_MAX)) return out = kUnknown;
    FormatThousands(int64_t(size), out);
    WStrAppendChar(out, L' ');
    return AppendText(out, context, text::kByte);
}

WString& FormatFileTimeText(const DateTime& time, WString& out) {
    wchar_t text[kDateTimeTextChars] = {};
    DateTimeFormat(time, text, 1, false);
    return out = text[0] ? text : kUnknown;
}

uint32_t CompressionTextId(uint32_t compression) {
    if (compression > kCompressionT6) return text::kCompressionUnknown;
    return text::kCompressionNone + compression;
}

bool CollectDocumentProperties(ViewerContext* context, DocItem* document, DocumentPropertyTexts& out) {
    if (!document) return false;
    DocItemGetName(document, out.name);
    Ref<DocumentSource> source = document->GetSource();
    if (source) {
        SourceGetPath(source.get(), out.path);
    } else {
        WStrClear(out.path);
    }
    FormatFileSizeText(context, source ? SourceGetSize(source.get()) : ~uint64_t(0), out.size);
    DateTime creation, write;
    if (!source || !SourceGetFileTimes(source.get(), creation, write)) {
        DateTimeInit(creation, true);
        DateTimeInit(write, true);
    }
    FormatFileTimeText(creation, out.created);
    FormatFileTimeText(write, out.modified);
    return true;
}

bool CollectPageProperties(ViewerContext* context, DocItem* document, ImagePage* page,
                           PagePropertyTexts& out) {
    PageInfo info;
    if (!page || !page->GetInfo(&info)) return false;
    Pair(page->PixelWidth(), page->PixelHeight(), context, text::kPixelUnit, out.pixel_size);
    if (info.resolution_given) {
        PhysicalSize(context, page, out.size);
        Pair(uint32_t(RoundToI32(page->DpiX())), uint32_t(RoundToI32(page->DpiY())), context, text::kDpi,
             out.resolution);
    } else {
        Text(context, text::kNotSpecified, out.size);
        Text(context, text::kNotSpecified, out.resolution);
    }
    DocumentScale(context, document, out.scale);
    Number(info.bits_per_pixel, out.colour_depth);
    WStrAppendChar(out.colour_depth, L' ');
    AppendText(out.colour_depth, context, text::kBit);
    FormatName(context, document, out.format);
    Number(info.image_count, out.layers);
    Number(info.flagged_image_count, out.invalid_layers);
    out.show_invalid_layers = info.flagged_image_count > 0;
    Text(context, CompressionTextId(info.compression), out.compression);
    out.description = info.description;
    out.software = info.software;
    return true;
}

WString& FormatTiffTagValue(const TiffDirEntry* entry, WString& out) {
    if (!entry) return out = kUnknown;
    if (entry->count != 1 && entry->field_type != kTiffAscii) {
        wchar_t text[kValueCountChars + 1] = {};
        swprintf(text, kValueCountChars, L"%lu Values", static_cast<unsigned long>(entry->count));
        return out = text;
    }
    if (entry->field_type == kTiffAscii) {
        if (!TiffDirEntryGetString(entry, &out)) out = kUnknown;
        return out;
    }
    if (IsIntegerType(entry->field_type)) {
        uint32_t value = 0;
        if (!TiffDirEntryGetUInt(entry, 0, &value)) return out = kUnknown;
        return Number(value, out);
    }
    if (IsRealType(entry->field_type)) {
        double value = 0;
        WStrBuilder builder(kNumberChars + 1);
        if (!TiffDirEntryGetDouble(entry, 0, &value) || !std::isfinite(value) ||
            !FormatNumberByMagnitude(value, builder)) {
            return out = kUnknown;
        }
        WStrBuilderToString(builder, out);
        // Past the box's 20 characters a number says nothing more.
        return WStrTruncate(out, kNumberChars);
    }
    return out = kUnknown;
}

WString& FormatTiffTagLine(const TiffDirEntry* entry, WString& out) {
    const uint16_t tag = entry ? entry->tag : 0;
    wchar_t number[16];
    swprintf(number, 16, L"0x%04X\t", static_cast<unsigned>(tag));
    WString line(number);
    WStrAppendChars(line, TiffTagName(tag));
    WStrAppendChar(line, L'\t');
    WString value;
    WStrAppend(line, FormatTiffTagValue(entry, value));
    return out = line;
}
