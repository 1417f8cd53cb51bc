#include "imaging/sinks/relay_sink.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/out_stream.h"
#include "foundation/progress.h"
#include "imaging/codecs/g4_encoder.h"
#include "imaging/formats/page_placement.h"
#include "imaging/formats/page_render_steps.h"
#include "tests/imaging/codecs/ccitt_test_support.h"

namespace {

struct Shape {
    uint32_t target_width, target_height;
    uint16_t rotation;
    bool flip_x, flip_y, invert;
};

Ref<RasterSink> SinkFor(uint32_t width, uint32_t height, const Shape& s) {
    const bool quarter = s.rotation == 90 || s.rotation == 270;
    return CreateSink(width, height, quarter ? s.target_height : s.target_width,
                      quarter ? s.target_width : s.target_height, 1, nullptr, s.rotation, s.flip_x, s.flip_y,
                      s.invert, true);
}

// Same size, palette and pixels.
void ExpectSameImage(const RasterImage* a, const RasterImage* b, const std::string& what) {
    ASSERT_TRUE(a && b) << what;
    ASSERT_EQ(a->width, b->width) << what;
    ASSERT_EQ(a->height, b->height) << what;
    ASSERT_EQ(a->bits_per_pixel, b->bits_per_pixel) << what;
    EXPECT_EQ(memcmp(a->pixels, b->pixels, size_t(a->stride) * a->height), 0) << what;
    ASSERT_EQ(!a->palette, !b->palette) << what;
    if (a->palette) {
        ASSERT_EQ(a->palette->count, b->palette->count) << what;
        EXPECT_EQ(memcmp(a->palette->entries, b->palette->entries, a->palette->count * 4), 0) << what;
    }
}

// The serial sink's image against the relayed one's, the rows given by `feed`.
template <class Feed>
void ExpectRelayMatches(uint32_t width, uint32_t height, const Shape& shape, Feed feed,
                        const std::string& what) {
    Ref<RasterSink> serial = SinkFor(width, height, shape);
    Ref<RasterSink> inner = SinkFor(width, height, shape);
    ASSERT_TRUE(serial && inner) << what;
    Ref<RasterSink> relay = RelaySinkCreate(inner.get());
    ASSERT_TRUE(relay) << what;
    EXPECT_EQ(relay->bits_per_pixel, 1) << what;
    feed(serial.get());
    feed(relay.get());
    Ref<RenderToken> token_a = AdoptRef(new RenderToken), token_b = AdoptRef(new RenderToken);
    Ref<RasterImage> a = serial->Finish(nullptr, token_a.get());
    Ref<RasterImage> b = relay->Finish(nullptr, token_b.get());
    ExpectSameImage(a.get(), b.get(), what);
    EXPECT_EQ(serial->CoverageLevel(), relay->CoverageLevel()) << what;
}

const Shape kShapes[] = {
    {97, 61, 0, false, true, true},    // reduced, as a screen render asks
    {40, 33, 90, true, false, false},  // reduced and turned
    {0, 0, 0, false, true, false},     // 1:1 (sizes filled in)
    {0, 0, 270, false, false, true},   // 1:1, turned
};

Shape Sized(Shape s, uint32_t width, uint32_t height) {
    if (s.target_width == 0) {
        const bool quarter = s.rotation == 90 || s.rotation == 270;
        s.target_width = quarter ? height : width;
        s.target_height = quarter ? width : height;
    }
    return s;
}

// Random drawing-like rows: runs of 1 to 40 pixels with gaps of 1 to 200.
std::vector<uint8_t> RandomRows(uint32_t width, uint32_t height, uint32_t seed) {
    std::mt19937 random(seed);
    const uint32_t stride = (width + 7) / 8;
    std::vector<uint8_t> rows(size_t(stride) * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = random() % 200; x < width;) {
            const uint32_t end = std::min(width, x + 1 + random() % 40);
            for (; x < end; ++x) rows[size_t(y) * stride + x / 8] |= uint8_t(0x80 >> (x % 8));
            x += 1 + random() % 200;
        }
    }
    return rows;
}

class VectorStream : public OutStream {
  public:
    VectorStream() : OutStream(4096) {}
    bool Write(const void* block, uint32_t length) override {
        const uint8_t* bytes = static_cast<const uint8_t*>(block);
        data.insert(data.end(), bytes, bytes + length);
        return true;
    }
    std::vector<uint8_t> data;
};

std::vector<uint8_t> G4Of(const std::vector<uint8_t>& rows, uint32_t width, uint32_t height) {
    VectorStream stream;
    G4RowCoder coder;
    EXPECT_TRUE(G4RowCoderBegin(coder, width, &stream));
    const uint32_t stride = (width + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) EXPECT_TRUE(G4RowCoderAdd(coder, rows.data() + size_t(y) * stride));
    EXPECT_TRUE(G4RowCoderEnd(coder));
    return stream.data;
}

