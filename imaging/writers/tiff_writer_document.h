// A multi-page TIFF held in memory before it is written: pages of image
// directories, each directory a sorted list of entries and its strips or
// tiles. Pages are either rendered from any ImagePage (made bilevel and coded
// with Group 4) or copied from a TIFF read by the TIFF reader, whose strips
// are then copied byte for byte when the file is written (tiff_writer.h).
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "imaging/formats/tiff/tiff_directory.h"

class DataSource;
class ImageFormat;
class ImagePage;
class ProgressSink;
class TiffPage;

// Tags the writer sets that the reader does not interpret.
enum TiffWriterTag : uint16_t {
    kTagPageNumber = 297,
};

// Compression argument of TiffDocAddPage: Group 4 is the only one.
constexpr uint32_t kTiffWriteGroup4 = 0;

// One directory entry as it will be written.
class TiffEntry : public RefCounted {
  public:
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t byte_size = 0;     // count x field size
    uint32_t value_offset = 0;  // set by the layout when byte_size exceeds 4
    uint8_t inline_value[4] = {};
    MemBlock values;  // byte_size bytes when byte_size exceeds 4
};

// The values, inline or in the block.
uint8_t* TiffEntryValues(TiffEntry* entry);
const uint8_t* TiffEntryValues(const TiffEntry* entry);

// Zero-filled values; null for a type outside 1 to 12, values of 2 GiB or
// more, or no memory.
Ref<TiffEntry> TiffEntryCreate(uint16_t tag, uint16_t type, uint32_t count);
// ASCII in the ANSI code page, the terminating NUL stored and counted.
Ref<TiffEntry> TiffEntryCreateAscii(uint16_t tag, const WString& text);
// BYTE, count n (0 allowed); bytes are required when n is not 0.
Ref<TiffEntry> TiffEntryCreateBytes(uint16_t tag, const uint8_t* bytes, uint32_t n);
// Same tag, type, count and values as an entry of a read TIFF.
Ref<TiffEntry> TiffEntryCreateFromDir(const TiffDirEntry* entry);
Ref<TiffEntry> TiffEntryCopy(const TiffEntry* entry);
// Store one value by the entry's type; false for an index not below the
// count or a type that holds no numbers (ASCII).
bool TiffEntrySetInt(TiffEntry* entry, uint32_t index, int32_t value);
bool TiffEntrySetUInt(TiffEntry* entry, uint32_t index, uint32_t value);
bool TiffEntrySetFraction(TiffEntry* entry, uint32_t index, int32_t numerator, int32_t denominator);

// One strip or tile: coded bytes in memory, or a range of a source file that
// is copied when the file is written.
class TiffStrip : public RefCounted {
  public:
    ~TiffStrip() override;

    MemBlock bytes;  // memory strip
    uint32_t size = 0;
    Ref<TiffDir> source_dir;  // source strip: the directory, index and file
    uint32_t source_index = 0;
    Ref<DataSource> source;
    uint32_t source_offset = 0;
};

// A fixed number of strip slots, null until filled.
class TiffStripList : public RefCounted {
  public:
    ~TiffStripList() override;

    uint32_t count = 0;
    TiffStrip** slots = nullptr;  // pool block of count pointers, each holding a reference
};

Ref<TiffStripList> TiffStripListCreate(uint32_t count);
bool TiffStripListSet(TiffStripList* list, uint32_t index, TiffStrip* strip);
// Borrowed; null for an empty slot or an index past the count.
TiffStrip* TiffStripListAt(const TiffStripList* list, uint32_t index);

class TiffIfd : public RefCounted {
  public:
    uint32_t next_offset = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t tiled = 0;
    PtrArray entries{20, true};  // TiffEntry, ascending tags, one per tag
    Ref<TiffStripList> strips;
};

// Takes a reference; replaces the entry of the same tag or inserts it in
// tag order. False for null or no memory.
bool TiffIfdSetEntry(TiffIfd* ifd, TiffEntry* entry);
void TiffIfdRemoveEntry(TiffIfd* ifd, uint16_t tag);
Ref<TiffEntry> TiffIfdFindEntry(const TiffIfd* ifd, uint16_t tag);
// Borrowed form for the writer's own loops.
TiffEntry* TiffIfdEntryAt(const TiffIfd* ifd, uint32_t index);

// One page: the full image first, reduced copies after it.
class TiffWriterPage : public RefCounted {
  public:
    PtrArray ifds{2, true};  // TiffIfd
};

class TiffDoc : public RefCounted {
  public:
    PtrArray pages{4, true};  // TiffWriterPage
};

// Copied into every band's placement.
struct TiffRenderOptions {
    uint8_t flip_x = 0;
    uint8_t flip_y = 0;
    uint8_t invert = 0;
};

Ref<TiffDoc> TiffDocCreate();
// One copied page per page of a TIFF read by the TIFF reader (the format
// must be a TiffFormat); null without a format or when a page cannot be
// copied.
Ref<TiffDoc> TiffDocCreateFrom(ImageFormat* format, DataSource* source);
// Renders the page band by band (strips of `rows` rows, or tiles of
// tile_width x rows when tile_width is not 0), codes it with Group 4 and
// inserts it at `index` (appended when index is not below the page count).
// With a reduction percent of 1 to 99, reduced copies follow while a side
// stays above 1000 pixels. Null when anything fails; nothing is added then.
Ref<TiffWriterPage> TiffDocAddPage(TiffDoc* doc, ImagePage* page, DataSource* source, uint32_t index,
                                   uint32_t tile_width, uint32_t rows, uint32_t reduction_percent,
                                   uint32_t compression, const TiffRenderOptions& options,
                                   ProgressSink* progress);
// A copy of the entry into every directory of every page. Tags that describe
// the image structure are the writer's own: they are refused (false), as is
// a failed copy.
bool TiffDocSetEntryAll(TiffDoc* doc, const TiffEntry* entry);
bool TiffPageSetEntry(TiffWriterPage* page, const TiffEntry* entry);
// True for the tags a caller may not set (sizes, strips, tiles, coding,
// resolution, page number...).
bool TiffTagIsStructural(uint16_t tag);

// The steps of a rendered directory.
bool TiffIfdSetLayout(TiffIfd* ifd, uint32_t width, uint32_t height, uint32_t tile_width, uint32_t rows);
bool TiffIfdSetImage(TiffIfd* ifd, uint32_t width, uint32_t height, ImagePage* page, DataSource* source,
                     uint32_t compression, const TiffRenderOptions& options, uint32_t tile_width,
                     uint32_t rows, ProgressSink* progress);

// A copy of every image of a page of a read TIFF, its strips referring to
// the source file.
Ref<TiffWriterPage> TiffWriterPageFromReader(TiffPage* page, DataSource* source);
