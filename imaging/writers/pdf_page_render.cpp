#include "imaging/writers/pdf_page_render.h"

#include <cstring>

#include "foundation/mem_block.h"
#include "foundation/progress.h"
#include "imaging/codecs/g4_stream_encoder.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_page.h"
#include "imaging/formats/tiff/tiff_render.h"
#include "imaging/writers/pdf_writer.h"

namespace {

// Rows of a band add up to about this many bytes.
constexpr uint64_t kBandBytes = 32u << 20;

struct BandPlan {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rows_per_band = 0;
    uint32_t bands = 0;
    double width_mm = 0;
    double height_mm = 0;
    PdfRenderOptions options;
};

class ProgressLevel {
  public:
    ProgressLevel(ProgressSink* sink, uint32_t steps) : sink_(ProgressPush(sink, steps) ? sink : nullptr) {}
    ~ProgressLevel() { ProgressPop(sink_); }
    ProgressLevel(const ProgressLevel&) = delete;
    ProgressLevel& operator=(const ProgressLevel&) = delete;
    void Step(uint32_t position) { ProgressStep(sink_, position); }

  private:
    ProgressSink* sink_;
};

uint16_t PageBits(ImagePage* page) {
    PageInfo info;
    return page->GetInfo(&info) ? info.bits_per_pixel : 1;
}

BandPlan PlanBands(ImagePage* page, uint16_t bits, const PdfRenderOptions& options) {
    BandPlan plan;
    plan.width = page->PixelWidth();
    plan.height = page->PixelHeight();
    plan.width_mm = page->WidthMm();
    plan.height_mm = page->HeightMm();
    plan.options = options;
    const uint64_t row_bytes = uint64_t(plan.width) * (bits <= 1 ? 0 : bits <= 8 ? 1 : 3);
    uint64_t rows = row_bytes ? kBandBytes / row_bytes : plan.height;
    if (rows < 1) rows = 1;
    if (rows > plan.height) rows = plan.height;
    plan.rows_per_band = uint32_t(rows);
    plan.bands = plan.height ? (plan.height + plan.rows_per_band - 1) / plan.rows_per_band : 0;
    return plan;
}

// Band b holds output rows b x R up to (b + 1) x R; with flip y the
// rectangle is taken from the bottom, as a whole flipped render would be.
Ref<RasterImage> RenderBand(ImagePage* page, DataSource* source, const BandPlan& plan, uint32_t band,
                            ProgressSink* progress) {
    const uint32_t first = band * plan.rows_per_band;
    const uint32_t rows = plan.height - first < plan.rows_per_band ? plan.height - first : plan.rows_per_band;
    const double mm_per_row = plan.height_mm / plan.height;
    PagePlacement placement;
    PagePlacementInit(placement);
    placement.rect.origin.y = first * mm_per_row;
    placement.rect.size.width = plan.width_mm;
    placement.rect.size.height = rows * mm_per_row;
    if (plan.options.flip_y) {
        placement.rect.origin.y = plan.height_mm - (placement.rect.origin.y + placement.rect.size.height);
    }
    placement.pixel_width = plan.width;
    placement.pixel_height = rows;
    placement.flip_x = plan.options.flip_x;
    placement.flip_y = plan.options.flip_y;
    placement.invert = plan.options.invert;
    Ref<RasterImage> image = PageRender(page, nullptr, source, &placement, progress);
    if (!image || image->width != plan.width || image->height != rows) return nullptr;
    return image;
}

// 2^bits entries of red, green, blue; entries past the palette's are black.
void PaletteBytes(const Palette* palette, uint16_t bits, uint8_t* out) {
    const uint32_t entries = 1u << bits;
    memset(out, 0, entries * 3);
    for (uint32_t i = 0; i < entries && i < palette->count; ++i) {
        const uint32_t colour = palette->entries[i];
        out[i * 3] = uint8_t(colour >> 16);
        out[i * 3 + 1] = uint8_t(colour >> 8);
        out[i * 3 + 2] = uint8_t(colour);
    }
}

RectD WholePage(const PdfPage* page) {
    RectD place;
    place.size = page->size;
    return place;
}

bool BeginFromBand(PdfPage* page, const BandPlan& plan, const RasterImage* band) {
    uint8_t palette[256 * 3];
    const bool indexed = band->palette && band->bits_per_pixel < 24;
    if (indexed) PaletteBytes(band->palette, band->bits_per_pixel, palette);
    return PdfBeginImage(page, WholePage(page), plan.width, plan.height, band->bits_per_pixel,
                         indexed ? palette : nullptr);
}

bool AddUncompressed(PdfPage* page, ImagePage* image_page, DataSource* source, const BandPlan& plan,
                     ProgressSink* progress) {
    ProgressLevel level(progress, plan.bands);
    uint16_t bits = 0;
    for (uint32_t band = 0; band < plan.bands; ++band) {
        level.Step(band);
        Ref<RasterImage> image = RenderBand(image_page, source, plan, band, progress);
        if (band == 0) {
            if (!image || !BeginFromBand(page, plan, image.get())) return false;
            bits = image->bits_per_pixel;
        }
        const bool fits = image && image->bits_per_pixel == bits;
        if (!fits || !PdfAddImageRows(page, image->pixels, image->stride, image->height, bits == 24)) {
            PdfEndImage(page);  // incomplete: the document is spoilt and says so
            return false;
        }
    }
    return PdfEndImage(page);
}

// The encoder codes 1 bits as white, as a 1-bit image without palette shows
// them; one with a palette may mean 1 as black, so it is converted too.
Ref<RasterImage> Bilevel(Ref<RasterImage> image) {
    if (!image || (image->bits_per_pixel == 1 && !image->palette)) return image;
    return RasterImageConvert(image.get(), 1);
}

// Coded band by band: only the Group 4 bytes of the page are held whole.
bool AddGroup4(PdfPage* page, ImagePage* image_page, DataSource* source, const BandPlan& plan,
               ProgressSink* progress) {
    ProgressLevel level(progress, plan.bands + 1);
    G4StreamEncoder encoder;
    if (!G4StreamBegin(encoder, plan.width)) return false;
    for (uint32_t band = 0; band < plan.bands; ++band) {
        level.Step(band);
        Ref<RasterImage> image = Bilevel(RenderBand(image_page, source, plan, band, progress));
        if (!image) return false;
        for (uint32_t y = 0; y < image->height; ++y) {
            if (!G4StreamAddRow(encoder, RasterImageGetRow(image.get(), y))) return false;
        }
    }
    level.Step(plan.bands);
    MemBlock coded;
    if (!G4StreamFinish(encoder, coded)) return false;
    return PdfAddFaxImagePage(page, WholePage(page), coded.data(), coded.size(), plan.width, plan.height);
}

// The image whose own Group 4 data the page can carry, where they show
// exactly what the page rendered at 1:1 and coded anew would: no decode into
// a page-sized image, no second coding. Null for a page that is rendered.
TiffDir* CarriedImage(ImagePage* image_page, uint32_t mode, const PdfRenderOptions& options) {
    if (!image_page || image_page->PixelWidth() == 0 || image_page->PixelHeight() == 0) return nullptr;
    if (!(image_page->WidthMm() > 0 && image_page->HeightMm() > 0)) return nullptr;
    const uint16_t bits = PageBits(image_page);
    if (mode == kPdfModeOptimum && (bits == 4 || bits == 8 || bits == 24)) return nullptr;
    if (!options.carry_group4 || options.flip_x || options.flip_y) return nullptr;
    auto* tiff = dynamic_cast<TiffPage*>(image_page);
    TiffDir* dir = tiff ? TiffPageImage(tiff, 0) : nullptr;
    if (!dir || TiffDirPixelWidth(dir) != image_page->PixelWidth() ||
        TiffDirPixelHeight(dir) != image_page->PixelHeight()) {
        return nullptr;
    }
    return dir;
}

}  // namespace

