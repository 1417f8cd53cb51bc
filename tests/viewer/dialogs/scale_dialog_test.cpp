// The scale dialog: which input it accepts, and the dialog typed into.
#include "viewer/dialogs/scale_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/scale.h"

TEST(ScaleDialog, TypedScaleComesBackOnOkAndCancelChangesNothing) {
    RunningViewer viewer;
    Ref<Scale> current = ScaleCreateDecimal(0.04), chosen;
    std::vector<std::wstring> seen;
    auto run = [&](const Scale* start, std::function<void(HWND)> steps) {
        ModalScript script([&](HWND dialog) { return steps(dialog), true; });
        return ShowScaleDialog(viewer.context.get(), nullptr, start, chosen);
    };
    EXPECT_EQ(run(current.get(),
                  [&](HWND dialog) {
                      seen = {ItemText(dialog, IDC_SCALE_FIRST), ItemText(dialog, IDC_SCALE_SECOND)};
                      SetDlgItemTextW(dialog, IDC_SCALE_SECOND, L"");
                      seen.push_back(Enabled(dialog, IDOK) ? L"OK" : L"no OK");
                      SetDlgItemTextW(dialog, IDC_SCALE_FIRST, L"1,5");
                      SetDlgItemTextW(dialog, IDC_SCALE_SECOND, L"100");
                      Post(dialog, IDOK);
                  }),
              1);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"1", L"25.0", L"no OK"}));
    ASSERT_TRUE(chosen);
    EXPECT_DOUBLE_EQ(ScaleGetRatio(chosen.get()), 0.015);

    // "Unknown": the fields grey and OK gives no scale.
    bool first_enabled = true;
    EXPECT_EQ(run(current.get(),
                  [&](HWND dialog) {
                      Click(dialog, IDC_SCALE_UNKNOWN);
                      first_enabled = Enabled(dialog, IDC_SCALE_FIRST);
                      Post(dialog, IDOK);
                  }),
              1);
    EXPECT_FALSE(first_enabled);
    EXPECT_FALSE(chosen);
    chosen = current;
    EXPECT_EQ(run(nullptr, [&](HWND dialog) { Post(dialog, IDCANCEL); }), 0);
    EXPECT_EQ(chosen.get(), current.get());
}
