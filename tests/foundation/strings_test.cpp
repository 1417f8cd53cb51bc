#include "foundation/strings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>
#include <utility>

#include "foundation/string_builder.h"
#include "tests/support/test_support.h"

namespace {
std::wstring Text(const WString& s) { return WStrCStr(s); }
std::string Text(const AString& s) { return AStrCStr(s); }
}  // namespace

TEST(WStringBasics, EmptyIsNull) {
    WString a, b(L"");
    WString c = L"x";
    WStrAssignChars(c, L"");
    EXPECT_EQ(WStrBuffer(a), nullptr);
    EXPECT_EQ(WStrBuffer(b), nullptr);
    EXPECT_EQ(WStrBuffer(c), nullptr);
    EXPECT_STREQ(WStrCStr(a), L"");
    EXPECT_EQ(WStrLength(b), 0u);
    EXPECT_EQ(WStrBuffer(EmptyWString), nullptr);
}

TEST(WStringBasics, CopiesShareOneCountedBuffer) {
    WString a(L"hello");
    const wchar_t* buffer = WStrBuffer(a);
    {
        WString b(a), c;
        WStrAssign(c, b);
        EXPECT_EQ(WStrBuffer(b), buffer);
        EXPECT_EQ(WStrBuffer(c), buffer);
        EXPECT_EQ(StrBufRefCount(buffer), 3u);
        WStrAppendChar(c, L'!');  // a change builds a new buffer
        EXPECT_NE(WStrBuffer(c), buffer);
        EXPECT_EQ(StrBufRefCount(buffer), 2u);
        EXPECT_EQ(Text(c), L"hello!");
    }
    EXPECT_EQ(StrBufRefCount(buffer), 1u);
    WStrAssign(a, a);
    EXPECT_EQ(StrBufRefCount(buffer), 1u);
    EXPECT_EQ(StrBufLength(buffer), 5u);
}

TEST(WStringBasics, AppendsAndAccess) {
    WString s;
    WStrAppendChars(s, L"ab");
    WStrAppendBuf(s, L"c\0d", 3);
    EXPECT_EQ(WStrLength(s), 5u);
    EXPECT_EQ(WStrCharAt(s, 3), L'\0');
    EXPECT_EQ(WStrCharAt(s, 4), L'd');
    EXPECT_EQ(WStrCharAt(s, 5), 0);
    WString t(L"xy");
    const wchar_t digits[] = {L'1', L'2', 0, L'3'}, nul_first[] = {0, L'9'};
    WStrAppendN(t, digits, 4);
    WStrAppendN(t, nul_first, 2);
    WStrAppendChar(t, 0);
    WStrAppendInt(t, -2147483647 - 1);
    EXPECT_EQ(Text(t), L"xy12-2147483648");
    WString empty, other(L"q");
    WStrAppend(empty, other);
    EXPECT_EQ(WStrBuffer(empty), WStrBuffer(other));
    WStrAppend(other, other);
    EXPECT_EQ(Text(other), L"qq");
    WString out;
    WStrConcatChars(other, L"z", out);
    EXPECT_EQ(Text(out), L"qqz");
    WStrConcat(out, out, out);
    EXPECT_EQ(Text(out), L"qqzqqz");
    WStrEnsureTrailingChar(out, L'z');
    WStrEnsureTrailingChar(out, L'/');
    EXPECT_EQ(Text(out), L"qqzqqz/");
}

TEST(WStringBasics, Equality) {
    WString a(L"Abc"), b(L"Abc"), empty;
    EXPECT_TRUE(WStrEquals(a, b));
    EXPECT_TRUE(WStrEquals(empty, EmptyWString));
    EXPECT_FALSE(WStrEquals(a, empty));
    EXPECT_TRUE(WStrEqualsChars(empty, nullptr));
    EXPECT_TRUE(WStrEqualsChars(empty, L""));
    EXPECT_FALSE(WStrEqualsChars(a, L""));
    EXPECT_TRUE(WStrEqualsChars(a, L"Abc"));
    EXPECT_FALSE(WStrEqualsChars(a, L"Ab"));
    EXPECT_TRUE(WStrEqualsNoCase(a, L"aBC"));
    EXPECT_FALSE(WStrEqualsNoCase(a, nullptr));
    EXPECT_TRUE(WStrEqualsNoCaseStr(a, WString(L"ABC")));
    EXPECT_TRUE(WStrEqualsNoCaseStr(empty, EmptyWString));
    EXPECT_TRUE(WStrEqualsN(a, L"Abx", 2));
    EXPECT_FALSE(WStrEqualsN(a, L"Abx", 3));
    EXPECT_TRUE(WStrEqualsN(empty, L"", 0));
    EXPECT_FALSE(WStrEqualsN(empty, L"a", 1));
}

