// The document tree as the viewer's windows see it through the hub: the
// order of the notifications from opening a document to its destruction,
// kinds of list entries, permissions, names, and the cost of a document
// with thousands of pages.
#include "viewer/documents/doc_item.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/variant.h"
#include "tests/viewer/documents/doc_tree_test_support.h"
#include "viewer/core/settings.h"
#include "viewer/documents/comparison_item.h"
#include "viewer/documents/doc_tree_walk.h"
#include "viewer/documents/page_metrics.h"

namespace {

const std::set<uint32_t> kTreeEvents = {
    event::kItemAdded,    event::kPagesBuilt,    event::kItemKindChanged, event::kItemNameChanged,
    event::kSourceLoaded, event::kItemDestroyed, event::kItemRemoved,     event::kItemContentChanged};

RefCounted* ObjectOf(const ReceivedEvent& received) {
    Ref<RefCounted> object = VariantGetObject(received.argument);
    return object.get();  // identity only; the event keeps it alive
}

std::vector<int32_t> IdsOf(const TreeViewer& viewer, uint32_t code) {
    std::vector<int32_t> ids;
    for (const ReceivedEvent& received : viewer.listener->events) {
        if (received.code == code) ids.push_back(VariantToInt(received.argument));
    }
    return ids;
}

std::wstring PageTitle(ViewerContext* context, int number) {
    return std::wstring(ViewerGetText(context, 1602)) + L" " + std::to_wstring(number);
}

}  // namespace

TEST(DocItemTree, NotificationsFromOpeningToDestruction) {
    const std::string dir = MakeScratchDir("doc_item_order");
    ASSERT_TRUE(
        MakeFilesIn(dir, "convert -size 40x30 xc:white xc:white xc:white -compress Group4 three.tif"));
    TreeViewer viewer;
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
    std::vector<RefCounted*> added;
    for (const ReceivedEvent& received : viewer.listener->events) {
        if (received.code == event::kItemAdded) added.push_back(ObjectOf(received));
        if (received.code == event::kItemKindChanged) {
            EXPECT_EQ(ObjectOf(received), document.get());
        }
    }
    ASSERT_EQ(DocItemGetChildCount(document.get()), 3u);
    std::vector<int32_t> ids = {document->id};
    for (uint32_t i = 0; i < 3; ++i) {
        Ref<DocItem> page = ChildAt(document.get(), i);
        EXPECT_EQ(added[i + 1], page.get());
        EXPECT_EQ(page->GetPageIndex(), i);
        EXPECT_EQ(DocItemGetParentId(page.get()), document->id);
        EXPECT_EQ(DocItemGetOpenNumber(page.get()), DocItemGetOpenNumber(document.get()));
        EXPECT_EQ(ViewerFindItem(viewer.context.get(), page->id).get(), page.get());
        ids.push_back(page->id);
    }
    EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), ids.size()) << "ids are unique";

    // Removal announces the item and its descendants in pre-order.
    viewer.listener->events.clear();
    EXPECT_FALSE(DocItemRemoveChildAt(root.get(), viewer.context.get(), 7));
    ASSERT_TRUE(DocItemRemoveChild(root.get(), viewer.context.get(), document.get()));
    EXPECT_FALSE(DocItemRemoveChild(root.get(), viewer.context.get(), document.get()));
    EXPECT_EQ(IdsOf(viewer, event::kItemRemoved), ids);
    EXPECT_FALSE(ViewerFindItem(viewer.context.get(), document->id));
    EXPECT_FALSE(ViewerFindItem(viewer.context.get(), ids[2]));
    EXPECT_EQ(DocItemGetParentId(document.get()), -1);

    // Destruction after removal is announced too, the document first.
    viewer.listener->events.clear();
    document.Reset();
    ASSERT_TRUE(PumpUntil([&] { return IdsOf(viewer, event::kItemDestroyed).size() == 4; }));
    const std::vector<int32_t> destroyed = IdsOf(viewer, event::kItemDestroyed);
    EXPECT_EQ(destroyed[0], ids[0]);
    EXPECT_EQ(std::set<int32_t>(destroyed.begin(), destroyed.end()),
              std::set<int32_t>(ids.begin(), ids.end()));
}

