#include "imaging/writers/tiff_writer.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "foundation/mem_block.h"
#include "foundation/pool.h"
#include "imaging/formats/image_format.h"
#include "imaging/raster/palette.h"
#include "imaging/raster/raster_image.h"
#include "imaging/writers/tiff_writer_document.h"
#include "tests/imaging/raster/raster_test_files.h"
#include "tests/support/memory_source.h"
#include "tests/support/test_support.h"

namespace {

// What the test pages show, pixel by pixel, in 8-bit grey.
uint8_t PatternGrey(uint32_t x, uint32_t y) {
    const uint32_t hash = (x * 73856093u) ^ (y * 19349663u);
    if ((x / 9 + y / 4) % 6 == 0 || hash % 31 == 0) return 0;
    return uint8_t(128 + (x * 7 + y * 3) % 128);
}

enum PageKind { kBilevel, kBilevelOnesBlack, kGrey, kColour };

// A page of any size and depth that renders its pattern by nearest
// sampling, as a reader's page would: memory row 0 is the rectangle's top
// row unless flip y is set.
class PatternPage : public ImagePage {
  public:
    PatternPage(uint32_t width, uint32_t height, double dpi_x, double dpi_y, PageKind kind)
        : width_(width), height_(height), dpi_x_(dpi_x), dpi_y_(dpi_y), kind_(kind) {}

    // Light as a 1-bit image shows it after the writer's conversion.
    bool Light(uint32_t x, uint32_t y) const {
        if (kind_ == kColour) return ColourSum(x, y) >= 384;
        return PatternGrey(x, y) >= 128;
    }

    Ref<RasterImage> Render(ImageStatus*, DataSource*, const PagePlacement* placement,
                            ProgressSink*) override {
        const uint32_t w = placement->pixel_width, h = placement->pixel_height;
        const uint16_t bits = kind_ == kGrey ? 8 : kind_ == kColour ? 24 : 1;
        Ref<RasterImage> image = RasterImageCreate(w, h, bits, kind_ != kBilevelOnesBlack);
        if (!image) return nullptr;
        if (kind_ == kBilevelOnesBlack) {
            PaletteSetEntry(image->palette, 0, 0xFFFFFF);
            PaletteSetEntry(image->palette, 1, 0);
        }
        largest_render = std::max(largest_render, uint64_t(w) * h);
        const RectD& rect = placement->rect;
        for (uint32_t j = 0; j < h; ++j) {
            const uint32_t sy = Sample(rect.origin.y, rect.size.height, h, j, dpi_y_, height_);
            uint8_t* row = RasterImageRowAddress(image.get(), placement->flip_y ? h - 1 - j : j);
            for (uint32_t i = 0; i < w; ++i) {
                const uint32_t sx = Sample(rect.origin.x, rect.size.width, w, i, dpi_x_, width_);
                PutPixel(row, placement->flip_x ? w - 1 - i : i, sx, sy, placement->invert != 0);
            }
        }
        return image;
    }
    bool IsBilevel() const override { return kind_ == kBilevel || kind_ == kBilevelOnesBlack; }
    uint32_t PixelWidth() const override { return width_; }
    uint32_t PixelHeight() const override { return height_; }
    double DpiX() const override { return dpi_x_; }
    double DpiY() const override { return dpi_y_; }
    bool GetInfo(PageInfo*) override { return false; }

    uint64_t largest_render = 0;

  private:
    static uint32_t ColourSum(uint32_t x, uint32_t y) { return x % 256 + y % 256 + (x * y) % 256; }

    static uint32_t Sample(double origin, double size, uint32_t pixels, uint32_t i, double dpi,
                           uint32_t limit) {
        const double mm = origin + (i + 0.5) * size / pixels;
        const double at = std::floor(mm * dpi / 25.4);
        return at < 0 ? 0 : at >= limit ? limit - 1 : uint32_t(at);
    }

    void PutPixel(uint8_t* row, uint32_t x, uint32_t sx, uint32_t sy, bool invert) const {
        if (kind_ == kColour) {
            uint8_t* p = row + size_t(x) * 3;
            p[0] = uint8_t((sx * sy) % 256), p[1] = uint8_t(sy % 256), p[2] = uint8_t(sx % 256);
            if (invert) p[0] ^= 0xFF, p[1] ^= 0xFF, p[2] ^= 0xFF;
            return;
        }
        if (kind_ == kGrey) {
            row[x] = PatternGrey(sx, sy) ^ (invert ? 0xFF : 0);
            return;
        }
        bool one = Light(sx, sy) != invert;
        if (kind_ == kBilevelOnesBlack) one = !one;
        if (one) row[x / 8] |= uint8_t(0x80 >> (x % 8));
    }

