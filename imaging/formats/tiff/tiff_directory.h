// One TIFF image directory (IFD) as the reader keeps it: every entry of the
// file with its values copied into host byte order, and the fields the
// reader interprets. Entries stay in memory for the life of the format, so
// other parts (document properties, the redlining store, the TIFF writer)
// read tags the reader itself ignores.
#pragma once

#include <cstdint>

#include "foundation/byte_buf.h"
#include "foundation/data_reader.h"
#include "foundation/geometry.h"
#include "foundation/locks.h"
#include "foundation/mem_block.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "imaging/formats/image_status.h"
#include "imaging/formats/page_placement.h"

// Field types of TIFF 6.0.
enum TiffFieldType : uint16_t {
    kTiffByte = 1,
    kTiffAscii = 2,
    kTiffShort = 3,
    kTiffLong = 4,
    kTiffRational = 5,
    kTiffSByte = 6,
    kTiffUndefined = 7,
    kTiffSShort = 8,
    kTiffSLong = 9,
    kTiffSRational = 10,
    kTiffFloat = 11,
    kTiffDouble = 12,
};

// The tags the reader interprets.
enum TiffTag : uint16_t {
    kTagNewSubfileType = 254,
    kTagSubfileType = 255,
    kTagImageWidth = 256,
    kTagImageLength = 257,
    kTagBitsPerSample = 258,
    kTagCompression = 259,
    kTagPhotometric = 262,
    kTagFillOrder = 266,
    kTagDocumentName = 269,
    kTagImageDescription = 270,
    kTagStripOffsets = 273,
    kTagOrientation = 274,
    kTagSamplesPerPixel = 277,
    kTagRowsPerStrip = 278,
    kTagStripByteCounts = 279,
    kTagXResolution = 282,
    kTagYResolution = 283,
    kTagPlanarConfiguration = 284,
    kTagT4Options = 292,
    kTagT6Options = 293,
    kTagResolutionUnit = 296,
    kTagSoftware = 305,
    kTagArtist = 315,
    kTagPredictor = 317,
    kTagColorMap = 320,
    kTagTileWidth = 322,
    kTagTileLength = 323,
    kTagTileOffsets = 324,
    kTagTileByteCounts = 325,
    kTagExtraSamples = 338,
    kTagJpegTables = 347,
    kTagRedlining = 40000,
};

// Subfile kind bits (NewSubfileType).
constexpr uint16_t kSubfileReduced = 1;
constexpr uint16_t kSubfilePage = 2;

enum TiffRenderState : uint32_t {
    kTiffUntried = 0,
    kTiffExcluded = 1,  // another extent than the page's first image, or a failed render
    kTiffRenderedWhole = 2,
};

// Byte size of one value of a field type; 1 for unknown types.
uint32_t TiffFieldSize(uint32_t type);

class TiffDirEntry : public RefCounted {
  public:
    uint16_t tag = 0;
    uint16_t field_type = 0;
    uint32_t count = 0;
    // The entry's 4-byte value field. When the values fit in it they are kept
    // here in host byte order (each value swapped on its own in big-endian
    // files) and `data` points here.
    uint32_t value_field = 0;
    // The values in host byte order: the value field, or `block`. Null when
    // the count is 0.
    const uint8_t* data = nullptr;
    MemBlock block;  // out-of-line values
};

// The entry's data and its byte length (count x field size); false (and
// null, 0) when it has no data.
bool TiffDirEntryGetData(const TiffDirEntry* entry, const uint8_t** out, uint32_t* length);
// The text of an ASCII entry, converted from the ANSI code page.
bool TiffDirEntryGetString(const TiffDirEntry* entry, WString* out);
bool TiffDirEntryGetUInt(const TiffDirEntry* entry, uint32_t index, uint32_t* out);
bool TiffDirEntryGetDouble(const TiffDirEntry* entry, uint32_t index, double* out);

class TiffDir : public RefCounted {
  public:
    TiffDir();

