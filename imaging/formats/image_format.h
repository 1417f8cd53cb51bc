// The contract between the image readers and the rest of the system: a file
// is an ImageFormat that owns its ImagePages; a page renders any rectangle of
// itself (millimetres) into a new RasterImage of the size, rotation and
// mirroring a PagePlacement asks for.
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "imaging/formats/image_status.h"
#include "imaging/formats/page_placement.h"
#include "imaging/raster/raster_image.h"

class DataSource;
class ProgressSink;
class ImagePage;

// Sniff codes (what ImageSniffFormat and FormatCode answer).
enum FormatCodeValue : int32_t {
    kFormatCodeBmp = 0,
    kFormatCodeTiff = 1,
    kFormatCodeGif = 2,
    kFormatCodeJpeg = 3,
    kFormatCodeCals = 4,
};

// How the rest of the system tells formats apart (BMP and TIFF swapped
// against the sniff codes); 0 marks a TIFF.
enum FormatOrdinalValue : uint32_t {
    kOrdinalTiff = 0,
    kOrdinalBmp = 1,
    kOrdinalGif = 2,
    kOrdinalJpeg = 3,
    kOrdinalCals = 4,
};

struct FormatInfo {
    WString format_name;
    WString document_name;  // TIFF tags 269, 315, 305 of the first image
    WString artist;
    WString software;
};

enum PageCompression : uint32_t {
    kCompressionNone = 0,
    kCompressionRunLength = 1,
    kCompressionJpeg = 2,
    kCompressionLzw = 3,
    kCompressionPackBits = 4,
    kCompressionModifiedHuffman = 5,
    kCompressionT4 = 6,
    kCompressionT6 = 7,
    kCompressionOther = 1000,
};

struct PageInfo {
    uint8_t resolution_given = 0;
    uint32_t image_count = 0;
    uint32_t flagged_image_count = 0;
    uint16_t bits_per_pixel = 0;
    uint8_t colour_palette = 0;
    uint8_t grey = 0;
    WString description;
    WString software;
    uint32_t compression = kCompressionNone;
};

class ImageFormat : public RefCounted {
public:
    virtual uint32_t FormatCode() const = 0;
    virtual uint32_t PageCount() const = 0;
    // The page with one reference added, or null.
    virtual Ref<ImagePage> GetPage(uint32_t index) = 0;
    virtual bool GetInfo(FormatInfo* out) = 0;
    virtual uint32_t FormatOrdinal() const = 0;
};

// The negative decision a page keeps for its lifetime.
enum NegativeDecision : uint32_t {
    kNegativeUndecided = 0,
    kNegativeNeverDetect = 1,
    kNegativePositive = 2,
    kNegativeNegative = 3,
};

class ImagePage : public RefCounted {
public:
    // A new image (one reference for the caller) or null.
    virtual Ref<RasterImage> Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                                    ProgressSink* progress) = 0;
    virtual bool IsBilevel() const = 0;
    virtual uint32_t PixelWidth() const = 0;
    virtual uint32_t PixelHeight() const = 0;
    virtual double DpiX() const = 0;
    virtual double DpiY() const = 0;
    virtual double WidthMm() const { return DpiX() > 0 ? PixelWidth() / DpiX() * 25.4 : 0; }
    virtual double HeightMm() const { return DpiY() > 0 ? PixelHeight() / DpiY() * 25.4 : 0; }
    virtual bool GetInfo(PageInfo* out) = 0;

    // Read and written without the lock: a plain 32-bit value.
    volatile uint32_t negative_decision = kNegativeUndecided;
    // Guard the token pointer only. A TIFF page keeps one pair per image
    // directory instead and leaves these unused.
    CriticalSection token_lock;
    Ref<RenderToken> token;
};

// Clears a FormatInfo before GetInfo fills it.
void Zero5Ints(FormatInfo& info);
bool PointIEquals(const PointI& a, const PointI& b);

// The format code of a file's first bytes, -1 when not recognised.
int32_t ImageSniffFormat(const uint8_t* bytes, uint32_t length);
// How many leading bytes ImageSniffFormat needs to tell every format apart
// (a CALS header is recognised by text at offset 128).
constexpr uint32_t kSniffBytes = 256;

// Reads the file's first bytes, recognises the format and hands the file to
// its reader; a new format object or null with the status set. Option bit 0
// is for the TIFF reader.
Ref<ImageFormat> ImageParseFile(ImageStatus* status, DataSource* source, uint32_t options);

// The one entry through which everything renders a page: the page's own
// Render plus the automatic detection of negative scans.
Ref<RasterImage> PageRender(ImagePage* page, ImageStatus* status, DataSource* source,
                            const PagePlacement* placement, ProgressSink* progress);