    uint32_t width_, height_;
    double dpi_x_, dpi_y_;
    PageKind kind_;
};

std::string Scratch() {
    static const std::string dir = MakeScratchDir("tiff_writer");
    return dir;
}

bool Save(TiffDoc* doc, const std::string& unix_path) {
    return TiffDocSave(doc, WString(WindowsPathOf(unix_path).c_str()));
}

Ref<TiffWriterPage> AddPage(TiffDoc* doc, PatternPage* page, uint32_t tile_width, uint32_t rows,
                            uint32_t reduction = 0, uint32_t index = 0xFFFFFFFFu,
                            TiffRenderOptions options = TiffRenderOptions()) {
    return TiffDocAddPage(doc, page, nullptr, index, tile_width, rows, reduction, kTiffWriteGroup4, options,
                          nullptr);
}

// One directory as tiffdump lists it: tag -> values.
using DumpDir = std::map<uint32_t, std::vector<double>>;

std::vector<DumpDir> Dump(const std::string& path) {
    const std::string listing = path + ".dump";
    EXPECT_EQ(RunHostCommand("tiffdump -m 1000000 '" + path + "' > '" + listing + "'"), 0);
    const std::vector<uint8_t> bytes = ReadHostFile(listing);
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::vector<DumpDir> dirs;
    std::string line;
    while (std::getline(text, line)) {
        if (line.rfind("Directory ", 0) == 0) dirs.emplace_back();
        const size_t open = line.find(" ("), close = line.find(") "), angle = line.find('<');
        if (dirs.empty() || open == std::string::npos || close == std::string::npos ||
            angle == std::string::npos) {
            continue;
        }
        // "Name (273) LONG (4) 2<8 20>", or "40000 (0x9c40) BYTE (1) 5<0x1 0x2 ...>" for unknown tags.
        const bool numbered = isdigit(uint8_t(line[0])) != 0;
        const uint32_t tag = uint32_t(std::stoul(numbered ? line : line.substr(open + 2)));
        std::vector<double> values;
        const char* p = line.c_str() + angle + 1;
        for (char* end = nullptr;; p = end) {
            while (*p == ' ' || *p == ',') ++p;
            const double value = strtod(p, &end);
            if (end == p) break;
            values.push_back(value);
        }
        dirs.back()[tag] = values;
    }
    return dirs;
}

// Directory i of the file as ImageMagick decodes it (1 for black).
Pnm Decode(const std::string& path, uint32_t index) {
    const std::string pbm = path + "." + std::to_string(index) + ".pbm";
    EXPECT_EQ(RunHostCommand("convert '" + path + "[" + std::to_string(index) + "]' pbm:'" + pbm + "'"), 0);
    Pnm pnm;
    return ReadPnm(pbm, pnm) && pnm.kind == '4' ? pnm : Pnm();
}

// The number of pixels where directory `index` differs from the page; -1
// when the size is wrong.
int64_t Mismatches(const std::string& path, uint32_t index, const PatternPage& page, bool flip_y = false,
                   bool invert = false) {
    const Pnm pbm = Decode(path, index);
    const uint32_t w = pbm.width, h = pbm.height;
    if (w != page.PixelWidth() || h != page.PixelHeight() || pbm.bytes.empty()) return -1;
    int64_t wrong = 0;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const bool light = page.Light(x, flip_y ? h - 1 - y : y) != invert;
            const bool black = (pbm.Row(y)[x / 8] >> (7 - x % 8)) & 1;
            wrong += black == light;
        }
    }
    return wrong;
}

