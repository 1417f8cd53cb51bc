// The Document-properties sheet run modally and read page by page.
#include "viewer/dialogs/document_properties.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/core/length_text.h"

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
                seen.push_back(ItemText(shown, IDC_PAGEPROP_PIXELS) +
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
    const std::vector<std::wstring> gif = ReadSheet(viewer.context.get(), viewer.Document(1).get(),
                                                    viewer.Page(1, 0).get());
    ASSERT_EQ(gif.size(), 5u);
    EXPECT_EQ(gif[1], L"2");
    EXPECT_EQ(gif[4], L"20 x 10 Pixel");
    EXPECT_EQ(ReadSheet(viewer.context.get(), tiff.get(), nullptr),
              (std::vector<std::wstring>{L"Document-properties", L"1", L"0", document}));
    EXPECT_EQ(ShowDocumentProperties(viewer.context.get(), nullptr, nullptr), 2);
    EXPECT_EQ(ShowDocumentProperties(nullptr, tiff.get(), nullptr), 2);
}