// Counts what reaches it and on which thread; `tally` outlives it.
struct Tally {
    std::atomic<uint32_t> rows{0};
    std::atomic<uint32_t> finishes{0};
    std::atomic<DWORD> thread{0};
    std::atomic<bool> destroyed{false};
};

class TallySink : public RasterSink {
  public:
    TallySink(uint32_t width, uint32_t height, Tally* tally)
        : RasterSink(width, height, width, height, 1, nullptr, 0, false, false, false, true), tally_(tally) {}
    ~TallySink() override { tally_->destroyed = true; }
    bool IsFailed() const override { return false; }
    Ref<RasterImage> Finish(ProgressSink*, RenderToken*) override {
        ++tally_->finishes;
        return nullptr;
    }
    bool PutRuns(const uint32_t*, uint32_t, uint32_t, uint32_t, uint32_t) override {
        tally_->thread = GetCurrentThreadId();
        ++tally_->rows;
        return true;
    }
    bool PutRow(uint16_t, const uint8_t*, uint32_t, uint32_t, uint32_t, uint32_t) override { return false; }

  private:
    Tally* tally_;
};

class CancelAfter : public ProgressSink {
  public:
    explicit CancelAfter(int polls) : polls_left(polls) {}
    bool IsCancelled() override { return --polls_left < 0; }
    int polls_left;
};

}  // namespace

// Every CCITT case, decoded into the relay in every kind of sink (reduced,
// 1:1, turned), gives the image and coverage of the sink alone; so do
// libtiff's packed rows of the same pages given as rows, at bit offset 0
// and 3 of their first byte.
TEST(RelaySink, GivesTheSerialImageForEveryCcittCase) {
    const std::vector<std::string> names = CcittCaseNames();
    ASSERT_GT(names.size(), 100u);
    for (const std::string& name : names) {
        const CcittCase c = LoadCcittCase(name);
        const uint32_t width = c.Get("width"), rows = c.Get("rows"), stride = c.Stride();
        for (const Shape& raw : kShapes) {
            const Shape shape = Sized(raw, width, rows);
            if (shape.target_width > width || shape.target_height > rows) continue;
            ExpectRelayMatches(
                width, rows, shape,
                [&](RasterSink* sink) {
                    DecodeCcittCase(c, CcittRect(0, 0, int32_t(width), int32_t(rows)), sink);
                },
                name + " runs");
            ExpectRelayMatches(
                width, rows, shape,
                [&](RasterSink* sink) {
                    std::vector<uint8_t> shifted(stride + 2);
                    for (uint32_t y = 0; y < rows; ++y) {
                        const uint8_t* row = c.expect.data() + size_t(y) * stride;
                        sink->PutRow(1, row, 0, y, 0, width);
                        // The same row three pixels into its first byte.
                        std::fill(shifted.begin(), shifted.end(), 0);
                        for (uint32_t i = 0; i < stride; ++i) {
                            shifted[i] |= row[i] >> 3;
                            shifted[i + 1] |= uint8_t(row[i] << 5);
                        }
                        sink->PutRow(1, shifted.data(), 0, y, 3, width);
                    }
                },
                name + " rows");
        }
    }
}

// A page far larger than the ring: the producer waits for room many times
// and records wrap around the ring's end; a row longer than a quarter of the
// ring is handed over on the decoder's thread once the relay is idle.
TEST(RelaySink, LargePagesAndOversizedRowsKeepTheirOrder) {
    const uint32_t width = 3000, height = 1500, stride = (width + 7) / 8;
    const std::vector<uint8_t> rows = RandomRows(width, height, 5);
    std::vector<uint8_t> far_row(400000 + stride);
    for (const Shape& raw : kShapes) {
        const Shape shape = Sized(raw, width, height);
        ExpectRelayMatches(
            width, height, shape,
            [&](RasterSink* sink) {
                std::vector<uint32_t> runs(width + 8);
                for (uint32_t y = 0; y < height; ++y) {
                    const uint8_t* row = rows.data() + size_t(y) * stride;
                    if (y % 97 == 0) {
                        // Its pixels 3.2 million bits into the buffer.
                        memcpy(far_row.data() + 400000, row, stride);
                        sink->PutRow(1, far_row.data(), 0, y, 3200000, width);
                        continue;
                    }
                    // The runs as the CCITT decoder lists them.
                    uint32_t n = 0, colour = 0;
                    for (uint32_t x = 0; x < width; ++x) {
                        const uint32_t bit = (row[x / 8] >> (7 - x % 8)) & 1;
                        if (bit != colour) runs[n++] = x, colour = bit;
                    }
                    for (uint32_t k = 0; k < 4; ++k) runs[n++] = width;
                    sink->PutRuns(runs.data(), 0, y, 0, width);
                }
            },
            "shape " + std::to_string(raw.rotation) + " " + std::to_string(shape.target_width));
    }
}

