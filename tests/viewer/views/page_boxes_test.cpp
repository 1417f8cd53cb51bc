// The error box (a grey box with red text) drawn into a DIB section: it
// paints its rectangle and nothing else, and the device context comes back
// as it was.
#include "viewer/views/page_boxes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <tuple>

#include "foundation/handles.h"

namespace {

auto StateOf(HDC dc) {
    POINT position = {};
    GetCurrentPositionEx(dc, &position);
    return std::make_tuple(GetCurrentObject(dc, OBJ_PEN), GetCurrentObject(dc, OBJ_BRUSH),
                           GetCurrentObject(dc, OBJ_FONT), GetBkMode(dc), GetTextColor(dc), GetTextAlign(dc),
                           position.x, position.y);
}

TEST(PageBoxes, ErrorBoxPaintsGreyAndRedInItsRectangleAndRestoresTheContext) {
    constexpr uint32_t kBackground = 0x123456, kGrey = 0xE6E6E6, kRed = 0xFF0000;
    const int width = 640, height = 190;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
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

    RectI box;
    RectISet(box, 13, 7, 601, 161);
    EXPECT_TRUE(DrawErrorBox(dc.get(), box, WString(L"Bad\r\n\nfile")));
    EXPECT_TRUE(StateOf(dc.get()) == before);
    GdiFlush();
    std::set<uint32_t> inside, outside;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool in = x >= box.origin.x && x < box.origin.x + box.size.width && y >= box.origin.y &&
                            y < box.origin.y + box.size.height;
            (in ? inside : outside).insert(pixels[y * width + x] & 0xFFFFFF);
        }
    }
    EXPECT_EQ(outside, std::set<uint32_t>{kBackground});
    EXPECT_EQ(inside.count(kBackground), 0u);
    EXPECT_EQ(inside.count(kGrey), 1u);
    EXPECT_EQ(inside.count(kRed), 1u);
}

}  // namespace
