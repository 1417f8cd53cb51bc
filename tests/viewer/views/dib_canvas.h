// A 32-bit top-down DIB section selected into a memory DC, for tests that
// read what a window or a paint routine drew.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "foundation/handles.h"

class DibCanvas {
  public:
    DibCanvas(int width, int height, uint32_t fill) : width_(width), height_(height), dc_(nullptr) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = GdiBitmap(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        pixels_ = static_cast<uint32_t*>(bits);
        if (pixels_) std::fill(pixels_, pixels_ + width * height, fill);
        select_ = SelectObject(dc_.get(), bitmap_.get());
    }
    ~DibCanvas() {
        if (select_) SelectObject(dc_.get(), select_);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    bool ok() const { return dc_ && bitmap_ && pixels_; }
    HDC dc() const { return dc_.get(); }
    // 0xRRGGBB.
    uint32_t Pixel(int x, int y) const {
        GdiFlush();
        return pixels_[y * width_ + x] & 0xFFFFFF;
    }
    int Count(uint32_t colour) const {
        GdiFlush();
        return static_cast<int>(std::count_if(pixels_, pixels_ + width_ * height_,
                                              [&](uint32_t p) { return (p & 0xFFFFFF) == colour; }));
    }

  private:
    int width_, height_;
    MemoryDC dc_;
    GdiBitmap bitmap_;
    uint32_t* pixels_ = nullptr;
    HGDIOBJ select_ = nullptr;
};