TEST(DocItemTree, ListEntriesBecomeWhatTheirSourcesFound) {
    const std::string dir = MakeScratchDir("doc_item_kinds");
    ASSERT_TRUE(MakeFilesIn(dir,
                            "printf '%%PDF-1.4\\n%%%%EOF\\n' > drawing.pdf && "
                            "convert -size 20x20 xc:white -compress Group4 sheet.tif"));
    TreeViewer viewer;

    Ref<DocumentItem> missing = viewer.Open(dir + "/absent.tif");
    ASSERT_TRUE(missing);
    EXPECT_EQ(DocItemGetType(missing.get()), doc_type::kFailed);
    EXPECT_EQ(DocItemGetChildCount(missing.get()), 0u);
    EXPECT_EQ(NameOf(missing.get()), L"absent.tif");

    Ref<DocumentItem> pdf = viewer.Open(dir + "/drawing.pdf");
    ASSERT_TRUE(pdf);
    EXPECT_EQ(DocItemGetType(pdf.get()), doc_type::kUnshowable);
    EXPECT_EQ(DocItemGetChildCount(pdf.get()), 0u);
    EXPECT_EQ(pdf->GetCommandMask(), item_command::kItemMask);

    // A source announced a second time builds nothing again.
    Ref<DocumentItem> sheet = viewer.Open(dir + "/sheet.tif");
    ASSERT_EQ(DocItemGetChildCount(sheet.get()), 1u);
    viewer.listener->events.clear();
    SourceStartLoad(sheet->source.get(), viewer.context.get());
    ASSERT_TRUE(PumpUntil([&] { return !viewer.Codes({event::kSourceLoaded}).empty(); }));
    PumpPending();
    EXPECT_EQ(viewer.Codes(kTreeEvents), std::vector<uint32_t>{event::kSourceLoaded});
    EXPECT_EQ(DocItemGetChildCount(sheet.get()), 1u);

    // Named after the open parameters' title when they have one.
    Ref<OpenParams> titled = OpenParamsCreate();
    OpenParamsSetTitle(titled.get(), WString(L"Plan B"));
    Ref<DocumentItem> plan = viewer.Open(dir + "/sheet.tif", titled.get());
    EXPECT_EQ(NameOf(plan.get()), L"Plan B");
}

TEST(DocItemTree, UnshowableDocumentPaintsItsBoxOnTheMainPassOnly) {
    const std::string dir = MakeScratchDir("doc_item_box");
    ASSERT_TRUE(MakeFilesIn(dir,
                            "printf '%%PDF-1.4\\n' > a.pdf && convert -size 20x20 xc:white -compress Group4 "
                            "a.tif"));
    TreeViewer viewer;
    Ref<DocumentItem> pdf = viewer.Open(dir + "/a.pdf");
    Ref<DocumentItem> image = viewer.Open(dir + "/a.tif");
    ASSERT_EQ(DocItemGetType(pdf.get()), doc_type::kUnshowable);
    RectI rect;
    RectISet(rect, 10, 10, 600, 160);
    constexpr uint32_t kBackground = 0x123456;
    {
        DibCanvas canvas(640, 200, kBackground);
        ASSERT_TRUE(canvas.ok());
        EXPECT_FALSE(pdf->Draw(viewer.context.get(), 2, canvas.dc(), rect));
        EXPECT_FALSE(image->Draw(viewer.context.get(), kMainViewPass, canvas.dc(), rect));
        EXPECT_EQ(canvas.Count(kBackground), 640 * 200);
    }
    DibCanvas canvas(640, 200, kBackground);
    const int mode = SetBkMode(canvas.dc(), OPAQUE);
    EXPECT_TRUE(pdf->Draw(viewer.context.get(), kMainViewPass, canvas.dc(), rect));
    EXPECT_EQ(GetBkMode(canvas.dc()), mode);
    EXPECT_EQ(canvas.Pixel(10, 10), 0xE6E6E6u);
    EXPECT_EQ(canvas.Pixel(609, 169), 0xE6E6E6u);
    EXPECT_EQ(canvas.Pixel(610, 170), kBackground);
    EXPECT_EQ(canvas.Pixel(9, 9), kBackground);
    EXPECT_GT(canvas.Count(0x969696), 100) << "three lines of grey text";
}

