#include "imaging/raster/raster_image.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "foundation/geometry.h"
#include "foundation/transform.h"
#include "imaging/raster/packed_dib.h"
#include "imaging/raster/pixel_helpers.h"
#include "tests/imaging/raster/raster_test_files.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint16_t kDepths[] = {1, 4, 8, 24};

std::string DepthName(uint16_t bits, bool palette) { return std::to_string(bits) + (palette ? "p" : "g"); }

}  // namespace

TEST(RasterImageCreate, RefusesBadSizesAndDepths) {
    EXPECT_FALSE(RasterImageCreate(1000001, 1, 1, false));
    EXPECT_FALSE(RasterImageCreate(1, 1000001, 1, false));
    EXPECT_FALSE(RasterImageCreate(0, 1, 8, false));
    EXPECT_FALSE(RasterImageCreate(4, 4, 2, false));
    EXPECT_FALSE(RasterImageCreate(4, 4, 32, false));
    // stride x height + 8 wraps to 8 in 32 bits: must be refused, not made tiny.
    EXPECT_FALSE(RasterImageCreate(65536, 65536, 8, true));
    EXPECT_FALSE(RasterImageCreate(1000000, 1000000, 24, true));
    Ref<RasterImage> wide = RasterImageCreate(1000000, 1, 24, true);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->stride, 3000000u);
    Ref<RasterImage> image = RasterImageCreate(1, 1, 1, false);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->stride, 4u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(image->pixels) % 8, 0u);
    ASSERT_NE(image->palette, nullptr);
    EXPECT_EQ(image->palette->count, 2u);
    EXPECT_EQ(RasterImageCreate(3, 3, 24, false)->palette, nullptr);
    EXPECT_EQ(RasterImageGetRow(image.get(), 1), nullptr);
}

// The packed header and the rows, written as a BMP file, read back by Pillow:
// every depth, with and without palette, at widths that need padding.
TEST(RasterImagePackedDib, PillowReadsEveryDepth) {
    std::mt19937 random(11);
    const std::string dir = MakeScratchDir("packed_dib");
    std::vector<std::pair<std::string, Ref<RasterImage>>> cases;
    for (uint16_t bits : kDepths) {
        for (bool palette : {false, true}) {
            if (bits == 24 && palette) continue;
            for (uint32_t width : {1u, 13u, 33u}) {
                Ref<RasterImage> image = RandomImage(random, width, 7, bits, !palette);
                const std::string name = dir + "/d" + DepthName(bits, palette) + "w" + std::to_string(width);
                ASSERT_TRUE(WriteBmp(image.get(), name + ".bmp"));
                cases.emplace_back(name, image);
            }
        }
    }
    const std::string script = dir + "/dump.py";
    const std::string text =
        "import sys\nfrom PIL import Image\nfor p in sys.argv[1:]:\n"
        "    im = Image.open(p + '.bmp')\n    im.convert('RGB').save(p + '.ppm')\n";
    WriteHostFile(script, std::vector<uint8_t>(text.begin(), text.end()));
    std::string command = std::string(kHostPython) + " '" + script + "'";
    for (auto& c : cases) command += " '" + c.first + "'";
    ASSERT_EQ(RunHostCommand(command), 0);
    for (auto& c : cases) {
        Pnm pnm;
        ASSERT_TRUE(ReadPnm(c.first + ".ppm", pnm)) << c.first;
        EXPECT_EQ(ComparePicture(c.second.get(), pnm), "") << c.first;
    }
}

