#include "imaging/codecs/ccitt_decoder.h"

#include <gtest/gtest.h>

#include <random>

#include "foundation/data_source.h"
#include "foundation/progress.h"
#include "imaging/codecs/ccitt_band_decoder.h"
#include "imaging/sinks/raster_sink.h"
#include "tests/imaging/codecs/ccitt_test_support.h"

namespace {

size_t FirstDifferentRow(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, uint32_t stride) {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i]) return i / stride;
    }
    return a.size() == b.size() ? size_t(-1) : std::min(a.size(), b.size()) / stride;
}

class CancelAfter : public ProgressSink {
  public:
    explicit CancelAfter(int polls) : polls_left(polls) {}
    bool IsCancelled() override { return --polls_left < 0; }
    int polls_left;
};

}  // namespace

// Every page that libtiff, pnmtotiff, fax2tiff and Pillow coded (MH, T.4 one-
// and two-dimensional with and without fill, T.6, both fill orders, one to
// all rows per strip) decodes to exactly libtiff's own decode: black runs as
// set bits.
TEST(CcittDecoder, MatchesLibtiffDecodeOfEveryCase) {
    const std::vector<std::string> names = CcittCaseNames();
    ASSERT_GT(names.size(), 100u);
    for (const std::string& name : names) {
        const CcittCase c = LoadCcittCase(name);
        const uint32_t width = c.Get("width"), rows = c.Get("rows");
        ASSERT_EQ(c.expect.size(), size_t(c.Stride()) * rows) << name;
        RunsCaptureSink sink(width, rows);
        EXPECT_TRUE(DecodeCcittCase(c, CcittRect(0, 0, int32_t(width), int32_t(rows)), &sink)) << name;
        EXPECT_EQ(sink.bad_calls, 0u) << name;
        EXPECT_EQ(FirstDifferentRow(sink.bits, c.expect, c.Stride()), size_t(-1)) << name;
    }
}

// Only the requested rectangle reaches the sink, at the rectangle's own
// coordinates, though every line above it is decoded.
TEST(CcittDecoder, PartOfThePageMatchesTheSameCrop) {
    for (const char* name : {"drawing-tiffcp-g4-msb2lsb-r160", "drawing-tiffcp-g3_2d-lsb2msb-r7",
                             "text-tiffcp-g3_fill-msb2lsb-r1", "text-pillow-mh", "noise77-fax2tiff-6-a-r5"}) {
        const CcittCase c = LoadCcittCase(name);
        ASSERT_FALSE(c.strips.empty()) << name;
        const uint32_t width = c.Get("width"), rows = c.Get("rows");
        struct Part {
            uint32_t x, y, w, h;
        };
        const Part parts[] = {
            {0, rows - rows / 10, width, rows / 10},      // the bottom tenth
            {13, rows / 3, width / 2, rows / 2},          // inside, odd start
            {width - 1, 0, 1, rows},                      // the last column
            {width / 3, rows - 1, width - width / 3, 1},  // the last row
        };
        for (const Part& p : parts) {
            if (p.w == 0 || p.h == 0 || p.x + p.w > width) continue;
            RunsCaptureSink sink(p.w, p.h);
            EXPECT_TRUE(DecodeCcittCase(c, CcittRect(p.x, p.y, p.w, p.h), &sink)) << name;
            EXPECT_EQ(sink.bad_calls, 0u) << name;
            EXPECT_EQ(sink.bits, CropBits(c.expect, c.Stride(), p.x, p.y, p.w, p.h))
                << name << " part " << p.x << "," << p.y << " " << p.w << "x" << p.h;
        }
    }
}