TEST(DocItemTree, PermissionsFollowTheParametersAndTheRestrictions) {
    const std::string dir = MakeScratchDir("doc_item_permissions");
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -size 400x300 -density 200 -units PixelsPerInch xc:white "
                            "-compress Group4 a.tif"));
    TreeViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<OpenParams> locked = OpenParamsCreate();
    OpenParamsSetAllowPrint(locked.get(), false);
    OpenParamsSetAllowSave(locked.get(), false);
    Ref<DocumentItem> free_document = viewer.Open(dir + "/a.tif", OpenParamsCreate().get());
    Ref<DocumentItem> locked_document = viewer.Open(dir + "/a.tif", locked.get());
    Ref<DocItem> free_page = ChildAt(free_document.get(), 0);
    Ref<DocItem> locked_page = ChildAt(locked_document.get(), 0);
    ASSERT_TRUE(free_page && locked_page);

    EXPECT_TRUE(free_page->CanPrint(context));
    EXPECT_FALSE(locked_page->CanPrint(context));
    EXPECT_FALSE(free_document->CanPrint(context));
    EXPECT_TRUE(free_document->CanSave(context));
    EXPECT_TRUE(free_page->CanSave(context));
    EXPECT_FALSE(free_page->CanSave(nullptr));
    EXPECT_FALSE(locked_document->CanSave(context));
    EXPECT_FALSE(viewer.RootItem()->CanSave(context));
    EXPECT_TRUE(free_page->CanShowProperties(context));

    Ref<Settings> settings = ViewerGetSettings(context);
    SettingsAddRestrictions(settings.get(), nullptr, kCallerInternal, 8);
    EXPECT_FALSE(free_page->CanPrint(context));
    EXPECT_TRUE(free_page->CanSave(context));
    SettingsAddRestrictions(settings.get(), nullptr, kCallerInternal, 2 | 32);
    EXPECT_FALSE(free_page->CanSave(context));
    EXPECT_FALSE(free_document->CanShowProperties(context));

    // The page's size and resolution; documents have none.
    Ref<PageMetrics> metrics = free_page->GetPageMetrics(context);
    ASSERT_TRUE(metrics);
    EXPECT_NEAR(metrics->page_size.width, 50.8, 1e-9);
    EXPECT_NEAR(metrics->page_size.height, 38.1, 1e-9);
    EXPECT_EQ(metrics->dpi_x, 200.0);
    EXPECT_FALSE(free_document->GetPageMetrics(context));
}