// Rotation and mirroring of random images against ImageMagick, exact.
TEST(RasterImageRotate, MatchesImageMagick) {
    std::mt19937 random(5);
    const std::string dir = MakeScratchDir("rotate");
    struct Case {
        std::string name, im_op;
        Ref<RasterImage> result;
    };
    std::vector<Case> cases;
    std::string commands;
    int n = 0;
    for (uint16_t bits : kDepths) {
        for (bool palette : {false, true}) {
            if (bits == 24 && palette) continue;
            for (auto size : {std::pair{13u, 7u}, std::pair{1u, 5u}, std::pair{33u, 2u}}) {
                Ref<RasterImage> image = RandomImage(random, size.first, size.second, bits, !palette);
                const std::string source = dir + "/s" + std::to_string(n) + ".bmp";
                ASSERT_TRUE(WriteBmp(image.get(), source));
                const std::pair<int16_t, const char*> turns[] = {{90, "-rotate 90"},   {180, "-rotate 180"},
                                                                 {270, "-rotate 270"}, {-90, "-rotate 270"},
                                                                 {-270, "-rotate 90"}, {450, "-rotate 90"}};
                for (auto& turn : turns) {
                    cases.push_back(
                        {dir + "/r" + std::to_string(n) + "_" + std::to_string(turn.first) + ".ppm",
                         turn.second, image->Rotate(turn.first)});
                    commands +=
                        "convert '" + source + "' " + turn.second + " -depth 8 '" + cases.back().name + "'\n";
                }
                Ref<RasterImage> mirrored = image->Clone();
                ASSERT_TRUE(mirrored->MirrorHorizontal());
                cases.push_back({dir + "/m" + std::to_string(n) + ".ppm", "-flop", mirrored});
                commands += "convert '" + source + "' -flop -depth 8 '" + cases.back().name + "'\n";
                Ref<RasterImage> flipped = image->Clone();
                ASSERT_TRUE(RasterImageFlipVertical(flipped.get()));
                cases.push_back({dir + "/f" + std::to_string(n) + ".ppm", "-flip", flipped});
                commands += "convert '" + source + "' -flip -depth 8 '" + cases.back().name + "'\n";
                ++n;
            }
        }
    }
    ASSERT_EQ(RunHostCommand("set -e\n" + commands), 0);
    for (auto& c : cases) {
        ASSERT_TRUE(c.result) << c.name;
        Pnm pnm;
        ASSERT_TRUE(ReadPnm(c.name, pnm)) << c.name;
        EXPECT_EQ(ComparePicture(c.result.get(), pnm), "") << c.name << " " << c.im_op;
        EXPECT_TRUE(PaddingIsZero(c.result.get())) << c.name;
    }
}

TEST(RasterImageRotate, AnglesAndPalette) {
    Ref<RasterImage> image = RasterImageCreate(3, 2, 8, true);
    EXPECT_FALSE(image->Rotate(45));
    Ref<RasterImage> turned = image->Rotate(450);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->width, 2u);
    EXPECT_EQ(turned->height, 3u);
    for (int16_t angle : {0, 360, -360}) {
        Ref<RasterImage> same = image->Rotate(angle);
        ASSERT_TRUE(same);
        EXPECT_EQ(same->width, 3u);
        EXPECT_NE(same.get(), image.get());
    }
    // An inverted grey ramp is grey too; turning must keep it, or a rotated
    // inverted reduction comes out as a negative.
    Ref<RasterImage> grey = RasterImageCreate(4, 2, 8, false);
    PaletteMakeGreyRamp(grey->palette);
    PaletteInvert(grey->palette);
    ASSERT_TRUE(grey->IsGrey());
    grey->SetPixel(0, 0, 10, kRasterCopy);
    Ref<RasterImage> grey_turned = grey->Rotate(90);
    ASSERT_TRUE(grey_turned && grey_turned->palette);
    EXPECT_NE(grey_turned->palette, grey->palette);  // a copy, not shared
    uint32_t colour = 0;
    ASSERT_TRUE(grey_turned->GetPixelRgb(0, 3, &colour));
    EXPECT_EQ(colour, 0xF5F5F5u);
}