// The 64-bit line decoders load eight bytes at a time from the byte reader's
// buffer and fall back to word loads through the reader within eight bytes
// of its end. Decoding from a file through buffers of a few bytes (nearly
// every load the fallback) and of the default size (nearly none) gives
// libtiff's decode either way.
TEST(CcittDecoder, SmallReaderBuffersGiveTheSameLines) {
    for (const char* name : {"drawing-tiffcp-g4-msb2lsb-r160", "drawing-tiffcp-g3_2d_fill-msb2lsb-r160",
                             "text-pillow-mh", "noise77-tiffcp-g3-lsb2msb-r40"}) {
        const CcittCase c = LoadCcittCase(name);
        ASSERT_EQ(c.strips.size(), 1u) << name;
        const uint32_t width = c.Get("width"), rows = c.Get("rows");
        const std::string path = MakeScratchDir("ccitt-buffers") + "/" + name + ".bin";
        ASSERT_TRUE(WriteHostFile(path, c.data));
        Ref<DataSource> source = DataSourceOpenFile(WString(WindowsPathOf(path).c_str()), false);
        ASSERT_TRUE(source);
        for (uint32_t buffer : {4u, 12u, 36u, 0u}) {
            ByteReader reader;
            ASSERT_TRUE(ByteReaderInit(reader, source.get(), c.Get("lsb_first") != 0, buffer));
            ASSERT_TRUE(ByteReaderStart(reader, c.strips[0].first, c.strips[0].second, nullptr, 0));
            CcittDecoder decoder(width, c.Get("mode"), c.Get("options"));
            RunsCaptureSink sink(width, rows);
            const RectI whole = CcittRect(0, 0, int32_t(width), int32_t(rows));
            const PointI origin = {0, 0};
            EXPECT_TRUE(decoder.Decode(&reader, &sink, rows, &whole, &origin, nullptr))
                << name << " " << buffer;
            EXPECT_EQ(FirstDifferentRow(sink.bits, c.expect, c.Stride()), size_t(-1))
                << name << " " << buffer;
        }
    }
}

// Through the real 1:1 sink: the black runs come out as set bits of the
// image (which, without palette, show white until the render inverts).
TEST(CcittDecoder, DirectSinkRowsHoldTheBlackRunsAsSetBits) {
    const CcittCase c = LoadCcittCase("text-tiffcp-g4-msb2lsb-r24");
    const uint32_t width = c.Get("width"), rows = c.Get("rows");
    Ref<RasterSink> sink = CreateSink(width, rows, width, rows, 1, nullptr, 0, false, false, false, true);
    ASSERT_TRUE(sink);
    ASSERT_TRUE(DecodeCcittCase(c, CcittRect(0, 0, width, rows), sink.get()));
    Ref<RasterImage> image = sink->Finish(nullptr, nullptr);
    ASSERT_TRUE(image);
    std::vector<uint8_t> bits;
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* row = RasterImageRowAddress(image.get(), y);
        bits.insert(bits.end(), row, row + c.Stride());
    }
    EXPECT_EQ(bits, c.expect);
}

TEST(CcittDecoder, RefusesBadSetUpAndStopsWhenCancelled) {
    const CcittCase c = LoadCcittCase("drawing-tiffcp-g4-msb2lsb-r160");
    const uint32_t width = c.Get("width"), rows = c.Get("rows");
    RunsCaptureSink sink(width, rows);
    const auto [offset, length] = c.strips[0];
    const PointI origin = {0, 0};
    auto decode = [&](CcittDecoder& decoder, const RectI& rect, ProgressSink* progress) {
        ByteReader reader;
        EXPECT_TRUE(ByteReaderInitBytes(reader, c.data.data() + offset, length, false));
        return decoder.Decode(&reader, &sink, rows, &rect, &origin, progress);
    };
    const RectI whole = CcittRect(0, 0, width, rows);
    CcittDecoder good(width, kCcittT6, 0);
    CancelAfter cancel(3);
    EXPECT_FALSE(decode(good, whole, &cancel));
    EXPECT_LT(sink.rows_received, rows);
    ProgressSink patient;
    EXPECT_TRUE(decode(good, whole, &patient));
    // A rectangle outside the image, a width of 0, an unknown mode.
    EXPECT_FALSE(decode(good, CcittRect(0, 1, width, rows), nullptr));
    EXPECT_FALSE(decode(good, CcittRect(1, 0, width, rows), nullptr));
    CcittDecoder no_width(0, kCcittT6, 0);
    EXPECT_FALSE(decode(no_width, whole, nullptr));
    CcittDecoder unknown(width, 7, 0);
    EXPECT_FALSE(decode(unknown, whole, nullptr));
}

