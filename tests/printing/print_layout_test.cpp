// The print layout against a provider of chosen features and a known
// printable area (A4 at 300 dpi, 5 mm all round): what no print through the
// test printer reaches (a provider without a feature, a cut-out, the
// preview's scaling). True size, fit, margins and turning are measured on
// the printed sheet (print_job_test.cpp).
#include "printing/print_layout.h"

#include <gtest/gtest.h>

#include <set>

#include "printing/print_options.h"
#include "tests/printing/feature_print_provider.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/settings.h"
#include "viewer/model/cut_out_state.h"

namespace {

constexpr double kDotsPerMm = FeatureProvider::kDotsPerMm;

const std::set<uint32_t> kAllFeatures = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};

struct LayoutBed {
    LayoutBed() {
        dir = MakeScratchDir("print_layout");
        // 100 x 140 mm portrait and 180 x 100 mm landscape at 254 dpi.
        MakeFilesIn(
            dir,
            "convert -size 1000x1400 xc:white -units PixelsPerInch -density 254 -compress Group4 tall.tif && "
            "convert -size 1800x1000 xc:white -units PixelsPerInch -density 254 -compress Group4 wide.tif");
    }
    Ref<DocItem> PageOf(const char* name) {
        Ref<DocumentItem> document = viewer.Open(dir + "/" + name, OpenParamsCreate().get());
        return document ? DocItemGetChild(document.get(), 0) : nullptr;
    }
    Ref<PrintLayout> Layout(std::set<uint32_t> features, DocItem* page, const PrintOptions& options) {
        Ref<FeatureProvider> provider = MakeRef<FeatureProvider>(std::move(features));
        Ref<PrintableArea> area = provider->GetPrintableArea();
        return PrintLayoutCompute(viewer.context.get(), provider.get(), page, options, area.get(),
                                  options.auto_orientation != 0);
    }
    RunningViewer viewer;
    std::string dir;
};

Ref<PrintOptions> Options(bool fit, uint32_t numerator = 1, uint32_t denominator = 1) {
    Ref<PrintOptions> options = PrintOptionsCreate();
    options->fit = fit ? 1 : 0;
    options->ratio_numerator = numerator;
    options->ratio_denominator = denominator;
    return options;
}

}  // namespace

// Without the fit feature the ratio holds even when the options ask for
// fit; without the ratio feature as well the page is fitted.
TEST(PrintLayout, RatioAndFitFollowTheProvidersFeatures) {
    LayoutBed bed;
    Ref<DocItem> page = bed.PageOf("tall.tif");
    ASSERT_TRUE(page);
    std::set<uint32_t> no_fit = kAllFeatures;
    no_fit.erase(print_feature::kFitToPage);
    Ref<PrintLayout> layout = bed.Layout(no_fit, page.get(), *Options(true, 3, 2));
    ASSERT_TRUE(layout);
    EXPECT_NEAR(layout->placement.pixel_width, 150 * kDotsPerMm, 1.0);

    no_fit.erase(print_feature::kRatio);
    layout = bed.Layout(no_fit, page.get(), *Options(false, 1, 2));
    ASSERT_TRUE(layout);
    EXPECT_NEAR(layout->placement.pixel_width, 200 * kDotsPerMm, 1.0) << "fitted to the printable width";

    // A denominator of 0 is read as 1.
    layout = bed.Layout(kAllFeatures, page.get(), *Options(false, 1, 0));
    ASSERT_TRUE(layout);
    EXPECT_NEAR(layout->placement.pixel_width, 100 * kDotsPerMm, 1.0);
}

// Centring ignores the margins, and so does a provider without the margins
// feature.
TEST(PrintLayout, MarginsOnlyWithoutCentring) {
    LayoutBed bed;
    Ref<DocItem> page = bed.PageOf("tall.tif");
    ASSERT_TRUE(page);
    Ref<PrintOptions> options = Options(false);
    options->margin_left = 30;
    options->margin_top = 40;
    Ref<PrintLayout> centred = bed.Layout(kAllFeatures, page.get(), *options);
    options->centred = 0;
    std::set<uint32_t> no_margins = kAllFeatures;
    no_margins.erase(print_feature::kMargins);
    Ref<PrintLayout> ignored = bed.Layout(no_margins, page.get(), *options);
    ASSERT_TRUE(centred && ignored);
    options->margin_left = options->margin_top = 0;
    options->centred = 1;
    Ref<PrintLayout> plain = bed.Layout(kAllFeatures, page.get(), *options);
    EXPECT_EQ(centred->window_offset, plain->window_offset);
    EXPECT_NEAR(ignored->window_offset.x, 5 * kDotsPerMm, 1.0) << "the printable area's own edge";
}

// Centred is the page's centre on the paper's, whether the page fits the
// printable area or not: a sheet of the paper's size and one much larger,
// printed 1:1 with and without ZOOM_EXACT, lose as much on every side.
TEST(PrintLayout, CentredSheetsKeepTheirCentreOnThePapers) {
    LayoutBed bed;
    ASSERT_TRUE(MakeFilesIn(bed.dir, "convert -size 2100x2970 xc:white -units PixelsPerInch -density 254"
                                     " -compress Group4 a4.tif && convert -size 4000x6000 xc:white -units"
                                     " PixelsPerInch -density 254 -compress Group4 large.tif"));
    Settings* settings = AppGetSettings(bed.viewer.root.get()).get();
    for (const char* name : {"a4.tif", "large.tif"}) {
        Ref<DocItem> page = bed.PageOf(name);
        ASSERT_TRUE(page);
        const SizeD size = CutOutGetPageSize(page->GetCutOut().get());
        for (const bool exact : {false, true}) {
            SCOPED_TRACE(std::string(name) + (exact ? " exact" : " filled"));
            SettingsSetZoomExact(settings, nullptr, kCallerInternal, exact);
            Ref<PrintLayout> layout = bed.Layout(kAllFeatures, page.get(), *Options(false));
            ASSERT_TRUE(layout);
            const RectD& shown = layout->placement.rect;
            EXPECT_NEAR(shown.origin.x + shown.size.width / 2, size.width / 2, 1e-6);
            EXPECT_NEAR(shown.origin.y + shown.size.height / 2, size.height / 2, 1e-6);
            EXPECT_NEAR(shown.size.width, 200, 1e-6) << "the printable width at true size";
            EXPECT_NEAR(layout->window_offset.x, 5 * kDotsPerMm, 1.0);
            EXPECT_NEAR(layout->window_offset.y, 5 * kDotsPerMm, 1.0);
        }
    }
}

