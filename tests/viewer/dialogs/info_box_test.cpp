#include "viewer/dialogs/info_box.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "viewer/core/app_root.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

namespace {

struct Seen {
    std::wstring title;
    std::wstring text;
    std::wstring ok;
    int font_height = 0;
    int field_height = 0;
};
Seen seen;

BOOL CALLBACK InspectAndClose(HWND window, LPARAM) {
    HWND field = GetDlgItem(window, IDC_INFO_BOX_TEXT);
    if (!field) return TRUE;
    wchar_t text[200] = {};
    GetWindowTextW(window, text, 200);
    seen.title = text;
    GetWindowTextW(field, text, 200);
    seen.text = text;
    GetDlgItemTextW(window, IDOK, text, 200);
    seen.ok = text;
    RECT rect = {};
    GetWindowRect(field, &rect);
    seen.field_height = rect.bottom - rect.top;
    LOGFONTW font = {};
    auto handle = reinterpret_cast<HFONT>(SendMessageW(field, WM_GETFONT, 0, 0));
    if (handle && GetObjectW(handle, sizeof(font), &font)) seen.font_height = font.lfHeight;
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}

void CALLBACK CloseInfoBox(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), InspectAndClose, 0);
}

}  // namespace

TEST(InfoBox, ShowsTheCustomInformationInItsBoldFont) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<Settings> settings = ViewerGetSettings(context.get());
    ASSERT_TRUE(settings);
    settings->custom_app_info_title = L"Drawing archive";
    settings->custom_app_info = L"Site office, room 4";

    const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseInfoBox);
    EXPECT_EQ(ShowInfoBox(context.get(), nullptr), IDCANCEL);
    KillTimer(nullptr, timer);
    EXPECT_EQ(seen.title, L"Drawing archive");
    EXPECT_EQ(seen.text, L"Site office, room 4");
    EXPECT_EQ(seen.ok, L"OK");
    ASSERT_GT(seen.field_height, 0);
    EXPECT_EQ(seen.font_height, InfoBoxFontHeight(seen.field_height));
}
