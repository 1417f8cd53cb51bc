#include "viewer/core/viewer_context.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/hub_test_support.h"
#include "viewer/core/app_root.h"
#include "viewer/core/document_controller.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/settings.h"
#include "viewer/core/variable_list.h"
#include "viewer/documents/comparison_item.h"
#include "viewer/documents/doc_item.h"
#include "viewer/views/progress_forwarder.h"
#include "viewer/windows/frame_window.h"

namespace {

// A running root with its (stand-in) frame draining the hub, a context on
// it, and a listener that records what arrives.
struct RunningViewer {
    RunningViewer() {
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        context = ViewerContextConstruct(root.get());
        AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, false);
        listener = MakeRef<RecordingListener>();
        ListenerConstruct(listener.get(), AppGetEventHub(root.get()).get());
    }
    ~RunningViewer() {
        ListenerDetach(listener.get());
        AppStop(root.get());
        context.Reset();
        root.Reset();
    }

    Ref<AppRoot> root;
    Ref<ViewerContext> context;
    Ref<RecordingListener> listener;
};

// An item of no particular kind with the given name.
Ref<DocItem> AddItem(ViewerContext* context, DocItem* parent, const wchar_t* name) {
    Ref<DocItem> item = ComparisonCreate(context, parent);
    DocItemSetName(item.get(), nullptr, name);
    return item;
}

}  // namespace

TEST(ViewerContext, ActiveItemChangePostsOnlyWhenTheIdChanges) {
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    ViewerSetActiveItem(context, nullptr);  // none active: nothing changes
    Ref<DocItem> page = AddItem(context, ViewerGetRootItem(context).get(), L"a");
    viewer.listener->events.clear();  // what the item's creation sent
    ViewerSetActiveItem(context, page.get());
    ViewerSetActiveItem(context, page.get());
    ASSERT_TRUE(PumpUntil([&] { return !viewer.listener->events.empty(); }));
    PumpPending();
    EXPECT_EQ(viewer.listener->Codes(), std::vector<uint32_t>{event::kActiveItemChanged});
    EXPECT_EQ(viewer.listener->events[0].sender, context);
    EXPECT_EQ(ViewerGetActiveItem(context).get(), page.get());
    EXPECT_EQ(ViewerGetActiveItemId(context), page->id);

    ViewerSetActiveItem(context, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return viewer.listener->events.size() == 2; }));
    EXPECT_EQ(ViewerGetActiveItemId(context), -1);
    EXPECT_EQ(page->RefCountForTests(), 2u);  // the test's and the tree's
}

TEST(ViewerContext, SendsAndPostsInItsOwnName) {
    RunningViewer viewer;
    Variant argument;
    VariantInitString(argument, L"status");
    ViewerSendActionArg(viewer.context.get(), event::kStatusText, argument);
    ASSERT_EQ(viewer.listener->events.size(), 1u);  // sent at once
    EXPECT_EQ(viewer.listener->events[0].sender, viewer.context.get());
    WString text;
    EXPECT_TRUE(WStrEqualsChars(VariantToString(viewer.listener->events[0].argument, text), L"status"));
    // The program build has one action more at 61.
    EXPECT_EQ(event::kStatusText, 66u);

    ViewerPostAction(viewer.context.get(), event::kMainViewRecomputed);
    EXPECT_EQ(viewer.listener->events.size(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return viewer.listener->events.size() == 2; }));
    EXPECT_EQ(viewer.listener->events[1].code, event::kMainViewRecomputed);
}

TEST(ViewerContext, CountersAndTheRootItem) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<DocItem> root_item = ViewerGetRootItem(context.get());
    ASSERT_TRUE(root_item);
    EXPECT_EQ(DocItemGetType(root_item.get()), doc_type::kRoot);
    EXPECT_GT(root_item->id, 0);
    EXPECT_EQ(root_item->open_number, 0u);  // so documents count from 1
    EXPECT_EQ(ViewerNextOpenNumber(context.get()), 1u);
    EXPECT_EQ(ViewerNextOpenNumber(context.get()), 2u);
    EXPECT_EQ(ViewerNextComparisonNumber(context.get()), 1u);
    EXPECT_EQ(ViewerNextComparisonNumber(context.get()), 2u);

    EXPECT_TRUE(ViewerRaiseActivatedNumber(context.get(), 1));
    EXPECT_FALSE(ViewerRaiseActivatedNumber(context.get(), 1));
    EXPECT_TRUE(ViewerRaiseActivatedNumber(context.get(), 3));
    EXPECT_FALSE(ViewerRaiseActivatedNumber(context.get(), 2));
    EXPECT_TRUE(ViewerRaiseActivatedNumber(context.get(), 4));

    EXPECT_TRUE(ViewerGetProgressForwarder(context.get()));
    EXPECT_TRUE(ViewerGetVariableList(context.get()));
    EXPECT_EQ(ViewerGetApp(context.get()).get(), root.get());
    EXPECT_EQ(ViewerGetAppState(context.get()), kAppStarting);
    EXPECT_EQ(ViewerGetFrameHwnd(context.get()), nullptr);
    EXPECT_EQ(ViewerGetInstance(context.get()), GetModuleHandleW(nullptr));
    const bool redlining = SettingsGetRedliningActive(ViewerGetSettings(context.get()).get());
    EXPECT_EQ(context->redlining_active, redlining);
    EXPECT_EQ(ViewerGetRedliningMode(context.get()), redlining ? kRedliningModeView : kRedliningModeOff);
}