// The cut-out only with the cut-out feature; with ZOOM_EXACT off a cut-out
// of another shape is widened with its surroundings to fill the area.
TEST(PrintLayout, CutOutOnlyAndExactZoom) {
    LayoutBed bed;
    Ref<DocItem> page = bed.PageOf("tall.tif");
    ASSERT_TRUE(page);
    Ref<CutOutState> state = page->GetCutOut();
    ASSERT_TRUE(CutOutSetRect(state.get(), RectD{SizeD{40, 20}, PointD{30, 60}}));
    Ref<PrintOptions> options = Options(true);
    Settings* settings = AppGetSettings(bed.viewer.root.get()).get();

    SettingsSetZoomExact(settings, nullptr, kCallerInternal, true);
    Ref<PrintLayout> exact = bed.Layout(kAllFeatures, page.get(), *options);
    ASSERT_TRUE(exact);
    EXPECT_NEAR(exact->placement.rect.size.width, 40, 1e-6);
    EXPECT_NEAR(exact->placement.rect.size.height, 20, 1e-6);

    SettingsSetZoomExact(settings, nullptr, kCallerInternal, false);
    Ref<PrintLayout> filled = bed.Layout(kAllFeatures, page.get(), *options);
    ASSERT_TRUE(filled);
    EXPECT_GT(filled->placement.rect.size.height, 20.5) << "widened with the surrounding page";

    std::set<uint32_t> no_cut_out = kAllFeatures;
    no_cut_out.erase(print_feature::kCutOutOnly);
    SettingsSetZoomExact(settings, nullptr, kCallerInternal, true);
    Ref<PrintLayout> whole = bed.Layout(no_cut_out, page.get(), *options);
    ASSERT_TRUE(whole);
    EXPECT_NEAR(whole->placement.rect.size.width, 100, 1e-6);
    EXPECT_NEAR(whole->placement.rect.size.height, 140, 1e-6);
}

// A landscape page turned onto portrait paper shows in the preview
// unturned on paper drawn in landscape, scaled into the box.
TEST(PrintLayout, TheSheetsPreviewOfATurnedPage) {
    LayoutBed bed;
    Ref<DocItem> page = bed.PageOf("wide.tif");
    ASSERT_TRUE(page);
    Ref<PrintLayout> turned = bed.Layout(kAllFeatures, page.get(), *Options(true));
    ASSERT_TRUE(turned);
    ASSERT_TRUE(turned->placement.rotation == 90 || turned->placement.rotation == 270);
    Ref<FeatureProvider> provider = MakeRef<FeatureProvider>(kAllFeatures);
    Ref<PrintableArea> area = provider->GetPrintableArea();
    RectI paper;
    Ref<ViewMapping> preview = PrintPreviewMapping(bed.viewer.context.get(), *area, *turned,
                                                   page->GetCutOut().get(), SizeI{400, 300}, paper);
    ASSERT_TRUE(preview);
    EXPECT_GT(paper.size.width, paper.size.height) << "paper drawn in landscape";
    EXPECT_EQ(paper.size.width, 400);  // 297 mm across the box's 400 pixels
    EXPECT_EQ(paper.size.height, static_cast<int32_t>(400.0 * 210 / 297 + 0.5));
    EXPECT_EQ(paper.origin.y, (300 - paper.size.height) / 2);
    EXPECT_EQ(preview->placement.rotation, 0);
    EXPECT_GT(preview->placement.pixel_width, preview->placement.pixel_height);
    EXPECT_GE(preview->window_offset.x, paper.origin.x);
    EXPECT_LE(preview->window_offset.x + static_cast<int32_t>(preview->placement.pixel_width),
              paper.origin.x + paper.size.width + 1);
}

// Only printable pages get a layout: the document item has none, and
// neither has anything without provider or area.
TEST(PrintLayout, NothingForItemsThatDoNotPrint) {
    LayoutBed bed;
    Ref<DocumentItem> document = bed.viewer.Open(bed.dir + "/tall.tif", OpenParamsCreate().get());
    ASSERT_TRUE(document);
    Ref<PrintOptions> options = Options(true);
    EXPECT_FALSE(bed.Layout(kAllFeatures, document.get(), *options));
    Ref<DocItem> page = DocItemGetChild(document.get(), 0);
    Ref<FeatureProvider> provider = MakeRef<FeatureProvider>(kAllFeatures);
    EXPECT_FALSE(
        PrintLayoutCompute(bed.viewer.context.get(), provider.get(), page.get(), *options, nullptr, true));
    Ref<PrintableArea> area = provider->GetPrintableArea();
    EXPECT_FALSE(
        PrintLayoutCompute(bed.viewer.context.get(), nullptr, page.get(), *options, area.get(), true));
}
