// The convert dialog driven as a user would: its proposals, a failure
// shown, then what OK converts.
#include "viewer/dialogs/convert_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/export/export_test_support.h"

namespace {

// Every entry of a list, the selected one marked with "*".
std::wstring Entries(HWND dialog, int control) {
    std::wstring entries;
    const LRESULT selected = SendDlgItemMessageW(dialog, control, CB_GETCURSEL, 0, 0);
    for (LRESULT i = 0; i < SendDlgItemMessageW(dialog, control, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[200] = {};
        SendDlgItemMessageW(dialog, control, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
        entries += std::wstring(i == selected ? L"*" : L"") + text + L"|";
    }
    return entries;
}
std::wstring State(HWND dialog, int control, const wchar_t* name) {
    return name + std::wstring(Enabled(dialog, control) ? L" on" : L" off");
}

}  // namespace

TEST(ConvertDialog, UserConvertsAfterAFailureWasShown) {
    const std::string dir = MakeScratchDir("convert_dialog");
    // Two bilevel pages, the first described; a dot in the folder's name.
    ASSERT_TRUE(MakeFilesIn(dir, "mkdir -p v.2 && convert -density 72 -units PixelsPerInch -size 40x100 xc:white"
                                 " -size 30x20 xc:white -monochrome -compress group4 plan.tif && tiffset -d 0"
                                 " -s 270 'Ground floor' plan.tif"));
    RunningViewer viewer;
    UseEnglish(viewer.context.get());
    Ref<DocumentItem> document = viewer.Open(dir + "/plan.tif");
    ASSERT_TRUE(document);
    LockedFolder locked(dir + "/locked");
    ASSERT_TRUE(locked.locked());

    std::vector<std::wstring> seen;
    bool failure_answered = false;
    ModalScript script([&](HWND dialog) {
        if (!GetDlgItem(dialog, IDC_CONVERT_TARGET)) {  // the message box
            seen.push_back(BoxText(dialog));
            Post(dialog, IDOK);
            return failure_answered = true;
        }
        if (seen.empty()) {
            seen = {WindowText(dialog), ItemText(dialog, IDC_CONVERT_NAME), ItemText(dialog, IDC_CONVERT_PAGES),
                    ItemText(dialog, IDC_CONVERT_TARGET), ItemText(dialog, IDC_CONVERT_DESCRIPTION),
                    Entries(dialog, IDC_CONVERT_FILE_FORMAT), Entries(dialog, IDC_CONVERT_COMPRESSION),
                    Entries(dialog, IDC_CONVERT_LAYOUT), Entries(dialog, IDC_CONVERT_ROTATION),
                    State(dialog, IDC_CONVERT_LAYOUT, L"layout")};
            Click(dialog, IDC_CONVERT_AS_DISPLAYED);
            seen.push_back(State(dialog, IDC_CONVERT_ROTATION, L"rotation"));
            SetDlgItemTextW(dialog, IDC_CONVERT_TARGET, L"");
            seen.push_back(State(dialog, IDOK, L"OK"));
            SetDlgItemTextW(dialog, IDC_CONVERT_TARGET, WindowsPathOf(dir + "/locked/out.pdf").c_str());
            Post(dialog, IDOK);
            return false;
        }
        if (!failure_answered) return false;
        // A name without extension takes the format's after the TIFF choice.
        SetDlgItemTextW(dialog, IDC_CONVERT_TARGET, WindowsPathOf(dir + "/v.2/chosen").c_str());
        SendDlgItemMessageW(dialog, IDC_CONVERT_FILE_FORMAT, CB_SETCURSEL, 0, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CONVERT_FILE_FORMAT, CBN_SELCHANGE), 0);
        seen.insert(seen.end(), {Entries(dialog, IDC_CONVERT_COMPRESSION), State(dialog, IDC_CONVERT_LAYOUT, L"layout")});
        Post(dialog, IDOK);
        return true;
    });
    EXPECT_TRUE(ConvertDialogShow(viewer.context.get(), document->source.get(), nullptr));
    EXPECT_EQ(seen, (std::vector<std::wstring>{
                        L"Convert", L"plan.tif", L"2", WindowsPathOf(dir + "/plan.pdf"), L"Ground floor",
                        L"TIFF (Tagged Image File Format)|*PDF (Portable Document Format)|",
                        L"*Optimum for each page|CCITT.T6 (Black/white)|",
                        L"Single strip|*Striped|Tiled (512x512)|Tiled multilayer|",
                        L"*No rotation|90 deg left|180 deg|90 deg right|", L"layout off", L"rotation off", L"OK off",
                        L"An error occured during the conversion", L"*CCITT.T6 (Black/white)|", L"layout on"}));
    EXPECT_TRUE(locked.Empty());
    const auto dirs = DumpTiff(dir + "/v.2/chosen.tif", dir);
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[0].at(259), "4");   // Group 4
    EXPECT_EQ(dirs[0].at(278), "64");  // striped
    EXPECT_EQ(dirs[0].at(270), "Ground floor\\0");
}
