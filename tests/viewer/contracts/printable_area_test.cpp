#include "viewer/contracts/printable_area.h"

#include <gtest/gtest.h>

TEST(PrintableArea, FromDeviceValuesInMillimetresAndBack) {
    // A4 at 300 dpi with the margins Wine's PostScript driver reports.
    const double per_mm = 300 / 25.4;
    Ref<PrintableArea> area =
        PrintableAreaFromDevice(2480, 3508, RectI{{2380, 3408}, {50, 50}}, per_mm, per_mm);
    EXPECT_NEAR(area->paper.width, 209.97, 0.01);
    EXPECT_NEAR(area->printable.origin.x, 4.23, 0.01);
    EXPECT_EQ(PrintableAreaPaperPixels(*area), (SizeI{2480, 3508}));
    EXPECT_EQ(PrintableAreaPrintablePixels(*area), (RectI{{2380, 3408}, {50, 50}}));
    Ref<PrintableArea> copy = PrintableAreaCopy(*area);
    EXPECT_NE(copy.get(), area.get());
    EXPECT_EQ(copy->printable, area->printable);
    // No resolution: an empty area, not a division by zero.
    Ref<PrintableArea> none = PrintableAreaFromDevice(100, 100, RectI{{10, 10}, {0, 0}}, 0, 0);
    EXPECT_EQ(none->paper, (SizeD{0, 0}));
}

TEST(PrintableArea, ClippingKeepsThePrintablePartOnThePaper) {
    struct Case {
        RectD printable;
        RectD clipped;
    } cases[] = {
        {{{190, 277}, {10, 10}}, {{190, 277}, {10, 10}}},  // inside
        {{{250, 300}, {10, 10}}, {{200, 287}, {10, 10}}},  // ends beyond: shortened
        {{{50, 50}, {210, 297}}, {{50, 50}, {0, 0}}},      // starts at the edge: moved to 0
        {{{50, 50}, {300, 10}}, {{50, 50}, {0, 10}}},
    };
    for (const Case& c : cases) {
        Ref<PrintableArea> area = PrintableAreaFromMm({210, 297}, c.printable, 10, 10);
        EXPECT_EQ(area->printable, c.clipped) << c.printable.origin.x << "," << c.printable.origin.y;
    }
}
