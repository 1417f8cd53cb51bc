// The language texts of the application root, read once from the module's
// text resource, and the texts that stand for status codes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "foundation/text_table.h"

class ViewerContext;

class AppTextTable : public RefCounted {
  public:
    Ref<TextTable> table;  // null when the resource holds nothing usable
};

// The texts of one language (0 German, 1 English) from resource 339 of type
// "SPRACHTEXTE" of the module. Never null; without the resource it answers
// no text.
Ref<AppTextTable> AppTextTableCreate(HMODULE module, uint16_t language);
// The text, or null for a null table, a language above 10 or not loaded, or
// a number without a text. Valid until the texts are dropped.
const wchar_t* AppTextTableGet(const AppTextTable* texts, uint32_t language, uint32_t number);
// Forgets the loaded texts (at shutdown).
void AppTextTableDrop(AppTextTable* texts);

// The text of a status of the image readers and the page render into `out`
// (2003 invalid format, 2004 unsupported, 1000, 2000 and 2005 errors in the
// file, 1001 access); other codes, or a missing text, leave `out` as it was.
// True when `out` was set.
bool ErrorCodeToText(ViewerContext* context, uint32_t status, WString& out);
