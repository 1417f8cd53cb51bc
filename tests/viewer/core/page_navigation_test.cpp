// Paging through the page-like items of the tree with the page commands.
#include "viewer/core/page_navigation.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"

// The enabled page buttons and one sequence over all documents are also
// checked from outside (frame_panes_test); here the steps at the ends.
TEST(PageSteps, CommandsWalkThePagesOfAllDocuments) {
    const std::string dir = MakeScratchDir("page_steps_walk");
    MakeTiffFiles(dir, {{"a.tif", 2}, {"b.tif", 3}});
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    // An empty tree activates nothing.
    EXPECT_FALSE(ViewerPageStep(context, 0, true));
    EXPECT_TRUE(viewer.Command(command::kNextPage));
    EXPECT_EQ(viewer.ActiveId(), -1);
    EXPECT_FALSE(ViewerActivateItem(context, 42));

    ASSERT_EQ(viewer.Open({dir + "/a.tif", dir + "/b.tif"}), 2);
    auto page = [&](uint32_t document, uint32_t index) {
        return DocItemGetId(viewer.Page(document, index).get());
    };
    const std::pair<uint32_t, int32_t> steps[] = {
        {command::kFirstPage, page(0, 0)},    {command::kNextPage, page(0, 1)},
        {command::kNextPage, page(1, 0)},     {command::kLastPage, page(1, 2)},
        {command::kNextPage, page(1, 2)},  // the last page stays
        {command::kPreviousPage, page(1, 1)},
    };
    for (const auto& [id, expected] : steps) {
        EXPECT_TRUE(viewer.Command(id));
        EXPECT_EQ(viewer.ActiveId(), expected) << "after command " << id;
    }
    // More steps than pages take the last page reached; a negative absolute
    // page is refused.
    EXPECT_TRUE(ViewerPageStep(context, -10, false));
    EXPECT_EQ(viewer.ActiveId(), page(0, 0));
    EXPECT_FALSE(ViewerPageStep(context, -1, true));
    EXPECT_FALSE(ViewerPageStep(context, -1, false)) << "nothing before the first page";
    EXPECT_TRUE(ViewerPageStep(context, 2147483647, true));
    EXPECT_EQ(viewer.ActiveId(), page(1, 2));
    // From a document rather than a page, paging goes on from there.
    ASSERT_TRUE(ViewerActivateItem(context, DocItemGetId(viewer.Document(1).get())));
    EXPECT_TRUE(viewer.Command(command::kNextPage));
    EXPECT_EQ(viewer.ActiveId(), page(1, 0));
}
