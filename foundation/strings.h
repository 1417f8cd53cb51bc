// The two string classes that carry all text: WString (UTF-16) and AString
// (8-bit text in the ANSI code page).
//
// A string is one pointer: null for the empty string (there is no other empty
// form), else the first character of a pool buffer laid out as
//   u32 reference count, u32 length, characters, NUL.
// A published buffer never changes: every change builds a new buffer, installs
// it and releases the old one, and copies share the buffer. Each class has one
// process-wide lock, held while a pointer is read for copying (together with
// the count increment), while a pointer is replaced, and while the length or
// one character is read. Copies, assignments and releases are therefore safe
// from any thread; a single string object written by two threads at once is
// not (its owner serialises).
//
// Operations that produce a string fill an out-string given by the caller
// (always the last parameter) and return it; the out-string may be the same
// object as the source. Indices and counts are in characters (UTF-16 units or
// bytes); -1 means not found. When a buffer cannot be allocated, an operation
// whose result builds on the old text (append, trim, replace...) leaves its
// string as it was; an assignment or an out-string becomes empty.
#pragma once

#include <cstdint>

class AString;

class WString {
  public:
    constexpr WString() = default;
    WString(const wchar_t* chars);  // WStrInit
    WString(const WString& other);  // WStrCopy
    WString(WString&& other) noexcept : chars_(other.chars_) { other.chars_ = nullptr; }
    WString& operator=(const WString& other);  // WStrAssign
    WString& operator=(WString&& other) noexcept;
    WString& operator=(const wchar_t* chars);  // WStrAssignChars
    ~WString();                                // StrRelease

  private:
    friend struct StringInternals;
    wchar_t* chars_ = nullptr;
};

class AString {
  public:
    constexpr AString() = default;
    AString(const char* chars);
    AString(const AString& other);  // AStrCopy
    AString(AString&& other) noexcept : chars_(other.chars_) { other.chars_ = nullptr; }
    AString& operator=(const AString& other);  // AStrAssign
    AString& operator=(AString&& other) noexcept;
    AString& operator=(const char* chars);  // AStrAssignChars
    ~AString();                             // StrRelease

  private:
    friend struct StringInternals;
    char* chars_ = nullptr;
};

// The empty WString passed where an operation takes an optional string.
extern const WString EmptyWString;

// Longest string either class builds (keeps every index inside an i32).
constexpr uint32_t kStrMaxLength = 0x7FFFFFF0u;

// ---- Buffer management ---------------------------------------------------
// A buffer is named by its first character. Alloc gives count 1, length n and
// a terminator at n; the caller writes the text (and may lower the length).
wchar_t* WStrBufAlloc(uint32_t n);
char* AStrBufAlloc(uint32_t n);
// n characters copied and terminated; null for null chars or n = 0.
wchar_t* WStrBufCreate(const wchar_t* chars, uint32_t n);
char* AStrBufCreate(const char* chars, uint32_t n);
wchar_t* WStrBufClone(const wchar_t* buffer);
char* AStrBufClone(const char* buffer);
// Interlocked decrement; at 0 the buffer goes back to the pool. Null ignored.
void StrBufRelease(const void* buffer);
// Reference count and length of a buffer (diagnostics and tests).
uint32_t StrBufRefCount(const void* buffer);
uint32_t StrBufLength(const void* buffer);
// The buffer a string holds, null when empty (read without the lock: the
// owner's thread only).
const wchar_t* WStrBuffer(const WString& self);
const char* AStrBuffer(const AString& self);

void StrRelease(WString& self);
void StrRelease(AString& self);
// Installs the buffer (taking over its reference) and releases the old one.
WString& WStrAttach(WString& self, wchar_t* buffer);
AString& AStrAttach(AString& self, char* buffer);

// ---- Construction, assignment, access ------------------------------------
WString& WStrCopy(WString& self, const WString& other);
AString& AStrCopy(AString& self, const AString& other);
WString& WStrInit(WString& self, const wchar_t* chars);
WString& WStrAssignChars(WString& self, const wchar_t* chars);
AString& AStrAssignChars(AString& self, const char* chars);
WString& WStrAssign(WString& self, const WString& other);
AString& AStrAssign(AString& self, const AString& other);
// Copies up to n characters, stopping at a NUL.
WString& WStrAssignN(WString& self, const wchar_t* chars, uint32_t n);
AString& AStrAssignN(AString& self, const char* chars, uint32_t n);
// Conversions through the ANSI code page (CP_ACP); the converter is asked for
// the size first, so double-byte code pages come through whole.
WString& WStrFromAnsi(WString& self, const char* text);
WString& WStrFromAnsi(WString& self, const AString& text);
AString& AStrFromWide(AString& self, const wchar_t* text);
AString& AStrFromWide(AString& self, const WString& text);
WString& WStrClear(WString& self);
AString& AStrClear(AString& self);
uint32_t WStrLength(const WString& self);
uint32_t AStrLength(const AString& self);
// A static empty text when the string is empty.
const wchar_t* WStrCStr(const WString& self);
const char* AStrCStr(const AString& self);
// 0 when the index is at or past the end.
wchar_t WStrCharAt(const WString& self, uint32_t index);
char AStrCharAt(const AString& self, uint32_t index);