// libtiff decodes every strip or tile and fails on any bad Group 4 code;
// neither tool may complain, except that the private markup tag is unknown
// to libtiff.
bool LibtiffAccepts(const std::string& path) {
    for (const std::string& tool : {"tiffcp -c none '" + path + "' '" + path + ".plain.tif'",
                                    "tiffinfo -D '" + path + "' >/dev/null"}) {
        const std::string err = "'" + path + ".err'";
        if (RunHostCommand(tool + " 2>" + err + ".raw; rc=$?; grep -v 'Unknown field with tag 40000 ' " +
                           err + ".raw >" + err + "; exit $rc") != 0 ||
            !ReadHostFile(path + ".err").empty()) {
            return false;
        }
    }
    return true;
}

// ---- Entries ---------------------------------------------------------------

TEST(TiffWriterEntries, ValuesStoredByType) {
    struct Case {
        uint16_t type;
        std::vector<uint8_t> after_int;       // SetInt(0, -2)
        std::vector<uint8_t> after_fraction;  // SetFraction(0, 7, -2)
    };
    const float minus_two = -2.0f, minus_three_and_half = -3.5f;
    std::vector<uint8_t> float_minus_two(4), float_fraction(4);
    memcpy(float_minus_two.data(), &minus_two, 4);
    memcpy(float_fraction.data(), &minus_three_and_half, 4);
    const double d_minus_two = -2.0, d_fraction = -3.5;
    std::vector<uint8_t> double_minus_two(8), double_fraction(8);
    memcpy(double_minus_two.data(), &d_minus_two, 8);
    memcpy(double_fraction.data(), &d_fraction, 8);
    const Case cases[] = {
        {kTiffByte, {0xFE}, {0xFD}},
        {kTiffSByte, {0xFE}, {0xFD}},
        {kTiffUndefined, {0xFE}, {0xFD}},
        {kTiffShort, {0xFE, 0xFF}, {0xFD, 0xFF}},
        {kTiffSShort, {0xFE, 0xFF}, {0xFD, 0xFF}},
        {kTiffLong, {0xFE, 0xFF, 0xFF, 0xFF}, {0xFD, 0xFF, 0xFF, 0xFF}},
        {kTiffSLong, {0xFE, 0xFF, 0xFF, 0xFF}, {0xFD, 0xFF, 0xFF, 0xFF}},
        {kTiffRational, {0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0}, {0xF9, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}},
        {kTiffSRational, {0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0}, {0xF9, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}},
        {kTiffFloat, float_minus_two, float_fraction},
        {kTiffDouble, double_minus_two, double_fraction},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        Ref<TiffEntry> entry = TiffEntryCreate(300, c.type, 3);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->byte_size, 3 * c.after_int.size());
        ASSERT_TRUE(TiffEntrySetInt(entry.get(), 2, -2));
        const uint8_t* last = TiffEntryValues(entry.get()) + 2 * c.after_int.size();
        EXPECT_EQ(std::vector<uint8_t>(last, last + c.after_int.size()), c.after_int);
        ASSERT_TRUE(TiffEntrySetFraction(entry.get(), 2, 7, -2));
        EXPECT_EQ(std::vector<uint8_t>(last, last + c.after_int.size()), c.after_fraction);
        EXPECT_FALSE(TiffEntrySetUInt(entry.get(), 3, 1));
        EXPECT_FALSE(TiffEntrySetFraction(entry.get(), 0, 1, 0));
    }
    Ref<TiffEntry> ascii = TiffEntryCreateAscii(305, L"Plovex");
    ASSERT_TRUE(ascii);
    EXPECT_EQ(ascii->count, 7u);
    EXPECT_EQ(memcmp(TiffEntryValues(ascii.get()), "Plovex", 7), 0);
    EXPECT_FALSE(TiffEntrySetInt(ascii.get(), 0, 1));
    EXPECT_EQ(TiffEntryCreateBytes(40000, nullptr, 0)->count, 0u);
    EXPECT_FALSE(TiffEntryCreateBytes(40000, nullptr, 3));
    EXPECT_FALSE(TiffEntryCreate(300, 13, 1));
    EXPECT_FALSE(TiffEntryCreate(300, kTiffDouble, 0x20000000));
}