uint32_t PdfCarriedBytes(ImagePage* image_page, DataSource* source, uint32_t mode,
                         const PdfRenderOptions& options) {
    TiffDir* dir = CarriedImage(image_page, mode, options);
    uint32_t offset = 0, length = 0;
    if (!dir || !source || !TiffDirFindCodedGroup4(dir, source->size, options.invert != 0, &offset, &length))
        return 0;
    return length;
}

bool PdfReadCarriedImage(ImagePage* image_page, DataSource* source, uint32_t mode,
                         const PdfRenderOptions& options, ProgressSink* cancel, PdfCarriedImage& out) {
    TiffDir* dir = CarriedImage(image_page, mode, options);
    return dir && TiffDirCodedGroup4(dir, source, options.invert != 0, out.coded, &out.length, cancel);
}

bool PdfAddCarriedImage(PdfPage* page, ImagePage* image_page, const PdfCarriedImage& image) {
    if (!page || !image_page) return false;
    return PdfAddFaxImagePage(page, WholePage(page), image.coded.data(), image.length,
                              image_page->PixelWidth(), image_page->PixelHeight());
}

bool PdfAddRenderedImage(PdfPage* page, ImagePage* image_page, DataSource* source, uint32_t mode,
                         const PdfRenderOptions& options, ProgressSink* progress) {
    if (!page || !image_page || image_page->PixelWidth() == 0 || image_page->PixelHeight() == 0) return false;
    const uint16_t bits = PageBits(image_page);
    if (!(image_page->WidthMm() > 0 && image_page->HeightMm() > 0)) return false;
    PdfCarriedImage carried;
    if (PdfReadCarriedImage(image_page, source, mode, options, nullptr, carried))
        return PdfAddCarriedImage(page, image_page, carried);
    const bool uncompressed = mode == kPdfModeOptimum && (bits == 4 || bits == 8 || bits == 24);
    // Colour or grey sources of a Group 4 image render in bands too.
    const BandPlan plan = PlanBands(image_page, bits, options);
    if (uncompressed) return AddUncompressed(page, image_page, source, plan, progress);
    return AddGroup4(page, image_page, source, plan, progress);
}
