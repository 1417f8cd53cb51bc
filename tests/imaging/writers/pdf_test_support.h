// Shared by the PDF writer tests: a page that renders a known picture, a
// TIFF file opened, and what poppler's tools hand back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/page_render_steps.h"
#include "imaging/formats/tiff/tiff_page.h"
#include "imaging/formats/tiff/tiff_reader.h"
#include "imaging/raster/raster_image.h"
#include "tests/imaging/raster/raster_test_files.h"
#include "tests/support/test_support.h"
#include "tests/support/vector_out_stream.h"

// A page of a picture whose memory row 0 is the top row; renders only at
// its own resolution, any band of rows, with flips and inversion.
class PicturePage : public ImagePage {
  public:
    PicturePage(Ref<RasterImage> picture, double dpi, uint16_t bits)
        : picture_(picture), dpi_(dpi), bits_(bits) {}

    Ref<RasterImage> Render(ImageStatus*, DataSource*, const PagePlacement* placement,
                            ProgressSink*) override {
        ++renders;
        RectI source;
        if (!RenderSourceRect(*placement, dpi_, dpi_, picture_->width, picture_->height, &source))
            return nullptr;
        if (uint32_t(source.size.width) != placement->pixel_width ||
            uint32_t(source.size.height) != placement->pixel_height || source.origin.x != 0) {
            return nullptr;
        }
        largest_band = std::max(largest_band, placement->pixel_height);
        Ref<RasterImage> out =
            RasterImageCreate(picture_->width, placement->pixel_height, picture_->bits_per_pixel, true);
        if (!out) return nullptr;
        if (picture_->palette) out->SetPalette(picture_->palette);
        const uint32_t rows = placement->pixel_height;
        for (uint32_t y = 0; y < rows; ++y) {
            const uint32_t from = source.origin.y + (placement->flip_y ? rows - 1 - y : y);
            memcpy(RasterImageRowAddress(out.get(), y), RasterImageRowAddress(picture_.get(), from),
                   out->stride);
        }
        if (placement->flip_x) out->MirrorHorizontal();
        if (placement->invert) out->Invert();
        return out;
    }
    bool IsBilevel() const override { return picture_->bits_per_pixel == 1; }
    uint32_t PixelWidth() const override { return picture_->width; }
    uint32_t PixelHeight() const override { return picture_->height; }
    double DpiX() const override { return dpi_; }
    double DpiY() const override { return dpi_; }
    bool GetInfo(PageInfo* out) override {
        out->bits_per_pixel = bits_;
        return true;
    }

    uint32_t renders = 0;
    uint32_t largest_band = 0;

  private:
    Ref<RasterImage> picture_;
    double dpi_;
    uint16_t bits_;
};

// Runs a host command and returns what it printed (stdout and stderr).
inline std::string HostOutput(const std::string& command, const std::string& scratch, int* code = nullptr) {
    const std::string file = scratch + "/output.txt";
    const int rc = RunHostCommand("(" + command + ") > '" + file + "' 2>&1");
    if (code) *code = rc;
    std::vector<uint8_t> bytes = ReadHostFile(file);
    return std::string(bytes.begin(), bytes.end());
}

// A TIFF file's pages, and its first page's full-size image.
struct OpenedTiff {
    Ref<DataSource> data;
    Ref<ImageFormat> format;
    TiffDir* Image() const {
        return TiffPageImage(TiffFormatPage(static_cast<TiffFormat*>(format.get()), 0), 0);
    }
};

inline OpenedTiff OpenTiff(const std::string& path) {
    OpenedTiff opened{DataSourceOpenFile(WString(WindowsPathOf(path).c_str()), false), nullptr};
    ImageStatus status;
    if (opened.data) opened.format = ImageParseFile(&status, opened.data.get(), 0);
    return opened;
}
