#include "foundation/string_split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Tokens(WStrSplit* split) {
    std::vector<std::wstring> tokens;
    if (!split) return tokens;
    WString token;
    for (uint32_t i = 0; i < split->count; ++i) tokens.push_back(WStrCStr(WStrSplitGet(*split, i, token)));
    StrSplitFree(split);
    return tokens;
}

std::vector<std::string> Tokens(AStrSplit* split) {
    std::vector<std::string> tokens;
    if (!split) return tokens;
    AString token;
    for (uint32_t i = 0; i < split->count; ++i) tokens.push_back(AStrCStr(AStrSplitGet(*split, i, token)));
    StrSplitFree(split);
    return tokens;
}

using W = std::vector<std::wstring>;
using A = std::vector<std::string>;

}  // namespace

TEST(StrSplitChar, KeepsOrDropsEmptyTokens) {
    EXPECT_EQ(Tokens(WStrSplitChar(WString(L"a,,b,"), L',', false)), (W{L"a", L"", L"b", L""}));
    EXPECT_EQ(Tokens(WStrSplitChar(WString(L"a,,b,"), L',', true)), (W{L"a", L"b"}));
    EXPECT_EQ(Tokens(WStrSplitChar(WString(L",a"), L',', false)), (W{L"", L"a"}));
    EXPECT_EQ(Tokens(WStrSplitChar(WString(L"abc"), L',', false)), (W{L"abc"}));
    EXPECT_EQ(Tokens(WStrSplitChar(WString(L",,,"), L',', true)), W{});
    EXPECT_EQ(Tokens(AStrSplitChar(AString("x;y;;"), ';', false)), (A{"x", "y", "", ""}));
}

TEST(StrSplitChar, EmptyStringGivesOneEmptyTokenOrNone) {
    EXPECT_EQ(Tokens(WStrSplitChar(EmptyWString, L',', false)), (W{L""}));
    EXPECT_EQ(Tokens(WStrSplitChar(EmptyWString, L',', true)), W{});
    EXPECT_EQ(Tokens(AStrSplitChar(AString(), ',', false)), (A{""}));
    EXPECT_EQ(Tokens(AStrSplitChar(AString(), ',', true)), A{});
}

TEST(StrSplitLines, PairsOfDifferentEndsAreOneLineEnd) {
    EXPECT_EQ(Tokens(WStrSplitLines(WString(L"a\r\n\r\nb"), false)), (W{L"a", L"", L"b"}));
    EXPECT_EQ(Tokens(WStrSplitLines(WString(L"a\n\nb"), false)), (W{L"a", L"", L"b"}));
    EXPECT_EQ(Tokens(WStrSplitLines(WString(L"a\n\rb"), false)), (W{L"a", L"b"}));
    EXPECT_EQ(Tokens(WStrSplitLines(WString(L"a\r\rb"), false)), (W{L"a", L"", L"b"}));
    EXPECT_EQ(Tokens(WStrSplitLines(WString(L"a\n\r\nb"), false)), (W{L"a", L"", L"b"}));
    EXPECT_EQ(Tokens(WStrSplitLines(WString(L"a\r\n"), false)), (W{L"a", L""}));
    EXPECT_EQ(Tokens(WStrSplitLines(WString(L"\r\na\r\n\r\nb\n"), true)), (W{L"a", L"b"}));
    EXPECT_EQ(Tokens(AStrSplitLines(AString("one\r\ntwo\rthree\n"), false)), (A{"one", "two", "three", ""}));
}

// The token array grows in steps; the tokens read back in order across every growth.
TEST(StrSplitStorage, GrowsInSteps) {
    std::wstring text;
    for (int i = 0; i < 5000; ++i) text += std::to_wstring(i) + L" ";
    WStrSplit* split = WStrSplitChar(WString(text.c_str()), L' ', true);
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(split->count, 5000u);
    WString token;
    for (uint32_t i = 0; i < split->count; i += 499) {
        EXPECT_EQ(std::wstring(WStrCStr(WStrSplitGet(*split, i, token))), std::to_wstring(i));
    }
    EXPECT_EQ(WStrBuffer(WStrSplitGet(*split, 5000, token)), nullptr);
    StrSplitFree(split);
}

// The split keeps its own counted copy, so the source may change meanwhile.
TEST(StrSplitStorage, HoldsItsOwnCopyOfTheSource) {
    WString text(L"k=v");
    WStrSplit* split = WStrSplitChar(text, L'=', false);
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(WStrBuffer(split->source), WStrBuffer(text));
    WStrAssignChars(text, L"changed");
    WString token;
    EXPECT_STREQ(WStrCStr(WStrSplitGet(*split, 1, token)), L"v");
    StrSplitFree(split);
}
