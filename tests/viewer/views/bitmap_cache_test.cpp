// The one-entry page cache: an adapted image shows exactly what a fresh
// render of the new placement shows, and what cannot be adapted misses
// without spoiling the entry.
#include "viewer/views/bitmap_cache.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/viewer/views/random_pages.h"

namespace {

constexpr int32_t kPageId = 17;

std::string Describe(const PagePlacement& p) {
    return std::to_string(p.rotation) + (p.flip_x ? " fx" : "") + (p.flip_y ? " fy" : "") +
           (p.invert ? " inv" : "");
}

// Every rotation, flip and inversion of `part`, its pixel size exchanged at
// a quarter turn as a view's target would be.
std::vector<PagePlacement> EveryView(const PagePlacement& part) {
    std::vector<PagePlacement> views;
    for (uint16_t rotation = 0; rotation < 360; rotation += 90) {
        for (int bits = 0; bits < 8; ++bits) {
            PagePlacement view = part;
            view.rotation = rotation;
            view.flip_x = bits & 1, view.flip_y = bits >> 1 & 1, view.invert = bits >> 2;
            if (rotation % 180 == 90) std::swap(view.pixel_width, view.pixel_height);
            views.push_back(view);
        }
    }
    return views;
}

// A random page and a part of it shown at a whole-number scale along each
// axis (1:1, or enlarged or reduced by 2 or 3). The sinks sample a mirrored
// or turned render from the opposite edge, so only at such scales does the
// mirror of a render equal the mirrored render.
TestPage PageWithPart(std::mt19937& random, PageKind kind, bool square, PagePlacement& part) {
    PagePlacementInit(part);
    part.pixel_width = 6 * (1 + random() % 4);
    part.pixel_height = square ? part.pixel_width : 6 * (1 + random() % 4);
    auto source_side = [&random](uint32_t target) {
        const uint32_t k = 1 + random() % 3;
        return random() % 2 ? target * k : target / k;
    };
    const uint32_t source_width = source_side(part.pixel_width),
                   source_height = source_side(part.pixel_height);
    const uint32_t x = random() % 9, y = random() % 9;
    const double dpi_x = 50 + random() % 350, dpi_y = random() % 2 ? dpi_x : 50 + random() % 350;
    const uint32_t width = x + source_width + random() % 9, height = y + source_height + random() % 9;
    RectDSet(part.rect, x * 25.4 / dpi_x, y * 25.4 / dpi_y, source_width * 25.4 / dpi_x,
             source_height * 25.4 / dpi_y);
    return OpenTestPage(RandomTiff(random, kind, width, height, dpi_x, dpi_y),
                        "kind " + std::to_string(int(kind)) + ", " + std::to_string(source_width) + "x" +
                            std::to_string(source_height) + " of " + std::to_string(width) + "x" +
                            std::to_string(height) + " pixels at " + std::to_string(part.pixel_width) + "x" +
                            std::to_string(part.pixel_height));
}

TEST(BitmapCacheAdaptation, AdaptedImageEqualsAFreshRenderForEveryChangeOfView) {
    std::mt19937 random(1851);
    for (PageKind kind : {PageKind::kBilevelWhiteIsZero, PageKind::kBilevelBlackIsZero, PageKind::kGrey4,
                          PageKind::kGrey8, PageKind::kColourMap, PageKind::kRgb}) {
        for (int round = 0; round < 4; ++round) {
            PagePlacement part;
            const TestPage page = PageWithPart(random, kind, round % 2 == 0, part);
            ASSERT_TRUE(page.page);
            const std::vector<PagePlacement> views = EveryView(part);
            std::vector<Ref<RasterImage>> renders;
            for (const PagePlacement& view : views) {
                renders.push_back(PageRender(page.page.get(), nullptr, page.source.get(), &view, nullptr));
                ASSERT_TRUE(renders.back()) << page.description;
            }
            for (size_t from = 0; from < views.size(); ++from) {
                for (size_t to = 0; to < views.size(); ++to) {
                    SCOPED_TRACE(page.description + ", " + Describe(views[from]) + " to " +
                                 Describe(views[to]));
                    Ref<BitmapCacheEntry> entry =
                        BitmapCacheConstruct(kPageId, renders[from]->Clone().get(), views[from]);
                    Ref<RasterImage> served = BitmapCacheLookup(entry.get(), kPageId, views[to]);
                    const bool quarter_apart = (views[from].rotation + 360 - views[to].rotation) % 180 == 90;
                    if (quarter_apart && part.pixel_width != part.pixel_height) {
                        EXPECT_FALSE(served);
                        EXPECT_EQ(ComparePictures(entry->image.get(), renders[from].get()), "");
                        continue;
                    }
                    ASSERT_TRUE(served);
                    EXPECT_EQ(ComparePictures(served.get(), renders[to].get()), "");
                    EXPECT_TRUE(PagePlacementEquals(entry->placement, views[to]));
                }
            }
        }
    }
}

TEST(BitmapCacheLookup, MissesWhatOnlyANewRenderCanShowAndKeepsTheEntry) {
    PagePlacement held;
    PagePlacementInit(held);
    RectDSet(held.rect, 1, 2, 30, 20);
    held.pixel_width = held.pixel_height = 6, held.flip_y = 1;
    struct Case {
        const char* name;
        int32_t page_id;
        void (*change)(PagePlacement&);
    };
    const Case cases[] = {
        {"another page", kPageId + 1, [](PagePlacement&) {}},
        {"another rectangle", kPageId, [](PagePlacement& p) { p.rect.origin.x += 0.5; }},
        {"another pixel size", kPageId, [](PagePlacement& p) { p.pixel_width = p.pixel_height = 7; }},
        {"full-size image asked for", kPageId, [](PagePlacement& p) { p.flags = kPlacementFullSizeImage; }},
        {"a turn of no quarter", kPageId, [](PagePlacement& p) { p.rotation = 45; }},
    };
    for (const Case& c : cases) {
        Ref<RasterImage> image = RasterImageCreate(6, 6, 8, true);
        image->pixels[0] = 0x5A;
        Ref<BitmapCacheEntry> entry = BitmapCacheConstruct(kPageId, image.get(), held);
        PagePlacement request = held;
        c.change(request);
        request.invert = 1;
        EXPECT_FALSE(BitmapCacheLookup(entry.get(), c.page_id, request)) << c.name;
        held.negative_mode = 2;  // takes no part in the comparison
        EXPECT_EQ(BitmapCacheLookup(entry.get(), kPageId, held).get(), image.get()) << c.name;
        EXPECT_EQ(image->pixels[0], 0x5A) << c.name;
    }
}

// Shares the pixels of a real 8-bit image; its turn or its mirroring fails
// when asked to, as they do when memory runs out.
class BrittleImage : public RasterImage {
  public:
    BrittleImage(RasterImage* inner, bool rotate_fails, bool mirror_fails)
        : inner_(inner), rotate_fails_(rotate_fails), mirror_fails_(mirror_fails) {
        width = inner->width, height = inner->height, stride = inner->stride;
        bits_per_pixel = inner->bits_per_pixel, bits_per_row = inner->bits_per_row, pixels = inner->pixels;
    }
    void CopyFrom(const RasterImage*) override {}
    Ref<RasterImage> Rotate(int16_t angle) const override {
        return rotate_fails_ ? nullptr : inner_->Rotate(angle);
    }
    bool GetPixelRgb(uint32_t x, uint32_t y, uint32_t* c) const override {
        return inner_->GetPixelRgb(x, y, c);
    }
    bool GetPixelValue(uint32_t x, uint32_t y, uint8_t* v) const override {
        return inner_->GetPixelValue(x, y, v);
    }
    bool SetPixel(uint32_t x, uint32_t y, uint8_t v, uint32_t m) override {
        return inner_->SetPixel(x, y, v, m);
    }
    bool MirrorHorizontal() override { return !mirror_fails_ && inner_->MirrorHorizontal(); }
    bool Fill(uint8_t value) override { return inner_->Fill(value); }
    bool CopyRect(const RasterImage*, const PointI*, const RectI*, uint32_t) override { return false; }
    bool DrawTransformed(const RasterImage*, const TransformD*, uint32_t, ProgressSink*) override {
        return false;
    }
    bool ApplyLut(const uint8_t* table) override { return inner_->ApplyLut(table); }
    double MeanBrightness() const override { return inner_->MeanBrightness(); }

