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

TEST(ScaleDialog, AcceptsTwoPlainNumbersWithinTheBounds) {
    const struct {
        const wchar_t *first, *second;
        bool unknown, valid;
        double ratio;  // 0: no scale
    } cases[] = {
        {L"1", L"50", false, true, 0.02},   {L" 1,5 ", L"3", false, true, 0.5}, {L"x", L"y", true, true, 0},
        {L"", L"50", false, false, 0},      {L"1", L"  ", false, false, 0},     {L"-1", L"50", false, false, 0},
        {L"+1", L"50", false, false, 0},    {L"1:2", L"50", false, false, 0},   {L"1", L"0", false, false, 0},
        {L"1", L"9999999", false, true, 1.0 / 9999999},
        {L"1", L"10000001", false, false, 0}, {L"9999999", L"0.5", false, false, 0},
    };
    for (const auto& c : cases) {
        ScaleFields fields;
        fields.first = c.first;
        fields.second = c.second;
        fields.unknown = c.unknown;
        Ref<Scale> scale;
        EXPECT_EQ(ScaleDialogReadInput(fields, scale), c.valid) << c.first << " : " << c.second;
        EXPECT_DOUBLE_EQ(ScaleGetRatio(scale.get()), c.ratio) << c.first << " : " << c.second;
    }
}

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
