// The open and close roads against documents made by ImageMagick: what a
// request makes in the tree, what it announces, what the restrictions
// refuse, and which item is active after a close.
#include "viewer/core/document_open_close.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/command_line.h"
#include "viewer/core/page_navigation.h"

namespace {

std::vector<std::wstring> OpenedPaths(ActionViewer& viewer, std::vector<uint32_t>* modes = nullptr) {
    PumpPending();
    std::vector<std::wstring> paths;
    for (const ReceivedEvent& received : viewer.listener->events) {
        if (received.code != event::kDocumentOpened) continue;
        Ref<RefCounted> object = VariantGetObject(received.argument);
        auto* request = dynamic_cast<OpenRequest*>(object.get());
        if (!request) continue;
        paths.push_back(WStrCStr(request->paths));
        if (modes) modes->push_back(request->mode);
    }
    return paths;
}

std::vector<int32_t> RemovedIds(ActionViewer& viewer) {
    PumpPending();
    std::vector<int32_t> ids;
    for (const ReceivedEvent& received : viewer.listener->events) {
        if (received.code == event::kItemRemoved) ids.push_back(VariantToInt(received.argument));
    }
    return ids;
}

}  // namespace

TEST(OpenRoad, EveryPathOfARequestBecomesAnEntryInOrder) {
    const std::string dir = MakeScratchDir("open_road_order");
    MakeTiffFiles(dir, {{"a.tif", 1}, {"b.tif", 2}, {"c.tif", 3}});
    ActionViewer viewer;
    const std::wstring a = WindowsPathOf(dir + "/a.tif"), b = WindowsPathOf(dir + "/b.tif"),
                       c = WindowsPathOf(dir + "/c.tif");
    // Empty parts between the TABs are no paths.
    const std::wstring paths = a + L"\t\t" + b + L"\t" + c + L"\t";
    EXPECT_EQ(ViewerOpenDocument(viewer.context.get(), WString(paths.c_str()), nullptr, kOpenCommandLine), 3);
    ASSERT_TRUE(PollUntil([&] { return viewer.AllLoaded(); }, 15000));

    const wchar_t* names[] = {L"a.tif", L"b.tif", L"c.tif"};
    for (uint32_t i = 0; i < 3; ++i) {
        Ref<DocItem> document = viewer.Document(i);
        EXPECT_EQ(NameOf(document.get()), names[i]);
        EXPECT_EQ(DocItemGetType(document.get()), doc_type::kImage);
        EXPECT_EQ(DocItemGetChildCount(document.get()), i + 1);
        // Only the first document of a request may become active once loaded.
        Ref<OpenParams> params = document->GetOpenParams();
        ASSERT_TRUE(params);
        EXPECT_EQ(OpenParamsGetActivateWhenLoaded(params.get()), i == 0) << i;
    }
    std::vector<uint32_t> modes;
    EXPECT_EQ(OpenedPaths(viewer, &modes), (std::vector<std::wstring>{a, b, c}));
    EXPECT_EQ(modes, (std::vector<uint32_t>{kOpenCommandLine, kOpenCommandLine, kOpenCommandLine}));
}

TEST(OpenRoad, InteractiveOpensObeyTheRestrictionOthersDoNot) {
    const std::string dir = MakeScratchDir("open_road_restricted");
    MakeTiffFiles(dir, {{"a.tif", 1}, {"b.tif", 1}, {"c.tif", 2}});
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, restriction::kOpenInteractively);

    const WString a(WindowsPathOf(dir + "/a.tif").c_str());
    EXPECT_EQ(ViewerOpenDocument(context, a, nullptr, kOpenInteractive), -1);
    Variant request;
    VariantInitObject(request, OpenRequestCreate(a, kOpenInteractive).get());
    ViewerSendActionArg(context, event::kOpenRequest, request);
    EXPECT_EQ(DocItemGetChildCount(ViewerGetRootItem(context).get()), 0u);

    // A remote open gives the new entry's id.
    const int32_t id =
        ViewerOpenDocumentEx(context, WString(WindowsPathOf(dir + "/b.tif").c_str()), nullptr, kOpenRemote);
    ASSERT_GT(id, 0);
    EXPECT_EQ(DocItemGetId(viewer.Document(0).get()), id);

    // A command line opens its files with its own parameters.
    const std::wstring line = L"-r:90 \"" + WindowsPathOf(dir + "/c.tif") + L"\"";
    Variant command_line;
    VariantInitObject(command_line, CmdLineCreate(line.c_str()).get());
    ViewerSendActionArg(context, event::kOpenCommandLine, command_line);
    ASSERT_TRUE(PollUntil([&] { return viewer.AllLoaded(); }, 15000));
    ASSERT_EQ(DocItemGetChildCount(ViewerGetRootItem(context).get()), 2u);
    Ref<DocItem> page = viewer.Page(1, 1);
    ASSERT_TRUE(page && page->GetCutOut());
    EXPECT_EQ(CutOutGetRotation(page->GetCutOut().get()), 90u);
    std::vector<uint32_t> modes;
    OpenedPaths(viewer, &modes);
    EXPECT_EQ(modes, (std::vector<uint32_t>{kOpenRemote, kOpenCommandLine}));
}

