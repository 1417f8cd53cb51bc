// The application's core: the event hub's sends and posts, which actions
// the action listener lets later listeners see; what creating, windowing,
// stopping and shutting down the root make, post and let go; its temporary
// files and their cleanup; the command line parsed.
#include "viewer/app/app_root.h"

#include <cstdio>
#include <thread>

#include "foundation/file_handle.h"
#include "tests/viewer/core/actions_test_support.h"
#include "viewer/app/action_listener.h"
#include "viewer/core/app_temp_files.h"
#include "viewer/core/command_line.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/image_store.h"
#include "viewer/core/module_list.h"
#include "viewer/core/shared_slot.h"
#include "viewer/windows/frame_window.h"

namespace {

Ref<RecordingListener> AddRecorder(EventHub* hub, HubAnswer answer = HubAnswer::kContinue) {
    Ref<RecordingListener> listener = MakeRef<RecordingListener>(answer);
    ListenerConstruct(listener.get(), hub);
    return listener;
}

}  // namespace

// The drain messages waiting in this thread's queue for the window, taken out.
int TakeDrainMessages(HWND window) {
    int count = 0;
    MSG message;
    while (PeekMessageW(&message, window, kHubDrainMessage, kHubDrainMessage, PM_REMOVE)) ++count;
    return count;
}

// Answer 2 hides an event from later listeners; 0 and 1 let it go on. A
// listener that detaches itself lives until its Notify returns.
TEST(EventHubSend, AnswersAndListenersLeavingDuringTheirNotify) {
    class DyingListener : public RecordingListener {
      public:
        explicit DyingListener(bool* destroyed) : destroyed_(destroyed) {}
        ~DyingListener() override { *destroyed_ = true; }
        bool* destroyed_;
    };
    Ref<EventHub> hub = EventHubCreate();
    Ref<RecordingListener> first = AddRecorder(hub.get(), HubAnswer::kHandled);
    Ref<RecordingListener> stopper = AddRecorder(hub.get(), HubAnswer::kStop);
    Ref<RecordingListener> last = AddRecorder(hub.get());
    EventHubSend(hub.get(), first.get(), 9);
    EXPECT_EQ(first->Codes(), std::vector<uint32_t>{9});
    EXPECT_EQ(stopper->Codes(), std::vector<uint32_t>{9});
    EXPECT_TRUE(last->events.empty());
    ListenerDetach(stopper.get());

    bool destroyed = false, alive_after_detach = false;
    {
        Ref<DyingListener> dying = MakeRef<DyingListener>(&destroyed);
        ListenerConstruct(dying.get(), hub.get());
        dying->on_notify = [&](RecordingListener* self, HubEvent*) {
            ListenerDetach(self);
            alive_after_detach = !destroyed;
        };
    }  // only the hub holds it now
    Ref<RecordingListener> later = AddRecorder(hub.get());
    EventHubSend(hub.get(), nullptr, 4);
    EXPECT_TRUE(alive_after_detach);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(later->Codes(), std::vector<uint32_t>{4});
    EventHubClose(hub.get());
}

// Posts from any thread arrive on the thread of the hub's window; without
// a window the queue is discarded and lets go of its arguments.
TEST(EventHubPost, WorkerThreadPostsArriveOnTheGuiThreadOrAreDiscarded) {
    Ref<EventHub> hub = EventHubCreate();
    Ref<HubDrainWindow> window = MakeRef<HubDrainWindow>(hub.get());
    Ref<RecordingListener> listener = AddRecorder(hub.get());
    std::thread worker([&] {
        Variant argument;
        VariantInitDouble(argument, 0.5);
        EventHubPostArg(hub.get(), nullptr, 8, argument);
        EventHubPost(hub.get(), nullptr, 16);
    });
    worker.join();
    EXPECT_TRUE(listener->events.empty()) << "queued until the GUI thread takes its messages";
    ASSERT_TRUE(PumpUntil([&] { return listener->events.size() == 2; }));
    EXPECT_EQ(listener->Codes(), (std::vector<uint32_t>{8, 16}));
    EXPECT_EQ(listener->events[0].thread, GetCurrentThreadId());
    EXPECT_DOUBLE_EQ(VariantToDouble(listener->events[0].argument), 0.5);

    listener->events.clear();
    Ref<RecordingListener> payload = MakeRef<RecordingListener>();
    Variant argument;
    VariantInitObject(argument, payload.get());
    EventHubPostArg(hub.get(), nullptr, 17, argument);
    VariantClear(argument);
    EXPECT_EQ(payload->RefCountForTests(), 2u);
    EventHubSetWindow(hub.get(), nullptr);
    EXPECT_EQ(payload->RefCountForTests(), 1u);
    PumpPending();
    EventHubDrain(hub.get());
    EXPECT_TRUE(listener->events.empty());
    window.Reset();
    EventHubClose(hub.get());
}

