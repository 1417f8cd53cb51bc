// The grey, empty-page and error boxes drawn into a DIB section: where they
// paint, in which colours, and that the device context comes back as it was.
#include "viewer/views/page_boxes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <set>
#include <tuple>

#include "foundation/handles.h"

namespace {

constexpr uint32_t kBackground = 0x123456, kGrey = 0xE6E6E6, kRed = 0xFF0000;

auto StateOf(HDC dc) {
    POINT position = {};
    GetCurrentPositionEx(dc, &position);
    return std::make_tuple(GetCurrentObject(dc, OBJ_PEN), GetCurrentObject(dc, OBJ_BRUSH),
                           GetCurrentObject(dc, OBJ_FONT), GetBkMode(dc), GetTextColor(dc), GetTextAlign(dc),
                           position.x, position.y);
}

TEST(PageBoxes, EachPaintsItsRectangleInItsColoursAndRestoresTheContext) {
    struct Case {
        const char* name;
        std::function<bool(HDC, const RectI&)> draw;
        std::set<uint32_t> shown;  // colours that must show inside
        int spill;                 // pixels a wide pen reaches past the rectangle
    };
    const Case cases[] = {
        {"grey box", [](HDC dc, const RectI& r) { return DrawGreyBox(dc, r); }, {kGrey}, 0},
        {"empty page",
         [](HDC dc, const RectI& r) { return DrawEmptyPage(dc, r); },
         {kGrey, 0xFAFAFA, 0xBEBEBE},
         0},
        {"error text",
         [](HDC dc, const RectI& r) { return DrawErrorBox(dc, r, WString(L"Bad\r\n\nfile")); },
         {kGrey, kRed},
         0},
        // The cross's 5-pixel pen is centred on the corners.
        {"error cross",
         [](HDC dc, const RectI& r) { return DrawErrorBox(dc, r, WString()); },
         {kGrey, kRed},
         2},
    };
    // Wide enough for the product name, which is not clipped to the box.
    const int width = 640, height = 190;
    RectI box;
    RectISet(box, 13, 7, 601, 161);
    for (const Case& c : cases) {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB};
        void* bits = nullptr;
        MemoryDC dc(nullptr);
        GdiBitmap bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        ASSERT_TRUE(dc && bitmap && bits);
        uint32_t* pixels = static_cast<uint32_t*>(bits);
        std::fill(pixels, pixels + width * height, kBackground);
        // Objects and modes of the caller's own.
        GdiPen pen(CreatePen(PS_DOT, 1, RGB(1, 2, 3)));
        GdiBrush brush(CreateSolidBrush(RGB(4, 5, 6)));
        ScopedSelect keep_bitmap(dc.get(), bitmap.get()), keep_pen(dc.get(), pen.get()),
            keep_brush(dc.get(), brush.get());
        SetBkMode(dc.get(), OPAQUE);
        SetTextColor(dc.get(), RGB(7, 8, 9));
        SetTextAlign(dc.get(), TA_RIGHT | TA_BOTTOM);
        MoveToEx(dc.get(), 3, 4, nullptr);
        const auto before = StateOf(dc.get());

        EXPECT_TRUE(c.draw(dc.get(), box)) << c.name;
        EXPECT_TRUE(StateOf(dc.get()) == before) << c.name;
        GdiFlush();
        std::set<uint32_t> inside, outside;
        int first_red_row = -1;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t colour = pixels[y * width + x] & 0xFFFFFF;
                const bool in = x >= box.origin.x - c.spill && x < box.origin.x + box.size.width + c.spill &&
                                y >= box.origin.y - c.spill && y < box.origin.y + box.size.height + c.spill;
                (in ? inside : outside).insert(colour);
                if (colour == kRed && first_red_row < 0) first_red_row = y;
            }
        }
        EXPECT_EQ(outside, std::set<uint32_t>{kBackground}) << c.name;
        EXPECT_EQ(c.spill ? 0u : inside.count(kBackground), 0u) << c.name;
        for (uint32_t colour : c.shown)
            EXPECT_EQ(inside.count(colour), 1u) << c.name << " " << std::hex << colour;
        if (c.name == std::string("error text")) {
            // Height h = 161 / 30 = 5: lines start at y + 2h, 3h / 2 apart, the
            // empty one kept, so the third line's text comes after the first's.
            EXPECT_GE(first_red_row, box.origin.y + 10);
            EXPECT_LT(first_red_row, box.origin.y + 15);
        }
    }
}

}  // namespace
