#include "imaging/codecs/jpeg_glue.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/imaging/codecs/jpeg_test_data.h"
#include "tests/imaging/raster/raster_test_files.h"

namespace {

// cjpeg writes its JFIF segment right after the start-of-image marker.
constexpr size_t kJfifUnit = 13;

std::vector<uint8_t> WithDensity(std::vector<uint8_t> jpeg, uint8_t unit, uint16_t x, uint16_t y) {
    EXPECT_EQ(memcmp(jpeg.data() + 6, "JFIF", 5), 0);
    jpeg[kJfifUnit] = unit;
    jpeg[kJfifUnit + 1] = uint8_t(x >> 8);
    jpeg[kJfifUnit + 2] = uint8_t(x);
    jpeg[kJfifUnit + 3] = uint8_t(y >> 8);
    jpeg[kJfifUnit + 4] = uint8_t(y);
    return jpeg;
}

// A comment segment of n bytes after the start-of-image marker: libjpeg
// skips it through the source manager.
std::vector<uint8_t> WithComment(const std::vector<uint8_t>& jpeg, uint16_t n) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    for (uint8_t byte : {uint8_t(0xFF), uint8_t(0xFE), uint8_t((n + 2) >> 8), uint8_t(n + 2)})
        out.push_back(byte);
    for (uint32_t i = 0; i < n; ++i) out.push_back(uint8_t(i * 7));
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

std::vector<uint8_t> DjpegSamples(const std::string& name) {
    Pnm pnm;
    EXPECT_TRUE(ReadPnm(JpegDataDir("jfif") + "/" + name + ".pnm", pnm)) << name;
    return pnm.bytes;
}

// djpeg's verdict on damaged bytes: its exit code (0 clean, 2 warnings, 1
// error) and, unless it failed, its samples.
int DjpegOf(const std::vector<uint8_t>& bytes, const std::string& stem, std::vector<uint8_t>* samples) {
    const std::string jpg = stem + ".jpg", pnm = stem + ".pnm";
    EXPECT_TRUE(WriteHostFile(jpg, bytes));
    const int code = RunHostCommand("djpeg -pnm -outfile '" + pnm + "' '" + jpg + "' 2>/dev/null");
    Pnm decoded;
    if (code != 1 && ReadPnm(pnm, decoded)) *samples = decoded.bytes;
    return code;
}

}  // namespace

TEST(JpegHeader, DensityFollowsTheJfifUnit) {
    struct Case {
        uint8_t unit;
        uint16_t x, y;
        double dpi_x, dpi_y;
        uint16_t given;
    };
    const Case cases[] = {
        {1, 300, 300, 300, 300, 1},   {1, 200, 100, 200, 100, 1}, {2, 118, 118, 299.72, 299.72, 1},
        {2, 40, 80, 101.6, 203.2, 1}, {0, 1, 1, 100, 100, 0},     {0, 2, 1, 200, 100, 0},
        {0, 72, 72, 72, 72, 0},       {0, 3, 2, 3, 2, 0},         {0, 0, 0, 100, 100, 0},
        {1, 0, 300, 100, 100, 0},     {2, 118, 0, 100, 100, 0},   {7, 1, 1, 100, 100, 0},
        {7, 150, 150, 150, 150, 0},
    };
    const std::vector<uint8_t> jpeg = JpegCaseFile("jfif", "colour420.jpg");
    for (const Case& c : cases) {
        JpegInfo info;
        ASSERT_EQ(ReadInfoBytes(WithDensity(jpeg, c.unit, c.x, c.y), &info), kJpegOk);
        EXPECT_DOUBLE_EQ(info.x_density, c.dpi_x) << int(c.unit) << " " << c.x << "x" << c.y;
        EXPECT_DOUBLE_EQ(info.y_density, c.dpi_y) << int(c.unit) << " " << c.x << "x" << c.y;
        EXPECT_EQ(info.resolution_given, c.given) << int(c.unit) << " " << c.x << "x" << c.y;
        EXPECT_EQ(info.width, 203u);
        EXPECT_EQ(info.height, 151u);
        EXPECT_EQ(info.components, 3u);
        EXPECT_EQ(info.bits_per_sample, 8u);
    }
}

TEST(JpegHeader, WithoutJfifSegmentTheDensityIs100Dpi) {
    std::vector<uint8_t> jpeg = JpegCaseFile("jfif", "grey.jpg");
    ASSERT_EQ(jpeg[3], 0xE0);
    jpeg.erase(jpeg.begin() + 2, jpeg.begin() + 4 + ((jpeg[4] << 8) | jpeg[5]));
    JpegInfo info;
    ASSERT_EQ(ReadInfoBytes(jpeg, &info), kJpegOk);
    EXPECT_EQ(info.x_density, 100);
    EXPECT_EQ(info.y_density, 100);
    EXPECT_EQ(info.resolution_given, 0u);
    EXPECT_EQ(info.components, 1u);
}