// A burst of posts shares one drain message, and what is posted while that
// drain runs is delivered in the same drain, in order. Whatever waits in the
// queue while a listener runs a message loop of its own (a modal dialog) is
// delivered inside that loop. A drain message that goes astray holds later
// posts back for no longer than a second.
TEST(EventHubPost, OneDrainMessageServesABurstAndNestedLoopsStillReceive) {
    Ref<EventHub> hub = EventHubCreate();
    Ref<HubDrainWindow> window = MakeRef<HubDrainWindow>(hub.get());
    Ref<RecordingListener> listener = AddRecorder(hub.get());
    for (uint32_t code = 1; code <= 5; ++code) EventHubPost(hub.get(), nullptr, code);
    std::thread worker([&] { EventHubPost(hub.get(), nullptr, 6); });
    worker.join();
    EXPECT_EQ(TakeDrainMessages(window->window()), 1);
    EXPECT_TRUE(listener->events.empty());
    EventHubPost(hub.get(), nullptr, 7);
    EXPECT_EQ(TakeDrainMessages(window->window()), 0) << "the taken message's drain has not begun";
    // Each drain here stands for the message taken before it.
    EventHubDrain(hub.get());
    EXPECT_EQ(listener->Codes(), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(TakeDrainMessages(window->window()), 1) << "one for the entries behind the first";
    EventHubDrain(hub.get());

    listener->events.clear();
    listener->on_notify = [&](RecordingListener*, HubEvent* event) {
        if (event->code == 10) {
            EventHubPost(hub.get(), nullptr, 11);
            EventHubPost(hub.get(), nullptr, 12);
        }
    };
    EventHubPost(hub.get(), nullptr, 10);
    EXPECT_EQ(TakeDrainMessages(window->window()), 1);
    EventHubDrain(hub.get());
    EXPECT_EQ(listener->Codes(), (std::vector<uint32_t>{10, 11, 12}));
    EXPECT_EQ(TakeDrainMessages(window->window()), 1);
    EventHubDrain(hub.get());
    EXPECT_EQ(listener->Codes(), (std::vector<uint32_t>{10, 11, 12}));

    // The listener of 20 waits in a loop of its own for 21, queued with 20,
    // and 22, posted from inside its notification.
    listener->events.clear();
    bool nested_received = false;
    listener->on_notify = [&](RecordingListener* self, HubEvent* event) {
        if (event->code != 20) return;
        EventHubPost(hub.get(), nullptr, 22);
        nested_received = PumpUntil([&] { return self->events.size() == 3; }, 2000);
    };
    EventHubPost(hub.get(), nullptr, 20);
    EventHubPost(hub.get(), nullptr, 21);
    ASSERT_TRUE(PumpUntil([&] { return listener->events.size() >= 3; }));
    EXPECT_TRUE(nested_received);
    EXPECT_EQ(listener->Codes(), (std::vector<uint32_t>{20, 21, 22}));
    listener->on_notify = nullptr;

    // A drain message that went astray (taken, never dispatched): a later
    // post sends another once the first has waited too long.
    listener->events.clear();
    EventHubPost(hub.get(), nullptr, 25);
    EXPECT_EQ(TakeDrainMessages(window->window()), 1);
    EventHubPost(hub.get(), nullptr, 26);
    EXPECT_EQ(TakeDrainMessages(window->window()), 0);
    uint32_t code = 27;
    ASSERT_TRUE(PollUntil([&] {
        EventHubPost(hub.get(), nullptr, code++);
        return listener->events.size() >= 3;
    }, 5000));
    EXPECT_EQ(listener->Codes()[0], 25u);
    EXPECT_EQ(listener->Codes()[1], 26u);
    window.Reset();
    EventHubClose(hub.get());
}

// A listener may put work off while a drain goes on: it is told whether
// more entries follow, and once that the drain ended. Sends outside a drain,
// and from other threads during one, are never part of it.
TEST(EventHubPost, ListenersLearnWhenADrainGoesOnAndWhenItEnds) {
    class DrainWatcher : public RecordingListener {
      public:
        void DrainEnded() override { ended.push_back(events.size()); }
        std::vector<size_t> ended;  // how many events had arrived at each end
    };
    Ref<EventHub> hub = EventHubCreate();
    Ref<HubDrainWindow> window = MakeRef<HubDrainWindow>(hub.get());
    Ref<DrainWatcher> watcher = MakeRef<DrainWatcher>();
    ListenerConstruct(watcher.get(), hub.get());
    std::vector<bool> continues;
    bool worker_saw_drain = true;
    watcher->on_notify = [&](RecordingListener*, HubEvent* event) {
        continues.push_back(EventHubDrainContinues(hub.get()));
        if (event->code == 2) {
            EventHubSend(hub.get(), nullptr, 3);  // inside the drain, with 4 still queued
            std::thread worker([&] { worker_saw_drain = EventHubDrainContinues(hub.get()); });
            worker.join();
        }
    };
    EventHubSend(hub.get(), nullptr, 1);
    EventHubPost(hub.get(), nullptr, 2);
    EventHubPost(hub.get(), nullptr, 4);
    ASSERT_TRUE(PumpUntil([&] { return watcher->events.size() == 4; }));
    PumpPending();
    EXPECT_EQ(watcher->Codes(), (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(continues, (std::vector<bool>{false, true, true, false}));
    EXPECT_FALSE(worker_saw_drain);
    EXPECT_EQ(watcher->ended, std::vector<size_t>{4}) << "once, and not for the drain that found nothing";
    watcher->on_notify = nullptr;
    ListenerDetach(watcher.get());
    window.Reset();
    EventHubClose(hub.get());
}

TEST(ActionListener, AnswersSayWhetherLaterListenersSeeTheAction) {
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocumentController> controller = AppGetController(viewer.root.get());
    Ref<ActionListener> listener(controller->listener);
    ASSERT_TRUE(listener);
    auto execute = [&](RefCounted* sender, uint32_t code, RefCounted* argument = nullptr) {
        Variant value;
        if (argument) VariantInitObject(value, argument);
        return ExecuteAction(listener.get(), sender, HubEventCreate(code, argument ? &value : nullptr).get());
    };
    // Handled actions stop the dispatch, except those others watch too; an
    // argument of the wrong kind is ignored, not misread. Notifications,
    // unknown codes and senders that are no viewer context are not its.
    Ref<OpenRequest> request = OpenRequestCreate(WString(), kOpenInteractive);
    EXPECT_EQ(execute(context, event::kZoomIn), HubAnswer::kStop);
    EXPECT_EQ(execute(context, event::kOpenRequest, request.get()), HubAnswer::kHandled);
    EXPECT_EQ(execute(context, event::kOpenRequest, CmdLineCreate(L"").get()), HubAnswer::kHandled);
    EXPECT_EQ(execute(context, event::kViewChanged), HubAnswer::kContinue);
    EXPECT_EQ(execute(context, 1000), HubAnswer::kContinue);
    EXPECT_EQ(execute(request.get(), event::kZoomIn), HubAnswer::kContinue);
    EXPECT_EQ(DocItemGetChildCount(ViewerGetRootItem(context).get()), 0u);
    // Through the hub: a later listener sees the open request but not the zoom.
    viewer.Forget();
    ViewerSendAction(context, event::kZoomIn);
    Variant argument;
    VariantInitObject(argument, request.get());
    ViewerSendActionArg(context, event::kOpenRequest, argument);
    EXPECT_EQ(viewer.listener->Codes(), std::vector<uint32_t>{event::kOpenRequest});

    // At the end of the application it lets go of hub and controller.
    const uint32_t before = controller->RefCountForTests();
    AppBroadcast(viewer.root.get(), event::kAppEnding);
    EXPECT_FALSE(listener->hub || listener->controller);
    EXPECT_EQ(controller->RefCountForTests(), before - 1);
    viewer.Forget();
    ViewerSendAction(context, event::kZoomIn);
    EXPECT_EQ(viewer.listener->Codes(), std::vector<uint32_t>{event::kZoomIn});
}

// Create, window, stop, shutdown: what each step makes, posts and lets go.
TEST(AppRoot, CreateWindowStopAndShutdownInOrder) {
    Ref<CmdLine> cmd_line = CmdLineParse(L"\"C:\\drawings\\one.tif\"");
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), cmd_line.get());
    ASSERT_TRUE(root && AppGetEventHub(root.get()));
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<RecordingListener> listener = MakeRef<RecordingListener>();
    ListenerConstruct(listener.get(), AppGetEventHub(root.get()).get());

    EXPECT_FALSE(AppCreateWindow(root.get(), nullptr, GetModuleHandleW(nullptr), nullptr, true));
    ASSERT_TRUE(AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, true));
    const HWND frame = AppGetFrameHwnd(root.get());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(EventHubGetWindow(AppGetEventHub(root.get()).get()), frame);
    EXPECT_TRUE(root->dde_server);  // asked for, started and kept
    EXPECT_TRUE(AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, false));
    EXPECT_EQ(AppGetFrameHwnd(root.get()), frame);
    StartTempCleanup(root.get());

    // Once stopping, posts no longer arrive; sends still do.
    AppStop(root.get());
    const size_t before = listener->events.size();
    ViewerPostAction(context.get(), event::kMainViewRecomputed);
    PumpPending();
    EXPECT_EQ(listener->events.size(), before);
    AppCloseAll(root.get(), context.get());
    const size_t closed = listener->events.size();
    AppBroadcast(root.get(), event::kAppEnding);
    ASSERT_EQ(listener->events.size(), closed + 1);
    EXPECT_EQ(listener->events.back().code, event::kAppEnding);

    // Shutdown ends the cleanup thread and lets go of everything once,
    // also of a listener still registered.
    Ref<SharedSlot> slot = AppGetSharedSlot(root.get());
    AppShutdown(root.get());
    EXPECT_EQ(root->cleanup_thread.load(), nullptr);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(listener->RefCountForTests(), 1u);
    EXPECT_EQ(cmd_line->RefCountForTests(), 1u);
    EXPECT_EQ(slot->RefCountForTests(), 1u);
    EXPECT_FALSE(AppGetSettings(root.get()) || AppGetEventHub(root.get()) || AppGetFrame(root.get()) ||
                 AppGetTextTable(root.get()) || AppGetModules(root.get()) || AppGetController(root.get()) ||
                 AppGetImageStore(root.get()) || AppGetSharedSlot(root.get()) || AppGetCmdLine(root.get()));
    AppShutdown(root.get());  // a second time does no harm
    EXPECT_EQ(AppGetState(root.get()), kAppStopped);
}

