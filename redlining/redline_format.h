// The line-based markup text of one page: an XML-like text in the ANSI code
// page, one element per line, lines ending in CR LF. Written from a page's
// layer and read back into an empty page.
#pragma once

#include <cstdint>

#include "foundation/string_builder.h"
#include "redlining/redline_attributes.h"
#include "redlining/redline_document.h"
#include "redlining/redline_objects.h"

// The format version written on the second line.
constexpr int32_t kRedlineFormatVersion = 3;

// Characters of the ANSI code page's default character stand in for those
// the code page lacks; `replaced` (may be null) counts the texts where that
// happened, so the caller can warn.
//
// Appends the page's whole text; false for a null page or when the builder
// cannot grow.
bool WriteRedlineDocument(AStrBuilder& out, RedlinePage* page, uint32_t* replaced);
bool WriteRedlineLayer(AStrBuilder& out, RedlineLayer* layer, uint32_t* replaced);
// False, with nothing appended, when the geometry text cannot be made.
bool WriteRedlineObject(AStrBuilder& out, RedlineObject* object, uint32_t* replaced);
bool WriteRedlineAttribute(AStrBuilder& out, const RedlineAttribute* attribute, uint32_t* replaced);

// Reads one payload (header and deflated text) into a page without a layer;
// true when the page then has one. The objects read get z 0, 10, 20, ... in
// the order the text lists them, and neither layer nor objects are dirty.
// `whole` (may be null) is set false when the text held markups that the
// page did not take (an object the model refuses, a second layer).
bool RedlineParse(RedlinePage* page, const uint8_t* bytes, uint32_t length, bool* whole = nullptr);
// The same for the inflated text.
bool RedlineParseText(RedlinePage* page, const char* text, uint32_t length, bool* whole = nullptr);