    CriticalSection lock;     // guards `token` only
    PtrArray entries;         // TiffDirEntry, ascending tags, one per tag
    double x_resolution = 0;  // dots per inch
    double y_resolution = 0;
    uint8_t resolution_given = 0;
    uint16_t resolution_unit = 2;
    uint32_t image_width = 0;  // as stored, before orientation
    uint32_t image_length = 0;
    uint32_t tile_width = 0;   // the image width for strips
    uint32_t tile_length = 0;  // RowsPerStrip for strips
    uint8_t tiled = 0;
    uint16_t photometric = 0;
    uint16_t compression = 0;
    uint16_t orientation = 1;
    uint16_t subfile_kind = 0;
    uint16_t bits_per_sample = 1;
    uint16_t samples_per_pixel = 1;
    uint16_t extra_samples = 0;
    uint16_t planar_configuration = 1;
    uint8_t colour_map_present = 0;
    Ref<RenderToken> token;  // null until the first render of this image
    volatile uint32_t render_state = kTiffUntried;
};

// The entry of the tag with one reference added, or null.
Ref<TiffDirEntry> TiffDirFindEntry(const TiffDir* dir, uint16_t tag);
// The text of the tag's ASCII entry into `out`; `out` stays untouched when
// the tag is absent or not ASCII.
bool TiffDirTagText(const TiffDir* dir, uint16_t tag, WString* out);
// Inserts by tag; an entry of a tag already held replaces the earlier one.
bool TiffDirInsertEntry(TiffDir* dir, TiffDirEntry* entry);

// Displayed geometry: orientations 5 to 8 exchange the axes.
bool TiffDirIsTransposed(const TiffDir* dir);
uint32_t TiffDirPixelWidth(const TiffDir* dir);
uint32_t TiffDirPixelHeight(const TiffDir* dir);
double TiffDirDpiX(const TiffDir* dir);
double TiffDirDpiY(const TiffDir* dir);
double TiffDirWidthMm(const TiffDir* dir);
double TiffDirHeightMm(const TiffDir* dir);

// How a displayed rectangle lies in the stored image, and the mirroring and
// clockwise turn that bring stored rows into the displayed orientation.
struct TiffOrientationMap {
    RectI stored;
    bool mirror_x = false;
    bool mirror_y = false;
    uint16_t rotation = 0;
};
TiffOrientationMap& TiffDirMapRect(const TiffDir* dir, const RectI& displayed, TiffOrientationMap& out);

// TileOffsets and TileByteCounts of a tiled image, else StripOffsets and
// StripByteCounts (null when absent).
Ref<TiffDirEntry> TiffDirStripOffsets(const TiffDir* dir);
Ref<TiffDirEntry> TiffDirStripByteCounts(const TiffDir* dir);

// A window of file bytes that the parser reads directories and values
// through: `buffer` holds the bytes from `offset` on.
struct TiffWindow {
    Ref<ByteBuf> buffer;
    uint32_t offset = 0;
};

// What parsing a file's directories shares.
struct TiffParseContext {
    Ref<DataReader> reader;
    uint32_t file_size = 0;
    bool big_endian = false;
    TiffWindow values;  // the private window of out-of-line values
    // Out-of-line bytes copied for the directory being read: no directory
    // holds more values than the file has bytes.
    uint64_t value_bytes = 0;
    ImageStatus* status = nullptr;
};

// True when [offset, offset + length) lies inside the window.
bool TiffWindowHolds(const TiffWindow& window, uint64_t offset, uint64_t length);
// Loads up to n bytes at the offset; false when nothing could be read.
bool TiffWindowLoad(TiffParseContext& context, TiffWindow& window, uint32_t offset, uint32_t n);

uint16_t TiffGet16(const uint8_t* bytes, bool big_endian);
uint32_t TiffGet32(const uint8_t* bytes, bool big_endian);

// Reads one 12-byte entry. Null for an entry that cannot be read (its values
// lie beyond the file or cannot be loaded); `unknown_type` tells an entry of
// a type outside 1 to 12, which a reader skips.
Ref<TiffDirEntry> TiffDirEntryRead(TiffParseContext& context, const uint8_t* bytes, bool* unknown_type);
// Builds a directory from its n entries (12 bytes each, as in the file);
// null when the directory is rejected.
Ref<TiffDir> TiffDirParse(TiffParseContext& context, const uint8_t* entries, uint32_t n,
                          const TiffDir* previous);
