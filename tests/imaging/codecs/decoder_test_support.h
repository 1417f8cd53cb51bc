// What the band decoder tests share: the data cases that
// tests/data/make-decoder-data.py makes with outside tools, and a sink that
// records every pixel it receives.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "foundation/geometry.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/raster/raster_pixels.h"
#include "imaging/sinks/raster_sink.h"
#include "tests/support/data_cases.h"
#include "tests/support/test_support.h"

using DecoderCase = DataCase;

// Makes the data of one kind (strips, gif, bmp) once per test program.
inline const std::string& DecoderDataDir(const std::string& kind) {
    static std::map<std::string, std::string> made;
    auto it = made.find(kind);
    if (it != made.end()) return it->second;
    std::string dir;
    EXPECT_TRUE(MakeDataCases("make-decoder-data.py", kind, "decoder-data-" + kind, &dir));
    return made[kind] = dir;
}

inline std::vector<std::string> DecoderCaseNames(const std::string& kind) {
    return DataCaseNames(DecoderDataDir(kind));
}

inline DecoderCase LoadDecoderCase(const std::string& kind, const std::string& name) {
    return LoadDataCase(DecoderDataDir(kind), name);
}

// Keeps every pixel it is given as one value (three bytes for 24 bits) in a
// canvas of the source size, and counts how often each pixel was written.
class CaptureSink : public RasterSink {
  public:
    CaptureSink(uint32_t width, uint32_t height, uint16_t bits)
        : RasterSink(width, height, width, height, bits, nullptr, 0, false, false, false, true),
          channels_(bits == 24 ? 3 : 1),
          pixels(size_t(width) * height * channels_),
          writes(size_t(width) * height) {}

    bool IsFailed() const override { return false; }
    Ref<RasterImage> Finish(ProgressSink*, RenderToken*) override { return nullptr; }
    bool PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                uint32_t count) override {
        ++rows_received;
        last_offset = offset;
        last_first_byte = row[0];
        if (bits != bits_per_pixel || y >= source_height || x >= source_width || count > source_width - x) {
            ++bad_calls;
            return false;
        }
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = size_t(y) * source_width + x + i;
            ++writes[at];
            const uint32_t value = PixelGet(row, offset + i, bits);
            for (uint32_t c = 0; c < channels_; ++c) pixels[at * channels_ + c] = uint8_t(value >> (8 * c));
        }
        return true;
    }

    // Pixel values of a rectangle, row by row.
    std::vector<uint8_t> Crop(uint32_t x, uint32_t y, uint32_t w, uint32_t h) const {
        std::vector<uint8_t> out;
        for (uint32_t r = y; r < y + h; ++r) {
            const size_t start = (size_t(r) * source_width + x) * channels_;
            out.insert(out.end(), pixels.begin() + start, pixels.begin() + start + size_t(w) * channels_);
        }
        return out;
    }
    bool EveryPixelWrittenOnce() const {
        for (uint32_t n : writes) {
            if (n != 1) return false;
        }
        return true;
    }

    uint32_t channels_;
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> writes;
    uint32_t rows_received = 0;
    uint32_t last_offset = 0;
    uint8_t last_first_byte = 0;
    uint32_t bad_calls = 0;
};

// The same crop of an expected picture stored as one value (or three bytes)
// per pixel.
inline std::vector<uint8_t> CropExpected(const std::vector<uint8_t>& picture, uint32_t width,
                                         uint32_t channels, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    std::vector<uint8_t> out;
    for (uint32_t r = y; r < y + h; ++r) {
        const size_t start = (size_t(r) * width + x) * channels;
        out.insert(out.end(), picture.begin() + start, picture.begin() + start + size_t(w) * channels);
    }
    return out;
}

inline RectI MakeRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    RectI rect;
    rect.origin = {x, y};
    rect.size = {w, h};
    return rect;
}
