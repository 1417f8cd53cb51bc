// The convert dialog: its proposals, what OK converts, and the dialog
// driven as a user would.
#include "viewer/dialogs/convert_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/views/cut_out_state.h"

namespace {

// Two bilevel pages at 72 dpi, the first described.
std::string MakeDocument(const std::string& dir) {
    EXPECT_TRUE(
        MakeFilesIn(dir,
                    "convert -density 72 -units PixelsPerInch -size 40x100 xc:white -size 30x20 xc:white"
                    " -monochrome -compress group4 plan.tif && tiffset -d 0 -s 270 'Ground floor' plan.tif"));
    return dir + "/plan.tif";
}

std::wstring Text(HWND dialog, int control) {
    wchar_t text[600] = {};
    GetDlgItemTextW(dialog, control, text, 600);
    return text;
}

// Every entry of a list, the selected one marked with "*".
std::wstring Entries(HWND dialog, int control) {
    std::wstring entries;
    const LRESULT count = SendDlgItemMessageW(dialog, control, CB_GETCOUNT, 0, 0);
    const LRESULT selected = SendDlgItemMessageW(dialog, control, CB_GETCURSEL, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[200] = {};
        SendDlgItemMessageW(dialog, control, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
        entries += std::wstring(i == selected ? L"*" : L"") + text + L"|";
    }
    return entries;
}

bool Enabled(HWND dialog, int control) { return IsWindowEnabled(GetDlgItem(dialog, control)) != FALSE; }

std::function<bool(HWND)> script;  // offered each visible dialog of the thread

BOOL CALLBACK Offer(HWND window, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return std::wstring(name) == L"#32770" && IsWindowVisible(window) && script(window) ? FALSE : TRUE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), Offer, 0); }

}  // namespace

TEST(ConvertDialog, TargetNamesFollowTheDocumentAndTheFormat) {
    const std::string dir = MakeScratchDir("convert_names");
    RunningViewer viewer;
    Ref<DocumentItem> document = viewer.Open(MakeDocument(dir));
    ASSERT_TRUE(document);
    WString target;
    EXPECT_EQ(WStrCStr(ConvertDefaultTarget(document->source.get(), kConvertPdf, target)),
              WindowsPathOf(dir + "/plan.pdf"));
    EXPECT_EQ(WStrCStr(ConvertReplaceExtension(target, kConvertTiff, target)),
              WindowsPathOf(dir + "/plan.tif"));
    uint32_t format = 99;
    EXPECT_STREQ(WStrCStr(ConvertCompleteChosenName(WString(L"C:\\a.b\\plan"), kConvertTiff, target, format)),
                 L"C:\\a.b\\plan.tif");
    EXPECT_EQ(format, uint32_t(kConvertTiff));
    EXPECT_STREQ(WStrCStr(ConvertCompleteChosenName(WString(L"C:\\plan.PDF"), kConvertTiff, target, format)),
                 L"C:\\plan.PDF");
    EXPECT_EQ(format, uint32_t(kConvertPdf));
}

TEST(ConvertDialog, RunConvertsLayoutsDescriptionAndPagesAsDisplayed) {
    const std::string dir = MakeScratchDir("convert_run");
    RunningViewer viewer;
    Ref<DocumentItem> document = viewer.Open(MakeDocument(dir));
    ASSERT_EQ(DocItemGetChildCount(document.get()), 2u);
    ConvertChoices choices;
    choices.target = WinPath(dir + "/tiled.tif");
    choices.file_format = kConvertTiff;
    choices.layout = 3;
    choices.description = WString(L"  Ground floor, rev. B  ");
    ASSERT_EQ(ConvertRun(viewer.context.get(), document->source.get(), nullptr, choices), kConvertWritten);
    const auto dirs = DumpTiff(dir + "/tiled.tif", dir);
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[0].at(322), "512");  // tiles
    EXPECT_EQ(dirs[0].at(270), "Ground floor, rev. B\\0");

    // As displayed: each page turned as its view says, whatever the list says.
    CutOutSetRotation(ChildAt(document.get(), 1)->GetCutOut().get(), 90);
    choices.target = WinPath(dir + "/shown.pdf");
    choices.file_format = kConvertPdf;
    choices.rotation = 180;
    choices.as_displayed = true;
    ASSERT_EQ(ConvertRun(viewer.context.get(), document->source.get(), nullptr, choices), kConvertWritten);
    const std::string info = HostOutput("pdfinfo -f 1 -l 2 '" + dir + "/shown.pdf'", dir);
    EXPECT_NE(info.find("Page    1 rot:   0\nPage    2 size:  30 x 20 pts\nPage    2 rot:   270"),
              std::string::npos)
        << info;

    choices.target = WString(L"   ");  // blanks convert nothing
    EXPECT_EQ(ConvertRun(viewer.context.get(), document->source.get(), nullptr, choices), kConvertFailed);
}

