#include "foundation/text_table.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "foundation/pool.h"
#include "foundation/strings.h"

namespace {

constexpr uint32_t kMaxIndexCapacity = 65536;
constexpr uint32_t kMaxPoolCapacity = 1000000;
constexpr uint32_t kMaxAddId = 99999;
// Far beyond any text resource; keeps every offset inside an i32.
constexpr uint64_t kMaxPoolGrowth = 0x10000000;
constexpr uint32_t kParserIndexStart = 512, kParserIndexGrow = 512;
constexpr uint32_t kParserPoolStart = 65536, kParserPoolGrow = 65536;
constexpr uint32_t kEscapeDigits = 5;
constexpr uint32_t kTextTag = 0x54585454;  // "TTXT"

uint32_t Capped(uint32_t value, uint32_t cap) { return value < cap ? value : cap; }

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsLineEnd(wchar_t c) { return c == L'\r' || c == L'\n'; }

void FillUnused(int32_t* index, uint32_t from, uint32_t to) {
    for (uint32_t i = from; i < to; ++i) index[i] = -1;
}

bool GrowIndex(LangTexts& texts, uint32_t capacity) {
    void* grown = texts.index ? PoolRealloc(capacity * sizeof(int32_t), texts.index, 0)
                              : PoolAlloc(capacity * sizeof(int32_t), 0, kTextTag);
    if (!grown) return false;
    texts.index = static_cast<int32_t*>(grown);
    FillUnused(texts.index, texts.index_capacity, capacity);
    texts.index_capacity = capacity;
    return true;
}

bool GrowPool(LangTexts& texts, uint64_t capacity) {
    if (capacity > kMaxPoolGrowth) return false;
    const uint32_t bytes = static_cast<uint32_t>(capacity) * sizeof(wchar_t);
    void* grown = texts.pool ? PoolRealloc(bytes, texts.pool, 0) : PoolAlloc(bytes, 0, kTextTag);
    if (!grown) return false;
    texts.pool = static_cast<wchar_t*>(grown);
    texts.pool_capacity = static_cast<uint32_t>(capacity);
    return true;
}

// A backslash and five decimal digits; 0 when the five are not all digits.
// Values 0 and above 65535 name no UTF-16 unit and leave the backslash as
// it is (a NUL would silently cut the text).
wchar_t DecimalEscape(const wchar_t* digits) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < kEscapeDigits; ++i) {
        if (!IsDigit(digits[i])) return 0;
        value = value * 10 + (digits[i] - L'0');
    }
    return value <= 0xFFFF ? static_cast<wchar_t>(value) : 0;
}

// One line split at its TABs (the TABs overwritten with NULs): false when the
// language or the id field is not ended by a TAB.
bool SplitFields(wchar_t* line, wchar_t*& language, wchar_t*& id, wchar_t*& text) {
    wchar_t* first_tab = wcschr(line, L'\t');
    if (!first_tab) return false;
    wchar_t* second_tab = wcschr(first_tab + 1, L'\t');
    if (!second_tab) return false;
    *first_tab = 0;
    *second_tab = 0;
    language = line;
    id = first_tab + 1;
    text = second_tab + 1;
    if (wchar_t* third_tab = wcschr(text, L'\t')) *third_tab = 0;
    return true;
}

void ParseLine(TextTable& table, wchar_t* line, bool parse_only, int32_t wanted) {
    wchar_t *language_field, *id_field, *text;
    if (!SplitFields(line, language_field, id_field, text)) return;
    language_field = WcsTrim(language_field);
    if (!IsDigit(language_field[0])) return;
    const int language = _wtoi(language_field);
    if (language < 0 || language >= static_cast<int>(kTextLanguages)) return;
    if (wanted >= 0 && language != wanted) return;
    const int id = _wtoi(WcsTrim(id_field));
    if (id < 0 || id > static_cast<int>(kTextMaxId)) return;
    TextUnescape(text);
    if (!text[0]) return;
    if (wcslen(text) > kTextMaxLength) text[kTextMaxLength] = 0;
    if (parse_only) return;
    std::unique_ptr<LangTexts>& texts = table.languages[language];
    if (!texts) {
        texts = std::make_unique<LangTexts>();
        if (!LangTextsInit(*texts, kParserIndexStart, kParserIndexGrow, kParserPoolStart, kParserPoolGrow))
            return;
    }
    // A second text for the same id is refused: the first one stays.
    LangTextsAdd(*texts, static_cast<uint32_t>(id), text);
}

}  // namespace

LangTexts::~LangTexts() { LangTextsClear(*this); }

bool LangTextsInit(LangTexts& texts, uint32_t index_capacity, uint32_t index_grow, uint32_t pool_capacity,
                   uint32_t pool_grow) {
    LangTextsClear(texts);
    texts.index_grow = Capped(index_grow, kMaxIndexCapacity);
    texts.pool_grow = Capped(pool_grow, kMaxPoolCapacity);
    index_capacity = Capped(index_capacity, kMaxIndexCapacity);
    pool_capacity = Capped(pool_capacity, kMaxPoolCapacity);
    if (index_capacity > 0 && !GrowIndex(texts, index_capacity)) return false;
    if (pool_capacity > 0 && !GrowPool(texts, pool_capacity)) {
        LangTextsClear(texts);
        return false;
    }
    return true;
}

