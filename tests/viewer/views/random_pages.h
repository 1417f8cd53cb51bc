// Pages for the view tests: TIFF files of random pixels made by ImageMagick
// in every depth the readers deliver (bilevel either way round, 4- and 8-bit
// grey, a colour map, RGB), parsed through the format dispatch.
#pragma once

#include "tests/imaging/formats/reader_test_support.h"

enum class PageKind { kBilevelWhiteIsZero, kBilevelBlackIsZero, kGrey4, kGrey8, kColourMap, kRgb };

struct TestPage {
    Ref<DataSource> source;
    Ref<ImageFormat> format;
    Ref<ImagePage> page;
};

// Writes the page to `path` (a Unix path) and opens it.
inline TestPage RandomPage(std::mt19937& random, PageKind kind, uint32_t width, uint32_t height,
                           uint32_t dpi_x, uint32_t dpi_y, const std::string& path) {
    static const char* const kOptions[] = {"-monochrome -depth 1 -define quantum:polarity=min-is-white",
                                           "-monochrome -depth 1",
                                           "-colorspace gray -depth 4",
                                           "-colorspace gray -depth 8",
                                           "-type palette -depth 8",
                                           "-type truecolor -depth 8"};
    const std::string command = "convert -seed " + std::to_string(random() % 1000000) + " -size " +
                                std::to_string(width) + "x" + std::to_string(height) +
                                " xc:gray +noise Random " + kOptions[int(kind)] +
                                " -units PixelsPerInch -density " + std::to_string(dpi_x) + "x" +
                                std::to_string(dpi_y) + " -compress none '" + path + "'";
    EXPECT_EQ(RunHostCommand(command), 0) << command;
    TestPage out{FileSource(path), nullptr, nullptr};
    ImageStatus status{};
    if (out.source) out.format = ImageParseFile(&status, out.source.get(), 0);
    EXPECT_TRUE(out.format) << command << ": status " << status.code;
    if (out.format) out.page = out.format->GetPage(0);
    EXPECT_TRUE(out.page) << command;
    return out;
}