  private:
    Ref<RasterImage> inner_;
    bool rotate_fails_, mirror_fails_;
};

TEST(BitmapCacheLookup, FailedAdaptationNeverLeavesAWrongImageUnderAPlacement) {
    PagePlacement held;
    PagePlacementInit(held);
    RectDSet(held.rect, 0, 0, 10, 10);
    held.pixel_width = held.pixel_height = 4, held.flip_y = 1;
    PagePlacement inverted_mirrored = held;
    inverted_mirrored.invert = inverted_mirrored.flip_x = 1;
    PagePlacement also_turned = inverted_mirrored;
    also_turned.rotation = 90;
    std::mt19937 random(4);
    Ref<RasterImage> picture = RandomImage(random, 4, 4, 8, true);
    const Ref<RasterImage> original = picture->Clone();

    // The turn fails before anything has changed: the entry still serves its image.
    Ref<RasterImage> unturnable = MakeRef<BrittleImage>(picture.get(), true, false);
    Ref<BitmapCacheEntry> entry = BitmapCacheConstruct(kPageId, unturnable.get(), held);
    EXPECT_FALSE(BitmapCacheLookup(entry.get(), kPageId, also_turned));
    EXPECT_EQ(BitmapCacheLookup(entry.get(), kPageId, held).get(), unturnable.get());
    EXPECT_EQ(ComparePictures(picture.get(), original.get()), "");

    // The mirroring fails after the inversion was made: the image shows
    // neither placement, so the entry answers nothing any more.
    Ref<RasterImage> unmirrorable = MakeRef<BrittleImage>(picture.get(), false, true);
    entry = BitmapCacheConstruct(kPageId, unmirrorable.get(), held);
    EXPECT_FALSE(BitmapCacheLookup(entry.get(), kPageId, inverted_mirrored));
    EXPECT_FALSE(BitmapCacheLookup(entry.get(), kPageId, held));
}

}  // namespace