TEST(TiffWriterEntries, AddedTagsGoEverywhereButStructuralOnesAreRefused) {
    Ref<TiffDoc> doc = TiffDocCreate();
    PatternPage page(2400, 40, 100, 100, kBilevel);
    ASSERT_TRUE(AddPage(doc.get(), &page, 0, 0, 50));  // two directories
    ASSERT_TRUE(AddPage(doc.get(), &page, 0, 0));
    for (uint16_t tag : {254, 256, 257, 259, 262, 273, 274, 279, 282, 296, 297, 322, 325, 330, 34665}) {
        EXPECT_FALSE(TiffDocSetEntryAll(doc.get(), TiffEntryCreate(tag, kTiffLong, 1).get())) << tag;
    }
    ASSERT_TRUE(TiffDocSetEntryAll(doc.get(), TiffEntryCreateAscii(305, L"first").get()));
    ASSERT_TRUE(TiffDocSetEntryAll(doc.get(), TiffEntryCreateAscii(305, L"second one").get()));
    const uint8_t markup[5] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(TiffDocSetEntryAll(doc.get(), TiffEntryCreateBytes(40000, markup, 5).get()));
    const std::string path = Scratch() + "/tags.tif";
    ASSERT_TRUE(Save(doc.get(), path));
    const std::vector<DumpDir> dirs = Dump(path);
    ASSERT_EQ(dirs.size(), 3u);
    for (const DumpDir& dir : dirs) {
        EXPECT_TRUE(dir.count(305));
        EXPECT_EQ(dir.at(40000), std::vector<double>({1, 2, 3, 4, 5}));
        EXPECT_EQ(dir.at(256).size(), 1u);
    }
    const std::vector<uint8_t> bytes = ReadHostFile(path);
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), "second one", "second one" + 11), bytes.end());
    EXPECT_TRUE(LibtiffAccepts(path));
}

// ---- Rendered pages ----------------------------------------------------------

TEST(TiffWriterRenderedPage, StripsCoverThePage) {
    struct Case {
        uint32_t rows;
        std::vector<double> rows_per_strip;
        size_t strips;
    };
    const Case cases[] = {{64, {64}, 16}, {0, {1000}, 1}, {5000, {1000}, 1}, {1, {1}, 1000}};
    PatternPage page(333, 1000, 200, 200, kBilevel);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        Ref<TiffDoc> doc = TiffDocCreate();
        ASSERT_TRUE(AddPage(doc.get(), &page, 0, c.rows));
        const std::string path = Scratch() + "/strips" + std::to_string(c.rows) + ".tif";
        ASSERT_TRUE(Save(doc.get(), path));
        const std::vector<DumpDir> dirs = Dump(path);
        ASSERT_EQ(dirs.size(), 1u);
        EXPECT_EQ(dirs[0].at(278), c.rows_per_strip);
        EXPECT_EQ(dirs[0].at(273).size(), c.strips);
        EXPECT_EQ(dirs[0].at(279).size(), c.strips);
        EXPECT_EQ(dirs[0].at(259), std::vector<double>({4}));
        EXPECT_EQ(dirs[0].at(262), std::vector<double>({0}));
        EXPECT_EQ(dirs[0].at(293), std::vector<double>({0}));
        EXPECT_FALSE(dirs[0].count(258));
        EXPECT_TRUE(LibtiffAccepts(path));
        EXPECT_EQ(Mismatches(path, 0, page), 0);
    }
}

TEST(TiffWriterRenderedPage, TilesAreWholeTilesOfSixteenMultiples) {
    struct Case {
        uint32_t tile_width, tile_length;
        double written_width, written_length;
        size_t tiles;
    };
    const Case cases[] = {{512, 0, 512, 512, 6},
                          {512, 256, 512, 256, 9},
                          {100, 50, 112, 64, 12 * 11},
                          {4096, 0, 4096, 4096, 1}};
    PatternPage page(1300, 700, 300, 300, kBilevel);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tile_width);
        Ref<TiffDoc> doc = TiffDocCreate();
        ASSERT_TRUE(AddPage(doc.get(), &page, c.tile_width, c.tile_length));
        const std::string path = Scratch() + "/tiles" + std::to_string(c.tile_width) + ".tif";
        ASSERT_TRUE(Save(doc.get(), path));
        const std::vector<DumpDir> dirs = Dump(path);
        ASSERT_EQ(dirs.size(), 1u);
        EXPECT_EQ(dirs[0].at(322), std::vector<double>({c.written_width}));
        EXPECT_EQ(dirs[0].at(323), std::vector<double>({c.written_length}));
        EXPECT_EQ(dirs[0].at(324).size(), c.tiles);
        EXPECT_EQ(dirs[0].at(325).size(), c.tiles);
        EXPECT_FALSE(dirs[0].count(273) || dirs[0].count(278));
        EXPECT_TRUE(LibtiffAccepts(path));
        EXPECT_EQ(Mismatches(path, 0, page), 0);
    }
}

