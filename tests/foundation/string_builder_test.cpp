#include "foundation/string_builder.h"

#include <gtest/gtest.h>

#include <string>

TEST(StrBuilderReserve, NeverAnswersTrueWithoutData) {
    // The state an Init whose allocation failed used to leave behind: a
    // capacity but no block. Reserve must fetch a block before saying yes.
    WStrBuilder builder;
    builder.capacity = 30;
    builder.grow_step = 30;
    ASSERT_TRUE(WStrBuilderReserve(builder, 5));
    ASSERT_NE(builder.data, nullptr);
    EXPECT_GT(builder.capacity, 5u);
    EXPECT_TRUE(WStrBuilderAppendChars(builder, L"hello"));
    EXPECT_STREQ(WStrBuilderCStr(builder), L"hello");

    AStrBuilder never_initialised;
    EXPECT_TRUE(AStrBuilderAppendChars(never_initialised, "abc"));
    EXPECT_STREQ(StrBuilderData(never_initialised), "abc");
}

TEST(StrBuilderReserve, GrowsByStepPlusNeedAndRefusesTooMuch) {
    WStrBuilder builder(40);
    EXPECT_TRUE(WStrBuilderReserve(builder, 39));
    EXPECT_EQ(builder.capacity, 40u);
    EXPECT_TRUE(WStrBuilderReserve(builder, 40));
    EXPECT_EQ(builder.capacity, 80u);
    EXPECT_FALSE(WStrBuilderReserve(builder, 0xFFFFFFF0u));
    EXPECT_EQ(builder.capacity, 80u);
    EXPECT_TRUE(WStrBuilderAppendChars(builder, L"kept"));
    std::wstring big(100, L'x');
    EXPECT_FALSE(WStrBuilderAppendN(builder, big.c_str(), 0xFFFFFFF0u));
    EXPECT_STREQ(WStrBuilderCStr(builder), L"kept");
}

TEST(StrBuilderAppend, ALongTextInSmallPiecesGrowsTheBlockAFewTimes) {
    // Growing by the step alone copied a 360 KB markup page ninety times.
    AStrBuilder builder(4000);
    const std::string piece(100, 'x');
    uint32_t growths = 0;
    for (int i = 0; i < 10000; ++i) {
        const uint32_t before = builder.capacity;
        ASSERT_TRUE(AStrBuilderAppendN(builder, piece.data(), uint32_t(piece.size())));
        growths += builder.capacity != before;
    }
    EXPECT_EQ(builder.length, 1000000u);
    EXPECT_LE(growths, 10u);
}

TEST(StrBuilderAppend, Pieces) {
    WStrBuilder builder(0);
    WStrBuilderAppendChars(builder, nullptr);
    WStrBuilderAppendChar(builder, 0);
    EXPECT_EQ(StrBuilderData(builder), nullptr);
    WStrBuilderAppendUpTo(builder, L"ab\0c", 4);
    WStrBuilderAppendChar(builder, L'-');
    WStrBuilderAppendInt(builder, -17);
    WStrBuilderAppend(builder, WString(L"|w"));
    WStrBuilderEnsureTrailingChar(builder, L'w');
    WStrBuilderEnsureTrailingChar(builder, L';');
    EXPECT_STREQ(WStrBuilderCStr(builder), L"ab--17|w;");
    EXPECT_EQ(builder.length, 9u);

    WStrBuilder copy(5);
    WStrBuilderAssign(copy, builder);
    WStrBuilderAssign(copy, copy);
    EXPECT_STREQ(WStrBuilderCStr(copy), L"ab--17|w;");
    WStrBuilderSet(copy, copy.data + 3);  // its own tail
    EXPECT_STREQ(WStrBuilderCStr(copy), L"-17|w;");
    WStrBuilderClear(copy);
    EXPECT_EQ(copy.length, 0u);
    EXPECT_NE(copy.data, nullptr);
    WString out(L"old");
    WStrBuilderToString(copy, out);
    EXPECT_EQ(WStrBuffer(out), nullptr);

    AStrBuilder ansi(3);
    AStrBuilderSet(ansi, "x");
    AStrBuilderAppendN(ansi, "yz", 1);
    AStrBuilderAppendUpTo(ansi, "q\0r", 3);
    AStrBuilderAppendInt(ansi, 2147483647);
    AStrBuilderAppendChar(ansi, '!');
    AStrBuilderAppend(ansi, AString("."));
    AString text;
    AStrBuilderToString(ansi, text);
    EXPECT_STREQ(AStrCStr(text), "xyq2147483647!.");
}

TEST(StrBuilderAppend, PathParts) {
    WStrBuilder builder(0);
    WStrBuilderAppendPath(builder, L"\\first");
    EXPECT_STREQ(WStrBuilderCStr(builder), L"first");
    WStrBuilderAppendPath(builder, L"second");
    EXPECT_STREQ(WStrBuilderCStr(builder), L"first\\second");
    WStrBuilderSet(builder, L"http://host/dir/");
    WStrBuilderAppendPath(builder, L"/file");
    WStrBuilderAppendPath(builder, L"");
    EXPECT_STREQ(WStrBuilderCStr(builder), L"http://host/dir/file");
}
