#include "foundation/strings.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/string_builder.h"

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
    WStrAppendN(t,
                L"12\0"
                L"3",
                4);
    WStrAppendN(t,
                L"\0"
                L"9",
                2);
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