TEST(TiffWriterRenderedPage, ResolutionsAreReducedFractions) {
    struct Case {
        uint32_t width;
        double dpi;
        uint32_t reduction;
        std::vector<std::pair<int32_t, int32_t>> x_resolutions;
    };
    const Case cases[] = {{2480, 300, 0, {{300, 1}}},
                          {1000, 200.5, 0, {{401, 2}}},
                          {3000, 300, 50, {{300, 1}, {150, 1}}},
                          {3001, 300, 50, {{900300, 3001}, {450000, 3001}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        PatternPage page(c.width, 4, c.dpi, c.dpi, kBilevel);
        Ref<TiffDoc> doc = TiffDocCreate();
        Ref<TiffWriterPage> written = AddPage(doc.get(), &page, 0, 0, c.reduction);
        ASSERT_TRUE(written);
        ASSERT_EQ(written->ifds.count, c.x_resolutions.size());
        for (uint32_t i = 0; i < written->ifds.count; ++i) {
            Ref<TiffEntry> x = TiffIfdFindEntry(static_cast<TiffIfd*>(written->ifds.items[i]), 282);
            ASSERT_TRUE(x);
            int32_t pair[2];
            memcpy(pair, TiffEntryValues(x.get()), 8);
            EXPECT_EQ(std::make_pair(pair[0], pair[1]), c.x_resolutions[i]);
        }
    }
}

TEST(TiffWriterRenderedPage, PyramidLevelsWidestFirstAndNeverEmpty) {
    {
        PatternPage page(8000, 6000, 400, 400, kBilevel);
        Ref<TiffDoc> doc = TiffDocCreate();
        ASSERT_TRUE(AddPage(doc.get(), &page, 0, 512, 50));
        const std::string path = Scratch() + "/pyramid.tif";
        ASSERT_TRUE(Save(doc.get(), path));
        const std::vector<DumpDir> dirs = Dump(path);
        ASSERT_EQ(dirs.size(), 3u);
        const double widths[] = {8000, 4000, 2000}, subfile[] = {0, 1, 1}, dpi[] = {400, 200, 100};
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(dirs[i].at(256), std::vector<double>({widths[i]}));
            EXPECT_EQ(dirs[i].at(257), std::vector<double>({widths[i] * 3 / 4}));
            EXPECT_EQ(dirs[i].at(254), std::vector<double>({subfile[i]}));
            EXPECT_EQ(dirs[i].at(297), std::vector<double>({0, 1}));
            EXPECT_EQ(dirs[i].at(282), std::vector<double>({dpi[i]}));
        }
        EXPECT_TRUE(LibtiffAccepts(path));
    }
    // One side reaches 0 while the other is still above 1000: no level of
    // zero rows is written.
    PatternPage thin(20000, 3, 300, 300, kBilevel);
    Ref<TiffDoc> doc = TiffDocCreate();
    ASSERT_TRUE(AddPage(doc.get(), &thin, 0, 0, 50));
    const std::string path = Scratch() + "/thin.tif";
    ASSERT_TRUE(Save(doc.get(), path));
    const std::vector<DumpDir> dirs = Dump(path);
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[1].at(256), std::vector<double>({10000}));
    EXPECT_EQ(dirs[1].at(257), std::vector<double>({1}));
    EXPECT_TRUE(LibtiffAccepts(path));
}

TEST(TiffWriterRenderedPage, AnyDepthBecomesBilevelWithTheShownPolarity) {
    struct Case {
        PageKind kind;
        TiffRenderOptions options;
    };
    TiffRenderOptions flipped;
    flipped.flip_y = 1;
    TiffRenderOptions inverted;
    inverted.invert = 1;
    const Case cases[] = {{kBilevel, {}}, {kBilevelOnesBlack, {}}, {kGrey, {}},
                          {kColour, {}},  {kBilevel, flipped},     {kGrey, inverted}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        PatternPage page(301, 211, 150, 150, c.kind);
        Ref<TiffDoc> doc = TiffDocCreate();
        ASSERT_TRUE(AddPage(doc.get(), &page, 0, 50, 0, 0, c.options));
        const std::string path = Scratch() + "/depth" + std::to_string(n++) + ".tif";
        ASSERT_TRUE(Save(doc.get(), path));
        EXPECT_TRUE(LibtiffAccepts(path));
        EXPECT_EQ(Mismatches(path, 0, page, c.options.flip_y, c.options.invert), 0);
    }
}