// Bits after the last pixel stay 0 whatever the operation, widths 1 to 33.
TEST(RasterImagePadding, StaysZeroAfterEveryOperation) {
    std::mt19937 random(3);
    uint8_t lut[256];
    for (int i = 0; i < 256; ++i) lut[i] = static_cast<uint8_t>(255 - i);
    const uint8_t lut1[2] = {1, 0}, lut4[16] = {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    for (uint16_t bits : kDepths) {
        for (uint32_t width = 1; width <= 33; ++width) {
            SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(width));
            Ref<RasterImage> image = RandomImage(random, width, 3, bits, true);
            ASSERT_TRUE(image->Invert());
            EXPECT_TRUE(PaddingIsZero(image.get()));
            ASSERT_TRUE(image->ApplyLut(bits == 1 ? lut1 : bits == 4 ? lut4 : lut));
            EXPECT_TRUE(PaddingIsZero(image.get()));
            if (bits != 24) {
                ASSERT_TRUE(image->Fill(0xFF));
                EXPECT_TRUE(PaddingIsZero(image.get()));
            }
            for (uint16_t to : kDepths) {
                Ref<RasterImage> converted = RasterImageConvert(image.get(), to);
                ASSERT_TRUE(converted);
                EXPECT_TRUE(PaddingIsZero(converted.get())) << "to " << to;
            }
            ASSERT_TRUE(image->MirrorHorizontal());
            EXPECT_TRUE(PaddingIsZero(image.get()));
        }
    }
    // A 1 x 1 bilevel image: inverting leaves its 31 padding bits 0.
    Ref<RasterImage> dot = RasterImageCreate(1, 1, 1, true);
    dot->Invert();
    EXPECT_EQ(dot->pixels[0], 0x80);
    EXPECT_EQ(dot->pixels[1] | dot->pixels[2] | dot->pixels[3], 0);
}

TEST(RasterImagePalette, Operations) {
    Ref<Palette> ramp = MakeRef<Palette>();
    ASSERT_TRUE(PaletteInit(ramp.get(), 3));
    PaletteMakeGreyRamp(ramp.get());
    EXPECT_EQ(PaletteGetEntry(ramp.get(), 1), 0x7F7F7Fu);
    EXPECT_EQ(PaletteGetEntry(ramp.get(), 2), 0xFEFEFEu);
    EXPECT_EQ(PaletteGetEntry(ramp.get(), 3), 0u);
    uint8_t descending = 9;
    EXPECT_TRUE(PaletteIsGreyRamp(ramp.get(), &descending));
    EXPECT_EQ(descending, 0);

    Ref<Palette> two = MakeRef<Palette>();
    ASSERT_TRUE(PaletteInit(two.get(), 2));
    PaletteSetEntry(two.get(), 0, 0xFFFFFF);
    PaletteSetEntry(two.get(), 1, 0x000000);
    EXPECT_TRUE(PaletteIsGreyRamp(two.get(), &descending));
    EXPECT_EQ(descending, 1);
    EXPECT_TRUE(PaletteIsGrey(two.get()));
    EXPECT_EQ(two->kind, kPaletteGrey);
    PaletteSetEntry(two.get(), 1, 0x102030);
    EXPECT_EQ(two->kind, kPaletteUnknown);
    EXPECT_FALSE(PaletteIsGrey(two.get()));
    EXPECT_FALSE(PaletteIsGreyRamp(two.get(), &descending));

    // A palette of the wrong size is refused and the old one stays.
    Ref<RasterImage> image = RasterImageCreate(4, 4, 1, false);
    Palette* old = image->palette;
    Ref<Palette> sixteen = MakeRef<Palette>();
    ASSERT_TRUE(PaletteInit(sixteen.get(), 16));
    EXPECT_FALSE(image->SetPalette(sixteen.get()));
    EXPECT_EQ(image->palette, old);
    EXPECT_TRUE(image->SetPalette(two.get()));
    EXPECT_EQ(image->GetPalette().get(), two.get());
    EXPECT_TRUE(image->SetPalette(nullptr));
    EXPECT_EQ(image->GetPalette(), nullptr);

    Ref<RasterImage> colour = RasterImageCreate(2, 2, 24, true);
    EXPECT_FALSE(colour->SetPalette(two.get()));
    EXPECT_FALSE(colour->Fill(1));
    EXPECT_FALSE(colour->IsGrey());
}

