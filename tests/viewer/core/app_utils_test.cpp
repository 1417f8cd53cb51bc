#include "viewer/core/app_utils.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/file_handle.h"
#include "tests/support/test_support.h"
#include "viewer/core/app_root.h"
#include "viewer/core/open_params.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/comparison_item.h"
#include "viewer/documents/doc_item.h"

namespace {

std::wstring seen_text;

BOOL CALLBACK CloseMessageBox(HWND window, LPARAM) {
    wchar_t text[600] = {};
    // A message box shows its text in the static control 0xFFFF.
    if (GetDlgItemTextW(window, 0xFFFF, text, 600) > 0) {
        seen_text = text;
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CloseMessageBox, 0);
}

}  // namespace

TEST(AppUtils, DisplayNameNamesTheDdeService) {
    WString name;
    const std::wstring own = L"PLX-VAX" + std::to_wstring(GetCurrentProcessId());
    EXPECT_EQ(std::wstring(WStrCStr(GetAppDisplayName(nullptr, name))), own);
    Ref<Settings> settings = SettingsCreate();
    struct Case {
        int32_t mode;
        std::wstring name;
    };
    const Case cases[] = {{0, L""}, {1, own}, {2, L"PLX-VAX"}, {3, L"Plovex"}, {4, L""}, {-1, L""}};
    for (const Case& c : cases) {
        settings->file_open_mode = c.mode;
        EXPECT_EQ(std::wstring(WStrCStr(GetAppDisplayName(settings.get(), name))), c.name) << c.mode;
    }
}

TEST(AppUtils, BuildDateAsSixDigits) {
    WString digits;
    EXPECT_TRUE(BuildDateDigits("Mar  5 2024", digits));
    EXPECT_STREQ(WStrCStr(digits), L"240305");
    EXPECT_TRUE(BuildDateDigits("Dec 31 1999", digits));
    EXPECT_STREQ(WStrCStr(digits), L"991231");
    EXPECT_FALSE(BuildDateDigits("Foo 31 1999", digits));
    EXPECT_EQ(WStrLength(digits), 0u);
    EXPECT_FALSE(BuildDateDigits("Dec 31", digits));
    EXPECT_FALSE(BuildDateDigits(nullptr, digits));
    EXPECT_TRUE(GetBuildDate(digits));
    EXPECT_EQ(WStrLength(digits), 6u);
}

TEST(AppUtils, BringWindowToFrontNeedsAWindow) {
    EXPECT_FALSE(BringWindowToFront(nullptr));
    EXPECT_FALSE(BringWindowToFront(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFF0))));
}

TEST(AppUtils, SaveTargetThatIsOpenIsRefusedWithoutAsking) {
    const std::wstring directory = WindowsPathOf(MakeScratchDir("save_target"));
    const std::wstring free_path = directory + L"\\new.tif";
    const std::wstring open_path = directory + L"\\Open.tif";
    ASSERT_TRUE(FileHandle(CreateFileW(open_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr))
                    .valid());
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    EXPECT_TRUE(CheckSaveTargetNotOpen(context.get(), nullptr, free_path.c_str()));

    // The refusal shows a message box: answer it from a timer of this thread.
    Ref<DocItem> item = ComparisonCreate(context.get(), ViewerGetRootItem(context.get()).get());
    WString name(open_path.c_str());
    WStrReplaceChar(name, L'\\', L'/');
    DocItemSetName(item.get(), nullptr, name);
    seen_text.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, AnswerMessageBox);
    EXPECT_FALSE(CheckSaveTargetNotOpen(context.get(), nullptr, open_path.c_str()));
    KillTimer(nullptr, timer);
    const std::wstring expected_start = L"The file " + open_path;
    const std::wstring german_start = L"Die Datei " + open_path;
    EXPECT_TRUE(seen_text.rfind(expected_start, 0) == 0 || seen_text.rfind(german_start, 0) == 0)
        << seen_text;
}

TEST(AppUtils, OpenParamsForOpenCompletesFromTheDefaults) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<OpenParams> defaults = SettingsGetOpenParams(ViewerGetSettings(context.get()).get());
    OpenParamsSetRotation(defaults.get(), 90);
    OpenParamsSetInverted(defaults.get(), true);

    Ref<OpenParams> given = OpenParamsCreate();
    OpenParamsSetRotation(given.get(), 180);
    Ref<OpenParams> merged = OpenParamsForOpen(context.get(), given.get());
    ASSERT_TRUE(merged);
    EXPECT_NE(merged.get(), given.get());
    EXPECT_EQ(OpenParamsGetRotation(merged.get()), 180u);
    EXPECT_TRUE(OpenParamsGetInverted(merged.get()));
    EXPECT_FALSE(OpenParamsGetInverted(given.get()));

    Ref<OpenParams> plain = OpenParamsForOpen(context.get(), nullptr);
    ASSERT_TRUE(plain);
    EXPECT_NE(plain.get(), defaults.get());
    EXPECT_EQ(OpenParamsGetRotation(plain.get()), 90u);
    EXPECT_TRUE(OpenParamsForOpen(nullptr, nullptr));
}
