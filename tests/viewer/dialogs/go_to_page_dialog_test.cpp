// The go-to-page dialog: what a typed number becomes, and the dialog run
// through the viewer's go-to-page road on a three-page document.
#include "viewer/dialogs/go_to_page_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/export/export_test_support.h"

TEST(GoToPage, DialogActivatesPageNMinusOneAndNothingElse) {
    ActionViewer viewer;
    UseEnglish(viewer.context.get());
    const std::string dir = MakeScratchDir("go_to_page");
    MakeTiff(dir + "/three.tif", 3);
    viewer.Open({dir + "/three.tif"});
    ViewerSetActiveItem(viewer.context.get(), viewer.Page(0, 1).get());
    const int32_t second = viewer.ActiveId();

    // 0, empty and Cancel change nothing; the current page is offered.
    for (const wchar_t* typed : {L"0", L"", static_cast<const wchar_t*>(nullptr)}) {
        std::wstring offered;
        ModalScript script([&](HWND dialog) {
            offered = ItemText(dialog, IDC_GO_TO_PAGE_NUMBER);
            if (typed) SetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, typed);
            Post(dialog, typed ? IDOK : IDCANCEL);
            return true;
        });
        EXPECT_FALSE(ViewerGoToPage(viewer.context.get(), -1));
        EXPECT_EQ(offered, L"2");
        EXPECT_EQ(viewer.ActiveId(), second);
    }

    // The page count + 1 keeps the dialog open; 3 then activates page 2.
    std::vector<std::wstring> seen;
    ModalScript script([&](HWND dialog) {
        if (seen.empty()) {
            seen = {WindowText(dialog), ItemText(dialog, IDC_GO_TO_PAGE_LABEL), ItemText(dialog, IDC_GO_TO_PAGE_COUNT)};
            SetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, L"4");
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            seen.push_back(IsWindowVisible(dialog) ? L"open" : L"closed");
            SetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, L"3");
            Post(dialog, IDOK);
        }
        return true;
    });
    EXPECT_TRUE(ViewerGoToPage(viewer.context.get(), -1));
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Go to page", L"Go to page", L"3", L"open"}));
    EXPECT_EQ(viewer.ActiveId(), DocItemGetId(viewer.Page(0, 2).get()));
}
