#include "redlining/redline_attributes.h"

#include <algorithm>
#include <cfloat>

#include "foundation/string_split.h"
#include "redlining/redline_fields.h"

namespace {

// The lengths the text forms are cut at.
constexpr uint32_t kLineTextLimit = 80;
constexpr uint32_t kFillTextLimit = 80;
constexpr uint32_t kFontNumbersLimit = 200;
constexpr uint32_t kLineEndsTextLimit = 25;
constexpr uint32_t kIntTextLimit = 16;
// A line's length field holds at most this many digits.
constexpr uint32_t kMaxLengthDigits = 5;
constexpr float kMinFontHeight = 0.001f;

// Keeps a finite double finite as a float.
float NarrowToFloat(double value) { return static_cast<float>(std::clamp<double>(value, -FLT_MAX, FLT_MAX)); }

WString FaceWithoutColons(const WString& face) {
    WString copy(face);
    WStrReplaceChar(copy, L':', L' ');
    return copy;
}

Ref<RedlineAttribute> ParseLine(const RedlineFields& fields) {
    bool transparent = false;
    int32_t colour = 0, style = 0;
    double width = 0;
    if (fields.count() != 4 || !fields.Bool(0, transparent) || !fields.Int(1, colour) ||
        !fields.Int(2, style) || !fields.Real(3, width) || width < 0)
        return nullptr;
    return MakeRef<LineAttr>(transparent, static_cast<uint32_t>(colour), style, NarrowToFloat(width));
}

Ref<RedlineAttribute> ParseFill(const RedlineFields& fields) {
    bool transparent = false;
    int32_t colour = 0, style = 0;
    if (fields.count() != 3 || !fields.Bool(0, transparent) || !fields.Int(1, colour) ||
        !fields.Int(2, style))
        return nullptr;
    return MakeRef<FillAttr>(transparent, static_cast<uint32_t>(colour), style);
}

Ref<RedlineAttribute> ParseFont(const RedlineFields& fields) {
    double height = 0, angle = 0;
    bool italic = false, bold = false, underline = false, strike_out = false;
    int32_t colour = 0, reserved = 0;
    if (fields.count() < 9 || !fields.Real(0, height) || !fields.Bool(1, italic) || !fields.Bool(2, bold) ||
        !fields.Bool(3, underline) || !fields.Bool(4, strike_out) || !fields.Int(5, colour) ||
        !fields.Real(6, angle) || !fields.Int(7, reserved))
        return nullptr;
    WString face;
    fields.Raw(8, face);
    if (WStrLength(face) == 0) return nullptr;
    return MakeRef<FontAttr>(NarrowToFloat(height), italic, bold, underline, strike_out,
                             static_cast<uint32_t>(colour), NarrowToFloat(angle), reserved, face);
}

Ref<RedlineAttribute> ParseLineEnds(const RedlineFields& fields) {
    int32_t start = 0, end = 0;
    if (fields.count() != 2 || !fields.Int(0, start) || !fields.Int(1, end)) return nullptr;
    return MakeRef<LineEndsAttr>(start, end);
}

uint32_t CountColons(const WString& text) {
    uint32_t count = 0;
    const uint32_t length = WStrLength(text);
    const wchar_t* chars = WStrCStr(text);
    for (uint32_t i = 0; i < length; ++i) count += chars[i] == L':';
    return count;
}

}  // namespace

LineAttr::LineAttr(bool transparent, uint32_t colour, int32_t style, float width)
    : transparent(transparent), colour(colour), style(style), width(width < 0 ? 0.0f : width) {}

bool LineAttr::Serialize(WStrBuilder& builder) const {
    return RedlineAppendPrinted(builder, kLineTextLimit, "%d:%u:%d:%f", transparent ? 1 : 0,
                                static_cast<unsigned>(colour), static_cast<int>(style),
                                static_cast<double>(width));
}

bool FillAttr::Serialize(WStrBuilder& builder) const {
    return RedlineAppendPrinted(builder, kFillTextLimit, "%d:%u:%d", transparent ? 1 : 0,
                                static_cast<unsigned>(colour), static_cast<int>(style));
}

bool IntAttr::Serialize(WStrBuilder& builder) const {
    return RedlineAppendPrinted(builder, kIntTextLimit, "%d", static_cast<int>(value));
}

FontAttr::FontAttr(float height, bool italic, bool bold, bool underline, bool strike_out, uint32_t colour,
                   float angle, int32_t reserved, const WString& face)
    : height(height < kMinFontHeight ? kMinFontHeight : height),
      italic(italic),
      bold(bold),
      underline(underline),
      strike_out(strike_out),
      colour(colour),
      angle(angle),
      reserved(reserved),
      face(FaceWithoutColons(face)) {}

