// The Document-properties sheet, run modally and read page by page while it
// is open.
#include "viewer/dialogs/document_properties.h"

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which they need
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/length_text.h"
#include "viewer/dialogs/property_texts.h"

namespace {

struct SheetSeen {
    std::wstring caption;
    int pages = 0;
    int start_page = -1;
    std::wstring page_pixels;
    std::wstring document_name;
    std::wstring document_size;
    std::vector<std::wstring> tag_lines;
    bool invalid_layers_visible = true;
};

std::wstring ItemText(HWND page, int item_id) {
    wchar_t text[512] = {};
    GetDlgItemTextW(page, item_id, text, 512);
    return text;
}

// Reads each page of the sheet (a page's window exists once it was
// selected) and cancels the sheet.
bool ReadSheet(HWND sheet, SheetSeen& seen) {
    wchar_t text[128] = {};
    GetWindowTextW(sheet, text, 128);
    seen.caption = text;
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    seen.pages = int(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    seen.start_page = int(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    for (int index = 0; index < seen.pages; ++index) {
        SendMessageW(sheet, PSM_SETCURSEL, WPARAM(index), 0);
        HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        if (!page) continue;
        if (GetDlgItem(page, IDC_DOCPROP_NAME)) {
            seen.document_name = ItemText(page, IDC_DOCPROP_NAME);
            seen.document_size = ItemText(page, IDC_DOCPROP_SIZE);
        } else if (GetDlgItem(page, IDC_PAGEPROP_PIXELS)) {
            seen.page_pixels = ItemText(page, IDC_PAGEPROP_PIXELS);
            seen.invalid_layers_visible = IsWindowVisible(GetDlgItem(page, IDC_PAGEPROP_INVALID)) != FALSE;
        } else if (HWND list = GetDlgItem(page, IDC_TIFF_TAGS_LIST)) {
            const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
            for (LRESULT line = 0; line < count; ++line) {
                wchar_t line_text[512] = {};
                SendMessageW(list, LB_GETTEXT, WPARAM(line), reinterpret_cast<LPARAM>(line_text));
                seen.tag_lines.push_back(line_text);
            }
        }
    }
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return true;
}

SheetSeen RunSheet(ActionViewer& viewer, DocItem* document, DocItem* page) {
    SheetSeen seen;
    DialogDriver driver([&](DialogDriver&, HWND sheet) { return ReadSheet(sheet, seen); });
    ShowDocumentProperties(viewer.context.get(), document, page);
    EXPECT_EQ(driver.dialogs, 1);
    return seen;
}

}  // namespace

TEST(DocumentProperties, SheetShowsDocumentPageAndTiffTags) {
    ActionViewer viewer;
    viewer.root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    {
        ScopedLock hold(viewer.context->lock);
        viewer.context->language = 1;
    }
    const std::string dir = MakeScratchDir("document_properties");
    MakeTiff(dir + "/two.tif", 2);
    ASSERT_EQ(RunHostCommand("convert -size 20x10 xc:blue '" + dir + "/plain.gif'"), 0);
    viewer.Open({dir + "/two.tif", dir + "/plain.gif"});
    Ref<DocItem> tiff = viewer.Document(0);
    Ref<DocItem> tiff_page = viewer.Page(0, 1);
    ASSERT_TRUE(tiff && tiff_page);

    SheetSeen seen = RunSheet(viewer, tiff.get(), tiff_page.get());
    EXPECT_EQ(seen.caption, L"Document-properties");
    EXPECT_EQ(seen.pages, 3);
    EXPECT_EQ(seen.start_page, 1) << "a sheet for a page opens on the Page page";
    EXPECT_EQ(seen.document_name, L"two.tif");
    WString size;
    FormatThousands(int64_t(ReadHostFile(dir + "/two.tif").size()), size);
    EXPECT_EQ(seen.document_size, std::wstring(WStrCStr(size)) + L" Byte");
    EXPECT_EQ(seen.page_pixels, L"310 x 200 Pixel");  // the second page of MakeTiff
    EXPECT_FALSE(seen.invalid_layers_visible);
    ASSERT_FALSE(seen.tag_lines.empty());
    EXPECT_EQ(seen.tag_lines[0], L"0x00FE\tNewSubfileType\t2");
    bool width_seen = false;
    for (const std::wstring& line : seen.tag_lines) width_seen |= line == L"0x0100\tImageWidth\t310";
    EXPECT_TRUE(width_seen);

    // A GIF page has no TIFF Tags page; without a page only the Document page.
    Ref<DocItem> gif = viewer.Document(1);
    seen = RunSheet(viewer, gif.get(), viewer.Page(1, 0).get());
    EXPECT_EQ(seen.pages, 2);
    EXPECT_EQ(seen.page_pixels, L"20 x 10 Pixel");
    EXPECT_TRUE(seen.tag_lines.empty());
    seen = RunSheet(viewer, tiff.get(), nullptr);
    EXPECT_EQ(seen.pages, 1);
    EXPECT_EQ(seen.start_page, 0);
    EXPECT_EQ(seen.document_name, L"two.tif");

    EXPECT_EQ(ShowDocumentProperties(viewer.context.get(), nullptr, nullptr), 2);
    EXPECT_EQ(ShowDocumentProperties(nullptr, tiff.get(), nullptr), 2);
}
