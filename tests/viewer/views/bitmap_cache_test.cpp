// The one-entry page cache: an adapted image shows exactly what a fresh
// render of the new placement shows, and a failed turn leaves the entry as
// it was.
#include "viewer/views/bitmap_cache.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/viewer/views/random_pages.h"

namespace {

constexpr int32_t kPageId = 17;

bool SamePicture(const RasterImage* a, const RasterImage* b) {
    bool same = a->width == b->width && a->height == b->height;
    for (uint32_t i = 0; same && i < a->width * a->height; ++i) {
        same = PictureRgb(a, i % a->width, i / a->width) == PictureRgb(b, i % a->width, i / a->width);
    }
    return same;
}

// Every page depth, a square and an oblong target; from every rotation,
// mirroring and inversion to every other. The part of the page is shown at a
// whole-number scale along each axis (1:1, or enlarged or reduced by 2 or
// 3): the sinks sample a mirrored or turned render from the opposite edge, so
// only at such scales does the mirror of a render equal the mirrored render.
TEST(BitmapCacheAdaptation, AdaptedImageEqualsAFreshRenderForEveryChangeOfView) {
    std::mt19937 random(1851);
    const std::string dir = MakeScratchDir("bitmap_cache");
    for (PageKind kind : {PageKind::kBilevelWhiteIsZero, PageKind::kBilevelBlackIsZero, PageKind::kGrey4,
                          PageKind::kGrey8, PageKind::kColourMap, PageKind::kRgb}) {
        for (bool square : {true, false}) {
            PagePlacement part;
            PagePlacementInit(part);
            part.pixel_width = 6 * (1 + random() % 4);
            part.pixel_height = part.pixel_width + (square ? 0 : 6 * (1 + random() % 3));
            auto source_side = [&random](uint32_t target) {
                const uint32_t k = 1 + random() % 3;
                return random() % 2 ? target * k : target / k;
            };
            const uint32_t w = source_side(part.pixel_width), h = source_side(part.pixel_height);
            const uint32_t x = random() % 9, y = random() % 9, dpi_x = 50 + random() % 350,
                           dpi_y = random() % 2 ? dpi_x : 50 + random() % 350;
            RectDSet(part.rect, x * 25.4 / dpi_x, y * 25.4 / dpi_y, w * 25.4 / dpi_x, h * 25.4 / dpi_y);
            // The file's name tells the kind, the part's pixels and the target's.
            const std::string name = dir + "/" + std::to_string(int(kind)) + "-" + std::to_string(w) + "x" +
                                     std::to_string(h) + "-to-" + std::to_string(part.pixel_width) + "x" +
                                     std::to_string(part.pixel_height) + ".tif";
            const TestPage page =
                RandomPage(random, kind, x + w + random() % 9, y + h + random() % 9, dpi_x, dpi_y, name);
            ASSERT_TRUE(page.page);
            // View v turns by 90 * (v >> 3); its bits 0, 1, 2 mirror x, mirror y, invert.
            std::vector<PagePlacement> views(32, part);
            std::vector<Ref<RasterImage>> renders;
            for (int v = 0; v < 32; ++v) {
                views[v].rotation = uint16_t(90 * (v >> 3));
                views[v].flip_x = v & 1, views[v].flip_y = v >> 1 & 1, views[v].invert = v >> 2 & 1;
                if (v >> 3 & 1) std::swap(views[v].pixel_width, views[v].pixel_height);
                renders.push_back(
                    PageRender(page.page.get(), nullptr, page.source.get(), &views[v], nullptr));
                ASSERT_TRUE(renders.back()) << name;
            }
            for (int from = 0; from < 32; ++from) {
                for (int to = 0; to < 32; ++to) {
                    SCOPED_TRACE(name + ", view " + std::to_string(from) + " to " + std::to_string(to));
                    Ref<BitmapCacheEntry> entry =
                        BitmapCacheConstruct(kPageId, renders[from]->Clone().get(), views[from]);
                    Ref<RasterImage> served = BitmapCacheLookup(entry.get(), kPageId, views[to]);
                    if ((from ^ to) >> 3 & 1 && !square) {  // a turned oblong image fits no target
                        EXPECT_FALSE(served);
                        EXPECT_TRUE(SamePicture(entry->image.get(), renders[from].get()));
                        continue;
                    }
                    ASSERT_TRUE(served);
                    EXPECT_TRUE(SamePicture(served.get(), renders[to].get()));
                    EXPECT_TRUE(PagePlacementEquals(entry->placement, views[to]));
                }
            }
        }
    }
}

// Shares the pixels of a real image; its turn fails, as when memory runs out.
class UnturnableImage : public RasterImage {
  public:
    explicit UnturnableImage(Ref<RasterImage> inner) : inner_(std::move(inner)) {
        width = inner_->width, height = inner_->height, stride = inner_->stride, pixels = inner_->pixels;
        bits_per_pixel = inner_->bits_per_pixel, bits_per_row = inner_->bits_per_row;
    }
    Ref<RasterImage> Rotate(int16_t) const override { return nullptr; }
    // Nothing else is asked of it.
    void CopyFrom(const RasterImage*) override {}
    bool GetPixelRgb(uint32_t, uint32_t, uint32_t*) const override { return false; }
    bool GetPixelValue(uint32_t, uint32_t, uint8_t*) const override { return false; }
    bool SetPixel(uint32_t, uint32_t, uint8_t, uint32_t) override { return false; }
    bool MirrorHorizontal() override { return false; }
    bool Fill(uint8_t) override { return false; }
    bool CopyRect(const RasterImage*, const PointI*, const RectI*, uint32_t) override { return false; }
    bool DrawTransformed(const RasterImage*, const TransformD*, uint32_t, ProgressSink*) override {
        return 0;
    }
    bool ApplyLut(const uint8_t*) override { return false; }
    double MeanBrightness() const override { return 0; }

  private:
    Ref<RasterImage> inner_;
};

TEST(BitmapCacheLookup, FailedTurnLeavesTheEntryUntouched) {
    PagePlacement held;
    PagePlacementInit(held);
    RectDSet(held.rect, 0, 0, 10, 10);
    held.pixel_width = held.pixel_height = 4, held.flip_y = 1;
    PagePlacement turned = held;
    turned.invert = turned.flip_x = 1, turned.rotation = 90;
    std::mt19937 random(4);
    Ref<RasterImage> picture = RandomImage(random, 4, 4, 8, true);
    const Ref<RasterImage> original = picture->Clone();

    // The turn fails before anything has changed: the entry still serves its image.
    Ref<RasterImage> unturnable = MakeRef<UnturnableImage>(picture);
    Ref<BitmapCacheEntry> entry = BitmapCacheConstruct(kPageId, unturnable.get(), held);
    EXPECT_FALSE(BitmapCacheLookup(entry.get(), kPageId, turned));
    EXPECT_EQ(BitmapCacheLookup(entry.get(), kPageId, held).get(), unturnable.get());
    EXPECT_TRUE(SamePicture(picture.get(), original.get()));
}

}  // namespace
