// What the GIF, BMP and CALS reader tests share: the files that
// tests/data/make-reader-data.py makes with ImageMagick, Pillow and netpbm,
// sources over files and memory, render requests in pixels, and the
// pictures a turned or cropped render must show.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "foundation/mem_block.h"
#include "imaging/formats/format_readers.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/page_placement.h"
#include "tests/imaging/codecs/decoder_test_support.h"
#include "tests/imaging/raster/raster_test_files.h"
#include "tests/support/data_cases.h"
#include "tests/support/memory_source.h"
#include "tests/support/test_support.h"

// Makes the files of one reader (gif, bmp, cals) once per test program.
inline const std::string& ReaderDataDir(const std::string& kind) {
    static std::map<std::string, std::string> made;
    auto it = made.find(kind);
    if (it != made.end()) return it->second;
    std::string dir;
    EXPECT_TRUE(MakeDataCases("make-reader-data.py", kind, "reader-data-" + kind, &dir));
    return made[kind] = dir;
}

inline std::vector<std::string> ReaderCaseNames(const std::string& kind) {
    return DataCaseNames(ReaderDataDir(kind));
}

inline DataCase LoadReaderCase(const std::string& kind, const std::string& name) {
    return LoadDataCase(ReaderDataDir(kind), name);
}

inline std::string ReaderCasePath(const std::string& kind, const std::string& name, const char* extension) {
    return ReaderDataDir(kind) + "/" + name + extension;
}

using ParseFunction = Ref<ImageFormat> (*)(ImageStatus*, DataSource*, const uint8_t*, uint32_t, uint32_t);

// Parses as the format dispatch does: with the file's first 512 bytes (or
// fewer) already read.
inline Ref<ImagePage> ParseFirstPage(ParseFunction parse, DataSource* source,
                                     const std::vector<uint8_t>& bytes, ImageStatus* status) {
    const uint32_t head = uint32_t(std::min<size_t>(bytes.size(), 512));
    Ref<ImageFormat> format = parse(status, source, head ? bytes.data() : nullptr, head, 0);
    return format ? format->GetPage(0) : nullptr;
}

// One case of a reader: the file in a memory source, its first page as the
// format dispatch would parse it, and the tool's decode it must render as.
struct ReaderFile {
    DataCase data;
    Ref<DataSource> source;
    Ref<ImagePage> page;
    Pnm expect;
};

inline ReaderFile OpenReaderFile(const std::string& kind, ParseFunction parse, const std::string& name,
                                 ImageStatus* status) {
    ReaderFile file;
    file.data = LoadReaderCase(kind, name);
    file.source = MemorySource(file.data.data);
    file.page = ParseFirstPage(parse, file.source.get(), file.data.data, status);
    EXPECT_TRUE(ReadPnm(ReaderCasePath(kind, name, ".expect"), file.expect)) << name;
    return file;
}

// Descriptions as the test files write them: ASCII, one character a byte.
inline std::string AsciiOf(const WString& text) {
    std::string out;
    for (uint32_t i = 0; i < WStrLength(text); ++i) out += char(WStrCharAt(text, i));
    return out;
}

// Pixels (x, y, w, h) of the page at their own size, the picture upright.
inline PagePlacement ReaderPlacement(const ImagePage* page, int32_t x, int32_t y, uint32_t w, uint32_t h) {
    PagePlacement placement;
    PagePlacementInit(placement);
    placement.rect.origin = {x * 25.4 / page->DpiX(), y * 25.4 / page->DpiY()};
    placement.rect.size = {w * 25.4 / page->DpiX(), h * 25.4 / page->DpiY()};
    placement.pixel_width = w;
    placement.pixel_height = h;
    placement.flip_y = 1;
    return placement;
}

inline Ref<RasterImage> RenderWholePage(ImagePage* page, DataSource* source, ImageStatus* status) {
    const PagePlacement placement = ReaderPlacement(page, 0, 0, page->PixelWidth(), page->PixelHeight());
    return page->Render(status, source, &placement, nullptr);
}

