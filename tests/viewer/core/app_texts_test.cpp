#include "viewer/core/app_texts.h"

#include <gtest/gtest.h>

// The texts come from the resource linked into this test program, built
// from resources/texts.tsv: escapes and characters beyond any code page
// arrive as written there.
TEST(AppTextTable, ReadsOneLanguageOfTheLinkedResource) {
    Ref<AppTextTable> english = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    EXPECT_STREQ(AppTextTableGet(english.get(), 1, 1815), L"Zoom all\tESC");
    EXPECT_EQ(AppTextTableGet(english.get(), 0, 1815), nullptr);  // only the language asked for
    Ref<AppTextTable> german = AppTextTableCreate(GetModuleHandleW(nullptr), 0);
    EXPECT_STREQ(AppTextTableGet(german.get(), 0, 1808), L"Alle schlie\u00DFen");
    EXPECT_STREQ(AppTextTableGet(german.get(), 0, 1867), L"\u0394X:");
    EXPECT_STREQ(AppTextTableGet(german.get(), 0, 3002), L"Ung\u00FCltiges Dateiformat");
}