TEST(CloseRoad, APageClosesItsDocumentAndTheFirstPageOfTheRestBecomesActive) {
    const std::string dir = MakeScratchDir("close_road_page");
    MakeTiffFiles(dir, {{"one.tif", 1}, {"three.tif", 3}});
    ActionViewer viewer;
    ASSERT_EQ(viewer.Open({dir + "/one.tif", dir + "/three.tif"}), 2);
    Ref<DocItem> three = viewer.Document(1);
    ASSERT_TRUE(ViewerActivateItem(viewer.context.get(), DocItemGetId(viewer.Page(1, 2).get())));
    std::vector<int32_t> expected_removed = {DocItemGetId(three.get())};
    for (uint32_t i = 0; i < 3; ++i) expected_removed.push_back(DocItemGetId(viewer.Page(1, i).get()));

    viewer.Forget();
    EXPECT_TRUE(viewer.Command(command::kClose));
    EXPECT_EQ(RemovedIds(viewer), expected_removed);
    EXPECT_EQ(DocItemGetChildCount(ViewerGetRootItem(viewer.context.get()).get()), 1u);
    EXPECT_EQ(viewer.ActiveId(), DocItemGetId(viewer.Page(0, 0).get()));

    // An unknown id closes nothing and still shows the first page.
    EXPECT_FALSE(ViewerCloseDocument(viewer.context.get(), 987654));
    EXPECT_EQ(viewer.ActiveId(), DocItemGetId(viewer.Page(0, 0).get()));
}

TEST(CloseRoad, ComparisonPagesAndLoadingEntriesCloseThemselves) {
    const std::string dir = MakeScratchDir("close_road_kinds");
    MakeTiffFiles(dir, {{"a.tif", 2}});
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    ASSERT_EQ(viewer.Open({dir + "/a.tif"}), 1);
    ASSERT_TRUE(ViewerActivateItem(context, DocItemGetId(viewer.Page(0, 1).get())));
    // The version comparison command adds the active page to a comparison.
    viewer.Command(command::kVersionComparison);
    PumpPending();
    Ref<DocItem> comparison = viewer.Document(1);
    ASSERT_EQ(DocItemGetType(comparison.get()), doc_type::kComparison);
    ASSERT_EQ(DocItemGetChildCount(comparison.get()), 1u);
    viewer.Command(command::kVersionComparison);
    PumpPending();
    EXPECT_EQ(DocItemGetChildCount(comparison.get()), 2u) << "the same comparison takes the next page";

    Ref<DocItem> compared = DocItemGetChild(comparison.get(), 0);
    EXPECT_TRUE(ViewerCloseDocument(context, DocItemGetId(compared.get())));
    EXPECT_EQ(DocItemGetChildCount(comparison.get()), 1u);
    EXPECT_EQ(DocItemGetChildCount(viewer.Document(0).get()), 2u) << "the page it was copied from stays";

    // An entry whose source never started loading can be closed too.
    Ref<DocumentSource> source =
        SourceCreate(context, WString(WindowsPathOf(dir + "/a.tif").c_str()), nullptr);
    Ref<DocumentItem> loading =
        DocumentItemCreate(context, ViewerGetRootItem(context).get(), source.get(), nullptr, 99);
    ASSERT_EQ(DocItemGetType(loading.get()), doc_type::kLoading);
    EXPECT_TRUE(ViewerCloseDocument(context, DocItemGetId(loading.get())));
    EXPECT_EQ(DocItemGetChildCount(ViewerGetRootItem(context).get()), 2u);
}

TEST(CloseRoad, CloseAllEmptiesTheTreeAndEndsAnEdit) {
    const std::string dir = MakeScratchDir("close_road_all");
    MakeTiffFiles(dir, {{"a.tif", 2}, {"b.tif", 1}});
    ActionViewer viewer;
    ASSERT_EQ(viewer.Open({dir + "/a.tif", dir + "/b.tif"}), 2);
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    ASSERT_GT(viewer.ActiveId(), 0);
    viewer.Command(command::kRedlineFirstTool);
    ASSERT_EQ(ViewerGetRedliningMode(viewer.context.get()), 3u);

    viewer.Forget();
    EXPECT_TRUE(viewer.Command(command::kCloseAll));
    EXPECT_EQ(DocItemGetChildCount(ViewerGetRootItem(viewer.context.get()).get()), 0u);
    EXPECT_EQ(viewer.ActiveId(), -1);
    EXPECT_EQ(ViewerGetRedliningMode(viewer.context.get()), kRedliningModeView);
    EXPECT_EQ(RemovedIds(viewer).size(), 5u);
}
