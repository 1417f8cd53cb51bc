#include "viewer/export/bitmap_export.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "foundation/file_handle.h"
#include "foundation/handles.h"
#include "imaging/raster/packed_dib.h"
#include "imaging/raster/raster_image.h"
#include "viewer/app/app_root.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/open_params.h"
#include "viewer/core/progress_forwarder.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/page_metrics.h"
#include "viewer/model/area_placement.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/view_mapping.h"

namespace {

constexpr double kInchesPerMetre = 39.37007874015748;
constexpr double kFallbackDpi = 100.0;
// A BMP file's sizes are 32-bit; keep well inside them.
constexpr uint64_t kMaxBitmapBytes = 0x7FFF0000u;

bool QuarterTurned(uint32_t rotation) { return rotation % 180 == 90; }

int32_t PixelsPerMetre(double dpi) { return static_cast<int32_t>(std::floor(dpi * kInchesPerMetre + 0.5)); }

uint32_t HeaderBytes(const ExportBitmapHeader& header) {
    return sizeof(BITMAPINFOHEADER) + BitmapColourTable(header.header.biBitCount, nullptr) * sizeof(RGBQUAD);
}

// Dots per inch of the bitmap along its own x and y: the page's x runs
// along the bitmap's y at a quarter turn.
void ExportResolution(ViewerContext* context, DocItem* item, const PagePlacement& placement, double& dpi_x,
                      double& dpi_y) {
    dpi_x = dpi_y = kFallbackDpi;
    Ref<PageMetrics> metrics = item->GetPageMetrics(context);
    const SizeD& rect = placement.rect.size;
    if (!metrics || !(rect.width > 0 && rect.height > 0)) return;
    const bool quarter = QuarterTurned(placement.rotation);
    const double along_page_x = quarter ? placement.pixel_height : placement.pixel_width;
    const double along_page_y = quarter ? placement.pixel_width : placement.pixel_height;
    const double page_x_dpi = along_page_x * 25.4 / rect.width;
    const double page_y_dpi = along_page_y * 25.4 / rect.height;
    dpi_x = quarter ? page_y_dpi : page_x_dpi;
    dpi_y = quarter ? page_x_dpi : page_y_dpi;
}

// The one place where markups enter an exported bitmap: the page's
// redlining painted over the rendered page, mapped with the bitmap's own
// placement at the origin.
void PaintMarkups(ViewerContext* context, DocItem* item, const PagePlacement& placement, HDC dc,
                  uint16_t bits_per_pixel) {
    bool active;
    {
        ScopedLock hold(context->lock);
        active = context->redlining_active;
    }
    if (!active) return;
    Ref<MarkupPage> page = item->GetRedlinePage(context, true);
    if (!page) return;
    Ref<ViewMapping> mapping =
        ViewMappingConstruct(DocItemGetId(item), PointI{}, placement, ViewerGetPixelsPerMmX(context),
                             ViewerGetPixelsPerMmY(context));
    if (!mapping) return;
    Ref<MarkupView> view = ViewerGetMarkups(context)->CreateView(context);
    if (!view) return;
    view->SetPage(page.get(), mapping.get());
    view->Paint(context, dc, markup_purpose::kBitmapExport, true, bits_per_pixel < 8);
}

bool DrawPage(ViewerContext* context, DocItem* item, const PagePlacement& placement, HDC dc) {
    Ref<ProgressForwarder> progress = ViewerGetProgressForwarder(context);
    ProgressClear(progress.get());
    Ref<RasterImage> image = item->RenderPage(context, placement, progress.get());
    if (progress) ProgressForwarderReset(progress.get());
    if (!image) return false;
    PackedDib info = RasterImageToPackedDib(image.get());
    if (!info) return false;
    const int drawn = SetDIBitsToDevice(dc, 0, 0, image->width, image->height, 0, 0, 0, image->height,
                                        image->pixels, info.get(), DIB_RGB_COLORS);
    return drawn > 0;
}

bool WriteBitmapFile(const WString& file, const ExportBitmapHeader& header, const void* bits) {
    const uint32_t header_bytes = HeaderBytes(header);
    const uint32_t image_bytes = header.header.biSizeImage;
    BITMAPFILEHEADER file_header = {};
    file_header.bfType = 0x4D42;  // "BM"
    file_header.bfSize = sizeof(BITMAPFILEHEADER) + header_bytes + image_bytes;
    file_header.bfOffBits = sizeof(BITMAPFILEHEADER) + header_bytes;
    const wchar_t* path = WStrCStr(file);
    FileHandle out(
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) return false;
    const bool complete = WriteAllBytes(out.get(), &file_header, sizeof file_header) &&
                          WriteAllBytes(out.get(), &header, header_bytes) &&
                          WriteAllBytes(out.get(), bits, image_bytes);
    if (out.Close() && complete) return true;
    DeleteFileW(path);
    return false;
}

bool CopyToClipboard(HWND owner, const ExportBitmapHeader& header, const void* bits) {
    const uint32_t header_bytes = HeaderBytes(header);
    const uint32_t image_bytes = header.header.biSizeImage;
    GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, SIZE_T(header_bytes) + image_bytes));
    if (!block) return false;
    {
        GlobalLockScope locked(block.get());
        auto* bytes = static_cast<uint8_t*>(locked.data());
        if (!bytes) return false;
        memcpy(bytes, &header, header_bytes);
        memcpy(bytes + header_bytes, bits, image_bytes);
    }
    ClipboardScope clipboard(owner);
    if (!clipboard.open() || !EmptyClipboard()) return false;
    if (!SetClipboardData(CF_DIB, block.get())) return false;
    (void)block.Release();  // the clipboard owns it now
    return true;
}

}  // namespace