TEST(ViewerContext, FindsItemsByIdAndByPathName) {
    Ref<ViewerContext> context = ViewerContextConstruct(nullptr);
    Ref<DocItem> root = ViewerGetRootItem(context.get());
    Ref<DocItem> list = AddItem(context.get(), root.get(), L"C:\\Drawings\\list.txt");
    Ref<DocItem> nested = AddItem(context.get(), list.get(), L"C:/Drawings/Part-7.TIF");
    Ref<DocItem> page = AddItem(context.get(), nested.get(), L"");
    Ref<DocItem> last = AddItem(context.get(), root.get(), L"c:\\drawings\\PART-7.tif");

    EXPECT_EQ(ViewerFindItem(context.get(), page->id).get(), page.get());
    EXPECT_FALSE(ViewerFindItem(context.get(), last->id + 1));
    // Depth first, so the nested item comes before its namesake at the top.
    EXPECT_EQ(ViewerFindItemByName(context.get(), L"c:\\drawings\\part-7.tif").get(), nested.get());
    EXPECT_EQ(ViewerFindItemByName(context.get(), L"C:\\Drawings\\list.txt::3").get(), list.get());
    EXPECT_FALSE(ViewerFindItemByName(context.get(), L"C:\\Drawings\\list"));
}

TEST(ViewerContext, RestrictionsAndTextsByLanguage) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<Settings> settings = ViewerGetSettings(context.get());
    ASSERT_TRUE(settings);
    const uint32_t before = SettingsGetRestrictions(settings.get());
    SettingsAddRestrictions(settings.get(), nullptr, kCallerInternal, restriction::kZoom);
    EXPECT_FALSE(ViewerIsAllowed(context.get(), 0, restriction::kZoom | restriction::kScroll));
    EXPECT_EQ(ViewerIsAllowed(context.get(), 0, restriction::kScroll), !(before & restriction::kScroll));
    SettingsAddRestrictions(settings.get(), nullptr, kCallerInternal, 0xFFFFFFFF);
    EXPECT_TRUE(ViewerIsAllowed(context.get(), 1, 0xFFFFFFFF));
    EXPECT_TRUE(ViewerIsAllowed(nullptr, 0, 0xFFFFFFFF));  // no settings: nothing forbidden

    const uint16_t loaded = SettingsGetLanguage(settings.get());
    context->language = loaded == 0 ? 1 : 0;
    EXPECT_EQ(ViewerGetText(context.get(), 3002), nullptr);  // only the setting's language is loaded
    context->language = loaded;
    EXPECT_NE(ViewerGetText(context.get(), 3002), nullptr);
    EXPECT_STREQ(context->GetText(1, 0), nullptr);
    context->language = 11;
    EXPECT_EQ(ViewerGetText(context.get(), 3002), nullptr);
    EXPECT_TRUE(context->ReportError(1, 2, L"detail"));
    EXPECT_EQ(ViewerGetText(nullptr, 3002), nullptr);
}

TEST(ViewerContext, NullContextAnswersNothing) {
    EXPECT_FALSE(ViewerGetApp(nullptr));
    EXPECT_FALSE(ViewerGetSettings(nullptr));
    EXPECT_FALSE(ViewerGetController(nullptr));
    EXPECT_FALSE(ViewerGetFrame(nullptr));
    EXPECT_EQ(ViewerGetFrameHwnd(nullptr), nullptr);
    EXPECT_EQ(ViewerGetAppState(nullptr), kAppStopped);
    EXPECT_EQ(ViewerGetActiveItemId(nullptr), -1);
    EXPECT_FALSE(ViewerFindItem(nullptr, 1));
    EXPECT_FALSE(ViewerFindItemByName(nullptr, L"x"));
    ViewerSendAction(nullptr, 1);
    ViewerPostAction(nullptr, 1);
    ViewerSetActiveItem(nullptr, nullptr);

    // A context without a root has its own items but no hub to talk to.
    Ref<ViewerContext> orphan = ViewerContextConstruct(nullptr);
    EXPECT_TRUE(ViewerGetRootItem(orphan.get()));
    Ref<DocItem> item = AddItem(orphan.get(), ViewerGetRootItem(orphan.get()).get(), L"x");
    ViewerSetActiveItem(orphan.get(), item.get());
    EXPECT_EQ(ViewerGetActiveItemId(orphan.get()), item->id);
}
