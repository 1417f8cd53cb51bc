// Paging through the page-like items of the tree with the page commands.
#include "viewer/core/page_navigation.h"

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"

TEST(PageSteps, CommandsWalkThePagesOfAllDocuments) {
    const std::string dir = MakeScratchDir("page_steps_walk");
    MakeTiffFiles(dir, {{"a.tif", 2}, {"b.tif", 3}});
    ActionViewer viewer;
    ASSERT_EQ(viewer.Open({dir + "/a.tif", dir + "/b.tif"}), 2);
    auto page = [&](uint32_t document, uint32_t index) {
        return DocItemGetId(viewer.Page(document, index).get());
    };

    const std::pair<uint32_t, int32_t> steps[] = {
        {command::kFirstPage, page(0, 0)},    {command::kNextPage, page(0, 1)},
        {command::kNextPage, page(1, 0)},     {command::kLastPage, page(1, 2)},
        {command::kNextPage, page(1, 2)},  // the last page stays
        {command::kPreviousPage, page(1, 1)}, {command::kPreviousPage, page(1, 0)},
        {command::kPreviousPage, page(0, 1)},
    };
    for (const auto& [id, expected] : steps) {
        EXPECT_TRUE(viewer.Command(id));
        EXPECT_EQ(viewer.ActiveId(), expected) << "after command " << id;
    }
    viewer.Forget();
    EXPECT_TRUE(ViewerGoToPage(viewer.context.get(), 3));
    EXPECT_EQ(viewer.ActiveId(), page(1, 1));
    PumpPending();
    EXPECT_EQ(viewer.Count(event::kActiveItemChanged), 1u);

    // More steps than pages take the last page reached; a negative absolute
    // page is refused.
    EXPECT_TRUE(ViewerPageStep(viewer.context.get(), -10, false));
    EXPECT_EQ(viewer.ActiveId(), page(0, 0));
    EXPECT_FALSE(ViewerPageStep(viewer.context.get(), -1, true));
    EXPECT_FALSE(ViewerPageStep(viewer.context.get(), -1, false)) << "nothing before the first page";
    EXPECT_EQ(viewer.ActiveId(), page(0, 0));
    EXPECT_TRUE(ViewerPageStep(viewer.context.get(), 2147483647, true));
    EXPECT_EQ(viewer.ActiveId(), page(1, 2));

    // From a document rather than a page, paging goes on from there.
    ASSERT_TRUE(ViewerActivateItem(viewer.context.get(), DocItemGetId(viewer.Document(1).get())));
    EXPECT_TRUE(viewer.Command(command::kNextPage));
    EXPECT_EQ(viewer.ActiveId(), page(1, 0));
}

TEST(PageSteps, AnEmptyTreeActivatesNothing) {
    ActionViewer viewer;
    EXPECT_FALSE(ViewerPageStep(viewer.context.get(), 0, true));
    EXPECT_TRUE(viewer.Command(command::kPreviousPage));
    EXPECT_TRUE(viewer.Command(command::kNextPage));
    EXPECT_EQ(viewer.ActiveId(), -1);
    EXPECT_FALSE(ViewerActivateItem(viewer.context.get(), 42));
}

TEST(PageSteps, DocumentsByIndexOrTheActiveOne) {
    const std::string dir = MakeScratchDir("page_steps_index");
    MakeTiffFiles(dir, {{"a.tif", 2}});
    ActionViewer viewer;
    ASSERT_EQ(viewer.Open({dir + "/a.tif"}), 1);
    ViewerContext* context = viewer.context.get();
    ViewerSetActiveItem(context, nullptr);
    bool is_active = true;
    EXPECT_FALSE(ViewerGetDocumentByIndex(context, -1, is_active));
    EXPECT_FALSE(is_active);
    ASSERT_TRUE(viewer.Command(command::kFirstPage));

    Ref<DocItem> active = ViewerGetDocumentByIndex(context, -1, is_active);
    EXPECT_EQ(active.get(), viewer.Page(0, 0).get());
    EXPECT_TRUE(is_active);
    Ref<DocItem> other = ViewerGetDocumentByIndex(context, DocItemGetId(viewer.Page(0, 1).get()), is_active);
    EXPECT_EQ(other.get(), viewer.Page(0, 1).get());
    EXPECT_FALSE(is_active);
    ViewerGetDocumentByIndex(context, DocItemGetId(viewer.Page(0, 0).get()), is_active);
    EXPECT_TRUE(is_active);
    EXPECT_FALSE(ViewerGetDocumentByIndex(context, 777777, is_active));
}

TEST(PageSteps, GoToPageAsksForThePage) {
    const std::string dir = MakeScratchDir("page_steps_dialog");
    MakeTiffFiles(dir, {{"a.tif", 3}});
    ActionViewer viewer;
    ASSERT_EQ(viewer.Open({dir + "/a.tif"}), 1);
    ASSERT_TRUE(viewer.Command(command::kLastPage));
    const int32_t last = viewer.ActiveId();
    {
        DialogDriver driver([](DialogDriver&, HWND dialog) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return true;
        });
        EXPECT_TRUE(viewer.Command(command::kGoToPage));
        EXPECT_EQ(driver.dialogs, 1);
        EXPECT_EQ(viewer.ActiveId(), last);
    }
    DialogDriver driver([](DialogDriver&, HWND dialog) {
        SetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, L"2");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    EXPECT_TRUE(viewer.Command(command::kGoToPage));
    EXPECT_EQ(viewer.ActiveId(), DocItemGetId(viewer.Page(0, 1).get()));
}