TEST(AStringBasics, ConversionsAndAppends) {
    AString a("caf\xe9");
    WString w;
    WStrFromAnsi(w, a);
    EXPECT_EQ(Text(w), L"caf\u00e9");
    AString back;
    AStrFromWide(back, w);
    EXPECT_EQ(Text(back), "caf\xe9");
    AStrAppendN(back, "!?", 1);
    AStrAppendUpTo(back, "x\0y", 3);
    AStrAppendInt(back, 42);
    EXPECT_EQ(Text(back), "caf\xe9!x42");
    EXPECT_EQ(AStrLength(back), 8u);
    EXPECT_EQ(AStrCharAt(back, 99), 0);
    AString copy(back);
    EXPECT_EQ(AStrBuffer(copy), AStrBuffer(back));
    EXPECT_TRUE(AStrEqualsChars(copy, "caf\xe9!x42"));
    EXPECT_TRUE(AStrEqualsNoCase(copy, "CAF\xc9!X42"));
}

TEST(StrBuilderBasics, ClampsGrowsAndConverts) {
    WStrBuilder small(10), big(50000000);
    EXPECT_EQ(small.capacity, 30u);
    EXPECT_EQ(big.capacity, 30000000u);
    StrBuilderFree(big);
    EXPECT_EQ(StrBuilderData(small), nullptr);
    EXPECT_STREQ(WStrBuilderCStr(small), L"");
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(WStrBuilderAppendInt(small, i));
    WString text;
    WStrBuilderToString(small, text);
    EXPECT_EQ(WStrLength(text), 190u);
    EXPECT_EQ(Text(text).substr(0, 12), L"012345678910");
    ASSERT_TRUE(WStrBuilderAppendN(small, small.data, 3));  // own text, across a regrowth
    EXPECT_EQ(std::wstring(small.data + 190), L"012");
}

TEST(WStringSubstrings, EdgesOfLeftMidRightTruncate) {
    WString s(L"abcdef"), out;
    EXPECT_EQ(Text(WStrMid(s, 2, -1, out)), L"cdef");
    EXPECT_EQ(Text(WStrMid(s, 2, 100, out)), L"cdef");
    EXPECT_EQ(Text(WStrMid(s, 1, 2, out)), L"bc");
    EXPECT_EQ(WStrBuffer(WStrMid(WString(L"abc"), 5, 1, out)), nullptr);
    EXPECT_EQ(WStrBuffer(WStrMid(s, 0, 0, out)), nullptr);
    EXPECT_EQ(WStrBuffer(WStrMid(s, 0, 6, out)), WStrBuffer(s));
    EXPECT_EQ(WStrBuffer(WStrLeft(s, 6, out)), WStrBuffer(s));
    EXPECT_EQ(Text(WStrLeft(s, 2, out)), L"ab");
    EXPECT_EQ(WStrBuffer(WStrLeft(s, 0, out)), nullptr);
    EXPECT_EQ(Text(WStrRight(WString(L"abc"), 5, out)), L"abc");
    EXPECT_EQ(Text(WStrRight(s, 2, out)), L"ef");
    EXPECT_EQ(WStrBuffer(WStrRight(s, 0, out)), nullptr);
    WStrMid(s, 1, 3, s);  // the out-string may be the source
    EXPECT_EQ(Text(s), L"bcd");
    WStrTruncate(s, 5);
    EXPECT_EQ(Text(s), L"bcd");
    WStrTruncate(s, 0);
    EXPECT_EQ(WStrBuffer(s), nullptr);
    AString a("hello"), a_out;
    EXPECT_EQ(Text(AStrLeft(a, 4, a_out)), "hell");
    EXPECT_EQ(Text(AStrMid(a, 3, -5, a_out)), "lo");
    EXPECT_EQ(Text(AStrTruncate(a, 1)), "h");
}

