// Shared by the PDF writer tests: an in-memory stream, a page that renders
// a known picture, and readers of what poppler's tools hand back.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/out_stream.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/page_render_steps.h"
#include "imaging/raster/raster_image.h"
#include "tests/support/test_support.h"

class VectorOutStream : public OutStream {
  public:
    // fail_after: bytes taken before every write fails (-1 never).
    explicit VectorOutStream(int64_t fail_after = -1) : OutStream(256), fail_after_(fail_after) {}
    ~VectorOutStream() override {
        if (fill) OutStreamFlush(*this);
    }
    bool Write(const void* block, uint32_t length) override {
        if (fail_after_ >= 0 && int64_t(data.size()) + length > fail_after_) return false;
        const auto* bytes = static_cast<const uint8_t*>(block);
        data.insert(data.end(), bytes, bytes + length);
        return true;
    }
    std::string Text() const { return std::string(data.begin(), data.end()); }
    std::vector<uint8_t> data;

  private:
    int64_t fail_after_;
};

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

// A binary PNM (P4, P5, P6) as poppler writes it.
struct Pnm {
    char kind = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t row_bytes = 0;
    std::vector<uint8_t> pixels;
    const uint8_t* Row(uint32_t y) const { return pixels.data() + size_t(row_bytes) * y; }
};

inline bool ParsePnm(const std::vector<uint8_t>& file, Pnm& out) {
    if (file.size() < 2 || file[0] != 'P') return false;
    out.kind = char(file[1]);
    size_t at = 2;
    uint32_t fields[3] = {0, 0, 1};
    const int wanted = out.kind == '4' ? 2 : 3;
    for (int i = 0; i < wanted; ++i) {
        while (at < file.size() && (isspace(file[at]) || file[at] == '#')) {
            if (file[at] == '#') {
                while (at < file.size() && file[at] != '\n') ++at;
            } else {
                ++at;
            }
        }
        while (at < file.size() && isdigit(file[at])) fields[i] = fields[i] * 10 + (file[at++] - '0');
    }
    ++at;  // the one white-space byte before the pixels
    out.width = fields[0];
    out.height = fields[1];
    const uint32_t channels = out.kind == '6' ? 3 : 1;
    out.row_bytes = out.kind == '4' ? (out.width + 7) / 8 : out.width * channels;
    const size_t size = size_t(out.row_bytes) * out.height;
    if (at + size > file.size()) return false;
    out.pixels.assign(file.begin() + at, file.begin() + at + size);
    return true;
}

// Runs a host command and returns what it printed (stdout and stderr).
inline std::string HostOutput(const std::string& command, const std::string& scratch, int* code = nullptr) {
    const std::string file = scratch + "/output.txt";
    const int rc = RunHostCommand("(" + command + ") > '" + file + "' 2>&1");
    if (code) *code = rc;
    std::vector<uint8_t> bytes = ReadHostFile(file);
    return std::string(bytes.begin(), bytes.end());
}
