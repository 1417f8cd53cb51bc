// The redlining layer behind the viewer's markup contract.
#include "redlining/redline_markups.h"

#include <gtest/gtest.h>

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
    // Holds only while storage is a stand-in: nothing is written.
    EXPECT_FALSE(markups->SaveFile(document.get(), WString(L"C:\\x.plr")));
    view->SetPage(nullptr, nullptr);
    EXPECT_FALSE(view->HasPage());
}
