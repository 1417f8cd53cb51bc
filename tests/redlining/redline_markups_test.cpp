// The redlining layer behind the viewer's markup contract.
#include "redlining/redline_markups.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "foundation/temp_files.h"
#include "redlining/redline_document.h"
#include "redlining/redline_objects.h"
#include "redlining/redline_storage.h"
#include "viewer/model/view_mapping.h"

TEST(RedlineMarkups, PagesOfItsOwnDocumentsOnlyAndViewsThatBindThem) {
    Ref<MarkupProvider> markups = RedlineMarkupsCreate();
    Ref<MarkupDocument> document = markups->CreateDocument();
    ASSERT_TRUE(document);
    EXPECT_FALSE(markups->GetPage(document.get(), 0, false)) << "no pages before they are added";
    EXPECT_TRUE(markups->AddPages(document.get(), 3));
    EXPECT_FALSE(markups->AddPages(document.get(), 2)) << "there are more already";
    Ref<MarkupPage> page = markups->GetPage(document.get(), 2, false);
    EXPECT_TRUE(page);
    EXPECT_FALSE(markups->GetPage(document.get(), 3, false));
    // Holds only while markups are a stand-in: every page is empty.
    EXPECT_FALSE(markups->GetPage(document.get(), 0, true));

    // A document another provider made is none of this layer's.
    Ref<MarkupDocument> foreign = MakeRef<MarkupDocument>();
    EXPECT_FALSE(markups->AddPages(foreign.get(), 1));
    EXPECT_FALSE(markups->GetPage(foreign.get(), 0, false));
    EXPECT_FALSE(markups->SaveFile(foreign.get(), WString(L"C:\\x.plr")));
    EXPECT_FALSE(markups->IsModified(foreign.get()));

    Ref<MarkupView> view = markups->CreateView(nullptr);
    ASSERT_TRUE(view);
    Ref<ViewMapping> mapping = ViewMappingConstruct(1, PointI{}, PagePlacement{}, 4.0, 4.0);
    ASSERT_TRUE(mapping);
    view->SetPage(page.get(), nullptr);
    EXPECT_FALSE(view->HasPage()) << "a page without its mapping is not bound";
    view->SetPage(page.get(), mapping.get());
    EXPECT_TRUE(view->HasPage());
    Ref<MarkupPage> other = MakeRef<MarkupPage>();
    view->SetPage(other.get(), mapping.get());
    EXPECT_FALSE(view->HasPage()) << "a page of another provider";
    view->SetPage(page.get(), mapping.get());
    EXPECT_FALSE(view->Paint(nullptr, nullptr, markup_purpose::kMainView, false, false))
        << "no device context";
    EXPECT_TRUE(view->GetMouseTool()) << "the main view puts it first in its chain";
    view->SetPage(nullptr, nullptr);
    EXPECT_FALSE(view->HasPage());
}

// What the viewer's close prompt and save dialog read: changes since the last
// load or save, and the companion file the markups came from.
TEST(RedlineMarkups, ChangedSinceLoadOrSaveAndTheCompanionFileTheyCameFrom) {
    Ref<MarkupProvider> markups = RedlineMarkupsCreate();
    Ref<MarkupDocument> document = markups->CreateDocument();
    ASSERT_TRUE(markups->AddPages(document.get(), 2));
    EXPECT_FALSE(markups->IsModified(document.get())) << "empty pages hold nothing to save";

    WString path;
    ASSERT_TRUE(MakeTempFile(L".PLR", path));
    // Only this layer's page type is reachable from the contract's page.
    Ref<RedlineDocument> own = RedlineDocumentCreate();
    ASSERT_TRUE(RedlineDocAddPages(own.get(), 2));
    Ref<RedlineLayer> layer = RedlineDocGetPage(own.get(), 1)->GetLayer(0);
    Ref<RedlineObject> box = CreateRedlineObject(1, redline_type::kRectangle);
    ASSERT_TRUE(box && box->SetGeometryText(WString(L"1:2:30:40")));
    ASSERT_TRUE(layer->objects.Add(box.get()));
    ASSERT_TRUE(RedlineSaveFile(own.get(), path));
    EXPECT_FALSE(RedlineDocIsModified(own.get())) << "clean after a successful save";

    Ref<MarkupDocument> loaded = markups->CreateDocument();
    ASSERT_TRUE(markups->LoadFile(loaded.get(), path, 2));
    EXPECT_FALSE(markups->IsModified(loaded.get())) << "clean after a load";
    WString companion;
    EXPECT_TRUE(WStrEquals(markups->GetCompanionFile(loaded.get(), companion), path));
    EXPECT_TRUE(markups->GetPage(loaded.get(), 1, true));
    EXPECT_FALSE(markups->GetPage(loaded.get(), 0, true));

    box->SetGeometryText(WString(L"5:6:70:80"));
    EXPECT_TRUE(RedlineDocIsModified(own.get())) << "an edited object";
    EXPECT_FALSE(markups->LoadFile(loaded.get(), path, 2)) << "a document with pages is not loaded again";
    DeleteFileW(WStrCStr(path));
}
