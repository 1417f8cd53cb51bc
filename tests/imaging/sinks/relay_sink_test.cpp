#include "imaging/sinks/relay_sink.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/progress.h"
#include "imaging/codecs/band_decoder.h"
#include "imaging/formats/page_render_steps.h"
#include "tests/imaging/codecs/ccitt_test_support.h"

namespace {

// Target size (0: the page's), rotation, flips and inversion of a reduced
// render (as the screen asks), a 1:1 and a turned one.
using Shape = std::tuple<uint32_t, uint32_t, uint16_t, bool, bool, bool>;
const Shape kShapes[] = {
    {97, 61, 0, false, true, true}, {0, 0, 0, false, true, false}, {0, 0, 270, false, false, true}};

Ref<RasterSink> SinkFor(uint32_t width, uint32_t height, const Shape& shape) {
    const auto [w, h, rotation, flip_x, flip_y, invert] = shape;
    return CreateSink(width, height, w ? w : width, h ? h : height, 1, nullptr, rotation, flip_x, flip_y,
                      invert, true);
}

// An image as one value: size, depth, pixels and palette.
auto Contents(const RasterImage& image) {
    const Palette* p = image.palette;
    return std::tuple(image.width, image.height, image.bits_per_pixel, p != nullptr,
                      std::vector<uint8_t>(image.pixels, image.pixels + size_t(image.stride) * image.height),
                      p ? std::vector<uint32_t>(p->entries, p->entries + p->count) : std::vector<uint32_t>());
}

// The rows `feed` gives, into the sink alone and through a relay into the
// same kind of sink: the same image and coverage.
template <class Feed>
void ExpectRelayMatches(uint32_t width, uint32_t height, const Shape& shape, Feed feed) {
    Ref<RasterSink> serial = SinkFor(width, height, shape);
    Ref<RasterSink> relay = RelaySinkCreate(SinkFor(width, height, shape).get());
    ASSERT_TRUE(serial && relay);
    feed(serial.get());
    feed(relay.get());
    Ref<RasterImage> a = serial->Finish(nullptr, nullptr), b = relay->Finish(nullptr, nullptr);
    EXPECT_EQ(serial->CoverageLevel(), relay->CoverageLevel());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(Contents(*a), Contents(*b));
}

// Also notes the thread the rows arrive on and whether it was finished; as
// the decode's progress, it cancels after `polls_left` polls.
struct TallySink : RunsCaptureSink, ProgressSink {
    using RunsCaptureSink::RunsCaptureSink;
    Ref<RasterImage> Finish(ProgressSink*, RenderToken*) override { return ++finishes, nullptr; }
    bool PutRuns(const uint32_t* runs, uint32_t x, uint32_t y, uint32_t offset, uint32_t count) override {
        thread = GetCurrentThreadId();
        return RunsCaptureSink::PutRuns(runs, x, y, offset, count);
    }
    bool IsCancelled() override { return --polls_left < 0; }
    uint32_t finishes = 0;
    DWORD thread = 0;
    int polls_left = 1 << 30;
};

}  // namespace

TEST(RelaySink, GivesTheSerialImageForEveryCcittCase) {
    const std::vector<std::string> names = CcittCaseNames();
    ASSERT_GT(names.size(), 100u);
    for (const std::string& name : names) {
        const CcittCase c = LoadCcittCase(name);
        const uint32_t width = c.Get("width"), rows = c.Get("rows");
        for (const Shape& shape : kShapes) {
            if (std::get<0>(shape) > width || std::get<1>(shape) > rows) continue;
            SCOPED_TRACE(name + " shape " + std::to_string(&shape - kShapes));
            ExpectRelayMatches(width, rows, shape, [&](RasterSink* sink) {
                DecodeCcittCase(c, CcittRect(0, 0, int32_t(width), int32_t(rows)), sink);
            });
        }
    }
}

// A drawing's rows ten times over, packed three pixels into their first byte:
// four times what the ring holds, so the producer waits for room and records
// wrap around the ring's end. Every 97th row is longer than a quarter of the
// ring and reaches the sink on the decoder's thread once the relay is idle;
// so does every 5th, given from a byte's start, which a reduction counts by
// words at once.
TEST(RelaySink, LargePagesAndOversizedRowsKeepTheirOrder) {
    const CcittCase c = LoadCcittCase("drawing-tiffcp-g4-msb2lsb-r160");
    const uint32_t width = c.Get("width"), stride = c.Stride(), height = 10 * c.Get("rows");
    std::vector<uint8_t> far_row(400000 + stride + 2), shifted(stride + 2);
    for (const Shape& shape : kShapes) {
        SCOPED_TRACE("shape " + std::to_string(&shape - kShapes));
        ExpectRelayMatches(width, height, shape, [&](RasterSink* sink) {
            for (uint32_t y = 0; y < height; ++y) {
                const uint8_t* row = c.expect.data() + size_t(y % c.Get("rows")) * stride;
                // The far rows' pixels lie 3.2 million bits into their buffer.
                uint8_t* out = y % 97 ? shifted.data() : far_row.data() + 400000;
                out[0] = 0;
                for (uint32_t i = 0; i < stride; ++i) out[i] |= row[i] >> 3, out[i + 1] = row[i] << 5;
                if (y % 5 == 0) {
                    sink->PutRow(1, row, 0, y, 0, width);
                    continue;
                }
                sink->PutRow(1, y % 97 ? shifted.data() : far_row.data(), 0, y, y % 97 ? 3 : 3200003, width);
            }
        });
    }
}

