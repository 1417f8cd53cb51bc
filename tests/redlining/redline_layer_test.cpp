// Object lists and layers: order, numbers, z-order moves and hits; pages and documents.
#include "redlining/redline_layer.h"

#include <gtest/gtest.h>

#include <vector>

#include "redlining/redline_document.h"
#include "tests/redlining/redline_test_mapping.h"

namespace {

Ref<ViewMapping> Mapping() { return TestMapping(); }

// A filled rectangle over the page's middle, so that every one is hit there.
Ref<RedlineObject> Box(int32_t id, int32_t z = 0) {
    Ref<RedlineObject> box = CreateRedlineObject(id, redline_type::kRectangle);
    box->SetCreationPoint(0, PointD{10, 10});
    box->SetCreationPoint(1, PointD{50 + id, 50});
    box->FinishCreation();
    box->SetAttribute(MakeRef<FillAttr>(false, 0, 0).get());
    box->SetZ(z);
    return box;
}

// The ids in drawing order.
std::vector<int32_t> DrawingOrder(RedlineObjectList& list) {
    list.Sort(true);
    std::vector<int32_t> ids;
    for (uint32_t i = 0; i < list.Count(); ++i) ids.push_back(list.GetAt(i)->GetId());
    return ids;
}

const PointD kMiddle{30, 30};

}  // namespace

TEST(RedlineLayerOrder, RenumberingZOrderMovesAndTopmostHit) {
    Ref<ViewMapping> mapping = Mapping();
    Ref<RedlineLayer> layer = MakeRef<RedlineLayer>();
    EXPECT_TRUE(layer->IsDirty());
    EXPECT_EQ(layer->GetId(), 1);
    layer->SetDirty(false);
    Ref<RedlineObject> boxes[4] = {Box(1), Box(2), Box(3), Box(4)};
    for (auto& box : boxes) EXPECT_TRUE(layer->objects.Add(box.get()));
    EXPECT_TRUE(layer->IsDirty());
    EXPECT_FALSE(layer->objects.Add(boxes[0].get())) << "already there";
    EXPECT_FALSE(layer->objects.Add(nullptr));
    EXPECT_EQ(layer->objects.Count(), 4u);

    // The topmost hit is the object drawn last.
    layer->objects.NormaliseZ();
    EXPECT_EQ(boxes[3]->GetZ(), 30);
    EXPECT_EQ(layer->objects.TopmostHit(mapping.get(), kMiddle), boxes[3]);
    EXPECT_FALSE(layer->objects.TopmostHit(mapping.get(), PointD{90, 90}));

    // Forward puts object 2 between its successor and the one after it;
    // backward object 4 between its predecessor and the one before it.
    EXPECT_TRUE(layer->objects.ChangeZ(boxes[1].get(), redline_z::kForward));
    EXPECT_EQ(DrawingOrder(layer->objects), (std::vector<int32_t>{1, 3, 2, 4}));
    EXPECT_TRUE(layer->objects.ChangeZ(boxes[3].get(), redline_z::kBackward));
    EXPECT_EQ(DrawingOrder(layer->objects), (std::vector<int32_t>{1, 3, 4, 2}));
    EXPECT_EQ(boxes[1]->GetZ(), 30) << "normalised after each move";
    EXPECT_EQ(layer->objects.TopmostHit(mapping.get(), kMiddle), boxes[1]);
    // To the back and to the front pass every other object; the topmost
    // stays topmost when brought to the front again.
    EXPECT_TRUE(layer->objects.ChangeZ(boxes[1].get(), redline_z::kToBack));
    EXPECT_EQ(DrawingOrder(layer->objects), (std::vector<int32_t>{2, 1, 3, 4}));
    EXPECT_TRUE(layer->objects.ChangeZ(boxes[0].get(), redline_z::kToFront));
    EXPECT_TRUE(layer->objects.ChangeZ(boxes[0].get(), redline_z::kToFront));
    EXPECT_EQ(DrawingOrder(layer->objects), (std::vector<int32_t>{2, 3, 4, 1}));
    EXPECT_EQ(layer->objects.TopmostHit(mapping.get(), kMiddle), boxes[0]);
    EXPECT_FALSE(layer->objects.ChangeZ(boxes[0].get(), 4)) << "no such direction";
    EXPECT_EQ(DrawingOrder(layer->objects), (std::vector<int32_t>{2, 3, 4, 1}));
    Ref<RedlineObject> stranger = Box(9);
    EXPECT_FALSE(layer->objects.ChangeZ(stranger.get(), redline_z::kToFront));

    // Removing renumbers the others 1..n in their former id order, whatever
    // their z; the drawing order is kept (the id sort must not pass for it).
    layer->SetDirty(false);
    EXPECT_FALSE(layer->objects.Remove(stranger.get()));
    EXPECT_FALSE(layer->IsDirty());
    EXPECT_TRUE(layer->objects.Remove(boxes[1].get()));
    EXPECT_TRUE(layer->IsDirty());
    EXPECT_EQ(boxes[0]->GetId(), 1);
    EXPECT_EQ(boxes[2]->GetId(), 2);
    EXPECT_EQ(boxes[3]->GetId(), 3);
    EXPECT_EQ(layer->objects.TopmostHit(mapping.get(), kMiddle), boxes[0]) << "still drawn last";
    EXPECT_EQ(DrawingOrder(layer->objects), (std::vector<int32_t>{2, 3, 1}));
    // Adding does not renumber.
    Ref<RedlineObject> late = Box(7, 5);
    EXPECT_TRUE(layer->objects.Add(late.get()));
    EXPECT_EQ(late->GetId(), 7);

    // The topmost handle hit: the corner of the last drawn object.
    int32_t handle = 0, cursor = 0;
    EXPECT_EQ(layer->objects.TopmostHandleHit(mapping.get(), PointD{10, 10}, handle, cursor), boxes[0]);
    EXPECT_EQ(handle, 0);
    EXPECT_FALSE(layer->objects.TopmostHandleHit(mapping.get(), PointD{30, 30}, handle, cursor));
    EXPECT_EQ(handle, -1);
}

