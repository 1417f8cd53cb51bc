#include "imaging/codecs/lzw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "foundation/data_source.h"
#include "imaging/codecs/byte_reader.h"
#include "tests/imaging/codecs/decoder_test_support.h"

namespace {

// Codes packed most significant bit first, as TIFF stores them.
std::vector<uint8_t> PackMsbFirst(const std::vector<std::pair<uint32_t, uint32_t>>& codes) {
    std::vector<uint8_t> out;
    uint64_t buffer = 0;
    uint32_t count = 0;
    for (auto [code, width] : codes) {
        buffer = (buffer << width) | code;
        count += width;
        while (count >= 8) {
            count -= 8;
            out.push_back(uint8_t(buffer >> count));
        }
    }
    if (count) out.push_back(uint8_t(buffer << (8 - count)));
    return out;
}

// An LZW encoder of the test's own, with the widths the decoder reads: TIFF's
// (most significant bit first, one code early) or GIF's. `clear_full` emits
// Clear when the table is full; else the table stays full, as GIF encoders
// may leave it.
struct LzwEncoding {
    bool msb_first = true;
    uint32_t code_size = 8;
    uint32_t max_width = 12;
    bool clear_full = true;
};

std::vector<uint8_t> LzwEncode(const std::vector<uint8_t>& symbols, const LzwEncoding& e) {
    const uint32_t clear = 1u << e.code_size, size = 1u << e.max_width;
    std::vector<uint8_t> out;
    uint64_t buffer = 0;
    uint32_t count = 0, width = 0, limit = 0, decoder_free = 0, next = 0;
    bool first_after_clear = true;
    std::map<uint32_t, uint32_t> table;  // prefix code << 8 | symbol -> code
    auto put = [&](uint32_t code) {
        if (e.msb_first) {
            buffer = (buffer << width) | code;
            count += width;
            for (; count >= 8; count -= 8) out.push_back(uint8_t(buffer >> (count - 8)));
        } else {
            buffer |= uint64_t(code) << count;
            count += width;
            for (; count >= 8; count -= 8, buffer >>= 8) out.push_back(uint8_t(buffer));
        }
        // The decoder's table takes an entry with every code but the first
        // after Clear, and widens its codes as it fills.
        if (code == clear) {
            width = e.code_size + 1;
            limit = e.msb_first ? 2 * clear - 1 : 2 * clear;
            decoder_free = next = clear + 2;
            table.clear();
            first_after_clear = true;
            return;
        }
        if (!first_after_clear && decoder_free < size && ++decoder_free >= limit && width < e.max_width) {
            ++width;
            limit = e.msb_first ? 2 * limit + 1 : 2 * limit;
        }
        first_after_clear = false;
    };
    width = e.code_size + 1;
    put(clear);
    uint32_t string = 0xFFFFFFFFu;
    for (uint8_t symbol : symbols) {
        if (string == 0xFFFFFFFFu) {
            string = symbol;
            continue;
        }
        auto found = table.find(string << 8 | symbol);
        if (found != table.end()) {
            string = found->second;
            continue;
        }
        put(string);
        if (next < size) table[string << 8 | symbol] = next++;
        if (e.clear_full && next >= (e.msb_first ? size - 1 : size)) put(clear);
        string = symbol;
    }
    if (string != 0xFFFFFFFFu) put(string);
    put(clear + 1);
    if (count) out.push_back(uint8_t(e.msb_first ? buffer << (8 - count) : buffer));
    return out;
}

// Symbols below 2^bits as scans and drawings have them: long runs of one
// symbol (paper), noise, and repeated patterns.
std::vector<uint8_t> MixedSymbols(std::mt19937& random, uint32_t n, uint32_t bits) {
    std::vector<uint8_t> symbols;
    const uint32_t mask = (1u << bits) - 1;
    while (symbols.size() < n) {
        const uint32_t kind = random() % 3, length = 1 + random() % 3000;
        const uint8_t base = uint8_t(random() & mask);
        for (uint32_t k = 0; k < length && symbols.size() < n; ++k) {
            if (kind == 0) symbols.push_back(0);
            if (kind == 1) symbols.push_back(uint8_t(random() & mask));
            if (kind == 2) symbols.push_back(uint8_t((base + k % 7) & mask));
        }
    }
    return symbols;
}

// Packs symbols into bytes of 1, 4 or 8 bits, first pixel highest.
std::vector<uint8_t> Pack(const std::vector<uint8_t>& symbols, uint32_t bits) {
    const uint32_t per_byte = 8 / bits;
    std::vector<uint8_t> out((symbols.size() + per_byte - 1) / per_byte);
    for (size_t i = 0; i < symbols.size(); ++i) {
        const uint32_t shift = 8 - bits * (i % per_byte + 1);
        out[i / per_byte] |= uint8_t((symbols[i] & ((1u << bits) - 1)) << shift);
    }
    return out;
}

}  // namespace

