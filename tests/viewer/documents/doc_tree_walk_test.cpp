// Walks over a tree of two documents with their pages: the order forward
// and backward, stopping, positions among the pages.
#include "viewer/documents/doc_tree_walk.h"

#include <gtest/gtest.h>

#include "tests/viewer/documents/doc_tree_test_support.h"
#include "viewer/documents/doc_item.h"

namespace {

class Collector : public ItemVisitor {
  public:
    explicit Collector(size_t stop_after = 0) : stop_after_(stop_after) {}
    bool Visit(DocItem* item) override {
        seen.push_back(item);
        return stop_after_ == 0 || seen.size() < stop_after_;
    }
    std::vector<DocItem*> seen;

  private:
    size_t stop_after_;
};

struct TwoDocuments {
    TwoDocuments() : dir(MakeScratchDir("doc_tree_walk")) {
        made = MakeFilesIn(dir,
                           "convert -size 8x8 xc:white -compress Group4 one.tif && "
                           "tiffcp one.tif one.tif one.tif three.tif && tiffcp one.tif one.tif two.tif");
        if (!made) return;
        first = viewer.Open(dir + "/three.tif");
        second = viewer.Open(dir + "/two.tif");
        root = viewer.RootItem();
        items = {root.get(), first.get()};
        for (uint32_t i = 0; i < 3; ++i) items.push_back(ChildAt(first.get(), i).get());
        items.push_back(second.get());
        for (uint32_t i = 0; i < 2; ++i) items.push_back(ChildAt(second.get(), i).get());
    }

    std::string dir;
    bool made = false;
    TreeViewer viewer;
    Ref<DocumentItem> first, second;
    Ref<DocItem> root;
    std::vector<DocItem*> items;  // pre-order: root, first, its 3 pages, second, its 2 pages
};

}  // namespace

TEST(DocTreeWalk, VisitsInPreOrderBothWays) {
    TwoDocuments tree;
    ASSERT_TRUE(tree.made);
    ViewerContext* context = tree.viewer.context.get();
    const std::vector<DocItem*>& all = tree.items;
    ASSERT_EQ(all.size(), 8u);

    Collector everything;
    EXPECT_TRUE(DocTreeWalk(context, tree.root.get(), doc_type::kAll, true, &everything));
    EXPECT_EQ(everything.seen, all);

    Collector pages;
    DocTreeWalk(context, tree.root.get(), doc_type::kPages, true, &pages);
    EXPECT_EQ(pages.seen, (std::vector<DocItem*>{all[2], all[3], all[4], all[6], all[7]}));

    // Backwards from the second document's first page: its document, then
    // the first document's last page before the first document itself.
    Collector backwards;
    DocTreeWalk(context, all[6], doc_type::kAll, false, &backwards);
    EXPECT_EQ(backwards.seen,
              (std::vector<DocItem*>{all[6], all[5], all[4], all[3], all[2], all[1], all[0]}));

    Collector two(2);
    DocTreeWalk(context, all[3], doc_type::kAll, true, &two);
    EXPECT_EQ(two.seen, (std::vector<DocItem*>{all[3], all[4]}));

    EXPECT_FALSE(DocTreeWalk(nullptr, all[0], 1, true, &two));
    EXPECT_FALSE(DocTreeWalk(context, nullptr, 1, true, &two));
    EXPECT_FALSE(DocTreeWalk(context, all[0], 1, true, nullptr));
}

TEST(DocTreeWalk, StepsAndPositionsAgreeWithTheWalk) {
    TwoDocuments tree;
    ASSERT_TRUE(tree.made);
    ViewerContext* context = tree.viewer.context.get();
    const std::vector<DocItem*>& all = tree.items;
    for (size_t i = 0; i + 1 < all.size(); ++i) {
        EXPECT_EQ(DocItemNext(all[i], context).get(), all[i + 1]) << i;
        EXPECT_EQ(DocItemPrev(all[i + 1], context).get(), all[i]) << i;
    }
    EXPECT_FALSE(DocItemNext(all.back(), context));
    EXPECT_FALSE(DocItemPrev(all[0], context));
    EXPECT_EQ(DocItemNextSiblingAfter(all[1], all[2]).get(), all[3]);
    EXPECT_FALSE(DocItemNextSiblingAfter(all[1], all[4]));

    int32_t count = -5, position = -5;
    ViewerGetItemPosition(context, all[7], doc_type::kPages, count, position);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(position, 4);
    ViewerGetItemPosition(context, all[5], doc_type::kPages, count, position);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(position, -1);
    ViewerGetItemPosition(context, all[5], doc_type::kDocuments, count, position);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(position, 1);
    ViewerGetItemPosition(nullptr, all[5], doc_type::kDocuments, count, position);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(position, -1);
}
