// What the CCITT tests share: the cases that tests/data/make-ccitt-data.py
// makes with libtiff, netpbm, fax2tiff and Pillow, a sink that keeps the
// runs it receives as packed rows, and decoding a case strip by strip.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "foundation/geometry.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/codecs/ccitt_band_decoder.h"
#include "imaging/sinks/raster_sink.h"
#include "tests/support/data_cases.h"
#include "tests/support/test_support.h"

struct CcittCase : DataCase {
    uint32_t Get(const std::string& key) const { return uint32_t(DataCase::Get(key)); }
    uint32_t Stride() const { return (Get("width") + 7) / 8; }
};

inline const std::string& CcittDataDir() {
    static std::string dir;
    if (dir.empty()) {
        EXPECT_TRUE(MakeDataCases("make-ccitt-data.py", "", "ccitt-data", &dir));
    }
    return dir;
}

inline std::vector<std::string> CcittCaseNames() { return DataCaseNames(CcittDataDir()); }

inline CcittCase LoadCcittCase(const std::string& name) {
    CcittCase result;
    static_cast<DataCase&>(result) = LoadDataCase(CcittDataDir(), name);
    return result;
}

// Keeps the runs it receives as set bits of packed rows (most significant bit
// first), reading each run list the way the real sinks do: pairs until a
// position at or past the window's end. Calls outside the source size, run
// lists that go backwards and rows given twice or out of order are counted.
class RunsCaptureSink : public RasterSink {
  public:
    RunsCaptureSink(uint32_t width, uint32_t height)
        : RasterSink(width, height, width, height, 1, nullptr, 0, false, false, false, true),
          stride((width + 7) / 8),
          bits(size_t(stride) * height) {}

    bool IsFailed() const override { return false; }
    Ref<RasterImage> Finish(ProgressSink*, RenderToken*) override { return nullptr; }
    bool PutRow(uint16_t, const uint8_t*, uint32_t, uint32_t, uint32_t, uint32_t) override {
        ++bad_calls;
        return false;
    }
    bool PutRuns(const uint32_t* runs, uint32_t x, uint32_t y, uint32_t offset, uint32_t count) override {
        ++rows_received;
        if (y >= source_height || x >= source_width || count > source_width - x ||
            (rows_received > 1 && y <= last_row)) {
            ++bad_calls;
            return false;
        }
        last_row = y;
        const uint32_t end = offset + count;
        uint32_t previous = 0;
        for (uint32_t i = 0; runs[i] < end; i += 2) {
            if (runs[i] < previous || runs[i + 1] < runs[i]) ++bad_calls;
            previous = runs[i + 1];
            const uint32_t start = std::max(runs[i], offset), stop = std::min(runs[i + 1], end);
            for (uint32_t p = start; p < stop; ++p) {
                const uint32_t column = x + p - offset;
                bits[size_t(y) * stride + column / 8] |= uint8_t(0x80 >> (column % 8));
            }
        }
        return true;
    }

    uint32_t stride;
    std::vector<uint8_t> bits;
    uint32_t rows_received = 0;
    uint32_t last_row = 0;
    uint32_t bad_calls = 0;
};

inline RectI CcittRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    RectI rect;
    rect.origin = {x, y};
    rect.size = {w, h};
    return rect;
}

// Decodes the part `rect` of a case into `sink` (of the rectangle's size),
// one decoder per strip as each strip is coded on its own. False when a
// strip's decode fails.
inline bool DecodeCcittCase(const CcittCase& c, const RectI& rect, RasterSink* sink,
                            const std::vector<uint8_t>* replaced_data = nullptr) {
    const std::vector<uint8_t>& data = replaced_data ? *replaced_data : c.data;
    const uint32_t rows = c.Get("rows"), strip_rows = c.Get("strip_rows");
    bool ok = true;
    for (size_t s = 0; s < c.strips.size(); ++s) {
        const int32_t first = int32_t(s * strip_rows);
        const int32_t last = std::min<int32_t>(first + int32_t(strip_rows), int32_t(rows));
        const int32_t top = std::max(first, rect.origin.y);
        const int32_t bottom = std::min(last, rect.origin.y + rect.size.height);
        if (top >= bottom) continue;
        const auto [offset, length] = c.strips[s];
        if (offset > data.size()) return false;
        const uint32_t available = std::min<uint32_t>(length, uint32_t(data.size() - offset));
        ByteReader reader;
        EXPECT_TRUE(ByteReaderInitBytes(reader, data.data() + offset, available, c.Get("lsb_first") != 0));
        CcittDecoder decoder(c.Get("width"), c.Get("mode"), c.Get("options"));
        const RectI strip_rect = CcittRect(rect.origin.x, top - first, rect.size.width, bottom - top);
        const PointI origin = {-rect.origin.x, first - rect.origin.y};
        ok = decoder.Decode(&reader, sink, uint32_t(last - first), &strip_rect, &origin, nullptr) && ok;
    }
    return ok;
}

// The packed rows of a rectangle of packed rows.
inline std::vector<uint8_t> CropBits(const std::vector<uint8_t>& bits, uint32_t stride, uint32_t x,
                                     uint32_t y, uint32_t w, uint32_t h) {
    const uint32_t out_stride = (w + 7) / 8;
    std::vector<uint8_t> out(size_t(out_stride) * h);
    for (uint32_t r = 0; r < h; ++r) {
        for (uint32_t i = 0; i < w; ++i) {
            const uint32_t column = x + i;
            if (bits[size_t(y + r) * stride + column / 8] & (0x80 >> (column % 8)))
                out[size_t(r) * out_stride + i / 8] |= uint8_t(0x80 >> (i % 8));
        }
    }
    return out;
}
