// The open and close roads against documents made by ImageMagick: what a
// request makes in the tree, what it announces, what the restrictions
// refuse, and which item is active after a close.
#include "viewer/core/document_open_close.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/command_line.h"

namespace {

// The posted events' int arguments (code kItemRemoved) or the opened
// requests' modes (code kDocumentOpened).
std::vector<int32_t> Arguments(ActionViewer& viewer, uint32_t code,
                               std::vector<std::wstring>* paths = nullptr) {
    PumpPending();
    std::vector<int32_t> values;
    for (const ReceivedEvent& received : viewer.listener->events) {
        if (received.code != code) continue;
        if (code != event::kDocumentOpened) {
            values.push_back(VariantToInt(received.argument));
        } else if (auto* request = dynamic_cast<OpenRequest*>(VariantGetObject(received.argument).get())) {
            values.push_back(int32_t(request->mode));
            if (paths) paths->push_back(WStrCStr(request->paths));
        }
    }
    return values;
}

uint32_t DocumentCount(ActionViewer& viewer) {
    return DocItemGetChildCount(ViewerGetRootItem(viewer.context.get()).get());
}

}  // namespace

TEST(OpenRoad, EveryPathBecomesAnEntryInOrderUnlessTheRestrictionRefuses) {
    const std::string dir = MakeScratchDir("open_road");
    MakeTiffFiles(dir, {{"a.tif", 1}, {"b.tif", 2}, {"c.tif", 3}});
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    const std::wstring a = WindowsPathOf(dir + "/a.tif"), b = WindowsPathOf(dir + "/b.tif"),
                       c = WindowsPathOf(dir + "/c.tif");
    // Interactive opens obey the restriction; the others do not.
    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, restriction::kOpenInteractively);
    EXPECT_EQ(ViewerOpenDocument(context, WString(a.c_str()), nullptr, kOpenInteractive), -1);
    Variant request;
    VariantInitObject(request, OpenRequestCreate(WString(a.c_str()), kOpenInteractive).get());
    ViewerSendActionArg(context, event::kOpenRequest, request);
    EXPECT_EQ(DocumentCount(viewer), 0u);

    // Empty parts between the TABs are no paths.
    const std::wstring paths = a + L"\t\t" + b + L"\t" + c + L"\t";
    EXPECT_EQ(ViewerOpenDocument(context, WString(paths.c_str()), nullptr, kOpenCommandLine), 3);
    ASSERT_TRUE(PollUntil([&] { return viewer.AllLoaded(); }, 15000));
    const wchar_t* names[] = {L"a.tif", L"b.tif", L"c.tif"};
    for (uint32_t i = 0; i < 3; ++i) {
        Ref<DocItem> document = viewer.Document(i);
        EXPECT_EQ(NameOf(document.get()), names[i]);
        EXPECT_EQ(DocItemGetChildCount(document.get()), i + 1);
        // Only the first document of a request may become active once loaded.
        Ref<OpenParams> params = document->GetOpenParams();
        ASSERT_TRUE(params);
        EXPECT_EQ(OpenParamsGetActivateWhenLoaded(params.get()), i == 0) << i;
    }
    std::vector<std::wstring> opened;
    EXPECT_EQ(Arguments(viewer, event::kDocumentOpened, &opened), std::vector<int32_t>(3, kOpenCommandLine));
    EXPECT_EQ(opened, (std::vector<std::wstring>{a, b, c}));
}

TEST(CloseRoad, APageClosesItsDocumentThenCloseAllEmptiesTheTree) {
    const std::string dir = MakeScratchDir("close_road_page");
    MakeTiffFiles(dir, {{"one.tif", 1}, {"three.tif", 3}, {"two.tif", 2}});
    ActionViewer viewer;
    ASSERT_EQ(viewer.Open({dir + "/one.tif", dir + "/three.tif", dir + "/two.tif"}), 3);
    ASSERT_TRUE(ViewerActivateItem(viewer.context.get(), DocItemGetId(viewer.Page(1, 2).get())));
    std::vector<int32_t> expected_removed = {DocItemGetId(viewer.Document(1).get())};
    for (uint32_t i = 0; i < 3; ++i) expected_removed.push_back(DocItemGetId(viewer.Page(1, i).get()));

    // The first page of the rest becomes active.
    viewer.Forget();
    EXPECT_TRUE(viewer.Command(command::kClose));
    EXPECT_EQ(Arguments(viewer, event::kItemRemoved), expected_removed);
    EXPECT_EQ(DocumentCount(viewer), 2u);
    EXPECT_EQ(viewer.ActiveId(), DocItemGetId(viewer.Page(0, 0).get()));
    // An unknown id closes nothing and still shows the first page.
    EXPECT_FALSE(ViewerCloseDocument(viewer.context.get(), 987654));
    EXPECT_EQ(viewer.ActiveId(), DocItemGetId(viewer.Page(0, 0).get()));

    // Close all empties the tree and ends an edit.
    viewer.Command(command::kRedlineFirstTool);
    ASSERT_EQ(ViewerGetRedliningMode(viewer.context.get()), 3u);
    viewer.Forget();
    EXPECT_TRUE(viewer.Command(command::kCloseAll));
    EXPECT_EQ(DocumentCount(viewer), 0u);
    EXPECT_EQ(viewer.ActiveId(), -1);
    EXPECT_EQ(ViewerGetRedliningMode(viewer.context.get()), kRedliningModeView);
    EXPECT_EQ(Arguments(viewer, event::kItemRemoved).size(), 5u);
}

// An entry whose source never started loading can be closed too.
TEST(CloseRoad, LoadingEntriesCloseThemselves) {
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocumentSource> source = SourceCreate(context, WString(L"C:\\nowhere\\a.tif"), nullptr);
    Ref<DocumentItem> loading =
        DocumentItemCreate(context, ViewerGetRootItem(context).get(), source.get(), nullptr, 99);
    ASSERT_EQ(DocItemGetType(loading.get()), doc_type::kLoading);
    EXPECT_TRUE(ViewerCloseDocument(context, DocItemGetId(loading.get())));
    EXPECT_EQ(DocumentCount(viewer), 0u);
}
