// What the pages paint for WM_PRINTCLIENT: the colour swatches and the
// line-end preview.
#include "redlining/redline_property_pages.h"

#include <gtest/gtest.h>

#include "tests/redlining/redline_sheet_test_support.h"
#include "tests/viewer/views/dib_canvas.h"

namespace {

// A grey the pages never paint.
constexpr uint32_t kUnpainted = 0x7F7F7F;

struct PagePaint : DibCanvas {
    static RECT Client(HWND window) {
        RECT client = {};
        GetClientRect(window, &client);
        return client;
    }
    explicit PagePaint(HWND page) : DibCanvas(Client(page).right, Client(page).bottom, kUnpainted) {
        SendMessageW(page, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc()), PRF_CLIENT);
    }
};

}  // namespace

TEST(RedlinePropertyPages, AColourFieldIsPaintedAsAFramedSwatchUnlessEmpty) {
    MarkupSheetRig rig;
    rig.Add(redline_type::kEllipse);
    std::vector<uint32_t> pixels;
    rig.Run(
        [&](HWND sheet) {
            HWND page = ShowPage(sheet, 1);  // Filling
            const RECT field = ItemRect(page, IDC_FILLING_COLOUR);
            const RECT button = ItemRect(page, IDC_FILLING_COLOUR_BUTTON);
            EXPECT_EQ(button.left, field.right) << "the button stands at the field's right edge";
            EXPECT_EQ(button.top, field.top);
            EXPECT_EQ(button.bottom, field.bottom);
            const int x = (field.left + field.right) / 2, y = (field.top + field.bottom) / 2;
            SetDlgItemTextW(page, IDC_FILLING_COLOUR, L"255");
            {
                const PagePaint paint(page);
                pixels = {paint.Pixel(field.left, y), paint.Pixel(x, y), paint.Pixel(field.right, y)};
            }
            SetDlgItemTextW(page, IDC_FILLING_COLOUR, L"");
            pixels.push_back(PagePaint(page).Pixel(x, y));
        },
        PSBTN_CANCEL);
    EXPECT_EQ(pixels, (std::vector<uint32_t>{0, 0xFF0000, kUnpainted, kUnpainted}));
}

TEST(RedlinePropertyPages, ThePreviewShowsTheChosenGlyphsAtTheLineEnds) {
    MarkupSheetRig rig;
    rig.Add(redline_type::kLine);
    // Black or not at: the line's middle, a bar's top at the left end, an
    // arrow arm's end at the right end.
    std::vector<std::vector<bool>> seen;
    rig.Run(
        [&](HWND sheet) {
            HWND page = ShowPage(sheet, 1);
            const RECT box = ItemRect(page, IDC_LINE_ENDS_PREVIEW);
            const int y = (box.top + box.bottom) / 2, unit = 3;
            const POINT probes[] = {{(box.left + box.right) / 2, y},
                                    {box.left + 3 * unit, y - 2 * unit},
                                    {box.right - 1 - 3 * unit - 6 * unit, y - 3 * unit}};
            for (auto [start, end] : {std::pair{0, 0}, std::pair{3, 1}, std::pair{1, 3}}) {
                SelectStyle(page, IDC_LINE_ENDS_START, start);
                SelectStyle(page, IDC_LINE_ENDS_END, end);
                const PagePaint paint(page);
                std::vector<bool> black;
                for (const POINT& p : probes) black.push_back(paint.Pixel(p.x, p.y) == 0);
                seen.push_back(black);
            }
        },
        PSBTN_CANCEL);
    EXPECT_EQ(seen, (std::vector<std::vector<bool>>{
                        {true, false, false}, {true, true, true}, {true, false, false}}));
}
