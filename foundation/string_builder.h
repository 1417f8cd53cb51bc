// Growable text buffers for text assembled piece by piece (URLs, headers,
// export texts). Plain records used by one thread; the text in the data is
// always NUL-terminated once a data block exists. Capacities count characters
// (terminator included); a builder grows to its grow step plus the need, or
// to twice its capacity where that is more, so repeated appends reallocate
// rarely.
#pragma once

#include <cstdint>

#include "foundation/strings.h"

constexpr uint32_t kStrBuilderMinCapacity = 30;
constexpr uint32_t kStrBuilderMaxCapacity = 30000000;

struct WStrBuilder {
    uint32_t capacity = 0;
    uint32_t length = 0;
    uint32_t grow_step = 0;
    wchar_t* data = nullptr;  // pool block (small class), 2 bytes a character

    WStrBuilder() = default;
    explicit WStrBuilder(uint32_t initial_capacity);
    WStrBuilder(const WStrBuilder&) = delete;
    WStrBuilder& operator=(const WStrBuilder&) = delete;
    ~WStrBuilder();  // StrBuilderFree
};

struct AStrBuilder {
    uint32_t capacity = 0;
    uint32_t length = 0;
    uint32_t grow_step = 0;
    char* data = nullptr;

    AStrBuilder() = default;
    explicit AStrBuilder(uint32_t initial_capacity);
    AStrBuilder(const AStrBuilder&) = delete;
    AStrBuilder& operator=(const AStrBuilder&) = delete;
    ~AStrBuilder();  // StrBuilderFree
};

// Capacity clamped to 30 .. 30,000,000; the grow step equals it. False when
// the first block cannot be allocated: the builder is then empty with no data
// and the next append tries again.
bool WStrBuilderInit(WStrBuilder& self, uint32_t capacity);
bool AStrBuilderInit(AStrBuilder& self, uint32_t capacity);
// Room for n characters plus the terminator. True at once only when a data
// block exists and n is below the capacity; else the capacity becomes grow
// step + n, or twice the old capacity where that is more (so long texts
// built piece by piece are copied a few times, not once per step). False
// when that fails (the old text stays).
bool WStrBuilderReserve(WStrBuilder& self, uint32_t n);
bool AStrBuilderReserve(AStrBuilder& self, uint32_t n);

// All appends answer false, appending nothing, when the room cannot be had.
bool WStrBuilderAppendN(WStrBuilder& self, const wchar_t* chars, uint32_t n);
bool AStrBuilderAppendN(AStrBuilder& self, const char* chars, uint32_t n);
// At most n characters, stopping at a NUL.
bool WStrBuilderAppendUpTo(WStrBuilder& self, const wchar_t* chars, uint32_t n);
bool AStrBuilderAppendUpTo(AStrBuilder& self, const char* chars, uint32_t n);
bool WStrBuilderAppend(WStrBuilder& self, const WString& text);
bool AStrBuilderAppend(AStrBuilder& self, const AString& text);
// Null appends nothing.
bool WStrBuilderAppendChars(WStrBuilder& self, const wchar_t* chars);
bool AStrBuilderAppendChars(AStrBuilder& self, const char* chars);
// The character 0 appends nothing.
bool WStrBuilderAppendChar(WStrBuilder& self, wchar_t c);
bool AStrBuilderAppendChar(AStrBuilder& self, char c);
bool WStrBuilderAppendInt(WStrBuilder& self, int32_t value);
bool AStrBuilderAppendInt(AStrBuilder& self, int32_t value);
bool WStrBuilderEnsureTrailingChar(WStrBuilder& self, wchar_t c);
// As WStrAppendPath, looking for '/' in the builder's text.
bool WStrBuilderAppendPath(WStrBuilder& self, const wchar_t* part);

// Length 0, storage kept.
void WStrBuilderClear(WStrBuilder& self);
void AStrBuilderClear(AStrBuilder& self);
bool WStrBuilderSet(WStrBuilder& self, const wchar_t* chars);
bool AStrBuilderSet(AStrBuilder& self, const char* chars);
bool WStrBuilderAssign(WStrBuilder& self, const WStrBuilder& other);

WString& WStrBuilderToString(const WStrBuilder& self, WString& out);
AString& AStrBuilderToString(const AStrBuilder& self, AString& out);
// The data pointer, null when the length is 0.
wchar_t* StrBuilderData(const WStrBuilder& self);
char* StrBuilderData(const AStrBuilder& self);
// The text, or a static empty text when the length is 0.
const wchar_t* WStrBuilderCStr(const WStrBuilder& self);
void StrBuilderFree(WStrBuilder& self);
void StrBuilderFree(AStrBuilder& self);