TEST(RasterImagePixels, ValuesColoursAndModes) {
    Ref<RasterImage> nibbles = RasterImageCreate(3, 1, 4, true);
    ASSERT_TRUE(nibbles->SetPixel(0, 0, 0x1A, kRasterCopy));
    ASSERT_TRUE(nibbles->SetPixel(1, 0, 0x05, kRasterCopy));
    EXPECT_EQ(nibbles->pixels[0], 0xA5);
    ASSERT_TRUE(nibbles->SetPixel(1, 0, 0x03, kRasterAnd));
    EXPECT_EQ(nibbles->pixels[0], 0xA1);
    ASSERT_TRUE(nibbles->SetPixel(0, 0, 0x04, kRasterOr));
    EXPECT_EQ(nibbles->pixels[0], 0xE1);
    uint32_t colour = 0;
    ASSERT_TRUE(nibbles->GetPixelRgb(0, 0, &colour));
    EXPECT_EQ(colour, 0xEEEEEEu);
    EXPECT_FALSE(nibbles->GetPixelRgb(3, 0, &colour));
    EXPECT_FALSE(nibbles->SetPixel(0, 1, 1, kRasterCopy));
    EXPECT_FALSE(nibbles->SetPixelRgb(0, 0, 0));

    Ref<RasterImage> triples = RasterImageCreate(2, 1, 24, true);
    ASSERT_TRUE(triples->SetPixel(1, 0, 0x40, kRasterCopy));
    uint32_t tint = 0x0000FF;
    ASSERT_TRUE(triples->CombineColour(&tint, kRasterOr));
    ASSERT_TRUE(triples->GetPixelRgb(1, 0, &colour));
    EXPECT_EQ(colour, 0x4040FFu);
    uint8_t value = 0;
    ASSERT_TRUE(triples->GetPixelValue(1, 0, &value));
    EXPECT_EQ(value, 0xFF);  // the blue byte

    // Tinting a grey image without palette gives it a tinted ramp first.
    Ref<RasterImage> grey = RasterImageCreate(2, 1, 8, true);
    tint = 0xFF0000;
    ASSERT_TRUE(grey->CombineColour(&tint, kRasterAnd));
    ASSERT_NE(grey->palette, nullptr);
    EXPECT_EQ(PaletteGetEntry(grey->palette, 200), 0xC80000u);

    // Inverting a paletted image changes the palette, not the pixels.
    Ref<RasterImage> paletted = RasterImageCreate(2, 1, 8, false);
    PaletteMakeGreyRamp(paletted->palette);
    paletted->pixels[0] = 7;
    ASSERT_TRUE(paletted->Invert());
    EXPECT_EQ(paletted->pixels[0], 7);
    EXPECT_EQ(PaletteGetEntry(paletted->palette, 7), 0xF8F8F8u);
}

TEST(RasterImageConvert, DepthMatrix) {
    // 24 bits: (r 200, g 100, b 90), sum 390: light, sum / 48 = 8, grey 130.
    Ref<RasterImage> colour = RasterImageCreate(1, 1, 24, true);
    colour->pixels[0] = 90, colour->pixels[1] = 100, colour->pixels[2] = 200;
    uint8_t value = 0;
    uint32_t rgb = 0;
    RasterImageConvert(colour.get(), 1)->GetPixelValue(0, 0, &value);
    EXPECT_EQ(value, 1);
    RasterImageConvert(colour.get(), 4)->GetPixelValue(0, 0, &value);
    EXPECT_EQ(value, 8);
    RasterImageConvert(colour.get(), 8)->GetPixelValue(0, 0, &value);
    EXPECT_EQ(value, 130);
    RasterImageConvert(colour.get(), 24)->GetPixelRgb(0, 0, &rgb);
    EXPECT_EQ(rgb, 0x828282u);  // converting 24 to 24 bits gives the grey version

    Ref<RasterImage> grey = RasterImageCreate(1, 1, 8, true);
    grey->pixels[0] = 200;
    RasterImageConvert(grey.get(), 4)->GetPixelValue(0, 0, &value);
    EXPECT_EQ(value, 12);
    RasterImageConvert(grey.get(), 1)->GetPixelValue(0, 0, &value);
    EXPECT_EQ(value, 1);
    grey->pixels[0] = 127;
    RasterImageConvert(grey.get(), 1)->GetPixelValue(0, 0, &value);
    EXPECT_EQ(value, 0);

    // 4 bits with a palette: entry 9 = (10, 20, 30), sum 60.
    Ref<RasterImage> nibble = RasterImageCreate(2, 1, 4, false);
    PaletteMakeGreyRamp(nibble->palette);
    PaletteSetEntry(nibble->palette, 9, 0x0A141E);
    nibble->pixels[0] = 0x9F;
    Ref<RasterImage> n4 = RasterImageConvert(nibble.get(), 4);
    EXPECT_EQ(n4->pixels[0], 0x1F);
    Ref<RasterImage> n8 = RasterImageConvert(nibble.get(), 8);
    EXPECT_EQ(n8->pixels[0], 20);
    EXPECT_EQ(n8->pixels[1], 255);

    // An 8-bit palette {black, white, ...}: value 1 becomes a set bit.
    Ref<RasterImage> bw = RasterImageCreate(2, 1, 8, false);
    PaletteMakeGreyRamp(bw->palette);
    PaletteSetEntry(bw->palette, 1, 0xFFFFFF);
    bw->pixels[0] = 1;
    EXPECT_EQ(RasterImageConvert(bw.get(), 1)->pixels[0], 0x80);

    // 1 bit to 1 bit follows the palette's lightness.
    Ref<RasterImage> bits = RasterImageCreate(10, 1, 1, false);
    PaletteSetEntry(bits->palette, 0, 0xFFFFFF);
    PaletteSetEntry(bits->palette, 1, 0x000000);
    bits->pixels[0] = 0xF0;
    bits->pixels[1] = 0x40;
    Ref<RasterImage> inverted = RasterImageConvert(bits.get(), 1);
    EXPECT_EQ(inverted->pixels[0], 0x0F);
    EXPECT_EQ(inverted->pixels[1], 0x80);  // padding cleared
    PaletteSetEntry(bits->palette, 1, 0xFFFFFF);
    Ref<RasterImage> white = RasterImageConvert(bits.get(), 1);
    EXPECT_EQ(white->pixels[0], 0xFF);
    EXPECT_EQ(white->pixels[1], 0xC0);
    Ref<RasterImage> eight = RasterImageConvert(RasterImageCreate(1, 1, 1, true).get(), 4);
    EXPECT_EQ(eight->pixels[0], 0x00);

    // Different sizes: nothing happens.
    Ref<RasterImage> other = RasterImageCreate(3, 1, 8, true);
    other->CopyFrom(grey.get());
    EXPECT_EQ(other->pixels[0], 0);
}

