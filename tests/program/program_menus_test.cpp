#include "program/program_menus.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "foundation/handles.h"
#include "viewer/core/app_root.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

namespace {

struct MenuItem {
    UINT id;  // 0 for a separator
    std::wstring text;
    bool operator==(const MenuItem&) const = default;
};

void PrintTo(const MenuItem& item, std::ostream* out) {
    *out << item.id << " \"";
    for (wchar_t c : item.text)
        *out << (c == L'\t' ? std::string("\\t") : std::string(1, static_cast<char>(c)));
    *out << "\"";
}

std::vector<MenuItem> Items(HMENU menu) {
    std::vector<MenuItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = L"";
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 256;
        EXPECT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &info));
        items.push_back({info.fType & MFT_SEPARATOR ? 0 : info.wID, text});
    }
    return items;
}

struct ProgramMenus : testing::Test {
    void SetUp() override {
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(root);
        ScopedLock hold(root->settings->lock);
        // The texts below are the German ones, the default language.
        ASSERT_EQ(root->settings->language, 0);
        root->settings->custom_app_info_title = WString();
    }
    Ref<ViewerContext> Context() { return ViewerContextConstruct(root.get()); }
    Ref<AppRoot> root;
};

TEST_F(ProgramMenus, FileMenuEndsWithExitAndTheLastSession) {
    MenuHandle menu(FileMenuBuild(Context().get()));
    ASSERT_TRUE(menu);
    // No print provider exists yet, so no print items.
    const std::vector<MenuItem> expected = {
        {500, L"\u00d6&ffnen...\tStrg+O"},
        {506, L"Schlie\u00dfen\tStrg+F4"},
        {507, L"Alle schlie\u00dfen"},
        {0, L""},
        {501, L"Speichern &unter..."},
        {502, L"Konvertieren..."},
        {0, L""},
        {508, L"&Beenden\tAlt+F4"},
        {0, L""},
        {509, L"Alle zuletzt ge\u00f6ffneten Dokumente"},
    };
    EXPECT_EQ(Items(menu.get()), expected);
}

TEST_F(ProgramMenus, HelpMenuPutsTheF1HintOnAboutOrOnTheCustomInformation) {
    MenuHandle plain(HelpMenuBuild(Context().get()));
    ASSERT_TRUE(plain);
    EXPECT_EQ(Items(plain.get()),
              (std::vector<MenuItem>{{558, L"Plovex im Internet..."}, {557, L"&\u00dcber Plovex...\tF1"}}));

    {
        ScopedLock hold(root->settings->lock);
        root->settings->custom_app_info_title = L"Site information";
    }
    MenuHandle custom(HelpMenuBuild(Context().get()));
    ASSERT_TRUE(custom);
    EXPECT_EQ(Items(custom.get()), (std::vector<MenuItem>{{558, L"Plovex im Internet..."},
                                                          {557, L"&\u00dcber Plovex..."},
                                                          {0, L""},
                                                          {560, L"Site information\tF1"}}));
}

}  // namespace