TEST(ConvertDialog, UserConvertsAfterAFailureWasShown) {
    const std::string dir = MakeScratchDir("convert_dialog");
    RunningViewer viewer;
    UseEnglish(viewer.context.get());
    Ref<DocumentItem> document = viewer.Open(MakeDocument(dir));
    ASSERT_TRUE(document);
    LockedFolder locked(dir + "/locked");
    ASSERT_TRUE(locked.locked());

    std::vector<std::wstring> seen;
    int step = 0;
    script = [&](HWND dialog) {
        if (!GetDlgItem(dialog, IDC_CONVERT_TARGET)) {  // the message box
            seen.push_back(Text(dialog, 0xFFFF));
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return true;
        }
        if (step == 0) {
            wchar_t title[64] = {};
            GetWindowTextW(dialog, title, 64);
            for (const std::wstring& text :
                 {std::wstring(title), Text(dialog, IDC_CONVERT_NAME), Text(dialog, IDC_CONVERT_PAGES),
                  Text(dialog, IDC_CONVERT_TARGET), Text(dialog, IDC_CONVERT_DESCRIPTION),
                  Entries(dialog, IDC_CONVERT_FILE_FORMAT), Entries(dialog, IDC_CONVERT_COMPRESSION),
                  Entries(dialog, IDC_CONVERT_LAYOUT), Entries(dialog, IDC_CONVERT_ROTATION)}) {
                seen.push_back(text);
            }
            seen.push_back(Enabled(dialog, IDC_CONVERT_LAYOUT) ? L"layout on" : L"layout off");
            SendDlgItemMessageW(dialog, IDC_CONVERT_AS_DISPLAYED, BM_CLICK, 0, 0);
            seen.push_back(Enabled(dialog, IDC_CONVERT_ROTATION) ? L"rotation on" : L"rotation off");
            SetDlgItemTextW(dialog, IDC_CONVERT_TARGET, L"");
            seen.push_back(Enabled(dialog, IDOK) ? L"OK on" : L"OK off");
            SetDlgItemTextW(dialog, IDC_CONVERT_TARGET, WindowsPathOf(dir + "/locked/out.pdf").c_str());
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        } else if (step == 1 && seen.size() == 13) {
            SetDlgItemTextW(dialog, IDC_CONVERT_TARGET, WindowsPathOf(dir + "/chosen.pdf").c_str());
            SendDlgItemMessageW(dialog, IDC_CONVERT_FILE_FORMAT, CB_SETCURSEL, 0, 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CONVERT_FILE_FORMAT, CBN_SELCHANGE), 0);
            seen.push_back(Text(dialog, IDC_CONVERT_TARGET));
            seen.push_back(Entries(dialog, IDC_CONVERT_COMPRESSION));
            seen.push_back(Enabled(dialog, IDC_CONVERT_LAYOUT) ? L"layout on" : L"layout off");
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        } else {
            return false;
        }
        ++step;
        return true;
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, Tick);
    const bool written = ConvertDialogShow(viewer.context.get(), document->source.get(), nullptr);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(written);
    EXPECT_EQ(seen, (std::vector<std::wstring>{
                        L"Convert", L"plan.tif", L"2", WindowsPathOf(dir + "/plan.pdf"), L"Ground floor",
                        L"TIFF (Tagged Image File Format)|*PDF (Portable Document Format)|",
                        L"*Optimum for each page|CCITT.T6 (Black/white)|",
                        L"Single strip|*Striped|Tiled (512x512)|Tiled multilayer|",
                        L"*No rotation|90 deg left|180 deg|90 deg right|", L"layout off", L"rotation off",
                        L"OK off", L"An error occured during the conversion",
                        WindowsPathOf(dir + "/chosen.tif"), L"*CCITT.T6 (Black/white)|", L"layout on"}));
    EXPECT_TRUE(locked.Empty());
    const auto dirs = DumpTiff(dir + "/chosen.tif", dir);
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[0].at(278), "64");  // striped
    EXPECT_EQ(dirs[0].at(270), "Ground floor\\0");
}