TEST(RasterImageCopyRect, PolarityAlignmentAndClipping) {
    std::mt19937 random(8);
    Ref<RasterImage> source = RandomImage(random, 40, 6, 1, true);
    for (int32_t x : {0, 8, 3}) {
        // Opposite polarity: the copy shows the same colours either way.
        Ref<RasterImage> target = RasterImageCreate(40, 6, 1, false);
        PaletteSetEntry(target->palette, 0, 0xFFFFFF);
        PaletteSetEntry(target->palette, 1, 0x000000);
        const PointI at{x, 0};
        const RectI rect{SizeI{16, 6}, PointI{x, 0}};
        ASSERT_TRUE(target->CopyRect(source.get(), &at, &rect, kRasterCopy));
        for (int32_t i = 0; i < 16; ++i) {
            EXPECT_EQ(PictureRgb(target.get(), x + i, 2), PictureRgb(source.get(), x + i, 2))
                << x << " " << i;
        }
    }
    // A rectangle sticking out is cut, not moved.
    Ref<RasterImage> grey = RandomImage(random, 10, 10, 8, true);
    Ref<RasterImage> target = RasterImageCreate(10, 10, 8, true);
    const PointI at{-3, -2};
    const RectI rect{SizeI{10, 10}, PointI{0, 0}};
    ASSERT_TRUE(target->CopyRect(grey.get(), &at, &rect, kRasterCopy));
    EXPECT_EQ(RasterImageRowAddress(target.get(), 0)[0], RasterImageRowAddress(grey.get(), 2)[3]);
    EXPECT_EQ(RasterImageRowAddress(target.get(), 7)[6], RasterImageRowAddress(grey.get(), 9)[9]);
    EXPECT_EQ(RasterImageRowAddress(target.get(), 8)[0], 0);
    EXPECT_EQ(RasterImageRowAddress(target.get(), 0)[7], 0);
    // Nothing inside: true, nothing written.
    const PointI outside{20, 20};
    EXPECT_TRUE(target->CopyRect(grey.get(), &outside, &rect, kRasterCopy));
    // Depths must match, except into 24 bits.
    EXPECT_FALSE(target->CopyRect(source.get(), &at, &rect, kRasterCopy));
    Ref<RasterImage> colour = RasterImageCreate(10, 10, 24, true);
    colour->Fill(0);
    const PointI origin{0, 0};
    ASSERT_TRUE(colour->CopyRect(grey.get(), &origin, &rect, kRasterCopy));
    EXPECT_EQ(PictureRgb(colour.get(), 4, 4), PictureRgb(grey.get(), 4, 4));
    // AND and OR combine per value.
    Ref<RasterImage> a = RasterImageCreate(1, 1, 8, true), b = RasterImageCreate(1, 1, 8, true);
    a->pixels[0] = 0xF0;
    b->pixels[0] = 0x3C;
    const RectI one{SizeI{1, 1}, PointI{0, 0}};
    b->CopyRect(a.get(), &origin, &one, kRasterAnd);
    EXPECT_EQ(b->pixels[0], 0x30);
    b->CopyRect(a.get(), &origin, &one, kRasterOr);
    EXPECT_EQ(b->pixels[0], 0xF0);
}

