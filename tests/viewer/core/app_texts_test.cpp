#include "viewer/core/app_texts.h"

#include <gtest/gtest.h>

#include "viewer/core/app_root.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

// The texts come from the resource linked into this test program, built
// from resources/texts.tsv.
TEST(AppTextTable, ReadsTheModulesTextsOfOneLanguage) {
    Ref<AppTextTable> english = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    EXPECT_STREQ(AppTextTableGet(english.get(), 1, 3002), L"Invalid file format");
    EXPECT_STREQ(AppTextTableGet(english.get(), 1, 1815), L"Zoom all\tESC");
    EXPECT_STREQ(AppTextTableGet(english.get(), 1, 1014),
                 L"This file is an executable that could contain viruses.\nDo you want to proceed?");
    EXPECT_EQ(AppTextTableGet(english.get(), 0, 3002), nullptr);
    EXPECT_EQ(AppTextTableGet(english.get(), 1, 3999), nullptr);
    EXPECT_EQ(AppTextTableGet(english.get(), 11, 3002), nullptr);

    // German umlauts and the delta sign survive whatever the code page is.
    Ref<AppTextTable> german = AppTextTableCreate(GetModuleHandleW(nullptr), 0);
    EXPECT_STREQ(AppTextTableGet(german.get(), 0, 1808), L"Alle schlie\u00DFen");
    EXPECT_STREQ(AppTextTableGet(german.get(), 0, 1867), L"\u0394X:");
    EXPECT_STREQ(AppTextTableGet(german.get(), 0, 1870), L"\u00B0");

    AppTextTableDrop(german.get());
    EXPECT_EQ(AppTextTableGet(german.get(), 0, 1808), nullptr);
    EXPECT_EQ(AppTextTableGet(nullptr, 0, 1808), nullptr);
}

TEST(AppTextTable, ModuleWithoutTheResourceGivesNoTexts) {
    Ref<AppTextTable> none = AppTextTableCreate(GetModuleHandleW(L"kernel32.dll"), 1);
    ASSERT_TRUE(none);
    EXPECT_EQ(AppTextTableGet(none.get(), 1, 3002), nullptr);
}

TEST(ErrorCodeToText, StatusCodesOfTheReaders) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    context->language = 1;
    root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    struct Case {
        uint32_t status;
        const wchar_t* text;
    };
    const Case cases[] = {{1000, L"Request canceled by user"},
                          {1002, L"Invalid file format"},
                          {1003, L"File format is not supported"}};
    for (const Case& c : cases) {
        WString out;
        EXPECT_TRUE(ErrorCodeToText(context.get(), c.status, out)) << c.status;
        EXPECT_TRUE(WStrEqualsChars(out, c.text)) << c.status;
    }
    for (uint32_t status : {1001u, 2000u}) {
        WString out;
        EXPECT_TRUE(ErrorCodeToText(context.get(), status, out));
        EXPECT_GT(WStrLength(out), 20u);
    }
    WString kept = L"kept";
    EXPECT_FALSE(ErrorCodeToText(context.get(), 2001, kept));
    EXPECT_FALSE(ErrorCodeToText(context.get(), 0, kept));
    EXPECT_TRUE(WStrEqualsChars(kept, L"kept"));
}