bool FontAttr::Serialize(WStrBuilder& builder) const {
    return RedlineAppendPrinted(
               builder, kFontNumbersLimit, "%f:%d:%d:%d:%d:%u:%f:%d:", static_cast<double>(height),
               italic ? 1 : 0, bold ? 1 : 0, underline ? 1 : 0, strike_out ? 1 : 0,
               static_cast<unsigned>(colour), static_cast<double>(angle), static_cast<int>(reserved)) &&
           WStrBuilderAppend(builder, face);
}

TextAttr::TextAttr(const WString& text) { VarTextSet(text_, text); }

bool TextAttr::Serialize(WStrBuilder& builder) const {
    if (WStrLength(text_.text) == 0) return WStrBuilderAppendChars(builder, L"0:");
    WStrSplit* lines = WStrSplitLines(text_.text, false);
    if (!lines) return false;
    bool ok = WStrBuilderAppendInt(builder, static_cast<int32_t>(lines->count)) &&
              WStrBuilderAppendChar(builder, L':');
    const wchar_t* chars = WStrCStr(lines->source);
    for (uint32_t i = 0; ok && i < lines->count; ++i) {
        const StrSplitToken& line = lines->tokens()[i];
        ok = WStrBuilderAppendInt(builder, static_cast<int32_t>(line.length)) &&
             WStrBuilderAppendChar(builder, L':') &&
             WStrBuilderAppendN(builder, chars + line.offset, line.length);
    }
    StrSplitFree(lines);
    return ok;
}

WString& TextAttr::Expand(ViewerContext* context, const VarContext* var_context, WString& out) const {
    if (!context) return WStrClear(out);
    return VarTextExpand(text_, context, var_context, out);
}

bool LineEndsAttr::Serialize(WStrBuilder& builder) const {
    return RedlineAppendPrinted(builder, kLineEndsTextLimit, "%d:%d", static_cast<int>(start_style),
                                static_cast<int>(end_style));
}

bool RedlineParseMultiLine(const WString& form, WString& out) {
    WStrClear(out);
    const uint32_t length = WStrLength(form);
    const int32_t count_end = WStrFindChar(form, L':', 0);
    if (count_end <= 0) return false;
    WString field;
    const int32_t n = WStrToInt(WStrMid(form, 0, count_end, field));
    if (n < 0 || static_cast<uint32_t>(n) >= CountColons(form)) return false;
    uint32_t position = static_cast<uint32_t>(count_end) + 1;
    WString text, line;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t colon = WStrFindChar(form, L':', position);
        if (colon < 0) return false;
        const uint32_t digits = static_cast<uint32_t>(colon) - position;
        if (digits < 1 || digits > kMaxLengthDigits) return false;
        const int32_t line_length = WStrToInt(WStrMid(form, position, static_cast<int32_t>(digits), field));
        if (line_length < 0 || uint64_t(line_length) + position > length) return false;
        const uint32_t start = static_cast<uint32_t>(colon) + 1;
        const uint32_t taken = std::min<uint32_t>(static_cast<uint32_t>(line_length), length - start);
        if (i > 0) WStrAppendChars(text, L"\r\n");
        WStrAppend(text, WStrMid(form, start, static_cast<int32_t>(taken), line));
        position = start + taken;
    }
    out = text;
    return true;
}

Ref<RedlineAttribute> ParseRedlineAttribute(int32_t kind, const WString& text) {
    switch (kind) {
        case redline_attribute::kLine:
        case redline_attribute::kFill:
        case redline_attribute::kFont:
        case redline_attribute::kLineEnds: {
            RedlineFields fields(text);
            if (!fields.ok()) return nullptr;
            if (kind == redline_attribute::kLine) return ParseLine(fields);
            if (kind == redline_attribute::kFill) return ParseFill(fields);
            if (kind == redline_attribute::kFont) return ParseFont(fields);
            return ParseLineEnds(fields);
        }
        case redline_attribute::kInt: {
            WString trimmed(text);
            WStrTrim(trimmed);
            if (WStrLength(trimmed) == 0) return nullptr;
            return MakeRef<IntAttr>(WStrToInt(trimmed));
        }
        case redline_attribute::kText:
        case redline_attribute::kTextAlias: {
            WString lines;
            if (!RedlineParseMultiLine(text, lines)) return nullptr;
            return MakeRef<TextAttr>(lines);
        }
        default:
            return nullptr;
    }
}

Ref<RedlineAttribute> RedlineDefaultAttribute(int32_t kind) {
    switch (kind) {
        case redline_attribute::kLine:
            return MakeRef<LineAttr>();
        case redline_attribute::kFill:
            return MakeRef<FillAttr>();
        case redline_attribute::kFont:
            return MakeRef<FontAttr>();
        case redline_attribute::kText:
            return MakeRef<TextAttr>();
        case redline_attribute::kLineEnds:
            return MakeRef<LineEndsAttr>();
        default:
            return nullptr;
    }
}