TEST(DocItemTree, DisplayNamesOfPages) {
    const std::string dir = MakeScratchDir("doc_item_names");
    ASSERT_TRUE(MakeFilesIn(
        dir,
        "convert -size 8x8 xc:white -compress Group4 one.tif && "
        "tiffcp one.tif one.tif one.tif one.tif one.tif one.tif one.tif one.tif one.tif one.tif ten.tif"));
    TreeViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocumentItem> one = viewer.Open(dir + "/one.tif", OpenParamsCreate().get());
    Ref<DocumentItem> ten = viewer.Open(dir + "/ten.tif", OpenParamsCreate().get());
    ASSERT_EQ(DocItemGetChildCount(ten.get()), 10u);
    WString name;
    EXPECT_STREQ(WStrCStr(DocItemGetDisplayName(ChildAt(one.get(), 0).get(), context, name)), L"one.tif");
    const std::wstring third = L"ten.tif / " + PageTitle(context, 3);
    EXPECT_EQ(std::wstring(WStrCStr(DocItemGetDisplayName(ChildAt(ten.get(), 2).get(), context, name))),
              third);
    EXPECT_STREQ(WStrCStr(DocItemGetDisplayName(ten.get(), context, name)), L"ten.tif");

    // Renaming is announced with the item.
    viewer.listener->events.clear();
    DocItemSetName(ten.get(), context, WString(L"Ten"));
    DocItemSetName(one.get(), nullptr, WString(L"One"));
    EXPECT_EQ(viewer.Codes(kTreeEvents), std::vector<uint32_t>{event::kItemNameChanged});
    EXPECT_EQ(NameOf(one.get()), L"One");

    // Lookups: by source path in any spelling, and the document of a page.
    Ref<DocItem> root = viewer.RootItem();
    WString spelled(WindowsPathOf(dir + "/TEN.TIF").c_str());
    WStrReplaceChar(spelled, L'\\', L'/');
    EXPECT_EQ(DocItemFindBySourcePath(root.get(), true, doc_type::kDocuments, spelled).get(), ten.get());
    EXPECT_FALSE(DocItemFindBySourcePath(root.get(), false, doc_type::kDocuments, spelled));
    EXPECT_EQ(DocItemFindDocument(ChildAt(ten.get(), 4).get(), context).get(), ten.get());
    EXPECT_FALSE(DocItemFindDocument(root.get(), context));
    PtrArray all(4, true);
    EXPECT_EQ(DocItemCollectDescendants(root.get(), all), 13u);
    EXPECT_EQ(all.items[1], ChildAt(one.get(), 0).get());
}

TEST(DocItemTree, TreeRefusesLoopsAndSecondParents) {
    TreeViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocItem> root = viewer.RootItem();
    Ref<ComparisonItem> outer = ComparisonCreate(context, root.get());
    Ref<ComparisonItem> inner = ComparisonCreate(context, outer.get());
    ASSERT_TRUE(outer && inner);
    EXPECT_FALSE(DocItemAddChild(inner.get(), context, outer.get()));  // has a parent
    EXPECT_FALSE(DocItemAddChild(root.get(), context, inner.get()));
    EXPECT_FALSE(DocItemAddChild(inner.get(), context, inner.get()));
    ASSERT_TRUE(DocItemRemoveChild(root.get(), context, outer.get()));
    EXPECT_FALSE(DocItemAddChild(inner.get(), context, outer.get()));  // its own descendant
    EXPECT_TRUE(DocItemAddChild(root.get(), context, outer.get()));
    EXPECT_FALSE(DocItemAddChild(root.get(), context, root.get()));
    EXPECT_FALSE(PageItemCreate(context, outer.get(), nullptr, 0, SizeD{10, 10}, nullptr));
    EXPECT_FALSE(DocumentItemCreate(context, root.get(), nullptr, nullptr, 0));
    EXPECT_FALSE(DocumentItemCreate(nullptr, root.get(), nullptr, nullptr, 0));
}

// Building the pages of a long document costs each page a constant number
// of listener calls: no page listens on the hub, and the document stops
// listening once its source has reported.
TEST(DocItemTree, ThousandsOfPagesAddNoListeners) {
    const std::string dir = MakeScratchDir("doc_item_many");
    constexpr int kPages = 2000;
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -size 16x16 xc:white -compress Group4 one.tif && tiffcp $(for i in "
                            "$(seq " +
                                std::to_string(kPages) + "); do echo one.tif; done) many.tif"));
    TreeViewer viewer;
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

    // Whole-tree walks stay linear: the last page's position among all.
    int32_t count = 0, position = 0;
    ViewerGetItemPosition(viewer.context.get(), ChildAt(document.get(), kPages - 1).get(), doc_type::kPages,
                          count, position);
    EXPECT_EQ(count, kPages);
    EXPECT_EQ(position, kPages - 1);
    viewer.listener->events.clear();
}
