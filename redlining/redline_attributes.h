// The appearance of a markup object: immutable attribute values of seven
// kinds (outline, filling, integer, font, text, line ends), each written as
// one line of text for the markup format and made again from it.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/string_builder.h"
#include "foundation/strings.h"
#include "viewer/core/var_text.h"

class ViewerContext;

namespace redline_attribute {
constexpr int32_t kLine = 0;
constexpr int32_t kFill = 1;
constexpr int32_t kInt = 2;
constexpr int32_t kFont = 3;
constexpr int32_t kText = 4;
// Read as a text; there is no class of this kind.
constexpr int32_t kTextAlias = 5;
constexpr int32_t kLineEnds = 6;
constexpr int32_t kKindCount = 7;
}  // namespace redline_attribute

// Never changed after it is made: editing makes a new attribute, so a reader
// holding a reference may use it without any lock.
class RedlineAttribute : public RefCounted {
  public:
    virtual int32_t GetType() const = 0;
    // Appends the attribute's text form; false when the builder cannot grow.
    virtual bool Serialize(WStrBuilder& builder) const = 0;
};

class LineAttr final : public RedlineAttribute {
  public:
    // A negative width is stored as 0.
    LineAttr(bool transparent = false, uint32_t colour = 0, int32_t style = 0, float width = 1.0f);
    int32_t GetType() const override { return redline_attribute::kLine; }
    bool Serialize(WStrBuilder& builder) const override;

    const bool transparent;
    const uint32_t colour;  // 0x00BBGGRR
    const int32_t style;    // stored and written back only
    const float width;      // millimetres
};

class FillAttr final : public RedlineAttribute {
  public:
    FillAttr(bool transparent = true, uint32_t colour = 0xFFFFFF, int32_t style = 0)
        : transparent(transparent), colour(colour), style(style) {}
    int32_t GetType() const override { return redline_attribute::kFill; }
    bool Serialize(WStrBuilder& builder) const override;

    const bool transparent;
    const uint32_t colour;
    const int32_t style;  // stored and written back only
};

class IntAttr final : public RedlineAttribute {
  public:
    explicit IntAttr(int32_t value) : value(value) {}
    int32_t GetType() const override { return redline_attribute::kInt; }
    bool Serialize(WStrBuilder& builder) const override;

    const int32_t value;
};

class FontAttr final : public RedlineAttribute {
  public:
    // A height below 0.001 is stored as 0.001; every ':' of the face becomes
    // a blank, so that the face can stand last in the text form.
    FontAttr(float height = 10.0f, bool italic = false, bool bold = false, bool underline = false,
             bool strike_out = false, uint32_t colour = 0, float angle = 0.0f, int32_t reserved = 0,
             const WString& face = WString(L"Arial"));
    int32_t GetType() const override { return redline_attribute::kFont; }
    bool Serialize(WStrBuilder& builder) const override;

    const float height;  // millimetres
    const bool italic;
    const bool bold;
    const bool underline;
    const bool strike_out;
    const uint32_t colour;
    const float angle;       // degrees, counter-clockwise
    const int32_t reserved;  // stored and written back only
    const WString face;
};

class TextAttr final : public RedlineAttribute {
  public:
    // Lines joined by CR LF; placeholders are recorded as the text is stored.
    explicit TextAttr(const WString& text = WString(L"Text"));
    int32_t GetType() const override { return redline_attribute::kText; }
    // The multi-line form: the line count, then each line's length and text.
    bool Serialize(WStrBuilder& builder) const override;
    // The text with its placeholders replaced; empty without a viewer context.
    WString& Expand(ViewerContext* context, const VarContext* var_context, WString& out) const;

    const VarText& text() const { return text_; }

  private:
    VarText text_;
};

class LineEndsAttr final : public RedlineAttribute {
  public:
    LineEndsAttr(int32_t start_style = 0, int32_t end_style = 0)
        : start_style(start_style), end_style(end_style) {}
    int32_t GetType() const override { return redline_attribute::kLineEnds; }
    bool Serialize(WStrBuilder& builder) const override;

    const int32_t start_style;
    const int32_t end_style;
};

// A new attribute of the kind from its text form; null when the kind is not
// 0 to 6 or the text is malformed.
Ref<RedlineAttribute> ParseRedlineAttribute(int32_t kind, const WString& text);
// The default attribute of a kind, null for kinds without one (2, 5, others).
Ref<RedlineAttribute> RedlineDefaultAttribute(int32_t kind);
// The text of a multi-line form; false when it is malformed.
bool RedlineParseMultiLine(const WString& form, WString& out);