// Damaged data: flipped bits, cut-off strips and noise never crash or write
// outside the line lists (run this in the guard-page build); the decoder
// answers a status and the sink only ever sees well-formed run lists.
TEST(CcittDamaged, FlippedAndTruncatedStreamsGiveAStatus) {
    std::mt19937 random(7);
    for (const char* name :
         {"drawing-tiffcp-g4-msb2lsb-r160", "drawing-tiffcp-g3_2d_fill-msb2lsb-r160", "text-pillow-mh",
          "noise77-tiffcp-g3-lsb2msb-r40", "noise77-tiffcp-g3_2d-msb2lsb-r7", "narrow1-tiffcp-g4-msb2lsb-r30",
          "black-fax2tiff-8", "text-fax2tiff-5-a"}) {
        const CcittCase c = LoadCcittCase(name);
        ASSERT_FALSE(c.strips.empty()) << name;
        const uint32_t width = c.Get("width"), rows = c.Get("rows");
        const RectI whole = CcittRect(0, 0, width, rows);
        int failures = 0;
        for (int trial = 0; trial < 60; ++trial) {
            std::vector<uint8_t> data = c.data;
            const auto [offset, length] = c.strips[random() % c.strips.size()];
            if (trial % 3 == 0) {
                data.resize(offset + random() % (length + 1));  // cut off
            } else {
                for (int flips = 1 + trial % 4; flips > 0; --flips) {
                    data[offset + random() % length] ^= uint8_t(1u << (random() % 8));
                }
            }
            RunsCaptureSink sink(width, rows);
            failures += DecodeCcittCase(c, whole, &sink, &data) ? 0 : 1;
            EXPECT_EQ(sink.bad_calls, 0u) << name << " trial " << trial;
        }
        EXPECT_GT(failures, 0) << name;
    }
    // Streams of nothing but zeros, ones or noise in every mode.
    for (uint32_t mode = 0; mode <= 2; ++mode) {
        for (uint32_t options : {0u, 1u}) {
            for (int fill = 0; fill < 3; ++fill) {
                std::vector<uint8_t> data(4000);
                for (uint8_t& b : data) b = fill == 0 ? 0 : fill == 1 ? 0xFF : uint8_t(random());
                ByteReader reader;
                ASSERT_TRUE(ByteReaderInitBytes(reader, data.data(), uint32_t(data.size()), false));
                CcittDecoder decoder(300, mode, options);
                RunsCaptureSink sink(300, 500);
                const RectI whole = CcittRect(0, 0, 300, 500);
                const PointI origin = {0, 0};
                decoder.Decode(&reader, &sink, 500, &whole, &origin, nullptr);
                EXPECT_EQ(sink.bad_calls, 0u) << mode << " " << options << " " << fill;
            }
        }
    }
}

namespace {

// Packs a string of '0' and '1' (spaces ignored) first bit first, in the
// stored order of FillOrder 1, and opens a bit reader on it.
struct CodedBits {
    explicit CodedBits(const std::string& text) {
        std::vector<uint8_t> bytes;
        int n = 0;
        for (char ch : text) {
            if (ch != '0' && ch != '1') continue;
            if (n % 8 == 0) bytes.push_back(0);
            if (ch == '1') bytes.back() |= uint8_t(0x80 >> (n % 8));
            ++n;
        }
        EXPECT_TRUE(ByteReaderInitBytes(reader, bytes.data(), uint32_t(bytes.size()), false));
        BitReaderInit(bits, &reader);
    }
    ByteReader reader;
    BitReader bits;
};

std::vector<uint32_t> Elements(const ChangeList& list) {
    return std::vector<uint32_t>(list.elements, list.elements + list.count);
}

}  // namespace