// An 8-bit TIFF strip of libtiff's: any window of the decoded stream equals
// the same bytes of libtiff's uncompressed copy.
TEST(LzwDecode, WindowsOfTheStreamMatchLibtiff) {
    const DecoderCase c = LoadDecoderCase("strips", "lzw_8_r100000");
    const uint32_t total = uint32_t(c.expect.size());
    std::vector<uint8_t> out(total);
    ASSERT_TRUE(LzwDecode(c.data.data(), uint32_t(c.data.size()), out.data(), 0, total, 1, 8, 12, 8));
    EXPECT_TRUE(out == c.expect);
    std::mt19937 random(1);
    for (int round = 0; round < 40; ++round) {
        const uint32_t skip = random() % total, length = 1 + random() % (total - skip);
        std::vector<uint8_t> window(length);
        ASSERT_TRUE(
            LzwDecode(c.data.data(), uint32_t(c.data.size()), window.data(), skip, length, 1, 8, 12, 8));
        EXPECT_TRUE(std::equal(window.begin(), window.end(), c.expect.begin() + skip))
            << skip << "+" << length;
    }
}

TEST(LzwDecode, RefusesBadArguments) {
    const uint8_t input[] = {0x80, 0x00};
    uint8_t out[4] = {};
    EXPECT_FALSE(LzwDecode(nullptr, 2, out, 0, 4, 1, 8, 12, 8));
    EXPECT_FALSE(LzwDecode(input, 0, out, 0, 4, 1, 8, 12, 8));
    EXPECT_FALSE(LzwDecode(input, 2, nullptr, 0, 4, 1, 8, 12, 8));
    EXPECT_FALSE(LzwDecode(input, 2, out, 0, 0, 1, 8, 12, 8));
    EXPECT_FALSE(LzwDecode(input, 2, out, 0, 4, 1, 1, 12, 8));
    EXPECT_FALSE(LzwDecode(input, 2, out, 0, 4, 1, 14, 16, 8));
    EXPECT_FALSE(LzwDecode(input, 2, out, 0, 4, 1, 12, 12, 8));
    EXPECT_FALSE(LzwDecode(input, 2, out, 0, 4, 1, 8, 12, 2));
}

TEST(LzwDecode, BadCodesFailAndTheEndOfDataSucceeds) {
    uint8_t out[8] = {};
    // The first code must be Clear.
    std::vector<uint8_t> data = PackMsbFirst({{65, 9}, {257, 9}});
    EXPECT_FALSE(LzwDecode(data.data(), uint32_t(data.size()), out, 0, 8, 1, 8, 12, 8));
    // A code above the next free one (258 after one pixel).
    data = PackMsbFirst({{256, 9}, {65, 9}, {259, 9}});
    EXPECT_FALSE(LzwDecode(data.data(), uint32_t(data.size()), out, 0, 8, 1, 8, 12, 8));
    // The next free code itself is the previous string plus its first pixel.
    data = PackMsbFirst({{256, 9}, {65, 9}, {258, 9}, {66, 9}, {257, 9}});
    ASSERT_TRUE(LzwDecode(data.data(), uint32_t(data.size()), out, 0, 8, 1, 8, 12, 8));
    EXPECT_EQ(std::vector<uint8_t>(out, out + 5), (std::vector<uint8_t>{65, 65, 65, 66, 0}));
    // Data that stop without End: what was decoded stays, the rest blank.
    uint8_t cut[8] = {};
    data = PackMsbFirst({{256, 9}, {65, 9}, {66, 9}});
    ASSERT_TRUE(LzwDecode(data.data(), uint32_t(data.size()), cut, 0, 8, 1, 8, 12, 8));
    EXPECT_EQ(std::vector<uint8_t>(cut, cut + 3), (std::vector<uint8_t>{65, 66, 0}));
}

