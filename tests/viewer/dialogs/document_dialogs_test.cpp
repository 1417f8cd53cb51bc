// The dialogs about a document, driven as a user would: the convert and
// bitmap-export dialogs (their proposals, a failure shown, then what OK
// converts; a BMP file that cannot be written, then the copy to the
// clipboard), and the Document-properties sheet read page by page, its TIFF
// Tags lines judged against `tiffdump` of a file that ImageMagick and
// `tiffset` made, two entries renumbered to the viewer's markup tag and to a
// tag nobody names.
#include <cstdlib>

#include "imaging/formats/tiff/tiff_page.h"
#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/core/length_text.h"
#include "viewer/dialogs/bitmap_export_dialog.h"
#include "viewer/dialogs/convert_dialog.h"
#include "viewer/dialogs/document_properties.h"
#include "viewer/dialogs/property_texts.h"
#include "viewer/export/bitmap_export_request.h"
#include "viewer/model/view_mapping.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

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
    ASSERT_TRUE(MakeFilesIn(dir,
                            "mkdir -p v.2 && convert -density 72 -units PixelsPerInch -size 40x100 xc:white"
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
            seen = {WindowText(dialog),
                    ItemText(dialog, IDC_CONVERT_NAME),
                    ItemText(dialog, IDC_CONVERT_PAGES),
                    ItemText(dialog, IDC_CONVERT_TARGET),
                    ItemText(dialog, IDC_CONVERT_DESCRIPTION),
                    Entries(dialog, IDC_CONVERT_FILE_FORMAT),
                    Entries(dialog, IDC_CONVERT_COMPRESSION),
                    Entries(dialog, IDC_CONVERT_LAYOUT),
                    Entries(dialog, IDC_CONVERT_ROTATION),
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
        seen.insert(seen.end(),
                    {Entries(dialog, IDC_CONVERT_COMPRESSION), State(dialog, IDC_CONVERT_LAYOUT, L"layout")});
        Post(dialog, IDOK);
        return true;
    });
    EXPECT_TRUE(ConvertDialogShow(viewer.context.get(), document->source.get(), nullptr));
    EXPECT_EQ(seen, (std::vector<std::wstring>{
                        L"Convert", L"plan.tif", L"2", WindowsPathOf(dir + "/plan.pdf"), L"Ground floor",
                        L"TIFF (Tagged Image File Format)|*PDF (Portable Document Format)|",
                        L"*Optimum for each page|CCITT.T6 (Black/white)|",
                        L"Single strip|*Striped|Tiled (512x512)|Tiled multilayer|",
                        L"*No rotation|90 deg left|180 deg|90 deg right|", L"layout off", L"rotation off",
                        L"OK off", L"An error occured during the conversion", L"*CCITT.T6 (Black/white)|",
                        L"layout on"}));
    EXPECT_TRUE(locked.Empty());
    const auto dirs = DumpTiff(dir + "/v.2/chosen.tif", dir);
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[0].at(259).values, "4");   // Group 4
    EXPECT_EQ(dirs[0].at(278).values, "64");  // striped
    EXPECT_EQ(dirs[0].at(270).values, "Ground floor\\0");
}