uint64_t BitmapRowBytes(uint32_t width, uint16_t bits_per_pixel) {
    const uint64_t w = width;
    switch (bits_per_pixel) {
        case 1:
            return ((w + 31) >> 5) * 4;
        case 8:
            return ((w + 3) >> 2) * 4;
        case 24:
            return ((w + 1) * 3 >> 2) * 4;
        default:
            return 0;
    }
}

uint32_t BitmapColourTable(uint16_t bits_per_pixel, RGBQUAD* out) {
    auto put = [out](uint32_t index, uint8_t red, uint8_t green, uint8_t blue) {
        if (out) out[index] = RGBQUAD{blue, green, red, 0};
    };
    if (bits_per_pixel == 1) {
        put(0, 0, 0, 0);
        put(1, 255, 255, 255);
        return 2;
    }
    if (bits_per_pixel != 8) return 0;
    uint32_t n = 0;
    for (uint32_t i = 0; i < 46; ++i, ++n) {
        const auto level = static_cast<uint8_t>(std::trunc(i * 255.0 / 45 + 0.5));
        put(n, level, level, level);
    }
    for (uint32_t blue = 0; blue < 6; ++blue) {
        for (uint32_t green = 0; green < 6; ++green) {
            for (uint32_t red = 0; red < 6; ++red) {
                if (red == green && green == blue) continue;  // already among the greys
                put(n++, uint8_t(red * 51), uint8_t(green * 51), uint8_t(blue * 51));
            }
        }
    }
    return n;
}

bool BitmapExportHeaderInit(ExportBitmapHeader& out, SizeI pixel_size, uint16_t bits_per_pixel, double dpi_x,
                            double dpi_y) {
    out = ExportBitmapHeader{};
    if (pixel_size.width <= 0 || pixel_size.height <= 0) return false;
    const uint64_t row_bytes = BitmapRowBytes(uint32_t(pixel_size.width), bits_per_pixel);
    if (row_bytes == 0) return false;
    const uint64_t image_bytes = row_bytes * uint64_t(pixel_size.height);
    if (image_bytes > kMaxBitmapBytes) return false;
    BITMAPINFOHEADER& header = out.header;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = pixel_size.width;
    header.biHeight = pixel_size.height;  // positive: bottom row first
    header.biPlanes = 1;
    header.biBitCount = bits_per_pixel;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(image_bytes);
    header.biXPelsPerMeter = PixelsPerMetre(dpi_x);
    header.biYPelsPerMeter = PixelsPerMetre(dpi_y);
    BitmapColourTable(bits_per_pixel, out.colours);
    return true;
}

bool BitmapExportPlacement(ViewerContext* context, DocItem* item, bool entire_page, SizeI pixel_size,
                           PagePlacement& out) {
    PagePlacementInit(out);
    Ref<CutOutState> state = item ? item->GetCutOut() : nullptr;
    if (!state) return false;
    bool mirror_horizontal, mirror_vertical;
    {
        ScopedLock hold(state->lock);
        out.rect = entire_page ? RectD{state->page_size, PointD{}} : state->cut_out;
        mirror_horizontal = state->mirror_horizontal;
        mirror_vertical = state->mirror_vertical;
        out.rotation = static_cast<uint16_t>(state->rotation % 360);
        out.invert = state->invert;
    }
    // The flips the view itself renders with, so that the export shows the
    // page as the screen does at every turn.
    ComputePlacementFlips(out.rotation, mirror_horizontal, mirror_vertical, out.flip_x, out.flip_y);
    out.pixel_width = uint32_t(pixel_size.width);
    out.pixel_height = uint32_t(pixel_size.height);
    if (Ref<OpenParams> params = item->GetOpenParams()) {
        const uint32_t mode = OpenParamsGetAutoInvert(params.get());
        out.negative_mode = mode == 1 || mode == 2 ? mode : 0;
    }
    Ref<Settings> settings = ViewerGetSettings(context);
    if (settings && !SettingsGetUsePreviewInfo(settings.get())) out.flags |= kPlacementFullSizeImage;
    return true;
}

bool ExportBitmap(ViewerContext* context, DocItem* item, bool entire_page, SizeI pixel_size,
                  uint16_t bits_per_pixel, uint32_t flags, const WString& file, HWND clipboard_owner) {
    if (!context || !item || pixel_size.width <= 0 || pixel_size.height <= 0) return false;
    if (bits_per_pixel != 1 && bits_per_pixel != 8 && bits_per_pixel != 24) return false;
    const bool to_file = WStrLength(file) > 0;
    if (!to_file && !clipboard_owner) return false;
    if (!(item->GetCommandMask() & item_command::kBitmapExport)) return false;

    PagePlacement placement;
    if (!BitmapExportPlacement(context, item, entire_page, pixel_size, placement)) return false;
    double dpi_x, dpi_y;
    ExportResolution(context, item, placement, dpi_x, dpi_y);
    ExportBitmapHeader header;
    if (!BitmapExportHeaderInit(header, pixel_size, bits_per_pixel, dpi_x, dpi_y)) return false;

    MemoryDC dc(nullptr);
    if (!dc) return false;
    void* bits = nullptr;
    GdiBitmap bitmap(CreateDIBSection(dc.get(), reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                      &bits, nullptr, 0));
    if (!bitmap || !bits) return false;
    {
        ScopedSelect select(dc.get(), bitmap.get());
        if (!DrawPage(context, item, placement, dc.get())) return false;
        if (flags & kBitmapExportMarkups) PaintMarkups(context, item, placement, dc.get(), bits_per_pixel);
        GdiFlush();
    }
    return to_file ? WriteBitmapFile(file, header, bits) : CopyToClipboard(clipboard_owner, header, bits);
}