// Hand-coded lines for the rules that well-formed files never reach.
TEST(CcittLines, EolsInsideLinesAndBadCodes) {
    ChangeList line, reference;
    ASSERT_TRUE(ChangeListInit(line, 20));
    ASSERT_TRUE(ChangeListInit(reference, 20));
    // T.4: a line cut short by an EOL with fill (white 3, black 2, white 4,
    // then the EOL): the list is completed in white, the EOL consumed, and
    // the next line (white 2, black 1, white 17) follows it directly.
    CodedBits t4("1000 11 1011 00000 000000000001 0111 010 101011");
    EXPECT_TRUE(CcittDecodeT4Line(line, t4.bits));
    EXPECT_EQ(Elements(line), (std::vector<uint32_t>{3, 5, 20}));
    EXPECT_TRUE(CcittDecodeT4Line(line, t4.bits));
    EXPECT_EQ(Elements(line), (std::vector<uint32_t>{2, 3, 20}));
    // Eight zeros after a make-up code with no EOL behind them: the line
    // fails and is left white.
    CodedBits bad("11011 00000000 1111");
    EXPECT_FALSE(CcittDecodeMhLine(line, bad.bits));
    EXPECT_EQ(Elements(line), (std::vector<uint32_t>{20}));

    // Two-dimensional, against {4, 7, 20}.
    CodedBits first("001 1011 10 1");  // horizontal white 4 black 3, V0
    EXPECT_TRUE(CcittDecode2DLine(line, reference, first.bits));
    EXPECT_EQ(Elements(line), (std::vector<uint32_t>{4, 7, 20}));
    // VR1 puts a0 at 5; VL3 from b1 = 7 would move left of it.
    CodedBits left("011 0000010");
    EXPECT_FALSE(CcittDecode2DLine(reference, line, left.bits));
    EXPECT_TRUE(ChangeListIsEmpty(reference));
    // The uncompressed-mode extension is not supported.
    CodedBits extension("0000001111");
    EXPECT_FALSE(CcittDecode2DLine(reference, line, extension.bits));
    // An EOL in place of a mode ends the line early; the black run that
    // VR1 opened at 5 is dropped.
    CodedBits eol("011 000000000001");
    EXPECT_TRUE(CcittDecode2DLine(reference, line, eol.bits));
    EXPECT_EQ(Elements(reference), (std::vector<uint32_t>{20}));
    // An EOL whose zeros run into the end of the data fails.
    CodedBits open_eol("00000000000000");
    EXPECT_FALSE(CcittDecode2DLine(reference, line, open_eol.bits));
}

// Codes that keep a1 = a0 add zero-length runs; damaged data made of
// nothing else must fail at the list's capacity (width + 1), not run past it.
TEST(CcittLines, ZeroLengthRunsCannotOverrunTheList) {
    ChangeList reference, line;
    ASSERT_TRUE(ChangeListInit(reference, 8));
    ASSERT_TRUE(ChangeListInit(line, 8));
    // One-dimensional: white 3, then black 0 and white 0 over and over.
    std::string text = "1000";
    for (int i = 0; i < 40; ++i) text += " 0000110111 00110101";
    CodedBits zeros(text);
    EXPECT_FALSE(CcittDecodeT4Line(line, zeros.bits));
    EXPECT_TRUE(ChangeListIsEmpty(line));
    // Two-dimensional against {1, 2, 8}: VL1 puts a1 at 0; then b1 is 2 and
    // 1 in turn, and VL2, VL1 keep a1 at 0 for ever.
    reference.elements[0] = 1;
    reference.elements[1] = 2;
    reference.elements[2] = 8;
    reference.count = 3;
    ChangeListMarkEnd(reference);
    std::string vertical = "010";
    for (int i = 0; i < 20; ++i) vertical += " 000010 010";
    CodedBits modes(vertical);
    EXPECT_FALSE(CcittDecode2DLine(line, reference, modes.bits));
    EXPECT_TRUE(ChangeListIsEmpty(line));
}