TEST(BitmapExportDialog, ProposesSizesReportsAFailedFileAndCopiesToTheClipboard) {
    const std::string dir = MakeScratchDir("bitmap_dialog");
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -density 72 -units PixelsPerInch -size 60x40 xc:black -channel R"
                            " -fx i/w +channel -depth 8 -type TrueColor -compress none colour.tif"));
    LockedFolder locked(dir + "/locked");
    ASSERT_TRUE(locked.locked());
    ActionViewer viewer;
    // The clipboard belongs to the frame: without one the copy is refused.
    ASSERT_TRUE(viewer.OpenFrame());
    UseEnglish(viewer.context.get());
    viewer.Open({dir + "/colour.tif"});
    Ref<DocItem> page = viewer.Page(0, 0);
    ASSERT_TRUE(page);
    // The width it starts with: the main view's, or the cut-out at the
    // screen's true size.
    Ref<MainViewWindow> view = FrameGetMainView(ViewerGetFrame(viewer.context.get()).get());
    Ref<ViewMapping> mapping = view ? MainViewGetMapping(view.get()) : nullptr;
    BitmapExportRequest request;
    ASSERT_TRUE(BitmapExportRequestInit(request, viewer.context.get(), page.get(), mapping.get()));

    std::vector<std::wstring> seen;
    bool file_dialog_seen = false;
    ModalScript script([&](HWND window) {
        if (IsFileDialog(window)) {
            file_dialog_seen = true;
            ChooseFileName(window, WindowsPathOf(dir + "/locked/copy"));
            return true;
        }
        if (!GetDlgItem(window, IDC_BITMAP_EXPORT_WIDTH)) {  // the failure's message box
            seen.push_back(BoxText(window));
            Post(window, IDOK);
            // Now the copy that works.
            Post(GetWindow(window, GW_OWNER), IDC_BITMAP_EXPORT_CLIPBOARD);
            return true;
        }
        seen = {WindowText(window), ItemText(window, IDCANCEL), ItemText(window, IDC_BITMAP_EXPORT_WIDTH)};
        for (int control : {IDC_BITMAP_EXPORT_CUTOUT, IDC_BITMAP_EXPORT_DEPTH24})
            seen.push_back(Checked(window, control) ? L"checked" : L"clear");
        seen.push_back(Enabled(window, IDC_BITMAP_EXPORT_MARKUPS) ? L"markups" : L"no markups");
        Click(window, IDC_BITMAP_EXPORT_ENTIRE);
        SetDlgItemTextW(window, IDC_BITMAP_EXPORT_WIDTH, L"90");
        seen.push_back(ItemText(window, IDC_BITMAP_EXPORT_HEIGHT));
        Click(window, IDC_BITMAP_EXPORT_ORIGINAL);
        Click(window, IDC_BITMAP_EXPORT_DEPTH8);
        seen.push_back(ItemText(window, IDC_BITMAP_EXPORT_WIDTH) + L"x" +
                       ItemText(window, IDC_BITMAP_EXPORT_HEIGHT));
        seen.push_back(ItemText(window, IDC_BITMAP_EXPORT_SIZE_LINE));
        Post(window, IDC_BITMAP_EXPORT_FILE);
        return true;
    });
    ASSERT_TRUE(ShowBitmapExport(nullptr, viewer.context.get(), page.get()));
    EXPECT_TRUE(file_dialog_seen);
    EXPECT_EQ(seen,
              (std::vector<std::wstring>{L"Screen Copy", L"Close", std::to_wstring(request.view_pixel_width),
                                         L"checked", L"checked", L"no markups", L"60", L"60x40",
                                         L"Image size: 2 KB", L"Error while writing int the file."}));
    EXPECT_TRUE(locked.Empty());
    BITMAPINFOHEADER header = {};
    ASSERT_TRUE(OpenClipboard(nullptr));
    if (HANDLE data = GetClipboardData(CF_DIB)) {
        GlobalLockScope hold(data);
        if (hold.data()) header = *static_cast<const BITMAPINFOHEADER*>(hold.data());
    }
    CloseClipboard();
    // Only the header: another test program may put its own bitmap there too.
    EXPECT_EQ(header.biWidth, 60);
    EXPECT_EQ(header.biHeight, 40);
    EXPECT_EQ(header.biBitCount, 8);
    EXPECT_FALSE(ShowBitmapExport(nullptr, viewer.context.get(), viewer.RootItem().get())) << "no page";
}

namespace {

// Caption, page count and start page, then each page's texts: the
// document's name and size, the page's pixels and whether the invalid
// layers show, the first TIFF tag line and whether ImageWidth is listed.
std::vector<std::wstring> ReadSheet(ViewerContext* context, DocItem* document, DocItem* page) {
    std::vector<std::wstring> seen;
    ModalScript script([&](HWND sheet) {
        HWND tabs = PropSheet_GetTabControl(sheet);
        if (!tabs) return false;
        const int pages = TabCtrl_GetItemCount(tabs);
        seen = {WindowText(sheet), std::to_wstring(pages), std::to_wstring(TabCtrl_GetCurSel(tabs))};
        for (int index = 0; index < pages; ++index) {
            PropSheet_SetCurSel(sheet, nullptr, index);
            HWND shown = PropSheet_GetCurrentPageHwnd(sheet);
            if (GetDlgItem(shown, IDC_DOCPROP_NAME)) {
                seen.push_back(ItemText(shown, IDC_DOCPROP_NAME) + L"|" + ItemText(shown, IDC_DOCPROP_SIZE));
            } else if (GetDlgItem(shown, IDC_PAGEPROP_PIXELS)) {
                seen.push_back(
                    ItemText(shown, IDC_PAGEPROP_PIXELS) +
                    (IsWindowVisible(GetDlgItem(shown, IDC_PAGEPROP_INVALID)) ? L"|invalid" : L""));
            } else if (HWND list = GetDlgItem(shown, IDC_TIFF_TAGS_LIST)) {
                wchar_t line[512] = {};
                SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
                const LRESULT width = SendMessageW(list, LB_FINDSTRINGEXACT, WPARAM(-1),
                                                   reinterpret_cast<LPARAM>(L"0x0100\tImageWidth\t310"));
                seen.push_back(std::wstring(line) + (width >= 0 ? L"|width" : L""));
            }
        }
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        return true;
    });
    ShowDocumentProperties(context, document, page);
    EXPECT_EQ(script.answered, 1);
    return seen;
}

}  // namespace