// 0 means "no item" to the DDE and tree callers: ids skip it when they wrap.
TEST(AppRoot, IdsNeverZeroOnWrap) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    root->next_item_id = root->next_source_id = 0xFFFFFFFF;
    for (uint32_t expected : {0xFFFFFFFFu, 1u}) {
        EXPECT_EQ(AppNextId(root.get()), expected);
        EXPECT_EQ(AppNextSourceId(root.get()), expected);
    }
}

namespace {

// Wine reports a file's creation time from the Unix file's modification
// time and ignores a creation time set through SetFileTime, so both are
// set: the entry then looks old on Windows and under Wine alike.
bool Backdate(const std::wstring& path, uint64_t hours) {
    FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILETIME old;
    GetSystemTimeAsFileTime(&old);
    ULARGE_INTEGER value{{old.dwLowDateTime, old.dwHighDateTime}};
    value.QuadPart -= hours * 3600ull * 10000000ull;
    old = {value.LowPart, value.HighPart};
    return file.valid() && SetFileTime(file.get(), &old, &old, &old);
}

bool MakeFile(const std::wstring& path) {
    return FileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)).valid();
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

// The cleanup deletes what looks like another session's temporary file:
// names made here must stay in the directory and in that shape, and a
// root without a directory makes no file at all.
TEST(AppTempFiles, NamesStayInTheDirectory) {
    const SYSTEMTIME time = {0, 0, 0, 0, 13, 59, 7, 999};  // 999 ms = 27 x 37
    const wchar_t* const cases[][2] = {
        {L"tif", L"PXfnwha_.tif"}, {L"", L"PXfnwha_.tmp"}, {L"a\\..\\b:c", L"PXfnwha_.a_.._b_c"}};
    for (const auto& [extension, expected] : cases) {
        WString name;
        EXPECT_STREQ(WStrCStr(AppTempFileName(5, time, 36, extension, name)), expected);
    }
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    root->temp_directory = WString();
    WString none = L"old";
    EXPECT_FALSE(AppMakeTempFile(root.get(), L"tif", none));
    EXPECT_EQ(WStrLength(none), 0u);
}