TEST(WStringSearch, ForwardsBackwardsAndSets) {
    WString s(L"a/b\\c/d.e");
    EXPECT_EQ(WStrFindChar(s, L'/'), 1);
    EXPECT_EQ(WStrFindChar(s, L'/', 2), 5);
    EXPECT_EQ(WStrFindChar(s, L'/', 9), -1);
    EXPECT_EQ(WStrFindChar(s, 0), -1);
    EXPECT_EQ(WStrFindCharReverse(s, L'/'), 5);
    EXPECT_EQ(WStrFindCharReverse(s, L'/', 4), 1);
    EXPECT_EQ(WStrFindCharReverse(s, L'/', 100), 5);
    EXPECT_EQ(WStrFindCharReverse(s, L'a', 0), 0);
    EXPECT_EQ(WStrFindCharReverse(EmptyWString, L'a'), -1);
    EXPECT_EQ(WStrFindAnyOf(s, L"\\.", 0), 3);
    EXPECT_EQ(WStrFindAnyOf(s, L""), -1);
    EXPECT_EQ(WStrFindAnyOfReverse(s, L"/\\"), 5);
    EXPECT_EQ(WStrFindAnyOfReverse(s, L"/\\", 4), 3);
    EXPECT_EQ(WStrCountChar(s, L'/'), 2u);
    EXPECT_EQ(WStrCountChar(s, 0), 0u);
    WString t(L"Hello World hello");
    EXPECT_EQ(WStrFindStr(t, L"hello", true), 12);
    EXPECT_EQ(WStrFindStr(t, L"hello", false), 0);
    EXPECT_EQ(WStrFindStr(t, L"hello", false, 1), 12);
    EXPECT_EQ(WStrFindStr(t, L"", false), -1);
    EXPECT_EQ(WStrFindStr(t, L"o", true, 17), -1);
    EXPECT_EQ(AStrFind(AString("xABx"), "ab", false), 1);
    EXPECT_EQ(AStrFind(AString("xABx"), "ab", true), -1);
    EXPECT_TRUE(WStrIsDigits(WString(L"0123")));
    EXPECT_FALSE(WStrIsDigits(WString(L"01a")));
    EXPECT_FALSE(WStrIsDigits(EmptyWString));
}

TEST(WStringChanging, ReplaceRemoveAndCase) {
    WString s(L"a.b.c");
    const wchar_t* before = WStrBuffer(s);
    EXPECT_EQ(WStrReplaceChar(s, L'.', L'.'), 2u);
    EXPECT_EQ(WStrBuffer(s), before);
    EXPECT_EQ(WStrReplaceChar(s, L'.', 0), 0u);
    EXPECT_EQ(WStrReplaceChar(s, L'.', L'/'), 2u);
    EXPECT_EQ(Text(s), L"a/b/c");
    WString r(L"aaXaaxaa");
    EXPECT_EQ(WStrReplaceAll(r, L"aa", L"b", true), 3u);
    EXPECT_EQ(Text(r), L"bXbxb");
    EXPECT_EQ(WStrReplaceAll(r, L"x", L"", false), 2u);
    EXPECT_EQ(Text(r), L"bbb");
    EXPECT_EQ(WStrReplaceAll(r, L"bb", L"bbbb", true), 1u);  // no overlap, no rescan of new text
    EXPECT_EQ(Text(r), L"bbbbb");
    EXPECT_EQ(WStrReplaceAll(r, L"", L"q", true), 0u);
    EXPECT_EQ(WStrReplaceAll(r, L"zz", L"q", true), 0u);
    WString m(L" a\tb\r\nc ");
    WStrRemoveWhitespace(m);
    EXPECT_EQ(Text(m), L"abc");
    before = WStrBuffer(m);
    WStrRemoveChars(m, L"xyz");
    WStrRemoveChars(m, L"");
    EXPECT_EQ(WStrBuffer(m), before);
    WStrRemoveChars(m, L"cba");
    EXPECT_EQ(WStrBuffer(m), nullptr);
    AString am("a-b-c");
    EXPECT_EQ(Text(AStrRemoveChars(am, "-")), "abc");
    EXPECT_EQ(Text(AStrRemoveWhitespace(am)), "abc");
    WString lower(L"MiXeD \u00c4");
    EXPECT_EQ(Text(WStrLower(lower)), L"mixed \u00e4");
    AString upper("MiXeD \xe4");
    EXPECT_EQ(Text(AStrUpper(upper)), "MIXED \xc4");
}