TEST(DocumentProperties, SheetShowsDocumentPageAndTiffTags) {
    ActionViewer viewer;
    UseEnglish(viewer.context.get());
    const std::string dir = MakeScratchDir("document_properties");
    MakeTiff(dir + "/two.tif", 2);
    ASSERT_TRUE(MakeFilesIn(dir, "convert -size 20x10 xc:blue plain.gif"));
    viewer.Open({dir + "/two.tif", dir + "/plain.gif"});
    Ref<DocItem> tiff = viewer.Document(0);
    ASSERT_TRUE(tiff && viewer.Page(0, 1));
    WString size;
    FormatThousands(int64_t(ReadHostFile(dir + "/two.tif").size()), size);
    const std::wstring document = L"two.tif|" + std::wstring(WStrCStr(size)) + L" Byte";

    // A page's sheet opens on the Page page; the second page of MakeTiff.
    EXPECT_EQ(ReadSheet(viewer.context.get(), tiff.get(), viewer.Page(0, 1).get()),
              (std::vector<std::wstring>{L"Document-properties", L"3", L"1", document, L"310 x 200 Pixel",
                                         L"0x00FE\tNewSubfileType\t2|width"}));
    // A GIF page has no TIFF Tags page; without a page only the Document page.
    const std::vector<std::wstring> gif =
        ReadSheet(viewer.context.get(), viewer.Document(1).get(), viewer.Page(1, 0).get());
    ASSERT_EQ(gif.size(), 5u);
    EXPECT_EQ(gif[1], L"2");
    EXPECT_EQ(gif[4], L"20 x 10 Pixel");
    EXPECT_EQ(ReadSheet(viewer.context.get(), tiff.get(), nullptr),
              (std::vector<std::wstring>{L"Document-properties", L"1", L"0", document}));
    EXPECT_EQ(ShowDocumentProperties(viewer.context.get(), nullptr, nullptr), 2);
    EXPECT_EQ(ShowDocumentProperties(nullptr, tiff.get(), nullptr), 2);
}

namespace {

// Renumbers an entry of the first directory of a little-endian TIFF.
void Renumber(std::vector<uint8_t>& bytes, uint16_t from, uint16_t to) {
    const uint32_t ifd = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | uint32_t(bytes[7]) << 24;
    for (uint32_t i = 0, n = bytes[ifd] | bytes[ifd + 1] << 8; i < n; ++i) {
        uint8_t* entry = &bytes[ifd + 2 + 12 * i];
        if ((entry[0] | entry[1] << 8) == from) entry[0] = uint8_t(to), entry[1] = uint8_t(to >> 8);
    }
}

// An 8-bit RGB drawing with a description, software, a page number (two
// SHORTs, renumbered to 300) and a copyright (renumbered to 40000).
std::string MakeTaggedTiff(const std::string& dir) {
    EXPECT_TRUE(MakeFilesIn(dir,
                            "convert -size 40x30 xc:red -type TrueColor -depth 8 -density 200 -units"
                            " PixelsPerInch -set comment 'a drawing' -compress lzw tagged.tif && tiffset"
                            " -s 305 'Plovex test' tagged.tif && tiffset -s 297 3 7 tagged.tif && tiffset"
                            " -s 33432 '(c) nobody' tagged.tif"));
    std::vector<uint8_t> bytes = ReadHostFile(dir + "/tagged.tif");
    EXPECT_TRUE(bytes.size() > 8 && bytes[0] == 'I');
    Renumber(bytes, 297, 300);
    Renumber(bytes, 33432, 40000);
    EXPECT_TRUE(WriteHostFile(dir + "/tagged.tif", bytes));
    return dir + "/tagged.tif";
}

std::string Line(const TiffDirEntry* entry) {
    WString line;
    return Narrow(FormatTiffTagLine(entry, line));
}

}  // namespace