// TIFF's width grows one code early: 10 bits once the next free code is
// 511, 11 at 1023, 12 at 2047. A stream of distinct pairs fills the table
// so the codes cross every step; its own encoding is decoded back.
TEST(LzwDecode, CodeWidthGrowsOneCodeEarly) {
    std::vector<std::pair<uint32_t, uint32_t>> codes = {{256, 9}};
    std::vector<uint8_t> expect;
    uint32_t next_free = 258, width = 9;
    for (uint32_t i = 0; next_free < 4094; ++i) {
        // Roots only: each adds one entry, so the widths follow the table.
        const uint32_t pixel = (i * 37) & 0xFF;
        codes.push_back({pixel, width});
        expect.push_back(uint8_t(pixel));
        if (i > 0) ++next_free;
        if (next_free == 511 || next_free == 1023 || next_free == 2047) ++width;
    }
    codes.push_back({257, width});
    EXPECT_EQ(width, 12u);
    const std::vector<uint8_t> data = PackMsbFirst(codes);
    std::vector<uint8_t> out(expect.size());
    ASSERT_TRUE(
        LzwDecode(data.data(), uint32_t(data.size()), out.data(), 0, uint32_t(out.size()), 1, 8, 12, 8));
    EXPECT_TRUE(out == expect);
}

// A strip read in pieces of every size (strings cut at a piece's end are
// finished by the next piece, skipped pieces are decoded and dropped) equals
// libtiff's uncompressed copy.
TEST(LzwStream, PiecesOfTheStreamMatchLibtiff) {
    const DecoderCase c = LoadDecoderCase("strips", "lzw_8_r100000");
    const uint32_t total = uint32_t(c.expect.size());
    std::mt19937 random(2);
    for (uint32_t max_piece : {1u, 7u, 100u, 5000u}) {
        LzwStream stream;
        ASSERT_TRUE(stream.Start(c.data.data(), uint32_t(c.data.size()), 1, 8, 12, 8));
        for (uint32_t at = 0; at < total;) {
            const uint32_t length = std::min(total - at, 1 + uint32_t(random() % max_piece));
            if (random() % 4 == 0) {
                ASSERT_TRUE(stream.Skip(length));
            } else {
                std::vector<uint8_t> piece(length);
                ASSERT_TRUE(stream.Read(piece.data(), length));
                ASSERT_TRUE(std::equal(piece.begin(), piece.end(), c.expect.begin() + at))
                    << at << "+" << length << " of pieces up to " << max_piece;
            }
            at += length;
        }
    }
}