TEST(RasterImageBrightness, VisiblePixelsOnly) {
    // 8 white pixels in a 4-byte row: the padding must not count as black.
    for (uint32_t width : {8u, 32u, 5u}) {
        Ref<RasterImage> white = RasterImageCreate(width, 3, 1, true);
        white->Fill(1);
        EXPECT_DOUBLE_EQ(white->MeanBrightness(), 1.0) << width;
    }
    Ref<RasterImage> half = RasterImageCreate(16, 2, 1, true);
    for (uint32_t y = 0; y < 2; ++y) RasterImageRowAddress(half.get(), y)[0] = 0xFF;
    EXPECT_DOUBLE_EQ(half->MeanBrightness(), 0.5);
    Ref<RasterImage> colour = RasterImageCreate(3, 3, 24, true);
    colour->Invert();
    EXPECT_DOUBLE_EQ(colour->MeanBrightness(), 1.0);
    Ref<RasterImage> nibble = RasterImageCreate(3, 1, 4, true);
    nibble->Fill(0xFF);
    EXPECT_DOUBLE_EQ(nibble->MeanBrightness(), 1.0);
    Ref<RasterImage> paletted = RasterImageCreate(2, 1, 8, false);
    PaletteMakeGreyRamp(paletted->palette);
    PaletteSetEntry(paletted->palette, 0, 0xFFFFFF);
    EXPECT_DOUBLE_EQ(paletted->MeanBrightness(), 1.0);
}

TEST(RasterPixelHelpers, DecoderRoutines) {
    const uint8_t packed[] = {0x12, 0x34, 0x50};
    uint8_t values[5], repacked[3] = {0xFF, 0xFF, 0xFF};
    NibblesUnpack(packed, values, 5);
    EXPECT_EQ(std::vector<uint8_t>(values, values + 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    NibblesPack(values, repacked, 5);
    EXPECT_EQ(std::vector<uint8_t>(repacked, repacked + 3), (std::vector<uint8_t>{0x12, 0x34, 0x50}));

    uint8_t rgb[] = {10, 20, 30, 1, 1, 1, 250, 250, 250};
    ASSERT_TRUE(HorizontalUndiff(3, rgb, 3));
    EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 9), (std::vector<uint8_t>{10, 20, 30, 11, 21, 31, 5, 15, 25}));
    EXPECT_FALSE(HorizontalUndiff(3, rgb, 0));

    uint8_t diffs[] = {0x1F, 0x22};  // 1, 15, 2, 2 -> 1, 0, 2, 4 (modulo 16)
    ASSERT_TRUE(PredictorDecode(diffs, 4, 1, 4));
    EXPECT_EQ(diffs[0], 0x10);
    EXPECT_EQ(diffs[1], 0x24);
    EXPECT_FALSE(PredictorDecode(diffs, 4, 1, 16));
    EXPECT_FALSE(PredictorDecode(diffs, 4, 0, 8));
    EXPECT_TRUE(PredictorDecode(diffs, 0, 1, 4));

    uint8_t cmyk[] = {0, 255, 128, 0, 0, 0, 0, 255};
    CmykToRgb(cmyk, 2);
    EXPECT_EQ(std::vector<uint8_t>(cmyk, cmyk + 6), (std::vector<uint8_t>{126, 0, 254, 0, 0, 0}));
    SwapRedBlue(cmyk, 1);
    EXPECT_EQ(cmyk[0], 254);
    EXPECT_EQ(cmyk[2], 126);
}