inline Pnm CropPnm(const Pnm& pnm, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    Pnm out;
    out.width = w;
    out.height = h;
    out.channels = pnm.channels;
    out.bytes = CropExpected(pnm.bytes, pnm.width, pnm.channels, x, y, w, h);
    return out;
}

// The picture mirrored left to right when `flip_x` is set, then turned
// clockwise by `rotation`: what a render with those settings shows (the
// mirroring acts on the page, before the turn).
inline Pnm TurnPnm(const Pnm& pnm, uint16_t rotation, bool flip_x) {
    const bool quarter = rotation == 90 || rotation == 270;
    Pnm out;
    out.width = quarter ? pnm.height : pnm.width;
    out.height = quarter ? pnm.width : pnm.height;
    out.channels = pnm.channels;
    out.bytes.resize(pnm.bytes.size());
    for (uint32_t y = 0; y < out.height; ++y) {
        for (uint32_t x = 0; x < out.width; ++x) {
            uint32_t sx = x, sy = y;
            if (rotation == 90) sx = y, sy = pnm.height - 1 - x;
            if (rotation == 180) sx = pnm.width - 1 - x, sy = pnm.height - 1 - y;
            if (rotation == 270) sx = pnm.width - 1 - y, sy = x;
            if (flip_x) sx = pnm.width - 1 - sx;
            for (uint32_t c = 0; c < pnm.channels; ++c) {
                out.bytes[(size_t(y) * out.width + x) * pnm.channels + c] =
                    pnm.bytes[(size_t(sy) * pnm.width + sx) * pnm.channels + c];
            }
        }
    }
    return out;
}

struct Turn {
    uint16_t rotation;
    bool flip_x;
};

// Random parts of the page at their own size, and the whole page turned
// and mirrored, show the picture as the tool decoded it.
inline void ExpectPartsAndTurnsShowThePicture(ImagePage* page, DataSource* source, const Pnm& expect,
                                              std::mt19937& random, int parts, std::vector<Turn> turns,
                                              const std::string& name) {
    for (int i = 0; i < parts; ++i) {
        const uint32_t w = 1 + random() % expect.width, h = 1 + random() % expect.height;
        const uint32_t x = random() % (expect.width - w + 1), y = random() % (expect.height - h + 1);
        const PagePlacement placement = ReaderPlacement(page, int32_t(x), int32_t(y), w, h);
        Ref<RasterImage> image = page->Render(nullptr, source, &placement, nullptr);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(ComparePicture(image.get(), CropPnm(expect, x, y, w, h)), "")
            << name << " " << x << "," << y << " " << w << "x" << h;
    }
    for (const Turn& turn : turns) {
        const bool quarter = turn.rotation != 180;
        PagePlacement turned = ReaderPlacement(page, 0, 0, quarter ? expect.height : expect.width,
                                               quarter ? expect.width : expect.height);
        turned.rect.size = {page->WidthMm(), page->HeightMm()};
        turned.rotation = turn.rotation;
        turned.flip_x = turn.flip_x;
        Ref<RasterImage> image = page->Render(nullptr, source, &turned, nullptr);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(ComparePicture(image.get(), TurnPnm(expect, turn.rotation, turn.flip_x)), "")
            << name << " " << turn.rotation;
    }
}

// A damaged copy: truncated on odd rounds, with a few bytes changed (more
// in later rounds).
inline std::vector<uint8_t> Damage(const std::vector<uint8_t>& bytes, std::mt19937& random, int round) {
    std::vector<uint8_t> out = bytes;
    if (round % 2) out.resize(1 + random() % (out.size() - 1));
    for (int k = 0; k <= round / 4; ++k) out[random() % out.size()] = uint8_t(random());
    return out;
}

inline std::string ReaderScratch(const char* name) {
    return MakeScratchDir(std::string(name) + "-" + std::to_string(GetCurrentProcessId()));
}
