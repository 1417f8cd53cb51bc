#include "viewer/model/page_boxes.h"

#include <algorithm>
#include <memory>

#include "foundation/handles.h"
#include "foundation/string_split.h"
#include "viewer/core/app_utils.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);

// Transparent text of one colour, aligned left and top, for a scope.
class TextScope {
  public:
    TextScope(HDC dc, COLORREF colour)
        : dc_(dc), text_(dc, colour), align_(SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP)) {}
    ~TextScope() {
        if (align_ != GDI_ERROR) SetTextAlign(dc_, align_);
    }
    TextScope(const TextScope&) = delete;
    TextScope& operator=(const TextScope&) = delete;
    void Colour(COLORREF colour) { text_.Colour(colour); }

  private:
    HDC dc_;
    ScopedTextState text_;
    UINT align_;
};

struct SplitFree {
    void operator()(WStrSplit* split) const { StrSplitFree(split); }
};
using SplitOwner = std::unique_ptr<WStrSplit, SplitFree>;

GdiFont MakeFont(int height, int weight, BYTE pitch_and_family) {
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfPitchAndFamily = pitch_and_family;
    return GdiFont(CreateFontIndirectW(&font));
}

bool DrawCross(HDC dc, const RectI& rect) {
    GdiPen pen(CreatePen(PS_SOLID, 5, kRed));
    if (!pen) return false;
    ScopedSelect select(dc, pen.get());
    POINT previous = {};
    const int right = rect.origin.x + rect.size.width - 1, bottom = rect.origin.y + rect.size.height - 1;
    MoveToEx(dc, rect.origin.x, rect.origin.y, &previous);
    LineTo(dc, right, bottom);
    MoveToEx(dc, rect.origin.x, bottom, nullptr);
    LineTo(dc, right, rect.origin.y);
    MoveToEx(dc, previous.x, previous.y, nullptr);
    return true;
}

}  // namespace

bool DrawGreyBox(HDC dc, const RectI& rect) {
    GdiBrush brush(CreateSolidBrush(kBoxGrey));
    if (!brush) return false;
    ScopedSelect select_brush(dc, brush.get());
    ScopedSelect select_pen(dc, GetStockObject(NULL_PEN));
    // Without a pen Rectangle leaves out its right and bottom edges.
    Rectangle(dc, rect.origin.x, rect.origin.y, rect.origin.x + rect.size.width + 1,
              rect.origin.y + rect.size.height + 1);
    return true;
}

bool DrawEmptyPage(HDC dc, const RectI& rect) {
    if (!DrawGreyBox(dc, rect)) return false;
    GdiFont font = MakeFont(-60, 800, FF_SWISS);
    if (!font) return false;
    ScopedSelect select(dc, font.get());
    TextScope text(dc, RGB(250, 250, 250));
    const int length = int(wcslen(kSoftwareName));
    TextOutW(dc, rect.origin.x + 20, rect.origin.y + 20, kSoftwareName, length);
    text.Colour(RGB(190, 190, 190));
    TextOutW(dc, rect.origin.x + 18, rect.origin.y + 18, kSoftwareName, length);
    return true;
}

bool DrawErrorBox(HDC dc, const RectI& rect, const WString& text) {
    if (!DrawGreyBox(dc, rect)) return false;
    if (WStrLength(text) == 0) return DrawCross(dc, rect);
    const int h = std::max(rect.size.height / 30, 2);
    GdiFont font = MakeFont(h, 700, FF_MODERN);
    SplitOwner lines(WStrSplitLines(text, false));
    if (!font || !lines) return false;
    ScopedSelect select(dc, font.get());
    TextScope colour(dc, kRed);
    const wchar_t* chars = WStrCStr(lines->source);
    for (uint32_t i = 0; i < lines->count; ++i) {
        const StrSplitToken& line = lines->tokens()[i];
        if (line.length == 0) continue;
        TextOutW(dc, rect.origin.x + h, rect.origin.y + 2 * h + 3 * h * int(i) / 2, chars + line.offset,
                 int(line.length));
    }
    return true;
}