TEST(TiffWriterRenderedPage, TallStripsOfColourPagesRenderInParts) {
    // One strip of the whole height: a 24-bit band of 3000 x 4000 would be
    // 36 MB; the page must never be asked for more than 16 MB at once.
    PatternPage page(3000, 4000, 300, 300, kColour);
    Ref<TiffDoc> doc = TiffDocCreate();
    ASSERT_TRUE(AddPage(doc.get(), &page, 0, 0));
    EXPECT_LE(page.largest_render * 3, uint64_t(16) << 20);
    const std::string path = Scratch() + "/tall.tif";
    ASSERT_TRUE(Save(doc.get(), path));
    const std::vector<DumpDir> dirs = Dump(path);
    ASSERT_EQ(dirs.size(), 1u);
    EXPECT_EQ(dirs[0].at(273).size(), 1u);
    EXPECT_TRUE(LibtiffAccepts(path));
    EXPECT_EQ(Mismatches(path, 0, page), 0);
}

TEST(TiffWriterRenderedPage, RefusedRequests) {
    Ref<TiffDoc> doc = TiffDocCreate();
    PatternPage page(100, 100, 100, 100, kBilevel);
    EXPECT_FALSE(TiffDocAddPage(doc.get(), &page, nullptr, 0, 0, 0, 0, 1, TiffRenderOptions(), nullptr));
    PatternPage empty(0, 100, 100, 100, kBilevel);
    EXPECT_FALSE(AddPage(doc.get(), &empty, 0, 0));
    PatternPage no_dpi(100, 100, 0, 100, kBilevel);
    EXPECT_FALSE(AddPage(doc.get(), &no_dpi, 0, 0));
    EXPECT_EQ(doc->pages.count, 0u);
}

// ---- Pages and saving ----------------------------------------------------------

TEST(TiffWriterSave, PagesGoWhereTheyAreInserted) {
    PatternPage a(100, 30, 100, 100, kBilevel), b(200, 30, 100, 100, kBilevel),
        c(300, 30, 100, 100, kBilevel);
    Ref<TiffDoc> three = TiffDocCreate();
    ASSERT_TRUE(AddPage(three.get(), &a, 0, 0));
    ASSERT_TRUE(AddPage(three.get(), &b, 0, 0, 0, 0));   // before a
    ASSERT_TRUE(AddPage(three.get(), &c, 0, 0, 0, 99));  // appended
    const std::string triple = Scratch() + "/triple.tif";
    ASSERT_TRUE(Save(three.get(), triple));
    const std::vector<DumpDir> dirs = Dump(triple);
    ASSERT_EQ(dirs.size(), 3u);
    const double widths[] = {200, 100, 300};
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(dirs[i].at(256), std::vector<double>({widths[i]}));
        EXPECT_EQ(dirs[i].at(254), std::vector<double>({2}));
        EXPECT_EQ(dirs[i].at(297), std::vector<double>({double(i), 3}));
    }
    EXPECT_TRUE(LibtiffAccepts(triple));
}