TEST(WStringChanging, TrimsOnlyControlWhitespaceAndSpace) {
    WString s(L"\t\n\v\f\r x y \r\n");
    WStrTrim(s);
    EXPECT_EQ(Text(s), L"x y");
    WString nbsp(L"\u00a0x\u00a0");  // no other unit counts as white space
    const wchar_t* before = WStrBuffer(nbsp);
    WStrTrim(nbsp);
    EXPECT_EQ(WStrBuffer(nbsp), before);
    WString all(L" \t ");
    EXPECT_EQ(WStrBuffer(WStrTrimLeft(all)), nullptr);
    WString right(L" r ");
    EXPECT_EQ(Text(WStrTrimRight(right)), L" r");
    EXPECT_EQ(Text(WStrTrimLeft(right)), L"r");
    AString a("  a b\t");
    EXPECT_EQ(Text(AStrTrim(a)), "a b");
    AString a2(" x ");
    EXPECT_EQ(Text(AStrTrimLeft(a2)), "x ");
    EXPECT_EQ(Text(AStrTrimRight(a2)), "x");
}

TEST(WStringNumbers, ParsesAsDocumented) {
    const struct {
        const wchar_t* text;
        int32_t value;
    } cases[] = {{L"42", 42},
                 {L"42-", -42},
                 {L"-42-", -42},
                 {L"+7x", 7},
                 {L" 5", 0},
                 {L"12-", -12},
                 {L"-", 0},
                 {L"", 0},
                 {L"--1", 0},
                 {L"4294967297", 1},
                 {L"2147483648", -2147483647 - 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(WStrToInt(WString(c.text)), c.value) << c.text;
        AString ansi;
        AStrFromWide(ansi, c.text);
        EXPECT_EQ(AStrToInt(ansi), c.value) << c.text;
    }
    EXPECT_EQ(WStrToInt64(WString(L"9223372036854775807")), INT64_MAX);
    EXPECT_EQ(WStrToInt64(WString(L"-9223372036854775808")), INT64_MIN);
    EXPECT_EQ(WStrToInt64(WString(L"5000000000-")), -5000000000LL);
}

TEST(WStringPaths, PartsOfPathsAndUrls) {
    WString out;
    EXPECT_EQ(Text(WStrGetExtension(WString(L".profile"), out)), L"");
    EXPECT_EQ(Text(WStrGetExtension(WString(L"dir.x\\file"), out)), L"");
    EXPECT_EQ(Text(WStrGetExtension(WString(L"a\\b.tif"), out)), L"tif");
    EXPECT_EQ(Text(WStrStripExtension(WString(L"a\\b.tif"), out)), L"a\\b");
    EXPECT_EQ(Text(WStrStripExtension(WString(L"dir.x\\file"), out)), L"dir.x\\file");
    EXPECT_EQ(Text(WStrGetDirectory(WString(L"docs/a/b.tif?x=/y"), out)), L"docs/a/");
    EXPECT_EQ(Text(WStrGetDirectory(WString(L"c:file"), out)), L"c:");
    EXPECT_EQ(Text(WStrGetDirectory(WString(L"file"), out)), L"");
    EXPECT_EQ(Text(WStrGetDirectory(WString(L"?a/b"), out)), L"");
    EXPECT_EQ(Text(WStrGetFileName(WString(L"c:\\d\\e.tif"), out)), L"e.tif");
    EXPECT_EQ(Text(WStrGetFileName(WString(L"plain"), out)), L"plain");
    EXPECT_EQ(Text(WStrGetFileName(WString(L"dir/"), out)), L"");
    WString p(L"c:\\dir");
    EXPECT_EQ(Text(WStrAppendPath(p, L"\\file")), L"c:\\dir\\file");
    WString q(L"a/b");
    EXPECT_EQ(Text(WStrAppendPath(q, L"c")), L"a/b/c");
    WString r(L"a\\");
    EXPECT_EQ(Text(WStrAppendPath(r, L"b")), L"a\\b");
    WString empty;
    EXPECT_EQ(Text(WStrAppendPath(empty, L"/x")), L"x");
    EXPECT_EQ(Text(WStrAppendPath(empty, nullptr)), L"x");
}

TEST(WideArrays, TrimReplaceAndSearchInPlace) {
    wchar_t text[] = L" \t a\tb \t  ";
    EXPECT_STREQ(WcsTrimRight(text), L" \t a\tb \t");  // tabs stay at the right
    EXPECT_STREQ(WcsTrimLeft(text), L"a\tb \t");
    wchar_t both[] = L"\t x  ";
    EXPECT_STREQ(WcsTrim(both), L"x");
    EXPECT_STREQ(WcsReplaceChar(both, L'x', L'y'), L"y");
    EXPECT_EQ(WcsTrim(nullptr), nullptr);
    const wchar_t units[] = {L'a', 0, L'b'};
    EXPECT_EQ(WMemChr(units, L'b', 3), units + 2);
    EXPECT_EQ(WMemChr(units, L'b', 2), nullptr);
}

// Eight threads copy every slot, and each assigns, appends to and clears its
// own slots, so every pointer swap races with copies made elsewhere. Each
// text names its own length, so a buffer freed too early or torn shows.
namespace {

constexpr int kSoakThreads = 8;
constexpr int kSoakSlots = 64;

std::wstring SoakText(uint32_t k) {
    return std::to_wstring(k % 97) + L":" + std::wstring(k % 97, L'a' + k % 26);
}

template <class Char>
bool SoakTextValid(const Char* text) {
    const std::wstring wide(text, text + std::char_traits<Char>::length(text));
    wchar_t* colon;
    const unsigned long n = wcstoul(wide.c_str(), &colon, 10);
    if (wide.empty()) return true;
    if (*colon != L':' || wcslen(colon + 1) != n) return false;
    return std::wstring(colon + 1).find_first_not_of(colon[1]) == std::wstring::npos;
}

void SoakSet(WString& s, uint32_t k) { WStrAssignChars(s, SoakText(k).c_str()); }
void SoakSet(AString& s, uint32_t k) { AStrFromWide(s, SoakText(k).c_str()); }
const wchar_t* SoakCStr(const WString& s) { return WStrCStr(s); }
const char* SoakCStr(const AString& s) { return AStrCStr(s); }

template <class S>
void RunSoak(const void* (*buffer_of)(const S&)) {
    auto slots = std::make_unique<S[]>(kSoakSlots);
    S seed;
    SoakSet(seed, 40);
    for (int i = 0; i < kSoakSlots; ++i) SoakSet(slots[i], i);
    volatile LONG faults = 0;
    ASSERT_TRUE(RunConcurrently(kSoakThreads, [&](int me) {
        uint32_t random = 12345u + me * 7919u;
        for (int round = 0; round < 40000; ++round) {
            random = random * 1103515245u + 12345u;
            const int mine = ((random >> 16) % (kSoakSlots / kSoakThreads)) * kSoakThreads + me;
            S copy(slots[(random >> 8) % kSoakSlots]);
            if (!SoakTextValid(SoakCStr(copy))) InterlockedIncrement(&faults);
            switch ((random >> 24) % 5) {
                case 0:
                    slots[mine] = copy;
                    break;
                case 1:
                    SoakSet(slots[mine], random);
                    break;
                case 2:
                    slots[mine] = seed;
                    break;
                case 3:
                    slots[mine] = S();
                    break;
                default: {
                    S moved(std::move(copy));
                    slots[mine] = std::move(moved);
                }
            }
        }
    }));
    EXPECT_EQ(faults, 0);
    uint32_t seed_holders = 1;
    for (int i = 0; i < kSoakSlots; ++i) seed_holders += buffer_of(slots[i]) == buffer_of(seed);
    EXPECT_EQ(StrBufRefCount(buffer_of(seed)), seed_holders);
    slots.reset();
    EXPECT_EQ(StrBufRefCount(buffer_of(seed)), 1u);
}

}  // namespace

TEST(StringThreads, CopyAssignReleaseSoak) {
    RunSoak<WString>([](const WString& s) -> const void* { return WStrBuffer(s); });
    RunSoak<AString>([](const AString& s) -> const void* { return AStrBuffer(s); });
}

TEST(StringBuffers, CreateCloneAttachRelease) {
    EXPECT_EQ(WStrBufCreate(nullptr, 3), nullptr);
    EXPECT_EQ(WStrBufCreate(L"abc", 0), nullptr);
    wchar_t* buffer = WStrBufCreate(L"abcdef", 3);
    ASSERT_NE(buffer, nullptr);
    EXPECT_STREQ(buffer, L"abc");
    EXPECT_EQ(StrBufLength(buffer), 3u);
    wchar_t* clone = WStrBufClone(buffer);
    EXPECT_NE(clone, buffer);
    EXPECT_STREQ(clone, L"abc");
    WString s;
    WStrAttach(s, buffer);  // the string takes over the reference
    WString t(s);
    EXPECT_EQ(StrBufRefCount(buffer), 2u);
    WStrAttach(s, clone);
    EXPECT_EQ(StrBufRefCount(buffer), 1u);
    StrRelease(t);
    EXPECT_EQ(WStrBuffer(t), nullptr);
    StrBufRelease(nullptr);
    WStrAssignN(s, L"ab\0cd", 5);
    EXPECT_EQ(Text(s), L"ab");
    AString a;
    AStrAssignN(a, "xyz", 2);
    EXPECT_EQ(Text(a), "xy");
}
