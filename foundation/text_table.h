// The user-interface texts: up to 11 languages read from a text resource of
// the module and answered by number.
//
// The resource is 8-bit text in the ANSI code page, one text a line (lines
// end with CR, LF or any run of them), three fields separated by TAB:
// language (0 to 10), id (below 65536), text (up to the line end or a further
// TAB). Language and id are trimmed, the text is not. Escapes in the text:
// "\n" gives LF, "\r" and "\t" give TAB, a backslash and five decimal digits
// give the UTF-16 unit of that value; any other backslash stays as it is.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "foundation/ref_counted.h"

constexpr uint32_t kTextLanguages = 11;
constexpr uint32_t kTextMaxId = 65535;     // ids the resource may use
constexpr uint32_t kTextMaxLength = 1022;  // longer texts are cut
constexpr uint32_t kTextResourceId = 339;  // the module's text resource
constexpr wchar_t kTextResourceType[] = L"SPRACHTEXTE";
// LangTexts::lowest while nothing is stored.
constexpr uint32_t kLangTextsEmptyLowest = 1000000000;

// The texts of one language: a pool of NUL-terminated texts and an index of
// offsets into it, one per id from the base (-1 for an id without a text).
struct LangTexts {
    LangTexts() = default;
    ~LangTexts();
    LangTexts(const LangTexts&) = delete;
    LangTexts& operator=(const LangTexts&) = delete;

    uint32_t lowest = kLangTextsEmptyLowest;  // lowest id stored
    uint32_t end = 0;                         // highest id stored + 1
    uint32_t base = 0;                        // the id of index entry 0 (non-zero once compacted)
    wchar_t* pool = nullptr;                  // MemPool
    uint32_t pool_capacity = 0;               // characters
    uint32_t pool_used = 0;
    int32_t* index = nullptr;     // MemPool
    uint32_t index_capacity = 0;  // entries
    uint32_t index_grow = 0;
    uint32_t pool_grow = 0;
};

// Index capacity and grow step are capped at 65536 entries, pool capacity
// and grow step at 1,000,000 characters. False when the storage cannot be
// had (the texts are then empty).
bool LangTextsInit(LangTexts& texts, uint32_t index_capacity, uint32_t index_grow, uint32_t pool_capacity,
                   uint32_t pool_grow);
// False for an id above 99999, an id that already has a text, a table
// compacted with a base other than 0, or when the storage cannot grow.
bool LangTextsAdd(LangTexts& texts, uint32_t id, const wchar_t* text);
// Shrinks pool and index to what is stored; the index then starts at the
// lowest id. Clears a table that holds nothing.
void LangTextsCompact(LangTexts& texts);
// The text of the id, or null when it has none (or an empty one).
const wchar_t* LangTextsGet(const LangTexts& texts, uint32_t id);
void LangTextsClear(LangTexts& texts);

class TextTable : public RefCounted {
  public:
    // Index = language number; null for a language without texts.
    std::unique_ptr<LangTexts> languages[kTextLanguages];
};

// Reads the resource (number, type) of the module and parses it. Null when
// the resource is missing, empty or unreadable.
Ref<TextTable> TextTableLoad(HMODULE module, uint32_t resource_id, const wchar_t* resource_type,
                             bool parse_only, int32_t language);
// Parses the text (changed in place). A language below 0 keeps languages 0
// to 10, one from 0 to 10 keeps only that one. With parse_only the lines are
// checked and nothing is stored.
Ref<TextTable> TextTableParse(wchar_t* text, bool parse_only, int32_t language);
// The escapes of the format, resolved in place.
void TextUnescape(wchar_t* text);
// The text of an id in a language; null for a language above 10 or not
// loaded, or an id without a text.
const wchar_t* TextTableGet(const TextTable* table, uint32_t language, uint32_t id);
