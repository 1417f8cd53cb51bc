#include "viewer/export/page_list.h"

#include <gtest/gtest.h>

#include "tests/viewer/documents/document_test_support.h"
#include "viewer/views/cut_out_state.h"

namespace {

// include, flip x, flip y, invert, rotation
std::vector<int> Fields(const PageDescriptor& d) {
    return {d.include, d.flip_x, d.flip_y, d.invert, d.rotation};
}

}  // namespace

TEST(BuildPageList, OneDescriptorPerPageOfTheFileFromItsViewState) {
    const std::string dir = MakeScratchDir("page_list");
    ASSERT_TRUE(MakeFilesIn(dir, "convert -size 30x20 xc:white -duplicate 2 -compress Group4 three.tif"));
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocumentItem> document = viewer.Open(dir + "/three.tif");
    ASSERT_EQ(DocItemGetChildCount(document.get()), 3u);
    Ref<CutOutState> first = ChildAt(document.get(), 0)->GetCutOut(),
                     last = ChildAt(document.get(), 2)->GetCutOut();
    CutOutSetRotation(first.get(), 90);
    CutOutSetMirrorHorizontal(first.get(), true);
    CutOutSetMirrorVertical(last.get(), true);
    CutOutSetInvert(last.get(), true);
    CutOutSetRotation(last.get(), 270);

    uint32_t count = 0;
    PageList list = BuildPageList(context, document.get(), &count);
    ASSERT_TRUE(list);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(Fields(list[0]), (std::vector<int>{1, 1, 0, 0, 90}));
    EXPECT_EQ(Fields(list[1]), (std::vector<int>{1, 0, 0, 0, 0}));
    EXPECT_EQ(Fields(list[2]), (std::vector<int>{1, 0, 1, 1, 270}));

    // A page stands for its document; a page missing from the tree shifts
    // none of the descriptors after it.
    ASSERT_TRUE(DocItemRemoveChildAt(document.get(), context, 1));
    list = BuildPageList(context, ChildAt(document.get(), 1).get(), &count);
    ASSERT_TRUE(list);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(Fields(list[2]), (std::vector<int>{1, 0, 1, 1, 270}));

    EXPECT_FALSE(BuildPageList(context, viewer.RootItem().get(), &count));
    EXPECT_EQ(count, 0u);
}
