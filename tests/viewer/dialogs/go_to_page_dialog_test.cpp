// The go-to-page dialog: what a typed number becomes, and the dialog run
// through the viewer's go-to-page road on a three-page document.
#include "viewer/dialogs/go_to_page_dialog.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/page_navigation.h"

TEST(GoToPage, TypedNumbersBecomeIndexes) {
    const struct {
        const wchar_t* text;
        bool accepted;
        int32_t index;
    } cases[] = {
        {L"1", true, 0},      {L"3", true, 2},           {L" 2 ", true, 1},  {L"", true, -1},
        {L"0", true, -1},     {L"-2", true, -1},         {L"abc", true, -1}, {L"4", false, 7},
        {L"99999", false, 7}, {L"4294967297", false, 7},  // would wrap to 1 in 32 bits
    };
    for (const auto& c : cases) {
        int32_t index = 7;
        EXPECT_EQ(GoToPageParse(WString(c.text), 3, index), c.accepted)
            << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(index, c.index) << testing::PrintToString(std::wstring(c.text));
    }
    int32_t index = 7;
    EXPECT_FALSE(GoToPageParse(WString(L"1"), 0, index)) << "a document without pages has no page 1";
}

TEST(GoToPage, DialogActivatesTheChosenPage) {
    ActionViewer viewer;
    viewer.root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    {
        ScopedLock hold(viewer.context->lock);
        viewer.context->language = 1;
    }
    const std::string dir = MakeScratchDir("go_to_page");
    MakeTiff(dir + "/three.tif", 3);
    viewer.Open({dir + "/three.tif"});
    ViewerSetActiveItem(viewer.context.get(), viewer.Page(0, 0).get());

    std::wstring title, label, shown, count;
    bool open_after_too_far = false;
    int round = 0;
    DialogDriver driver([&](DialogDriver&, HWND dialog) {
        if (round++ == 0) {
            wchar_t text[64] = {};
            GetWindowTextW(dialog, text, 64);
            title = text;
            GetDlgItemTextW(dialog, IDC_GO_TO_PAGE_LABEL, text, 64);
            label = text;
            GetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, text, 64);
            shown = text;
            GetDlgItemTextW(dialog, IDC_GO_TO_PAGE_COUNT, text, 64);
            count = text;
            SetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, L"4");
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            return false;
        }
        open_after_too_far = IsWindow(dialog) && IsWindowVisible(dialog);
        SetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, L"3");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    EXPECT_TRUE(ViewerGoToPage(viewer.context.get(), -1));
    EXPECT_EQ(title, L"Go to page");
    EXPECT_EQ(label, L"Go to page");
    EXPECT_EQ(shown, L"1");
    EXPECT_EQ(count, L"3");
    EXPECT_TRUE(open_after_too_far) << "a page past the end keeps the dialog open";
    EXPECT_EQ(viewer.ActiveId(), DocItemGetId(viewer.Page(0, 2).get()));
}

TEST(GoToPage, ZeroEmptyAndCancelChangeNothing) {
    ActionViewer viewer;
    const std::string dir = MakeScratchDir("go_to_page_nothing");
    MakeTiff(dir + "/three.tif", 3);
    viewer.Open({dir + "/three.tif"});
    ViewerSetActiveItem(viewer.context.get(), viewer.Page(0, 1).get());
    const int32_t active = viewer.ActiveId();

    for (const wchar_t* typed : std::initializer_list<const wchar_t*>{L"0", L"", nullptr}) {
        std::wstring shown;
        DialogDriver driver([&](DialogDriver&, HWND dialog) {
            wchar_t text[16] = {};
            GetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, text, 16);
            shown = text;
            if (typed) {
                SetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, typed);
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            } else {
                PostMessageW(dialog, WM_CLOSE, 0, 0);
            }
            return true;
        });
        EXPECT_FALSE(ViewerGoToPage(viewer.context.get(), -1));
        EXPECT_EQ(shown, L"2") << "the current page's number is offered";
        EXPECT_EQ(viewer.ActiveId(), active);
    }

    GoToPageState state;
    state.page_count = 3;
    state.index = 1;
    DialogDriver driver([&](DialogDriver&, HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    EXPECT_FALSE(GoToPageDialog(nullptr, state));
    EXPECT_EQ(state.index, 1);
}