TEST(TiffTagLines, MatchTiffdumpOfTheSameFile) {
    const std::string dir = MakeScratchDir("property_texts_tags");
    const std::string path = MakeTaggedTiff(dir);
    const auto dirs = DumpTiff(path, dir);
    ASSERT_EQ(dirs.size(), 1u);
    const std::map<uint32_t, Dumped>& dumped = dirs[0];
    const OpenedImage image = OpenImage(path);
    ASSERT_TRUE(image.format);
    Ref<ImagePage> page = image.format->GetPage(0);
    auto* tiff_page = dynamic_cast<TiffPage*>(page.get());
    ASSERT_TRUE(tiff_page);
    const TiffDir* entries = TiffPageImage(tiff_page, 0);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->entries.count, dumped.size());
    ASSERT_GE(dumped.size(), 15u);
    std::map<uint32_t, std::string> lines;
    for (uint32_t i = 0; i < entries->entries.count; ++i) {
        const auto* entry = static_cast<const TiffDirEntry*>(entries->entries.items[i]);
        const std::string line = lines[entry->tag] = Line(entry);
        SCOPED_TRACE(line);
        ASSERT_EQ(dumped.count(entry->tag), 1u);
        const Dumped& want = dumped.at(entry->tag);
        char number[16];
        snprintf(number, sizeof(number), "0x%04X\t", entry->tag);
        ASSERT_EQ(line.rfind(number, 0), 0u);
        const std::string value = line.substr(line.find('\t', 7) + 1);
        if (want.type == 2) {  // ASCII, tiffdump shows the terminator
            EXPECT_EQ(value + "\\0", want.values);
        } else if (want.count != 1) {
            EXPECT_EQ(value, std::to_string(want.count) + " Values");
        } else if (want.type == 5 || want.type >= 10) {  // rationals and floats
            EXPECT_NEAR(std::strtod(value.c_str(), nullptr), std::strtod(want.values.c_str(), nullptr), 1e-3);
        } else {
            EXPECT_EQ(value, want.values);
        }
    }
    // The table's own spelling, the markup tag, and no name for 300.
    EXPECT_EQ(lines[258], "0x0102\tBitsPerSample\t3 Values");
    EXPECT_EQ(lines[262], "0x0106\tPhotometricInterpretation\t2");
    EXPECT_EQ(lines[270], "0x010E\tImageDescription\ta drawing");
    EXPECT_EQ(lines[282], "0x011A\tXResolution\t200.0");
    EXPECT_EQ(lines[300], "0x012C\t\t2 Values");
    EXPECT_EQ(lines[40000], "0x9C40\tPlovex Redlining\t(c) nobody");
}

TEST(DocumentDialogs, EveryTextFitsItsControlInBothLanguages) {
    const std::string dir = MakeScratchDir("document_dialogs_fit");
    MakeTiff(dir + "/two.tif", 2);
    for (const bool english : {false, true}) {
        SCOPED_TRACE(english ? "English" : "German");
        ActionViewer viewer;
        ASSERT_TRUE(viewer.OpenFrame());
        if (english) UseEnglish(viewer.context.get());
        viewer.Open({dir + "/two.tif"});
        Ref<DocItem> document = viewer.Document(0), page = viewer.Page(0, 0);
        ASSERT_TRUE(document && page);
        std::vector<std::wstring> clipped;
        int shown = 0;
        auto collect = [&](const std::wstring& where, HWND dialog) {
            shown += dialog != nullptr;
            for (const std::wstring& text : ClippedTexts(dialog))
                clipped.push_back(where + L", item " + text);
        };
        {
            ModalScript script([&](HWND dialog) {
                collect(L"convert", dialog);
                return Post(dialog, IDCANCEL), true;
            });
            ConvertDialogShow(viewer.context.get(), document->GetSource().get(), nullptr);
        }
        {
            ModalScript script([&](HWND dialog) {
                collect(L"screen copy", dialog);
                return Post(dialog, IDCANCEL), true;
            });
            ShowBitmapExport(nullptr, viewer.context.get(), page.get());
        }
        {
            ModalScript script([&](HWND sheet) {
                HWND tabs = PropSheet_GetTabControl(sheet);
                if (!tabs) return false;
                for (int index = 0; index < TabCtrl_GetItemCount(tabs); ++index) {
                    PropSheet_SetCurSel(sheet, nullptr, index);
                    collect(L"properties page " + std::to_wstring(index),
                            PropSheet_GetCurrentPageHwnd(sheet));
                }
                PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
                return true;
            });
            ShowDocumentProperties(viewer.context.get(), document.get(), page.get());
        }
        // Convert, screen copy, and the sheet's Document, Page and TIFF Tags.
        EXPECT_EQ(shown, 5);
        EXPECT_EQ(clipped, std::vector<std::wstring>());
    }
}
