// The scale dialog: what it starts with, which input it accepts, and the
// dialog itself run by a timer that types into it.
#include "viewer/dialogs/scale_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "resources/resource_ids.h"
#include "viewer/core/app_root.h"
#include "viewer/core/scale.h"
#include "viewer/core/viewer_context.h"

namespace {

std::wstring Str(const WString& text) { return WStrLength(text) ? WStrCStr(text) : L""; }

ScaleFields Fields(const wchar_t* first, const wchar_t* second, bool unknown = false) {
    ScaleFields fields;
    fields.first = first;
    fields.second = second;
    fields.unknown = unknown;
    return fields;
}

// What the timer does once the dialog is up; `seen_ok_enabled` records
// whether OK was enabled before it acts.
std::function<void(HWND)> act;
bool dialog_seen = false;

BOOL CALLBACK ActOnDialog(HWND window, LPARAM) {
    if (!GetDlgItem(window, IDC_SCALE_FIRST)) return TRUE;
    dialog_seen = true;
    act(window);
    return FALSE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EnumThreadWindows(GetCurrentThreadId(), ActOnDialog, 0);
}

INT_PTR RunDialog(ViewerContext* context, const Scale* current, Ref<Scale>& chosen,
                  std::function<void(HWND)> steps) {
    act = std::move(steps);
    dialog_seen = false;
    SetTimer(nullptr, 0, 50, Tick);
    return ShowScaleDialog(context, nullptr, current, chosen);
}

}  // namespace

TEST(ScaleDialogFields, StartWithTheScaleOrUnknown) {
    struct Case {
        Ref<Scale> scale;
        const wchar_t* first;
        const wchar_t* second;
        bool unknown;
    };
    const Case cases[] = {
        {ScaleCreate(1, 50), L"1", L"50", false},
        {ScaleCreate(3, 2), L"3", L"2", false},
        {ScaleCreateDecimal(2.5), L"2.5", L"1", false},
        {ScaleCreateDecimal(0.04), L"1", L"25.0", false},
        {nullptr, L"1", L"1", true},
    };
    for (const Case& c : cases) {
        ScaleFields fields;
        ScaleDialogInitialFields(c.scale.get(), fields);
        EXPECT_EQ(Str(fields.first), c.first);
        EXPECT_EQ(Str(fields.second), c.second);
        EXPECT_EQ(fields.unknown, c.unknown);
    }
}

TEST(ScaleDialogInput, AcceptsTwoPlainNumbersWithinTheBounds) {
    struct Case {
        ScaleFields input;
        bool valid;
        double ratio;  // 0: no scale
    };
    const Case cases[] = {
        {Fields(L"1", L"50"), true, 0.02},      {Fields(L" 1,5 ", L"3"), true, 0.5},
        {Fields(L"2.5", L"1"), true, 2.5},      {Fields(L"x", L"y", true), true, 0},
        {Fields(L"", L"50"), false, 0},         {Fields(L"1", L"  "), false, 0},
        {Fields(L"-1", L"50"), false, 0},       {Fields(L"+1", L"50"), false, 0},
        {Fields(L"1:2", L"50"), false, 0},      {Fields(L"1", L"0"), false, 0},
        {Fields(L"abc", L"2"), false, 0},       {Fields(L"1", L"9999999"), true, 1.0 / 9999999},
        {Fields(L"1", L"10000001"), false, 0},  // at most 1 : 10000000 - and not even that
        {Fields(L"9999999", L"0.5"), false, 0},
    };
    for (const Case& c : cases) {
        Ref<Scale> scale;
        EXPECT_EQ(ScaleDialogReadInput(c.input, scale), c.valid)
            << Str(c.input.first) << " : " << Str(c.input.second);
        EXPECT_DOUBLE_EQ(ScaleGetRatio(scale.get()), c.ratio) << Str(c.input.first);
    }
}

TEST(ScaleDialog, TypedScaleComesBackOnOkAndCancelChangesNothing) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<Scale> current = ScaleCreate(1, 50);

    bool first_enabled = false, ok_enabled_when_empty = true;
    std::wstring shown_first, shown_second;
    Ref<Scale> chosen;
    INT_PTR result = RunDialog(context.get(), current.get(), chosen, [&](HWND dialog) {
        wchar_t text[32] = {};
        GetDlgItemTextW(dialog, IDC_SCALE_FIRST, text, 32);
        shown_first = text;
        GetDlgItemTextW(dialog, IDC_SCALE_SECOND, text, 32);
        shown_second = text;
        first_enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_SCALE_FIRST));
        SetDlgItemTextW(dialog, IDC_SCALE_SECOND, L"");
        ok_enabled_when_empty = IsWindowEnabled(GetDlgItem(dialog, IDOK));
        SetDlgItemTextW(dialog, IDC_SCALE_FIRST, L"1,5");
        SetDlgItemTextW(dialog, IDC_SCALE_SECOND, L"100");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(dialog_seen);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(shown_first, L"1");
    EXPECT_EQ(shown_second, L"50");
    EXPECT_TRUE(first_enabled);
    EXPECT_FALSE(ok_enabled_when_empty);
    ASSERT_TRUE(chosen);
    EXPECT_DOUBLE_EQ(ScaleGetRatio(chosen.get()), 0.015);

    // "Unknown": the fields are disabled and OK gives no scale.
    chosen = current;
    result = RunDialog(context.get(), current.get(), chosen, [&](HWND dialog) {
        SendDlgItemMessageW(dialog, IDC_SCALE_UNKNOWN, BM_CLICK, 0, 0);
        first_enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_SCALE_FIRST));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(first_enabled);
    EXPECT_FALSE(chosen);

    chosen = current;
    result = RunDialog(context.get(), nullptr, chosen,
                       [&](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(chosen.get(), current.get());
}