TEST(RasterImageDrawTransformed, TurnShiftAndRefusals) {
    std::mt19937 random(14);
    Ref<RasterImage> source = RandomImage(random, 9, 6, 8, true);
    // A quarter turn in memory coordinates equals Rotate(90), every row and
    // column included (the last source row once went missing).
    TransformD turn;
    turn.matrix = Matrix2{0, 1, -1, 0};
    turn.translation = PointD{0, 8};
    Ref<RasterImage> drawn = RasterImageCreate(6, 9, 8, true);
    ASSERT_TRUE(drawn->DrawTransformed(source.get(), &turn, kRasterCopy, nullptr));
    Ref<RasterImage> rotated = source->Rotate(90);
    EXPECT_EQ(memcmp(drawn->pixels, rotated->pixels, drawn->stride * drawn->height), 0);

    // A shift: only the covered part changes; OR combines.
    TransformD shift;
    TransformIdentity(shift);
    shift.translation = PointD{3, -2};
    Ref<RasterImage> target = RasterImageCreate(9, 6, 8, true);
    target->Fill(0x01);
    ASSERT_TRUE(target->DrawTransformed(source.get(), &shift, kRasterOr, nullptr));
    for (uint32_t y = 0; y < 6; ++y) {
        for (uint32_t x = 0; x < 9; ++x) {
            const bool covered = x >= 3 && y < 4;
            const uint8_t expected =
                covered ? (RasterImageRowAddress(source.get(), y + 2)[x - 3] | 0x01) : 0x01;
            ASSERT_EQ(RasterImageRowAddress(target.get(), y)[x], expected) << x << "," << y;
        }
    }

    // 8-bit sources into 24 bits through their colours.
    Ref<RasterImage> paletted = RandomImage(random, 4, 4, 8, false);
    Ref<RasterImage> colour = RasterImageCreate(4, 4, 24, true);
    TransformIdentity(shift);
    ASSERT_TRUE(colour->DrawTransformed(paletted.get(), &shift, kRasterCopy, nullptr));
    EXPECT_EQ(PictureRgb(colour.get(), 3, 3), PictureRgb(paletted.get(), 3, 3));

    TransformD singular;
    singular.matrix = Matrix2{1, 2, 2, 4};
    EXPECT_FALSE(target->DrawTransformed(source.get(), &singular, kRasterCopy, nullptr));
    Ref<RasterImage> bilevel = RasterImageCreate(4, 4, 1, true);
    EXPECT_FALSE(bilevel->DrawTransformed(bilevel.get(), &shift, kRasterCopy, nullptr));
    EXPECT_FALSE(colour->DrawTransformed(colour.get(), &shift, kRasterCopy, nullptr));
}

TEST(RasterImagePalette, ReadFromSource) {
    const std::string dir = MakeScratchDir("palette_read");
    std::vector<uint8_t> bytes(10, 0xEE);
    for (uint8_t i = 0; i < 2; ++i) {
        const uint8_t entry[4] = {uint8_t(0x10 + i), uint8_t(0x20 + i), uint8_t(0x30 + i), 0x7F};
        bytes.insert(bytes.end(), entry, entry + 4);
    }
    ASSERT_TRUE(WriteHostFile(dir + "/pal.bin", bytes));
    Ref<DataSource> source = DataSourceOpenFile(WString(WindowsPathOf(dir + "/pal.bin").c_str()), false);
    ASSERT_TRUE(source);
    Ref<Palette> palette = MakeRef<Palette>();
    ASSERT_TRUE(PaletteInit(palette.get(), 2));
    palette->kind = kPaletteGrey;
    ASSERT_TRUE(PaletteRead(palette.get(), source.get(), 10));
    EXPECT_EQ(palette->kind, kPaletteUnknown);
    EXPECT_EQ(PaletteGetEntry(palette.get(), 0), 0x302010u);
    EXPECT_EQ(PaletteGetEntry(palette.get(), 1), 0x312111u);
    EXPECT_FALSE(PaletteRead(palette.get(), source.get(), 12));  // short read
    EXPECT_FALSE(PaletteRead(palette.get(), nullptr, 0));
}
