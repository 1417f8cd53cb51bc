#include "imaging/formats/tiff/tiff_reader.h"

#include <algorithm>
#include <set>

#include "foundation/data_reader.h"
#include "foundation/data_source.h"
#include "imaging/formats/format_readers.h"
#include "imaging/formats/tiff/tiff_directory.h"

namespace {

constexpr uint32_t kDirectoryWindow = 512;
// The smallest directory the walk accepts, and the least room it needs
// before the end of the file.
constexpr uint32_t kMinimumEntries = 5;
constexpr uint32_t kDirectoryRoom = 50;

void Warn(ImageStatus* status) { ImageStatusSet(status, kSeverityWarning, kStatusDamagedButUsable); }

// A directory that is not a reduced copy of the page before starts a page.
bool AddDirectory(TiffFormat& format, TiffDir* dir, uint32_t options) {
    TiffPage* last = format.pages.count > 0 ? TiffFormatPage(&format, format.pages.count - 1) : nullptr;
    if (last && (dir->subfile_kind & kSubfileReduced)) {
        if (options & kTiffSkipReducedImages) {
            ++last->skipped_count;
            return true;
        }
        return TiffPageAttachImage(last, dir);
    }
    Ref<TiffPage> page = AdoptRef(new TiffPage);
    return TiffPageAttachImage(page.get(), dir) && PtrArrayAdd(format.pages, page.get()) >= 0;
}

// Makes sure the window holds [offset, offset + length), loading `load`
// bytes at the offset when it does not.
bool WindowCover(TiffParseContext& context, TiffWindow& window, uint32_t offset, uint32_t length,
                 uint32_t load) {
    if (TiffWindowHolds(window, offset, length)) return true;
    return TiffWindowLoad(context, window, offset, load) && TiffWindowHolds(window, offset, length);
}

// Walks the chain of directories from `offset`. Pages read before a break
// stay; a break leaves a warning.
void WalkDirectories(TiffParseContext& context, TiffWindow& window, uint32_t offset, uint32_t options,
                     TiffFormat& format) {
    std::set<uint32_t> visited;
    Ref<TiffDir> previous;
    while (offset >= 8 && uint64_t(offset) + kDirectoryRoom < context.file_size) {
        // A chain that leads back to a directory already read would never end.
        if (!visited.insert(offset).second) return Warn(context.status);
        if (!WindowCover(context, window, offset, 2, kDirectoryWindow)) return Warn(context.status);
        const uint32_t n =
            TiffGet16(ByteBufData(window.buffer.get()) + (offset - window.offset), context.big_endian);
        if (n < kMinimumEntries) return Warn(context.status);
        const uint32_t table = n * 12 + 4;
        if (!WindowCover(context, window, offset + 2, table, table)) return Warn(context.status);
        const uint8_t* entries = ByteBufData(window.buffer.get()) + (offset + 2 - window.offset);
        const uint32_t next = TiffGet32(entries + n * 12, context.big_endian);
        Ref<TiffDir> dir = TiffDirParse(context, entries, n, previous.get());
        if (!dir) return;
        if (!AddDirectory(format, dir.get(), options))
            return ImageStatusError(context.status, kStatusAllocation);
        previous = dir;
        offset = next;
    }
}

// The header's byte order and first directory offset; false for a file that
// is no TIFF.
bool ReadHeader(const TiffWindow& window, bool* big_endian, uint32_t* first) {
    if (ByteBufSize(window.buffer.get()) < 8) return false;
    const uint8_t* bytes = ByteBufData(window.buffer.get());
    if (bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 0x2A && bytes[3] == 0) {
        *big_endian = false;
    } else if (bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 0x2A) {
        *big_endian = true;
    } else {
        return false;
    }
    *first = TiffGet32(bytes + 4, *big_endian);
    return true;
}

}  // namespace

TiffFormat::TiffFormat() : pages(4, true) {}

Ref<ImagePage> TiffFormat::GetPage(uint32_t index) { return Ref<ImagePage>(TiffFormatPage(this, index)); }

bool TiffFormat::GetInfo(FormatInfo* out) { return TiffFormatGetInfo(this, out); }

TiffPage* TiffFormatPage(const TiffFormat* format, uint32_t index) {
    if (!format || index >= format->pages.count) return nullptr;
    return static_cast<TiffPage*>(format->pages.items[index]);
}

bool TiffFormatGetInfo(const TiffFormat* format, FormatInfo* out) {
    const TiffDir* first = TiffPageImage(TiffFormatPage(format, 0), 0);
    if (!first || !out) return false;
    out->format_name = WString(L"Tagged Image File Format (TIFF)");
    const struct {
        uint16_t tag;
        WString* text;
    } fields[] = {
        {kTagDocumentName, &out->document_name}, {kTagArtist, &out->artist}, {kTagSoftware, &out->software}};
    for (const auto& field : fields) TiffDirTagText(first, field.tag, field.text);
    return true;
}

Ref<ImageFormat> TiffParse(ImageStatus* status, DataSource* source, const uint8_t* head, uint32_t head_count,
                           uint32_t options) {
    if (!source) {
        ImageStatusError(status, kStatusNothingToRender);
        return nullptr;
    }
    TiffParseContext context;
    context.status = status;
    context.file_size = uint32_t(std::min<uint64_t>(source->size, UINT32_MAX));
    TiffWindow window;
    window.buffer = ByteBufCreate(0, 0, 0);
    if (!window.buffer) {
        ImageStatusError(status, kStatusAllocation);
        return nullptr;
    }
    bool changed = false;
    context.reader = DataSourceOpenReader(source, changed);
    const bool have_head = head && head_count >= 8 && ByteBufAssign(window.buffer.get(), head, head_count);
    if (!context.reader || (!have_head && !TiffWindowLoad(context, window, 0, kDirectoryWindow))) {
        ImageStatusError(status, kStatusShortRead);
        return nullptr;
    }
    Ref<TiffFormat> format = AdoptRef(new TiffFormat);
    uint32_t first = 0;
    if (ReadHeader(window, &context.big_endian, &first))
        WalkDirectories(context, window, first, options, *format);
    if (format->pages.count == 0) {
        ImageStatusError(status, kStatusBadData);
        return nullptr;
    }
    PtrArrayCompact(format->pages);
    return format;
}
