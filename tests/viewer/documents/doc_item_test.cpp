// The document tree as the viewer's windows see it through the hub: the
// order of the notifications from opening a document to its destruction,
// and the cost of a document with thousands of pages.
#include "viewer/documents/doc_item.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/variant.h"
#include "tests/viewer/documents/document_test_support.h"

namespace {

const std::set<uint32_t> kTreeEvents = {
    event::kItemAdded,    event::kPagesBuilt,    event::kItemKindChanged, event::kItemNameChanged,
    event::kSourceLoaded, event::kItemDestroyed, event::kItemRemoved,     event::kItemContentChanged};

std::vector<int32_t> IdsOf(const RunningViewer& viewer, uint32_t code) {
    std::vector<int32_t> ids;
    for (const ReceivedEvent& received : viewer.listener->events) {
        if (received.code == code) ids.push_back(VariantToInt(received.argument));
    }
    return ids;
}

}  // namespace

TEST(DocItemTree, NotificationsFromOpeningToDestruction) {
    const std::string dir = MakeScratchDir("doc_item_order");
    ASSERT_TRUE(
        MakeFilesIn(dir, "convert -size 40x30 xc:white xc:white xc:white -compress Group4 three.tif"));
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocItem> root = viewer.RootItem();
    Ref<DocumentItem> document = viewer.Open(dir + "/three.tif", OpenParamsCreate().get());
    ASSERT_TRUE(document);
    ASSERT_EQ(DocItemGetType(document.get()), doc_type::kImage);

    // The entry, its source's report, the kind, one item per page, then the
    // handler's end of building.
    const std::vector<uint32_t> opened = {event::kItemAdded, event::kSourceLoaded, event::kItemKindChanged,
                                          event::kItemAdded, event::kItemAdded,    event::kItemAdded,
                                          event::kPagesBuilt};
    EXPECT_EQ(viewer.Codes(kTreeEvents), opened);
    EXPECT_EQ(viewer.Count(event::kItemKindChanged, document.get()), 1u);
    std::vector<RefCounted*> added;
    for (const ReceivedEvent& e : viewer.listener->events) {
        if (e.code == event::kItemAdded) added.push_back(e.argument.payload.object);
    }
    ASSERT_EQ(DocItemGetChildCount(document.get()), 3u);
    std::vector<int32_t> ids = {document->id};
    for (uint32_t i = 0; i < 3; ++i) {
        Ref<DocItem> page = ChildAt(document.get(), i);
        EXPECT_EQ(added[i + 1], page.get());
        EXPECT_EQ(page->GetPageIndex(), i);
        EXPECT_EQ(ViewerFindItem(context, page->id).get(), page.get());
        ids.push_back(page->id);
    }
    EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), ids.size()) << "ids are unique";

    // A source announced a second time builds nothing again.
    viewer.listener->events.clear();
    SourceStartLoad(document->source.get(), context);
    ASSERT_TRUE(viewer.WaitForAnnouncement(document->source.get()));
    PumpPending();
    EXPECT_EQ(viewer.Codes(kTreeEvents), std::vector<uint32_t>{event::kSourceLoaded});
    EXPECT_EQ(DocItemGetChildCount(document.get()), 3u);

    // Removal announces the item and its descendants in pre-order.
    viewer.listener->events.clear();
    ASSERT_TRUE(DocItemRemoveChild(root.get(), context, document.get()));
    EXPECT_FALSE(DocItemRemoveChild(root.get(), context, document.get()));
    EXPECT_EQ(IdsOf(viewer, event::kItemRemoved), ids);
    EXPECT_FALSE(ViewerFindItem(context, ids[2]));

    // Destruction after removal is announced too, the document first.
    viewer.listener->events.clear();
    document.Reset();
    ASSERT_TRUE(PumpUntil([&] { return IdsOf(viewer, event::kItemDestroyed).size() == 4; }));
    const std::vector<int32_t> destroyed = IdsOf(viewer, event::kItemDestroyed);
    EXPECT_EQ(destroyed[0], ids[0]);
    EXPECT_EQ(std::set<int32_t>(destroyed.begin(), destroyed.end()),
              std::set<int32_t>(ids.begin(), ids.end()));
}

// Building the pages of a long document costs each page a constant number
// of listener calls: no page listens on the hub, and the document stops
// listening once its source has reported.
TEST(DocItemTree, ThousandsOfPagesAddNoListeners) {
    const std::string dir = MakeScratchDir("doc_item_many");
    constexpr int kPages = 2000;
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -size 16x16 xc:white -compress Group4 one.tif && tiffcp $(yes one.tif | "
                            "head -n " +
                                std::to_string(kPages) + ") many.tif"));
    RunningViewer viewer;
    const uint32_t before = viewer.ListenerCount();
    uint32_t most = 0, calls = 0;
    viewer.listener->on_notify = [&](RecordingListener*, HubEvent*) {
        most = std::max(most, viewer.ListenerCount());
        ++calls;
    };
    Ref<DocumentItem> document = viewer.Open(dir + "/many.tif", OpenParamsCreate().get());
    ASSERT_TRUE(document);
    ASSERT_EQ(DocItemGetChildCount(document.get()), uint32_t{kPages});
    viewer.listener->on_notify = nullptr;
    EXPECT_LE(most, before + 1) << "only the loading entry listened";
    EXPECT_EQ(viewer.ListenerCount(), before);
    EXPECT_LT(calls, uint32_t{kPages} + 20);
}
