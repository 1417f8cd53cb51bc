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
#include "imaging/byte_reader.h"
#include "imaging/raster_pixels.h"
#include "imaging/raster_sink.h"
#include "tests/support/test_support.h"

struct DecoderCase {
    std::string name;
    std::map<std::string, int64_t> meta;
    std::vector<std::pair<uint32_t, uint32_t>> strips;  // offset, length in data
    std::vector<uint8_t> data;
    std::vector<uint8_t> expect;
    int64_t Get(const std::string& key) const {
        auto it = meta.find(key);
        return it == meta.end() ? 0 : it->second;
    }
};

// Makes the data of one kind (strips, gif, bmp) once per test program and
// returns the names of its cases.
inline const std::string& DecoderDataDir(const std::string& kind) {
    static std::map<std::string, std::string> made;
    auto it = made.find(kind);
    if (it != made.end()) return it->second;
    // One directory per process: the test files of this program run as
    // separate processes side by side.
    const std::string dir =
        MakeScratchDir("decoder-data-" + kind + "-" + std::to_string(GetCurrentProcessId()));
    const std::string script = TestEnvDir("TEST_SOURCE_DIR") + "/tests/data/make-decoder-data.py";
    // Directories of earlier runs are cleared away once they are old.
    const std::string stale = "find '" + TestEnvDir("TEST_BINARY_DIR") +
                              "/scratch' -maxdepth 1 -name 'decoder-data-*' -mmin +30 -exec rm -rf {} +; ";
    EXPECT_EQ(RunHostCommand(stale + "/usr/bin/python3 '" + script + "' " + kind + " '" + dir + "'"), 0);
    return made[kind] = dir;
}

inline std::vector<std::string> DecoderCaseNames(const std::string& kind) {
    const std::vector<uint8_t> text = ReadHostFile(DecoderDataDir(kind) + "/cases.txt");
    std::istringstream lines(std::string(text.begin(), text.end()));
    std::vector<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) names.push_back(line);
    }
    return names;
}

inline DecoderCase LoadDecoderCase(const std::string& kind, const std::string& name) {
    const std::string stem = DecoderDataDir(kind) + "/" + name;
    DecoderCase result;
    result.name = name;
    const std::vector<uint8_t> meta = ReadHostFile(stem + ".meta");
    std::istringstream lines(std::string(meta.begin(), meta.end()));
    for (std::string key; lines >> key;) {
        if (key == "strip") {
            uint32_t offset = 0, length = 0;
            lines >> offset >> length;
            result.strips.emplace_back(offset, length);
        } else {
            lines >> result.meta[key];
        }
    }
    result.data = ReadHostFile(stem + ".data");
    result.expect = ReadHostFile(stem + ".expect");
    return result;
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