// A strip read from a file through reader buffers of a few bytes (codes
// cut at every buffer's end, the strip at an offset in the file) equals
// libtiff's copy; a strip that runs past the file's end ends with the
// reader's error.
TEST(LzwStream, ReadingThroughSmallBuffersMatchesLibtiff) {
    const DecoderCase c = LoadDecoderCase("strips", "lzw_8_r100000");
    const uint32_t total = uint32_t(c.expect.size()), length = uint32_t(c.data.size());
    std::vector<uint8_t> file(5 + c.data.size(), 0xA5);  // the strip starts at offset 5
    std::copy(c.data.begin(), c.data.end(), file.begin() + 5);
    const std::string path =
        MakeScratchDir("lzw-stream-" + std::to_string(GetCurrentProcessId())) + "/strip.bin";
    ASSERT_TRUE(WriteHostFile(path, file));
    Ref<DataSource> source = DataSourceOpenFile(WString(WindowsPathOf(path).c_str()), false);
    ASSERT_TRUE(source);
    for (uint32_t buffer : {4u, 12u, 100u, 0u}) {
        ByteReader reader;
        ASSERT_TRUE(ByteReaderInit(reader, source.get(), true, buffer));
        ASSERT_TRUE(ByteReaderStart(reader, 5, length, nullptr, 0));
        LzwStream stream;
        ASSERT_TRUE(stream.StartReading(reader, 1, 8, 12, 8));
        std::vector<uint8_t> out(total);
        ASSERT_TRUE(stream.Skip(17));
        ASSERT_TRUE(stream.Read(out.data() + 17, total - 17)) << buffer;
        EXPECT_TRUE(std::equal(out.begin() + 17, out.end(), c.expect.begin() + 17)) << buffer;
        EXPECT_FALSE(reader.error);
    }
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInit(reader, source.get(), true, 64));
    ASSERT_TRUE(ByteReaderStart(reader, 5, length + 1000, nullptr, 0));
    LzwStream stream;
    ASSERT_TRUE(stream.StartReading(reader, 1, 8, 12, 8));
    std::vector<uint8_t> out(total + 100);
    stream.Read(out.data(), total + 100);
    EXPECT_TRUE(reader.error);
}

// Reading past the data leaves the bytes as they were; bad data fail the
// read that meets them and every later one.
TEST(LzwStream, EndOfDataAndBadCodes) {
    std::vector<uint8_t> data = PackMsbFirst({{256, 9}, {65, 9}, {258, 9}, {66, 9}});
    LzwStream stream;
    ASSERT_TRUE(stream.Start(data.data(), uint32_t(data.size()), 1, 8, 12, 8));
    uint8_t first[2] = {}, second[4] = {9, 9, 9, 9};
    ASSERT_TRUE(stream.Read(first, 2));  // cuts the string "AA" of code 258
    ASSERT_TRUE(stream.Read(second, 4));
    EXPECT_EQ(std::vector<uint8_t>(first, first + 2), (std::vector<uint8_t>{65, 65}));
    EXPECT_EQ(std::vector<uint8_t>(second, second + 4), (std::vector<uint8_t>{65, 66, 9, 9}));
    EXPECT_TRUE(stream.Read(second, 4));

    data = PackMsbFirst({{256, 9}, {65, 9}, {66, 9}, {300, 9}, {67, 9}});
    ASSERT_TRUE(stream.Start(data.data(), uint32_t(data.size()), 1, 8, 12, 8));
    uint8_t good[2] = {};
    ASSERT_TRUE(stream.Read(good, 2));
    EXPECT_EQ(std::vector<uint8_t>(good, good + 2), (std::vector<uint8_t>{65, 66}));
    EXPECT_FALSE(stream.Read(good, 2));
    EXPECT_FALSE(stream.Read(good, 2));

    // A stream that does not begin with Clear fails at once and stays failed.
    data = PackMsbFirst({{65, 9}, {256, 9}, {66, 9}});
    ASSERT_TRUE(stream.Start(data.data(), uint32_t(data.size()), 1, 8, 12, 8));
    EXPECT_FALSE(stream.Read(good, 2));
    EXPECT_FALSE(stream.Read(good, 2));

    EXPECT_FALSE(stream.Start(nullptr, 4, 1, 8, 12, 8));
    EXPECT_FALSE(stream.Read(good, 2));  // a stream that did not start reads nothing
}

