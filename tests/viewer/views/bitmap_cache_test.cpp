// The views' geometry and caches without a window: a placement frozen in a
// window (page millimetres to window pixels and back); what counts as a
// cut-out of a page; the paper-format names; an adapted image of the
// one-entry cache shows exactly what a fresh render of the new placement
// shows; in the main view's scrolling margin a window into a widened render
// shows what a render of the window itself shows, widening keeps to the page
// and a request off the grid misses; a failed turn leaves the entry as it was.
#include "viewer/views/bitmap_cache.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tests/viewer/views/random_pages.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/paper_format_matcher.h"
#include "viewer/model/view_mapping.h"
#include "viewer/views/view_image_cache.h"

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

// Empty when the window of `outer` at `offset` shows `inner`'s picture.
std::string CompareWindow(const RasterImage* outer, const PointI& offset, const RasterImage* inner) {
    for (uint32_t y = 0; y < inner->height; ++y) {
        for (uint32_t x = 0; x < inner->width; ++x) {
            if (PictureRgb(outer, offset.x + x, offset.y + y) != PictureRgb(inner, x, y)) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
    }
    return "";
}

// A request of `width` x `height` image pixels at 1:1 from (x, y), turned,
// mirrored and inverted as `variant` says.
PagePlacement OneToOne(double dpi, uint32_t x, uint32_t y, uint32_t width, uint32_t height, int variant) {
    PagePlacement placement;
    PagePlacementInit(placement);
    RectDSet(placement.rect, x * 25.4 / dpi, y * 25.4 / dpi, width * 25.4 / dpi, height * 25.4 / dpi);
    placement.rotation = static_cast<uint16_t>(90 * (variant % 4));
    placement.flip_x = variant >> 2 & 1;
    placement.flip_y = variant >> 3 & 1;
    placement.invert = variant >> 4 & 1;
    const bool quarter = placement.rotation % 180 == 90;
    placement.pixel_width = quarter ? height : width;
    placement.pixel_height = quarter ? width : height;
    return placement;
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

// At 1:1 and enlarged twice (two view pixels an image pixel), for every
// turn, mirror and inversion: windows moved by whole image pixels within the
// margin are served, half an image pixel off is rendered anew.
TEST(ViewImageCache, AWindowIntoTheWidenedRenderEqualsARenderOfTheWindow) {
    std::mt19937 random(2024);
    const double dpi = 100;
    for (PageKind kind : {PageKind::kBilevelWhiteIsZero, PageKind::kGrey8, PageKind::kRgb}) {
        const uint32_t width = 90 + random() % 40, height = 70 + random() % 40;
        const TestPage page = RandomPage(random, kind, width, height, uint32_t(dpi), uint32_t(dpi),
                                         MakeScratchDir("view_image_cache") + "/page.tif");
        ASSERT_TRUE(page.page);
        const SizeD page_size{width * 25.4 / dpi, height * 25.4 / dpi};
        for (int variant = 0; variant < 64; ++variant) {
            SCOPED_TRACE("variant " + std::to_string(variant));
            const uint32_t scale = variant < 32 ? 1 : 2, x = 10 + random() % 30, y = 10 + random() % 30,
                           w = 10 + random() % 20, h = 10 + random() % 20;
            auto at = [&](int dx, int dy) {
                PagePlacement placement = OneToOne(dpi, x + dx, y + dy, w, h, variant % 32);
                placement.pixel_width *= scale, placement.pixel_height *= scale;
                return placement;
            };
            const PagePlacement request = at(0, 0);
            const ViewPixelGrid grid = ViewPixelGridFor(request, SizeD{dpi, dpi});
            ASSERT_EQ(grid.step_x, scale);
            const PagePlacement wide = WidenPlacementForScrolling(request, page_size, grid);
            ASSERT_GT(wide.pixel_width * wide.pixel_height, request.pixel_width * request.pixel_height);
            EXPECT_GE(wide.rect.origin.x, 0.0);
            EXPECT_GE(wide.rect.origin.y, 0.0);
            EXPECT_LE(wide.rect.origin.x + wide.rect.size.width, page_size.width + 1e-9);
            EXPECT_LE(wide.rect.origin.y + wide.rect.size.height, page_size.height + 1e-9);
            Ref<RasterImage> whole = PageRender(page.page.get(), nullptr, page.source.get(), &wide, nullptr);
            ASSERT_TRUE(whole);
            Ref<BitmapCacheEntry> entry = BitmapCacheConstruct(kPageId, whole.get(), wide);
            CachedViewImage served;
            for (const PointI& shift : {PointI{0, 0}, PointI{-3, 2}, PointI{4, -5}}) {
                const PagePlacement moved = at(shift.x, shift.y);
                Ref<RasterImage> fresh =
                    PageRender(page.page.get(), nullptr, page.source.get(), &moved, nullptr);
                ASSERT_TRUE(fresh && ViewCacheLookup(entry.get(), kPageId, moved, grid, served));
                EXPECT_EQ(served.source_offset.x % int(scale), 0);
                EXPECT_EQ(CompareWindow(served.image.get(), served.source_offset, fresh.get()), "");
            }
            PagePlacement half = request;
            half.rect.origin.x += 25.4 / dpi / 2;
            EXPECT_FALSE(ViewCacheLookup(entry.get(), kPageId, half, grid, served));
        }
    }
}

TEST(ViewMapping, PageToWindowAndBackRoundTrips) {
    std::mt19937 random(2718);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 2000; ++round) {
        PagePlacement placement;
        PagePlacementInit(placement);
        const RectD& r = RectDSet(placement.rect, unit(random) * 500, unit(random) * 500,
                                  1 + unit(random) * 500, 1 + unit(random) * 500);
        placement.pixel_width = 10 + random() % 3000, placement.pixel_height = 10 + random() % 3000;
        placement.rotation = uint16_t(90 * (random() % 4));
        placement.flip_x = random() % 2, placement.flip_y = random() % 2;
        const PointI offset{int32_t(random() % 2000) - 1000, int32_t(random() % 2000) - 1000};
        Ref<ViewMapping> mapping = ViewMappingConstruct(5, offset, placement, 3.78, 3.78);
        ASSERT_TRUE(mapping);
        // A page point comes back within half a pixel.
        const PointD page{r.origin.x + unit(random) * r.size.width,
                          r.origin.y + unit(random) * r.size.height};
        const PointD back = ViewMapDeviceToPage(mapping.get(), ViewMapPageToDevice(mapping.get(), page));
        const double half_pixel =
            0.5 / std::min(PagePlacementScaleX(placement), PagePlacementScaleY(placement));
        EXPECT_NEAR(back.x, page.x, half_pixel + 1e-9) << round;
        EXPECT_NEAR(back.y, page.y, half_pixel + 1e-9) << round;
        // A window pixel over the image comes back as itself.
        const PointI pixel{offset.x + int32_t(random() % placement.pixel_width),
                           offset.y + int32_t(random() % placement.pixel_height)};
        EXPECT_EQ(ViewMapPageToDevice(mapping.get(), ViewMapDeviceToPage(mapping.get(), pixel)), pixel)
            << round;
    }
}

static RectD Rect(double x, double y, double w, double h) {
    RectD rect;
    rect.origin = PointD{x, y}, rect.size = SizeD{w, h};  // as given, negative sizes too
    return rect;
}

TEST(CutOutState, InvalidCutOutsAreRefusedAndChangeNothing) {
    const double W = 100, H = 200;
    const RectD earlier = Rect(1, 2, 3, 4), unset = Rect(-1, -1, -1, -1);
    struct Case {
        RectD rect;
        bool valid;    // as a cut-out of the page
        RectD stored;  // after setting it (`earlier` when refused), or `unset`: not set
    } const cases[] = {
        {Rect(0, 0, W, H), true, Rect(0, 0, W, H)},
        {Rect(0, 0, W + 0.000005, H), true, Rect(0, 0, W, H)},
        {Rect(0, 0, W, H + 0.0001), false, Rect(0, 0, W, H)},
        {Rect(-0.001, 0, 10, 10), false, Rect(0, 0, 10, 10)},
        {Rect(90, -5, 30, 40), false, Rect(70, 0, 30, 40)},
        {Rect(-10, -10, 500, 500), false, Rect(0, 0, W, H)},
        {Rect(5, 5, 0.0000001 * W, 10), false, unset},
        {Rect(5, 5, 0.000002 * W, 0.000002 * H), true, unset},
        {Rect(0, 0, 0, 10), false, earlier},
        {Rect(20, 5, -10, 10), false, earlier},
        {Rect(NAN, 5, 10, 10), false, earlier},
        {Rect(0, 0, INFINITY, 10), false, earlier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.origin.x << ", " << c.rect.origin.y << ", "
                                        << c.rect.size.width << ", " << c.rect.size.height);
        Ref<CutOutState> state = CutOutCreate(SizeD{W, H});
        EXPECT_EQ(CutOutIsValidRect(state.get(), c.rect), c.valid);
        if (c.stored == unset) continue;
        ASSERT_TRUE(CutOutSetRect(state.get(), earlier) && CutOutSetZoom(state.get(), 2.5));
        const bool taken = !(c.stored == earlier);
        EXPECT_EQ(CutOutSetRect(state.get(), c.rect), taken);
        RectD stored;
        EXPECT_EQ(CutOutGetRect(state.get(), stored), c.stored);
        EXPECT_EQ(CutOutGetZoom(state.get()), taken ? 0.0 : 2.5);  // a new cut-out is shown fitted
    }
    EXPECT_FALSE(CutOutSetRect(CutOutCreate(SizeD{0, 0}).get(), Rect(0, 0, 1, 1)));
}

namespace {

std::wstring NameOf(PaperFormatMatcher& matcher, double width, double height) {
    WString name(L"untouched");
    PaperFormatName(&matcher, SizeD{width, height}, name);
    return WStrBuffer(name);
}

TEST(PaperFormatMatcher, NamesTheFirstFormatWithinTheToleranceOrKeepsTheName) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    const wchar_t* const kept = L"untouched";
    const struct {
        double tolerance, width, height;
        const wchar_t* name;
    } cases[] = {
        {0.05, 210, 297, L"ISO A4"},      // portrait
        {0.05, 297, 210, L"ISO A4"},      // landscape
        {0.05, 209.9, 297.0, L"ISO A4"},  // 595 x 842 points
        {0.05, 250, 176, L"ISO B5"},      // also within 5 % of JIS B5 (257 x 182), which comes later
        {0.05, 257, 182, L"ISO B5"},      // the same: ISO B5's bounds reach it first
        {0.05, 280, 200, L"ISO D4"},      // ISO E4 is exactly this, but ISO D4 (272 x 192) comes first
        {0.05, 45, 32, L"ISO B10"},       // JIS B10 is exactly this, ISO B10 (44 x 31) earlier
        {0.0, 257, 182, L"JIS B5"},
        {0.0, 280, 200, L"ISO E4"},
        {0.0, 295, 210, kept},
        // 62,700 would pass for 297 if the bounds were cut to 16 bits
        // (62,700 x 1.05 = 65,835 = 65,536 + 299).
        {0.05, 62700, 210, kept},
        {0.05, 65536 + 297, 65536 + 210, kept},
        {0.05, 230, 297, kept},  // between A4 and the next formats
        {0.05, 0, 0, kept},
        {0.05, -210, -297, kept},
        {0.05, nan, 297, kept},
        {0.05, inf, inf, kept},
    };
    for (const auto& c : cases) {
        PaperFormatMatcher matcher(c.tolerance);
        EXPECT_EQ(NameOf(matcher, c.width, c.height), c.name) << c.width << " x " << c.height;
        if (c.name == kept) {
            EXPECT_EQ(matcher.cached_row, -1) << "a miss leaves the cache as it was";
        }
    }
}

}  // namespace