TEST(AppTempCleanup, DeletesOnlyOldFilesOfOtherSessions) {
    const std::wstring directory = WindowsPathOf(MakeScratchDir("app_temp_cleanup")) + L"\\";
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    root->temp_directory = directory.c_str();
    root->session_letter = 0;  // this session's files: "PXa..."
    struct Entry {
        const wchar_t* name;
        uint64_t age_hours;
        bool deleted;
    };
    // Old files of other sessions go; anything that might be a user's stays.
    const Entry entries[] = {
        {L"PXb12345.tmp", 72, true},   {L"PX_00000.tif", 49, true},  {L"PXb22222.tmp", 47, false},
        {L"PXa33333.tmp", 72, false},  {L"PXb44.tmp", 72, false},    {L"PXb4444.t", 72, false},
        {L"PXb555555.tmp", 72, false}, {L"pxb66666.tmp", 72, false}, {L"Notes.PXb77.txt", 72, false},
    };
    for (const Entry& entry : entries) {
        const std::wstring path = directory + entry.name;
        ASSERT_TRUE(MakeFile(path)) << entry.name;
        ASSERT_TRUE(Backdate(path, entry.age_hours)) << entry.name;
    }
    const std::wstring folder = directory + L"PXb88888.dir";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(Backdate(folder, 72));
    // A copy that another session still holds open, without delete sharing.
    const std::wstring live = directory + L"PXc99999.tif";
    ASSERT_TRUE(MakeFile(live));
    ASSERT_TRUE(Backdate(live, 72));
    FileHandle held(CreateFileW(live.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());

    // No thread without a directory (it would search the current one) or once stopped.
    const WString saved = root->temp_directory;
    root->temp_directory = WString();
    StartTempCleanup(root.get());
    EXPECT_EQ(root->cleanup_thread.load(), nullptr);
    root->temp_directory = saved;
    root->state = kAppStopped;
    StartTempCleanup(root.get());
    EXPECT_EQ(root->cleanup_thread.load(), nullptr);

    root->state = kAppRunning;
    StartTempCleanup(root.get());
    for (int i = 0; i < 500 && root->cleanup_thread.load(); ++i) Sleep(10);  // bounded poll
    ASSERT_EQ(root->cleanup_thread.load(), nullptr);
    for (const Entry& entry : entries)
        EXPECT_EQ(Exists(directory + entry.name), !entry.deleted) << entry.name;
    EXPECT_TRUE(Exists(folder));
    EXPECT_TRUE(Exists(live));
}

namespace {

// The parsed command line in one line: the file names joined by '|', then
// every value that was set, in a fixed order.
std::wstring Describe(const CmdLine* command_line) {
    std::wstring out;
    for (uint32_t i = 0; i < CmdLineGetFileCount(command_line); ++i)
        out += (i ? L"|" : L"") + std::wstring(WStrCStr(CmdLineGetFileName(command_line, i)));
    out += L" ;";
    auto add = [&out](const std::wstring& item) { out += L" " + item; };
    if (CmdLineGetHandOver(command_line)) add(L"s");
    Ref<OpenParams> p = CmdLineGetOpenParams(command_line);
    if (WStrLength(p->title)) add(L"ti=" + std::wstring(WStrCStr(p->title)));
    if (WStrLength(p->user_id)) add(L"uid=" + std::wstring(WStrCStr(p->user_id)));
    if (RectD cut; OpenParamsGetCutOut(p.get(), cut)) {
        wchar_t text[128];
        swprintf(text, 128, L"c=%g,%g,%g,%g", cut.origin.x, cut.origin.y, cut.size.width, cut.size.height);
        add(text);
    }
    if (p->inverted_set) add(L"n=" + std::to_wstring(p->inverted));
    if (p->rotation_set) add(L"r=" + std::to_wstring(p->rotation));
    if (p->mirror_h_set) add(L"fh=" + std::to_wstring(p->mirror_h));
    if (p->allow_save_set) add(L"save=" + std::to_wstring(p->allow_save));
    if (p->allow_print_set) add(L"print=" + std::to_wstring(p->allow_print));
    if (p->max_loading_time_set) add(L"ml=" + std::to_wstring(p->max_loading_time));
    if (WString scale; p->scale) add(L"sc=" + std::wstring(WStrCStr(FormatScale(p->scale.get(), scale))));
    return out;
}

}  // namespace

TEST(CommandLine, ParsesFileNamesAndEverySwitch) {
    const wchar_t* const cases[][2] = {
        // File names: quoting, separators, Unicode, an apostrophe inside quotes.
        {L"", L" ;"},
        {L"\"C:\\My Drawings\\plan 1.tif\",\"D:\\b.tif\"", L"C:\\My Drawings\\plan 1.tif|D:\\b.tif ;"},
        {L"'C:\\x y\\a.tif' b.tif", L"C:\\x y\\a.tif|b.tif ;"},
        {L"\"C:\\Gr\u00f6\u00dfe \u0394\u6587.tif\"", L"C:\\Gr\u00f6\u00dfe \u0394\u6587.tif ;"},
        {L"\"C:\\O'Neil\\x.tif\" b.tif", L"C:\\O'Neil\\x.tif|b.tif ;"},
        {L"a.tif\tb.tif\r\nc.tif,,d.tif", L"a.tif|b.tif|c.tif|d.tif ;"},
        {L"x\"y z\" w \"open", L"x\"y z\"|w|open ;"},  // inner quotes stay; an open quote ends
        {L"%1 *.tif a?.tif <x> x>y.tif b.tif", L"b.tif ;"},
        // Flags match as whole words only, in any case, after '-' or '/'.
        {L"-sx -nosaves -x -foo /S -FH a.tif", L"a.tif ; s fh=1"},
        {L"-nosave -noprint", L" ; save=0 print=0"},
        // Rotation: a true modulo; anything else leaves it unset.
        {L"-r:-450", L" ; r=270"},
        {L"-r:45 -r:99999999999", L" ;"},
        // Cut-out: commas end tokens, so the numbers after "c:" belong to it.
        {L"\"-c:0,0,100,50\" a.tif", L"a.tif ; c=0,0,100,50"},
        {L"-c:10, 20, 110, 70.5", L" ; c=10,20,100,50.5"},
        {L"-c:100,0,50,50 -c:0,0,100 a.tif", L"a.tif ;"},
        {L"-c:0,0,100,50,7", L"7 ; c=0,0,100,50"},
        {L"-ti:\"Plan A\" -uid:anna", L" ; ti=Plan A uid=anna"},
        // Loading limit in seconds, held in milliseconds, saturated.
        {L"-ml:5s", L" ;"},
        {L"-ml:99999999", L" ; ml=4294967295"},
        // Scale: "sc:" is no "s".
        {L"-sc:1:50 a.tif", L"a.tif ; sc=1 : 50"},
        {L"-sc:0 a.tif", L"a.tif ;"},
        // All together, as the program's session list writes them.
        {L"\"C:\\a b.tif\" -r:180 -n -c:1,2,3,4 -ti:T -ml:2 -s -nosave",
         L"C:\\a b.tif ; s ti=T c=1,2,2,2 n=1 r=180 save=0 ml=2000"},
    };
    for (const auto& [text, parsed] : cases) {
        Ref<CmdLine> command_line = CmdLineCreate(text);
        EXPECT_EQ(Describe(command_line.get()), parsed) << testing::PrintToString(std::wstring(text));
        EXPECT_STREQ(WStrCStr(CmdLineGetText(command_line.get())), text);
    }
}