TEST(JpegHeader, StreamsWithoutImageAnswerOneOrTwo) {
    const std::vector<uint8_t> jpeg = JpegCaseFile("jfif", "colour420.jpg");
    JpegInfo info;
    EXPECT_EQ(ReadInfoBytes(TablesOnly(jpeg), &info), kJpegNoImage);
    EXPECT_EQ(ReadInfoBytes({0xFF, 0xD8, 0xFF, 0xD9}, &info), kJpegNoImage);
    EXPECT_EQ(ReadInfoBytes({}, &info), kJpegError);
    EXPECT_EQ(ReadInfoBytes({'B', 'M', 0, 0, 0, 0}, &info), kJpegError);
    EXPECT_EQ(ReadInfoBytes(jpeg, nullptr), kJpegError);
    EXPECT_EQ(JpegReadInfo(nullptr, nullptr, &info), kJpegError);
    RowsAndBytes run;
    EXPECT_EQ(DecodeBytes(TablesOnly(jpeg), run), kJpegError);
    EXPECT_EQ(run.rows.lines, 0u);
}

TEST(JpegScanlines, InputInAnyPiecesAndLongSkippedSegments) {
    const std::vector<uint8_t> jpeg = WithComment(JpegCaseFile("jfif", "progressive420.jpg"), 20000);
    const std::vector<uint8_t> expect = DjpegSamples("progressive420");
    for (uint32_t piece : {1u, 7u, 1000u, 4096u}) {
        RowsAndBytes run;
        run.input.piece = piece;
        ASSERT_EQ(DecodeBytes(jpeg, run), kJpegOk) << piece;
        EXPECT_TRUE(run.rows.pixels == expect) << piece;
    }
}

TEST(JpegScanlines, LineLimitOnlyLowersAndStopsReading) {
    const std::vector<uint8_t> jpeg = JpegCaseFile("jfif", "large.jpg");
    const std::vector<uint8_t> expect = DjpegSamples("large");
    const size_t row_bytes = 1203 * 3;
    RowsAndBytes tenth;
    ASSERT_EQ(DecodeBytes(jpeg, tenth, 90), kJpegOk);
    EXPECT_EQ(tenth.rows.lines, 90u);
    EXPECT_TRUE(std::equal(tenth.rows.pixels.begin(), tenth.rows.pixels.end(), expect.begin()));
    // The top tenth of a baseline image needs little more than a tenth of its data.
    EXPECT_LT(tenth.input.position, jpeg.size() / 5);
    for (uint32_t limit : {0u, 905u, 906u, 5000u, 0xFFFFFFFFu}) {
        RowsAndBytes run;
        ASSERT_EQ(DecodeBytes(jpeg, run, limit), kJpegOk) << limit;
        EXPECT_EQ(run.rows.lines, 905u) << limit;
        EXPECT_EQ(run.rows.pixels.size(), row_bytes * 905) << limit;
    }
    RowsAndBytes progressive;
    ASSERT_EQ(DecodeBytes(JpegCaseFile("jfif", "tall_progressive.jpg"), progressive, 1), kJpegOk);
    EXPECT_EQ(progressive.rows.lines, 1u);
}

TEST(JpegScanlines, RowCallbackStopsDecoding) {
    RowsAndBytes run;
    run.rows.stop_after = 3;
    EXPECT_EQ(DecodeBytes(JpegCaseFile("jfif", "colour422.jpg"), run), kJpegError);
    EXPECT_EQ(run.rows.lines, 4u);
    EXPECT_EQ(JpegDecode(&run, 0, nullptr, RowsAndBytes::Row), kJpegError);
    EXPECT_EQ(JpegDecode(&run, 0, RowsAndBytes::Read, nullptr), kJpegError);
}

// The same libjpeg with the same end-of-data rule: truncated and corrupted
// files decode (or fail) exactly as djpeg decodes them, never crash.
TEST(JpegScanlines, DamagedDataDecodeAsDjpegDoes) {
    const std::string dir = MakeScratchDir("jpeg-damaged-" + std::to_string(GetCurrentProcessId()));
    std::mt19937 random(5);
    int variants = 0, failures = 0, warnings = 0;
    for (const char* name :
         {"colour420", "progressive420", "restart_rows", "grey_progressive", "arithmetic"}) {
        const std::vector<uint8_t> jpeg = JpegCaseFile("jfif", std::string(name) + ".jpg");
        std::vector<std::vector<uint8_t>> damaged;
        for (size_t cut : {size_t(2), size_t(200), jpeg.size() / 2, jpeg.size() * 3 / 4, jpeg.size() - 2}) {
            damaged.emplace_back(jpeg.begin(), jpeg.begin() + cut);
        }
        for (int i = 0; i < 6; ++i) {
            std::vector<uint8_t> flipped = jpeg;
            for (int k = 0; k < 1 + i * 3; ++k)
                flipped[random() % flipped.size()] ^= uint8_t(1 << (random() % 8));
            damaged.push_back(flipped);
        }
        for (const std::vector<uint8_t>& bytes : damaged) {
            const std::string stem = dir + "/" + std::to_string(variants++);
            std::vector<uint8_t> expect;
            const int djpeg = DjpegOf(bytes, stem, &expect);
            RowsAndBytes run;
            const int32_t result = DecodeBytes(bytes, run);
            if (djpeg == 1) {
                ++failures;
                EXPECT_EQ(result, kJpegError) << stem;
            } else {
                warnings += djpeg == 2;
                ASSERT_EQ(result, kJpegOk) << stem;
                EXPECT_TRUE(run.rows.pixels == expect) << stem;
            }
        }
    }
    // Both kinds of outcome were met.
    EXPECT_GT(failures, 0);
    EXPECT_GT(warnings, 0);
}