// Directories of equal width keep the order in which the page holds them.
TEST(TiffWriterSave, EqualWidthsKeepTheirOrder) {
    PatternPage page(640, 80, 100, 100, kBilevel);
    Ref<TiffWriterPage> built = MakeRef<TiffWriterPage>();
    const uint32_t heights[] = {80, 40, 60};
    for (uint32_t height : heights) {
        Ref<TiffIfd> ifd = MakeRef<TiffIfd>();
        ASSERT_TRUE(TiffIfdSetImage(ifd.get(), 640, height, &page, nullptr, kTiffWriteGroup4,
                                    TiffRenderOptions(), 0, 0, nullptr));
        PtrArrayAdd(built->ifds, ifd.get());
    }
    Ref<TiffDoc> doc = TiffDocCreate();
    PtrArrayAdd(doc->pages, built.get());
    const std::string path = Scratch() + "/equal.tif";
    ASSERT_TRUE(Save(doc.get(), path));
    const std::vector<DumpDir> dirs = Dump(path);
    ASSERT_EQ(dirs.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dirs[i].at(257), std::vector<double>({double(heights[i])}));
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(TiffWriterSave, DirectoriesAndValuesOnWordBoundaries) {
    Ref<TiffDoc> doc = TiffDocCreate();
    PatternPage page(120, 17, 100, 100, kBilevel);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(AddPage(doc.get(), &page, 0, 5));
    ASSERT_TRUE(TiffDocSetEntryAll(doc.get(), TiffEntryCreateAscii(270, L"odd length").get()));
    ASSERT_TRUE(TiffDocSetEntryAll(doc.get(), TiffEntryCreateAscii(305, L"abcde").get()));
    const std::string path = Scratch() + "/aligned.tif";
    ASSERT_TRUE(Save(doc.get(), path));
    const std::vector<uint8_t> bytes = ReadHostFile(path);
    ASSERT_GE(bytes.size(), 8u);
    int directories = 0;
    for (uint32_t at = Le32(bytes, 4); at != 0; ++directories) {
        ASSERT_EQ(at % 2, 0u);
        ASSERT_LE(at + 2, bytes.size());
        const uint32_t n = bytes[at] | bytes[at + 1] << 8;
        for (uint32_t e = 0; e < n; ++e) {
            const size_t entry = at + 2 + 12 * e;
            const uint32_t type = bytes[entry + 2], count = Le32(bytes, entry + 4);
            const uint32_t size = count * (type == 3 ? 2 : type == 4 ? 4 : type == 5 ? 8 : 1);
            if (size > 4) {
                EXPECT_EQ(Le32(bytes, entry + 8) % 2, 0u) << "tag " << (bytes[entry] | bytes[entry + 1] << 8);
            }
        }
        at = Le32(bytes, at + 2 + 12 * n);
    }
    EXPECT_EQ(directories, 3);
    EXPECT_TRUE(LibtiffAccepts(path));
}

bool HostFileExists(const std::string& path) { return RunHostCommand("test -e '" + path + "'") == 0; }

TEST(TiffWriterSave, FailedWritesLeaveNoFile) {
    Ref<TiffDoc> doc = TiffDocCreate();
    PatternPage page(64, 64, 100, 100, kBilevel);
    ASSERT_TRUE(AddPage(doc.get(), &page, 0, 0));

    EXPECT_FALSE(TiffDocSave(doc.get(), WString()));
    EXPECT_FALSE(Save(TiffDocCreate().get(), Scratch() + "/empty.tif"));
    EXPECT_FALSE(HostFileExists(Scratch() + "/empty.tif"));
    EXPECT_FALSE(Save(doc.get(), Scratch() + "/no such folder/out.tif"));
    EXPECT_FALSE(HostFileExists(Scratch() + "/no such folder"));

    // A target that another handle holds open without sharing stays as it is.
    const std::string held = Scratch() + "/held.tif";
    ASSERT_TRUE(WriteHostFile(held, {'k', 'e', 'e', 'p'}));
    HANDLE holder =
        CreateFileW(WindowsPathOf(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Save(doc.get(), held));
    CloseHandle(holder);
    EXPECT_EQ(ReadHostFile(held), std::vector<uint8_t>({'k', 'e', 'e', 'p'}));

    // A strip whose source bytes are gone fails after the file was begun:
    // the partial file is removed, also when it replaced an older one.
    Ref<DataSource> source = MemorySource(std::vector<uint8_t>(16, 0));
    ASSERT_TRUE(source);
    Ref<TiffIfd> ifd(static_cast<TiffIfd*>(static_cast<TiffWriterPage*>(doc->pages.items[0])->ifds.items[0]));
    Ref<TiffStrip> missing = MakeRef<TiffStrip>();
    missing->source = source;
    missing->source_offset = 8;
    missing->size = 4096;
    ASSERT_TRUE(TiffStripListSet(ifd->strips.get(), 0, missing.get()));
    const std::string broken = Scratch() + "/broken.tif";
    ASSERT_TRUE(WriteHostFile(broken, {'o', 'l', 'd'}));
    EXPECT_FALSE(Save(doc.get(), broken));
    EXPECT_FALSE(HostFileExists(broken));
}

}  // namespace
