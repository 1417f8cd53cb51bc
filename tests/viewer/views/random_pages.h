// Pages for the view tests, put together in memory: uncompressed TIFF files
// of random pixels at random resolutions in every depth the readers deliver
// (bilevel either way round, 4- and 8-bit grey, a colour map, RGB), parsed
// through the format dispatch.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "foundation/mem_block.h"
#include "imaging/formats/image_format.h"
#include "tests/imaging/raster/raster_test_files.h"

enum class PageKind { kBilevelWhiteIsZero, kBilevelBlackIsZero, kGrey4, kGrey8, kColourMap, kRgb };

// A little-endian TIFF of one uncompressed strip; `pixels` holds the rows top
// first, each padded to whole bytes.
inline std::vector<uint8_t> UncompressedTiff(uint32_t width, uint32_t height, uint16_t bits, uint16_t samples,
                                             uint16_t photometric, double dpi_x, double dpi_y,
                                             const std::vector<uint8_t>& pixels,
                                             const std::vector<uint16_t>& colour_map = {}) {
    std::vector<uint8_t> file = {'I', 'I', 42, 0, 0, 0, 0, 0};
    auto put16 = [&](uint16_t v) {
        file.push_back(uint8_t(v));
        file.push_back(uint8_t(v >> 8));
    };
    auto put32 = [&](uint32_t v) {
        put16(uint16_t(v));
        put16(uint16_t(v >> 16));
    };
    auto here = [&]() { return uint32_t(file.size()); };

    const uint32_t strip = here();
    for (uint8_t b : pixels) file.push_back(b);
    if (file.size() & 1) file.push_back(0);
    const uint32_t bits_at = here();
    for (uint16_t i = 0; i < samples; ++i) put16(bits);
    const uint32_t resolution_at = here();
    put32(uint32_t(dpi_x * 1000)), put32(1000), put32(uint32_t(dpi_y * 1000)), put32(1000);
    const uint32_t map_at = here();
    for (uint16_t v : colour_map) put16(v);

    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    std::vector<Entry> entries = {
        {256, 4, 1, width},
        {257, 4, 1, height},
        {258, 3, samples, samples == 1 ? bits : bits_at},
        {259, 3, 1, 1},
        {262, 3, 1, photometric},
        {273, 4, 1, strip},
        {277, 3, 1, samples},
        {278, 4, 1, height},
        {279, 4, 1, uint32_t(pixels.size())},
        {282, 5, 1, resolution_at},
        {283, 5, 1, resolution_at + 8},
        {296, 3, 1, 2},
    };
    if (!colour_map.empty()) entries.push_back({320, 3, uint32_t(colour_map.size()), map_at});
    const uint32_t directory = here();
    file[4] = uint8_t(directory), file[5] = uint8_t(directory >> 8), file[6] = uint8_t(directory >> 16),
    file[7] = uint8_t(directory >> 24);
    put16(uint16_t(entries.size()));
    for (const Entry& e : entries) {
        put16(e.tag), put16(e.type), put32(e.count);
        put32(e.value);  // SHORT values sit in the low half, little-endian
    }
    put32(0);
    return file;
}

inline std::vector<uint8_t> RandomTiff(std::mt19937& random, PageKind kind, uint32_t width, uint32_t height,
                                       double dpi_x, double dpi_y) {
    uint16_t bits = 8, samples = 1, photometric = 1;
    std::vector<uint16_t> map;
    switch (kind) {
        case PageKind::kBilevelWhiteIsZero:
            bits = 1, photometric = 0;
            break;
        case PageKind::kBilevelBlackIsZero:
            bits = 1;
            break;
        case PageKind::kGrey4:
            bits = 4;
            break;
        case PageKind::kGrey8:
            break;
        case PageKind::kColourMap:
            photometric = 3;
            for (int i = 0; i < 3 * 256; ++i) map.push_back(uint16_t(random()));
            break;
        case PageKind::kRgb:
            samples = 3, photometric = 2;
            break;
    }
    const size_t row_bytes = (size_t(width) * bits * samples + 7) / 8;
    std::vector<uint8_t> pixels(row_bytes * height);
    for (uint8_t& b : pixels) b = uint8_t(random());
    return UncompressedTiff(width, height, bits, samples, photometric, dpi_x, dpi_y, pixels, map);
}

// A parsed page over its own memory source.
struct TestPage {
    std::string description;
    Ref<DataSource> source;
    Ref<ImageFormat> format;
    Ref<ImagePage> page;
};

inline TestPage OpenTestPage(const std::vector<uint8_t>& bytes, const std::string& description) {
    TestPage out;
    out.description = description;
    out.source = MakeRef<DataSource>();
    EXPECT_TRUE(MemSet(out.source->memory, bytes.data(), uint32_t(bytes.size()), 0));
    out.source->size = bytes.size();
    out.source->kind = kDataSourceMemory;
    ImageStatus status{};
    out.format = ImageParseFile(&status, out.source.get(), 0);
    EXPECT_TRUE(out.format) << description << ": status " << status.code;
    if (out.format) out.page = out.format->GetPage(0);
    EXPECT_TRUE(out.page) << description;
    return out;
}

// Empty when both pictures show the same colours, else the first difference.
inline std::string ComparePictures(const RasterImage* a, const RasterImage* b) {
    if (a->width != b->width || a->height != b->height) {
        return "size " + std::to_string(a->width) + "x" + std::to_string(a->height) + " vs " +
               std::to_string(b->width) + "x" + std::to_string(b->height);
    }
    for (uint32_t y = 0; y < a->height; ++y) {
        for (uint32_t x = 0; x < a->width; ++x) {
            if (PictureRgb(a, x, y) != PictureRgb(b, x, y)) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
    }
    return "";
}