bool LangTextsAdd(LangTexts& texts, uint32_t id, const wchar_t* text) {
    if (id > kMaxAddId || texts.base != 0 || !text) return false;
    if (id >= texts.index_capacity && !GrowIndex(texts, id + texts.index_grow + 1)) return false;
    if (texts.index[id] != -1) return false;
    const uint64_t length = wcslen(text);
    const uint64_t needed = texts.pool_used + length + 1;
    if (needed > texts.pool_capacity && !GrowPool(texts, needed + texts.pool_grow)) return false;
    memcpy(texts.pool + texts.pool_used, text, (length + 1) * sizeof(wchar_t));
    texts.index[id] = static_cast<int32_t>(texts.pool_used);
    texts.pool_used = static_cast<uint32_t>(needed);
    if (id < texts.lowest) texts.lowest = id;
    if (id + 1 > texts.end) texts.end = id + 1;
    return true;
}

void LangTextsCompact(LangTexts& texts) {
    if (texts.end == 0) {
        LangTextsClear(texts);
        return;
    }
    if (void* shrunk = PoolRealloc(texts.pool_used * sizeof(wchar_t), texts.pool, 0)) {
        texts.pool = static_cast<wchar_t*>(shrunk);
        texts.pool_capacity = texts.pool_used;
    }
    const uint32_t shift = texts.lowest - texts.base;
    const uint32_t count = texts.end - texts.lowest;
    memmove(texts.index, texts.index + shift, count * sizeof(int32_t));
    if (void* shrunk = PoolRealloc(count * sizeof(int32_t), texts.index, 0))
        texts.index = static_cast<int32_t*>(shrunk);
    texts.index_capacity = count;
    texts.base = texts.lowest;
}

const wchar_t* LangTextsGet(const LangTexts& texts, uint32_t id) {
    if (id < texts.lowest || id >= texts.end || id - texts.base >= texts.index_capacity) return nullptr;
    const int32_t offset = texts.index[id - texts.base];
    if (offset < 0 || texts.pool[offset] == 0) return nullptr;
    return texts.pool + offset;
}

void LangTextsClear(LangTexts& texts) {
    PoolFree(texts.pool);
    PoolFree(texts.index);
    texts.pool = nullptr;
    texts.index = nullptr;
    texts.pool_capacity = texts.pool_used = texts.index_capacity = 0;
    texts.lowest = kLangTextsEmptyLowest;
    texts.end = texts.base = 0;
}

void TextUnescape(wchar_t* text) {
    if (!text) return;
    wchar_t* out = text;
    for (const wchar_t* in = text; *in;) {
        if (in[0] != L'\\') {
            *out++ = *in++;
        } else if (in[1] == L'n') {
            *out++ = L'\n';
            in += 2;
        } else if (in[1] == L'r' || in[1] == L't') {
            *out++ = L'\t';
            in += 2;
        } else if (wchar_t unit = DecimalEscape(in + 1)) {
            *out++ = unit;
            in += 1 + kEscapeDigits;
        } else {
            *out++ = *in++;
        }
    }
    *out = 0;
}

Ref<TextTable> TextTableParse(wchar_t* text, bool parse_only, int32_t language) {
    Ref<TextTable> table = MakeRef<TextTable>();
    wchar_t* p = text;
    while (p && *p) {
        while (IsLineEnd(*p)) ++p;
        wchar_t* line = p;
        while (*p && !IsLineEnd(*p)) ++p;
        if (*p) *p++ = 0;
        if (*line) ParseLine(*table, line, parse_only, language);
    }
    for (std::unique_ptr<LangTexts>& texts : table->languages) {
        if (texts) LangTextsCompact(*texts);
    }
    return table;
}

Ref<TextTable> TextTableLoad(HMODULE module, uint32_t resource_id, const wchar_t* resource_type,
                             bool parse_only, int32_t language) {
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(resource_id), resource_type);
    if (!resource) return nullptr;
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = size ? LoadResource(module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes || size >= 0x3FFFFFFF) return nullptr;
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), nullptr, 0);
    if (units <= 0) return nullptr;
    wchar_t* text =
        static_cast<wchar_t*>(PoolAlloc((static_cast<uint32_t>(units) + 1) * sizeof(wchar_t), 0, kTextTag));
    if (!text) return nullptr;
    Ref<TextTable> table;
    if (MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), text, units) == units) {
        text[units] = 0;
        table = TextTableParse(text, parse_only, language);
    }
    PoolFree(text);
    return table;
}

const wchar_t* TextTableGet(const TextTable* table, uint32_t language, uint32_t id) {
    if (!table || language >= kTextLanguages || !table->languages[language]) return nullptr;
    return LangTextsGet(*table->languages[language], id);
}