// Lists with more pairs in a window than it has pixels (empty pairs at one
// position, as damaged data may give) and touching or overlapping pairs: the
// relay's copy gives the sink what the decoder's own list would.
TEST(RelaySink, CrowdedAndOverlappingListsGiveTheSerialImage) {
    const uint32_t width = 40, height = 30;
    const std::vector<uint32_t> lists[] = {
        {2, 2, 4, 4, 4, 4, 4, 4, 5, 5, 6, 6, 6, 8, 12, 20, 40},
        {0, 3, 3, 6, 6, 6, 10, 39, 40},
        {1, 30, 5, 9, 8, 35, 36, 40},
        {40},
    };
    const Shape shapes[] = {{10, 6, 0, false, false, false}, {0, 0, 90, true, false, false}};
    for (const Shape& shape : shapes) {
        SCOPED_TRACE("shape " + std::to_string(&shape - shapes));
        ExpectRelayMatches(width, height, shape, [&](RasterSink* sink) {
            for (uint32_t y = 0; y < height; ++y) {
                const std::vector<uint32_t>& list = lists[y % 4];
                // Whole rows, and narrow windows that the crowded list overfills.
                const uint32_t offset = y % 3 == 0 ? 0 : 3 + y % 4, count = y % 3 == 0 ? width : 4;
                sink->PutRuns(list.data(), offset, y, offset, count);
            }
        });
    }
}

// The sink runs on the relay's thread. A cancelled (or failed) decode releases the relay without
// Finish: its thread stops, drops the queued rows and lets go of the sink before the release returns.
TEST(RelaySink, CancelledDecodeStopsTheRelayThread) {
    const CcittCase c = LoadCcittCase("drawing-tiffcp-g4-msb2lsb-r160");
    const uint32_t width = c.Get("width"), rows = c.Get("rows");
    const auto [offset, length] = c.strips[0];
    const RectI whole = CcittRect(0, 0, int32_t(width), int32_t(rows));
    const PointI origin = {0, 0};
    for (const bool cancelled : {false, true}) {
        Ref<TallySink> sink = MakeRef<TallySink>(width, rows);
        Ref<RasterSink> relay = RelaySinkCreate(sink.get());
        ByteReader reader;
        ASSERT_TRUE(relay && ByteReaderInitBytes(reader, c.data.data() + offset, length, false));
        CcittDecoder decoder(width, kCcittT6, 0);
        if (cancelled) sink->polls_left = 40;
        EXPECT_EQ(decoder.Decode(&reader, relay.get(), rows, &whole, &origin, sink.get()), !cancelled);
        EXPECT_TRUE(cancelled || !relay->Finish(nullptr, nullptr));  // only a whole decode is finished
        relay.Reset();
        EXPECT_EQ(sink->RefCountForTests(), 1u);  // the relay let go of it
        EXPECT_EQ(sink->finishes, cancelled ? 0u : 1u);
        EXPECT_EQ(sink->rows_received <= 40, cancelled) << sink->rows_received;  // a row a poll at most
        EXPECT_NE(sink->thread, GetCurrentThreadId());
    }
}

// A whole page of packed rows that the screen's reduction counts a word at a
// time gets no second thread: the relay would pass every row straight on. A
// decoder of runs, or a part of the page, keeps the relay. (Only a sink
// without a relay in front says it takes packed rows cheaply.)
TEST(RelaySink, WholePagesOfPackedRowsCountedByWordsGetNoThread) {
    struct Decoder : BandDecoder {
        explicit Decoder(bool packed) : packed(packed) {}
        bool Decode(ByteReader*, RasterSink*, uint32_t, const RectI*, const PointI*, ProgressSink*) override {
            return false;
        }
        bool DeliversPackedRows() const override { return packed; }
        bool packed;
    };
    Decoder packed(true), runs(false);
    RenderRun run;
    run.image_width = 4096;
    run.image_height = 3072;
    run.source = RectI{{run.image_width, run.image_height}, {}};
    run.image_rows = run.image_height;
    run.bits_per_pixel = 1;
    PagePlacement placement;
    PagePlacementInit(placement);
    placement.pixel_width = 400;
    placement.pixel_height = 300;
    auto takes_rows_itself = [&](BandDecoder* decoder, const RectI& source) {
        run.decoder = decoder;
        run.source = source;
        Ref<RasterSink> sink = RenderCreateSink(run, placement);
        return sink && sink->TakesPackedRowCheaply(0, 0, 0);
    };
    const RectI whole{{4096, 3072}, {}};
    EXPECT_TRUE(takes_rows_itself(&packed, whole));
    // With one processor no page gets a relay.
    Ref<RasterSink> plain = CreateSink(4096, 3072, 400, 300, 1, nullptr, 0, false, false, false, true);
    const bool relayed = RelaySinkWorthwhile(plain.get());
    EXPECT_EQ(takes_rows_itself(&runs, whole), !relayed);
    EXPECT_EQ(takes_rows_itself(&packed, RectI{{4096, 2048}, {}}), !relayed);
}