// ---- Appending and concatenation -----------------------------------------
// n characters copied as they are.
WString& WStrAppendBuf(WString& self, const wchar_t* chars, uint32_t n);
AString& AStrAppendN(AString& self, const char* chars, uint32_t n);
// At most n characters, stopping at a NUL.
WString& WStrAppendN(WString& self, const wchar_t* chars, uint32_t n);
AString& AStrAppendUpTo(AString& self, const char* chars, uint32_t n);
WString& WStrAppend(WString& self, const WString& other);
WString& WStrAppendChars(WString& self, const wchar_t* chars);
AString& AStrAppendChars(AString& self, const char* chars);
WString& WStrAppendChar(WString& self, wchar_t c);
WString& WStrAppendInt(WString& self, int32_t value);
AString& AStrAppendInt(AString& self, int32_t value);
WString& WStrConcat(const WString& self, const WString& other, WString& out);
WString& WStrConcatChars(const WString& self, const wchar_t* chars, WString& out);
WString& WStrEnsureTrailingChar(WString& self, wchar_t c);
// Joins a path part with '/' when the string already holds a '/', else '\\'.
WString& WStrAppendPath(WString& self, const wchar_t* part);

// ---- Comparison -----------------------------------------------------------
bool WStrEqualsChars(const WString& self, const wchar_t* chars);
bool AStrEqualsChars(const AString& self, const char* chars);
bool WStrEquals(const WString& self, const WString& other);
bool WStrEqualsNoCase(const WString& self, const wchar_t* chars);
bool AStrEqualsNoCase(const AString& self, const char* chars);
bool WStrEqualsNoCaseStr(const WString& self, const WString& other);
bool WStrEqualsN(const WString& self, const wchar_t* chars, uint32_t n);
bool AStrEqualsN(const AString& self, const char* chars, uint32_t n);

// ---- Substrings -----------------------------------------------------------
WString& WStrLeft(const WString& self, uint32_t n, WString& out);
AString& AStrLeft(const AString& self, uint32_t n, AString& out);
// count negative or beyond the rest means to the end.
WString& WStrMid(const WString& self, uint32_t start, int32_t count, WString& out);
AString& AStrMid(const AString& self, uint32_t start, int32_t count, AString& out);
WString& WStrRight(const WString& self, uint32_t n, WString& out);
WString& WStrTruncate(WString& self, uint32_t n);
AString& AStrTruncate(AString& self, uint32_t n);

// ---- Search ---------------------------------------------------------------
int32_t WStrFindChar(const WString& self, wchar_t c, uint32_t start = 0);
// start negative or at least length - 1 searches from the last character.
int32_t WStrFindCharReverse(const WString& self, wchar_t c, int32_t start = -1);
int32_t WStrFindAnyOf(const WString& self, const wchar_t* set, uint32_t start = 0);
int32_t WStrFindAnyOfReverse(const WString& self, const wchar_t* set, int32_t start = -1);
int32_t WStrFindStr(const WString& self, const wchar_t* needle, bool case_sensitive, uint32_t start = 0);
int32_t AStrFind(const AString& self, const char* needle, bool case_sensitive, uint32_t start = 0);
uint32_t WStrCountChar(const WString& self, wchar_t c);
bool WStrIsDigits(const WString& self);

// ---- Changing -------------------------------------------------------------
// Both return the number of replacements.
uint32_t WStrReplaceChar(WString& self, wchar_t old_char, wchar_t new_char);
uint32_t WStrReplaceAll(WString& self, const wchar_t* old_text, const wchar_t* new_text, bool case_sensitive);
WString& WStrRemoveChars(WString& self, const wchar_t* set);
AString& AStrRemoveChars(AString& self, const char* set);
// Drops " \t\r\n".
WString& WStrRemoveWhitespace(WString& self);
AString& AStrRemoveWhitespace(AString& self);
// White space here is the characters 9 to 13 and 32.
WString& WStrTrimLeft(WString& self);
WString& WStrTrimRight(WString& self);
WString& WStrTrim(WString& self);
AString& AStrTrimLeft(AString& self);
AString& AStrTrimRight(AString& self);
AString& AStrTrim(AString& self);
WString& WStrLower(WString& self);
AString& AStrUpper(AString& self);

// ---- Numbers --------------------------------------------------------------
// No white space skipped; one leading '-' or '+'; decimal digits wrapping on
// overflow; a '-' right after the digits also negates (once in all).
int32_t WStrToInt(const WString& self);
int64_t WStrToInt64(const WString& self);
int32_t AStrToInt(const AString& self);

// ---- Paths (separators '/', '\\' and ':') ----------------------------------
WString& WStrGetFileName(const WString& self, WString& out);
// Up to and including the last separator before the first '?'.
WString& WStrGetDirectory(const WString& self, WString& out);
WString& WStrGetExtension(const WString& self, WString& out);
WString& WStrStripExtension(const WString& self, WString& out);

// ---- Other text forms -----------------------------------------------------
// '+' becomes a space, '%' and two hexadecimal digits the unit of that value;
// "%00" stays as it is, so no decoded text carries an embedded NUL.
WString& WStrUrlDecode(const WString& text, WString& out);
// Base64 of the text's ANSI bytes. With line breaks, CR LF follows every 19th
// full group (76 characters); header values need the unbroken form.
enum Base64Breaks : uint32_t {
    kBase64LineBreaks = 0,
    kBase64NoBreaks = 1,
};
WString& WStrBase64Encode(const WString& self, WString& out, Base64Breaks breaks = kBase64LineBreaks);

// ---- Plain wide arrays, changed in place (null ignored) -------------------
// Leading spaces and tabs.
wchar_t* WcsTrimLeft(wchar_t* text);
// Trailing spaces only (tabs stay).
wchar_t* WcsTrimRight(wchar_t* text);
wchar_t* WcsTrim(wchar_t* text);
wchar_t* WcsReplaceChar(wchar_t* text, wchar_t old_char, wchar_t new_char);
// First position of c among n units, or null.
const wchar_t* WMemChr(const wchar_t* units, wchar_t c, uint32_t n);