// Large bilevel renders go through a relay; the image is the one the sink
// alone builds from the same decode.
TEST(RelaySink, LargeBilevelRendersMatchTheSerialDecode) {
    const uint32_t width = 2400, height = 2000;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const Shape screen = kShapes[0];
    EXPECT_EQ(RelaySinkWorthwhile(SinkFor(width, height, screen).get()), system.dwNumberOfProcessors > 1);
    EXPECT_FALSE(RelaySinkWorthwhile(SinkFor(200, 300, screen).get()));
    EXPECT_FALSE(RelaySinkWorthwhile(CreateSink(width, height, 97, 61, 8, nullptr, 0, 0, 0, 0, true).get()));
    const std::vector<uint8_t> g4 = G4Of(RandomRows(width, height, 9), width, height);
    for (const Shape& raw : {kShapes[0], kShapes[1], kShapes[2]}) {
        const Shape shape = Sized(raw, width, height);
        PagePlacement placement;
        PagePlacementInit(placement);
        placement.pixel_width = shape.target_width;
        placement.pixel_height = shape.target_height;
        placement.rotation = shape.rotation;
        placement.flip_x = shape.flip_x;
        placement.flip_y = shape.flip_y;
        placement.invert = shape.invert;
        CcittDecoder decoder(width, kCcittT6, 0);
        ByteReader reader;
        ASSERT_TRUE(ByteReaderInitBytes(reader, g4.data(), uint32_t(g4.size()), false));
        RenderRun run;
        run.source = CcittRect(0, 0, int32_t(width), int32_t(height));
        run.image_width = width;
        run.image_height = run.image_rows = height;
        run.bits_per_pixel = 1;
        run.decoder = &decoder;
        run.reader = &reader;
        Ref<RasterImage> rendered = RenderDecode(run, placement, nullptr);

        Ref<RasterSink> serial = SinkFor(width, height, shape);
        ASSERT_TRUE(serial);
        ASSERT_TRUE(ByteReaderInitBytes(reader, g4.data(), uint32_t(g4.size()), false));
        const RectI whole = CcittRect(0, 0, int32_t(width), int32_t(height));
        const PointI origin = {0, 0};
        ASSERT_TRUE(decoder.Decode(&reader, serial.get(), height, &whole, &origin, nullptr));
        Ref<RenderToken> token = AdoptRef(new RenderToken);
        Ref<RasterImage> expect = serial->Finish(nullptr, token.get());
        ExpectSameImage(rendered.get(), expect.get(), "rotation " + std::to_string(shape.rotation));
    }
}

// The sink runs on the relay's thread. A decode that is cancelled (or fails)
// releases the relay without Finish: its thread stops, the rows still queued
// are dropped and the sink is released, all before the release returns.
TEST(RelaySink, CancelledDecodeStopsTheRelayThread) {
    const CcittCase c = LoadCcittCase("drawing-tiffcp-g4-msb2lsb-r160");
    const uint32_t width = c.Get("width"), rows = c.Get("rows");
    const auto [offset, length] = c.strips[0];
    const RectI whole = CcittRect(0, 0, int32_t(width), int32_t(rows));
    const PointI origin = {0, 0};

    Tally finished;
    {
        Ref<RasterSink> relay = RelaySinkCreate(AdoptRef(new TallySink(width, rows, &finished)).get());
        ASSERT_TRUE(relay);
        ByteReader reader;
        ASSERT_TRUE(ByteReaderInitBytes(reader, c.data.data() + offset, length, false));
        CcittDecoder decoder(width, kCcittT6, 0);
        ASSERT_TRUE(decoder.Decode(&reader, relay.get(), rows, &whole, &origin, nullptr));
        EXPECT_FALSE(relay->Finish(nullptr, nullptr));
        EXPECT_EQ(finished.finishes, 1u);
        EXPECT_GT(finished.rows, 0u);
        EXPECT_NE(finished.thread, GetCurrentThreadId());
        // After Finish nothing more is taken.
        const uint32_t runs[] = {0, 5, width};
        EXPECT_FALSE(relay->PutRuns(runs, 0, 0, 0, width));
    }
    EXPECT_TRUE(finished.destroyed);

    Tally cancelled;
    {
        Ref<RasterSink> relay = RelaySinkCreate(AdoptRef(new TallySink(width, rows, &cancelled)).get());
        ASSERT_TRUE(relay);
        ByteReader reader;
        ASSERT_TRUE(ByteReaderInitBytes(reader, c.data.data() + offset, length, false));
        CcittDecoder decoder(width, kCcittT6, 0);
        CancelAfter cancel(40);
        EXPECT_FALSE(decoder.Decode(&reader, relay.get(), rows, &whole, &origin, &cancel));
    }
    EXPECT_TRUE(cancelled.destroyed);
    EXPECT_EQ(cancelled.finishes, 0u);
    EXPECT_LT(cancelled.rows, finished.rows);
}