// Streams of the test's own encoder in both bit orders, every code size and
// output depth, with Clear when the table is full or never (then strings
// decoded long before are still asked for, after the decoder's history has
// moved on), read whole and in pieces whose ends cut strings.
TEST(LzwStream, OwnEncodingsComeBackWhole) {
    std::mt19937 random(4);
    struct Case {
        LzwEncoding encoding;
        uint32_t symbols;
        uint32_t bits;  // of the output pixels
    };
    const Case cases[] = {
        {{true, 8, 12, true}, 1500000, 8},  {{true, 8, 12, false}, 1500000, 8},
        {{false, 8, 12, true}, 300000, 8},  {{false, 8, 12, false}, 1500000, 8},
        {{false, 2, 12, false}, 400000, 1}, {{false, 4, 12, true}, 200000, 4},
        {{false, 3, 12, false}, 200000, 4}, {{true, 5, 9, false}, 100000, 8},
        {{true, 8, 16, false}, 1500000, 8}, {{false, 7, 13, true}, 200000, 8},
    };
    for (const Case& c : cases) {
        const uint32_t symbol_bits = std::min(c.encoding.code_size, c.bits);
        SCOPED_TRACE(std::to_string(c.encoding.msb_first) + " " + std::to_string(c.encoding.code_size) + " " +
                     std::to_string(c.encoding.max_width) + " " + std::to_string(c.encoding.clear_full));
        const std::vector<uint8_t> symbols = MixedSymbols(random, c.symbols, symbol_bits);
        const std::vector<uint8_t> data = LzwEncode(symbols, c.encoding);
        const std::vector<uint8_t> expect = Pack(symbols, c.bits);
        std::vector<uint8_t> out(expect.size());
        ASSERT_TRUE(LzwDecode(data.data(), uint32_t(data.size()), out.data(), 0, uint32_t(out.size()),
                              c.encoding.msb_first, c.encoding.code_size, uint16_t(c.encoding.max_width),
                              uint16_t(c.bits)));
        ASSERT_TRUE(out == expect);
        LzwStream stream;
        ASSERT_TRUE(stream.Start(data.data(), uint32_t(data.size()), c.encoding.msb_first,
                                 c.encoding.code_size, uint16_t(c.encoding.max_width), uint16_t(c.bits)));
        for (uint32_t at = 0; at < expect.size();) {
            const uint32_t length = std::min(uint32_t(expect.size()) - at, 1 + uint32_t(random() % 3000));
            std::vector<uint8_t> piece(length);
            uint32_t filled = 0;
            ASSERT_TRUE(random() % 3 ? stream.Read(piece.data(), length, &filled) : stream.Skip(length));
            if (filled) {
                ASSERT_EQ(filled, length);
                ASSERT_TRUE(std::equal(piece.begin(), piece.end(), expect.begin() + at)) << at;
            }
            at += length;
        }
    }
}

// Cut-off and damaged streams: what was decoded before the cut stays and
// the read says how far the data reached, the rest is left alone; flipped bits and noise fail or
// succeed, never read or write outside their buffers.
TEST(LzwStream, ShortAndDamagedData) {
    std::mt19937 random(8);
    const std::vector<uint8_t> symbols = MixedSymbols(random, 20000, 8);
    const std::vector<uint8_t> data = LzwEncode(symbols, {});
    // Too short for the first code, which must be Clear: no stream.
    {
        LzwStream stream;
        ASSERT_TRUE(stream.Start(data.data(), 1, 1, 8, 12, 8));
        uint8_t out[4] = {};
        EXPECT_FALSE(stream.Read(out, 4));
    }
    for (uint32_t cut : {2u, 3u, 100u, 1001u, uint32_t(data.size() - 1)}) {
        LzwStream stream;
        ASSERT_TRUE(stream.Start(data.data(), cut, 1, 8, 12, 8));
        std::vector<uint8_t> out(symbols.size() + 10, 0xA5);
        uint32_t filled = 0;
        ASSERT_TRUE(stream.Read(out.data(), uint32_t(out.size()), &filled)) << cut;
        EXPECT_LE(filled, symbols.size()) << cut;
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + filled, symbols.begin())) << cut;
        EXPECT_TRUE(std::all_of(out.begin() + filled, out.end(), [](uint8_t b) { return b == 0xA5; })) << cut;
    }
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> damaged = data;
        if (round % 2) {
            for (int flips = 0; flips < 1 + round % 5; ++flips)
                damaged[random() % damaged.size()] ^= 1 << (random() % 8);
        } else {
            for (size_t i = 2; i < damaged.size(); ++i) damaged[i] = uint8_t(random());
        }
        std::vector<uint8_t> out(symbols.size());
        LzwDecode(damaged.data(), uint32_t(damaged.size()), out.data(), 0, uint32_t(out.size()),
                  round % 3 != 0, 8, 12, 8);
    }
}