TEST(RedlineLayerOrder, FileOrderSurvivesAReload) {
    // The markup format lists objects in drawing order and stores no z: the
    // order they were read in must stay the drawing order, not their ids.
    RedlineLayer layer;
    Ref<RedlineObject> read[3] = {Box(3), Box(1), Box(2)};
    for (auto& object : read) layer.objects.Add(object.get());
    layer.objects.AssignZInListOrder();
    EXPECT_EQ(read[1]->GetZ(), 10);
    EXPECT_EQ(DrawingOrder(layer.objects), (std::vector<int32_t>{3, 1, 2}));
    EXPECT_EQ(layer.objects.TopmostHit(Mapping().get(), kMiddle), read[2]);
}

TEST(RedlineLayerOrder, ListOperations) {
    RedlineObjectList list;
    RectD bounds;
    EXPECT_EQ(list.GetBoundingBox(bounds), (RectD{}));
    Ref<RedlineObject> a = Box(1, 20), b = Box(2, 10);
    list.Add(a.get());
    list.Add(b.get());
    EXPECT_TRUE(list.Contains(b.get()));
    EXPECT_EQ(list.GetBoundingBox(bounds), (RectD{{42, 40}, {10, 10}}));
    list.Sort(false);
    EXPECT_EQ(list.GetAt(0), a);
    EXPECT_FALSE(list.GetAt(2));
    const uint32_t held = a->RefCountForTests();
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(a->RefCountForTests(), held - 1) << "the list's reference is released";
    EXPECT_FALSE(list.Remove(a.get()));
}

TEST(RedlineDocumentPages, PagesLayersAndPainting) {
    Ref<RedlineDocument> document = RedlineDocumentCreate();
    EXPECT_FALSE(document->from_companion_file);
    EXPECT_TRUE(RedlineDocAddPages(document.get(), 5));
    EXPECT_FALSE(RedlineDocAddPages(document.get(), 3));
    EXPECT_FALSE(RedlineDocAddPages(document.get(), 5));
    EXPECT_EQ(RedlineDocPageCount(document.get()), 5u);
    Ref<RedlinePage> page = RedlineDocGetPage(document.get(), 4);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->page_index, 4u);
    EXPECT_EQ(page->LayerCount(), 1u) << "added pages come with an empty layer";
    EXPECT_FALSE(page->CreateLayer());
    EXPECT_FALSE(page->GetLayer(1));
    EXPECT_FALSE(RedlinePageHasObjects(page.get()));
    Ref<RedlineObject> box = Box(1);
    page->GetLayer(0)->objects.Add(box.get());
    EXPECT_TRUE(RedlinePageHasObjects(page.get()));
    EXPECT_EQ(page->TopmostHit(Mapping().get(), kMiddle), box);

    // A page without a layer neither hits nor paints; one with a layer
    // paints only with a mapping.
    Ref<RedlinePage> bare = MakeRef<RedlinePage>();
    EXPECT_FALSE(RedlinePageHasObjects(bare.get()));
    EXPECT_FALSE(bare->TopmostHit(Mapping().get(), kMiddle));
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(dc);
    EXPECT_FALSE(
        RedlinePaintPage(bare.get(), nullptr, 1, dc, Mapping().get(), nullptr, redline_draw::kContent));
    EXPECT_FALSE(RedlinePaintPage(page.get(), nullptr, 1, dc, nullptr, nullptr, redline_draw::kContent));
    EXPECT_TRUE(
        RedlinePaintPage(page.get(), nullptr, 1, dc, Mapping().get(), nullptr, redline_draw::kContent));
    EXPECT_TRUE(bare->CreateLayer());
    EXPECT_FALSE(bare->SetLayer(MakeRef<RedlineLayer>().get())) << "a page's layer is never replaced";
    DeleteDC(dc);
}
