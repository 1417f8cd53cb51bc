// The viewer's commands and roads against documents made by ImageMagick:
// which action each command id sends or posts, with which argument; the
// print command and handing a document to its program; the view and page
// commands, the view notifications they post and what the restrictions
// refuse; what an open request makes in the tree and announces, which item
// is active after a close; the names Save As proposes and the targets it
// writes or refuses.
#include "viewer/core/commands.h"

#include <cmath>

#include "tests/viewer/core/actions_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/app/page_navigation.h"
#include "viewer/app/pane_modes.h"
#include "viewer/app/print_dispatch.h"
#include "viewer/app/registered_program.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/command_line.h"
#include "viewer/core/document_open_close.h"
#include "viewer/core/document_saving.h"
#include "viewer/core/view_operations.h"
#include "tests/viewer/fake_print_provider.h"

namespace {

constexpr int32_t N = INT32_MIN;     // no argument
constexpr bool P = true, S = false;  // posted or sent

struct Expected {
    uint32_t id;
    uint32_t action;
    int32_t argument;
    bool posted;
};

// The command table as the viewer's menus know it. The view, page, close
// and window commands are checked through their effect (below), open (500),
// compare (539) and the recent files from outside (frame_panes_test).
const Expected kTable[] = {
    {501, event::kSaveAs, N, S},
    {502, event::kConvertDialog, N, S},
    {537, event::kBitmapExportDialog, N, S},
    {538, event::kMeasuringPoint, N, S},
    {540, event::kComparisonMarker, 1, P},
    {541, event::kComparisonMarker, 2, P},
    {557, event::kAboutDialog, N, S},
    {573, event::kMarkupOrder, 0, P},
    {575, event::kMarkupProperties, N, S},
    {600, event::kOpenRecentFile, 0, P},
    {649, event::kOpenRecentFile, 49, P},
    {660, event::kExtensionCommand, 660, P},
    {759, event::kExtensionCommand, 759, P},
};

// Runs the command and checks that exactly the expected action arrived,
// at once when sent, only after the drain when posted.
void ExpectDispatch(ActionViewer& viewer, const Expected& expected) {
    SCOPED_TRACE(testing::Message() << "command " << expected.id);
    viewer.Forget();
    // The accelerator's notification code in the high word changes nothing.
    EXPECT_TRUE(ViewerOnCommand(viewer.context.get(), MAKEWPARAM(expected.id, 1), 0));
    EXPECT_EQ(viewer.listener->events.size(), expected.posted ? 0u : 1u);
    PumpPending();
    ASSERT_EQ(viewer.listener->events.size(), 1u);
    const ReceivedEvent& received = viewer.listener->events[0];
    EXPECT_EQ(received.code, expected.action);
    EXPECT_EQ(received.sender, viewer.context.get());
    if (expected.argument == N) {
        EXPECT_EQ(received.argument.tag, uint32_t(kVariantEmpty));
    } else {
        EXPECT_EQ(received.argument.tag, uint32_t(kVariantInt32));
        EXPECT_EQ(VariantToInt(received.argument), expected.argument);
    }
}

}  // namespace

TEST(Commands, EachIdSendsOrPostsItsAction) {
    ActionViewer viewer;
    viewer.MuteActions();
    for (const Expected& expected : kTable) ExpectDispatch(viewer, expected);
    // Information shows the custom box only when it has a title.
    ExpectDispatch(viewer, {560, event::kAboutDialog, N, S});
    viewer.GetSettings()->custom_app_info_title = L"Drawing archive";
    ExpectDispatch(viewer, {560, event::kInfoBox, N, S});

    // Other ids are not the viewer's: nothing is sent.
    for (uint32_t id : {0u, 499u, 505u, 515u, 520u, 559u, 576u, 599u, 650u, 659u, 760u, 799u, 811u, 9999u}) {
        viewer.Forget();
        EXPECT_FALSE(viewer.Command(id)) << id;
        PumpPending();
        EXPECT_TRUE(viewer.listener->events.empty()) << id;
    }
    EXPECT_FALSE(ViewerOnCommand(nullptr, 511, 0));

    // Print goes to the printer chosen last; one the list lacks is neither
    // chosen nor printed on.
    PrintProviders& providers = viewer.root->print_providers;
    PrintProvidersAdd(providers, MakeRef<FakePrintProvider>().get());
    PrintProvidersAdd(providers, MakeRef<FakePrintProvider>().get());
    ExpectDispatch(viewer, {503, event::kPrint, 0, S});
    ExpectDispatch(viewer, {801, event::kPrint, 1, S});
    viewer.Forget();
    EXPECT_TRUE(viewer.Command(805));
    PumpPending();
    EXPECT_TRUE(viewer.listener->events.empty());
    ExpectDispatch(viewer, {503, event::kPrint, 1, S});
    PtrArrayClear(providers.providers);
}

// The window commands store the panes' display modes as settings of the
// window group (a pane command's effect is checked from outside:
// desktop_program_test), within what the group's permission word allows.
TEST(PaneModes, WindowCommandsStoreTheModesWithinThePermissions) {
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    Settings* settings = viewer.GetSettings().get();
    EXPECT_TRUE(viewer.Command(command::kPreviewHidden));
    EXPECT_EQ(SettingsGetViewMode(settings, kPanePreview), 0);
    PumpPending();
    EXPECT_EQ(viewer.Count(event::kSettingChanged), 1u);
    // The viewer's own changes are kept for the user's key.
    EXPECT_NE(SettingsGetChangedMask(settings) & setting::kViewModePreview, 0u);
    // Modes a pane does not take are refused, and so is automation while
    // the window group's bit for it is cleared.
    EXPECT_FALSE(ViewerShowMenuBar(context, 2, 0) || ViewerShowStatusBar(context, -1, 0) ||
                 ViewerShowPreview(context, 3, 2));
    EXPECT_EQ(SettingsGetViewMode(settings, kPaneMenuBar), 1);
    settings->permissions[kGroupWindow] &= ~kPermissionKind2;
    EXPECT_FALSE(ViewerShowPreview(context, 1, 2));
    EXPECT_EQ(SettingsGetViewMode(settings, kPanePreview), 0);
    EXPECT_TRUE(ViewerShowPreview(context, 1, 0));
}

namespace {

// Runs the call while answering message boxes; the texts shown.
template <class Call>
std::vector<std::wstring> BoxesShownBy(Call call) {
    std::vector<std::wstring> boxes;
    ModalScript script([&](HWND box) { return boxes.push_back(BoxText(box)), Post(box, IDOK), true; });
    call();
    return boxes;
}

bool SaysOnce(const std::vector<std::wstring>& boxes, const wchar_t* text) {
    return boxes.size() == 1 && boxes[0].find(text) != std::wstring::npos;
}

}  // namespace

TEST(PrintCommand, PagesPrintOthersAndRestrictedOnesAreRefused) {
    const std::string dir = MakeScratchDir("print_command");
    MakeTiffFiles(dir, {{"drawing.tif", 2}, {"locked.tif", 1}});
    WriteText(dir + "/notes.qqqz", "not a drawing, and no program is registered for it");
    ActionViewer viewer;
    UseEnglish(viewer.context.get());
    ViewerContext* context = viewer.context.get();
    ASSERT_EQ(viewer.Open({dir + "/drawing.tif", dir + "/notes.qqqz"}), 2);
    Ref<DocItem> unshowable = viewer.Document(1);
    ASSERT_EQ(DocItemGetType(unshowable.get()), doc_type::kUnshowable);
    EXPECT_FALSE(ViewerCanPrintItem(nullptr) || ViewerCanPrintItem(ViewerGetRootItem(context).get()));

    // A printable page: no printer is available, so nothing prints and
    // nothing is said. Holds only while printing is a stand-in.
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    EXPECT_TRUE(BoxesShownBy([&] { EXPECT_FALSE(ViewerPrintDocument(context, 0)); }).empty());
    // The print restriction (8) holds for the accelerator too.
    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, 8);
    EXPECT_EQ(BoxesShownBy([&] { viewer.Command(command::kPrint); }).size(), 1u);
    viewer.GetSettings()->restrictions = 0;
    ASSERT_TRUE(ViewerActivateItem(context, DocItemGetId(unshowable.get())));
    EXPECT_TRUE(
        SaysOnce(BoxesShownBy([&] { viewer.Command(command::kPrint); }), L"You can't print this document!"));
    // A document opened with -noprint.
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetAllowPrint(params.get(), false);
    ASSERT_EQ(viewer.Open({dir + "/locked.tif"}, kOpenCommandLine, params.get()), 1);
    ASSERT_TRUE(viewer.Command(command::kLastPage));
    EXPECT_EQ(BoxesShownBy([&] { viewer.Command(command::kPrint); }).size(), 1u);

    // Only loaded documents the viewer cannot show go to their program.
    const int32_t refused[] = {DocItemGetId(viewer.Document(0).get()), DocItemGetId(viewer.Page(0, 0).get()),
                               999999};
    for (int32_t id : refused) {
        bool handed = true;
        EXPECT_TRUE(BoxesShownBy([&] { handed = ViewerOpenWithRegisteredProgram(context, id); }).empty());
        EXPECT_FALSE(handed) << id;
    }
    Variant id;
    VariantInitInt(id, DocItemGetId(unshowable.get()));
    const auto boxes =
        BoxesShownBy([&] { ViewerSendActionArg(context, event::kOpenWithRegisteredProgram, id); });
    EXPECT_TRUE(SaysOnce(boxes, L"Can't found appropriated application!"));
}

namespace {

// One two-page drawing, its first page active.
struct PageViewer : ActionViewer {
    explicit PageViewer(const std::string& name, const OpenParams* params = nullptr) {
        const std::string dir = MakeScratchDir(name);
        MakeTiff(dir + "/drawing.tif", 2);
        EXPECT_EQ(Open({dir + "/drawing.tif"}, kOpenCommandLine, params), 1);
        EXPECT_TRUE(Command(command::kFirstPage));
        cut_out = ActiveCutOut();
        EXPECT_TRUE(cut_out);
        page = CutOutGetPageSize(cut_out.get());
        Forget();
    }
    RectD Rect() const {
        RectD rect;
        return CutOutGetRect(cut_out.get(), rect);
    }
    Ref<CutOutState> cut_out;
    SizeD page;
};

}  // namespace

// The cut-out's rotation counts counter-clockwise, as the picture turns:
// "rotate left" adds 90. Switches, DDE and stored session lists depend on it.
TEST(ViewCommands, TurnsMirrorsAndInversion) {
    PageViewer viewer("view_rotation");
    ViewerContext* context = viewer.context.get();
    CutOutState* state = viewer.cut_out.get();
    const std::pair<uint32_t, uint32_t> steps[] = {
        {command::kRotateLeft, 90},   {command::kRotateRight, 0},  {command::kRotateRight, 270},
        {command::kRotateRight, 180}, {command::kRotateLeft, 270}, {command::kRotateLeft, 0},
    };
    for (const auto& [id, rotation] : steps) {
        EXPECT_TRUE(viewer.Command(id));
        EXPECT_EQ(CutOutGetRotation(state), rotation) << "after command " << id;
    }
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>(6, event::kViewRotation));
    EXPECT_TRUE(ViewerRotatePage(context, -1, -36090, false)) << "steps far below zero still come round";
    EXPECT_FALSE(ViewerRotatePage(context, -1, 45, true));
    EXPECT_FALSE(ViewerRotatePage(context, DocItemGetId(viewer.Document(0).get()), 90, true));
    EXPECT_EQ(CutOutGetRotation(state), 270u);

    // While the page is turned by a quarter, the mirrors on screen swap.
    viewer.Forget();
    CutOutSetRotation(state, 0);
    EXPECT_TRUE(viewer.Command(command::kMirrorVertical));
    EXPECT_TRUE(CutOutGetMirrorVertical(state));
    EXPECT_FALSE(CutOutGetMirrorHorizontal(state));
    CutOutSetRotation(state, 90);
    EXPECT_TRUE(viewer.Command(command::kMirrorVertical));
    EXPECT_TRUE(CutOutGetMirrorHorizontal(state)) << "vertical on screen is the page's horizontal";
    EXPECT_TRUE(CutOutGetMirrorVertical(state));
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>(2, event::kViewMirroring));
    // From outside the page's own flag is set, turned or not; setting the
    // value it has already reports nothing.
    viewer.Forget();
    EXPECT_TRUE(ViewerMirrorVertical(context, -1, false, true));
    EXPECT_TRUE(ViewerMirrorVertical(context, -1, false, true));
    EXPECT_FALSE(CutOutGetMirrorVertical(state));
    EXPECT_EQ(viewer.ViewMasks().size(), 1u);
    viewer.Forget();
    EXPECT_TRUE(viewer.Command(command::kInvert));
    EXPECT_TRUE(CutOutGetInvert(state));
    EXPECT_FALSE(ViewerSetInverted(context, 555555, false, true));
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>{event::kViewInversion});
}

// Restrictions 1024 (zoom) and 2048 (scroll) bind the viewer's own roads;
// callers from outside (kind 2) are not bound by them.
TEST(ViewCommands, ZoomAboutTheCentreWithinRestrictionsAndLimits) {
    PageViewer viewer("view_zoom");
    ViewerContext* context = viewer.context.get();
    const double w = viewer.page.width, h = viewer.page.height;
    EXPECT_TRUE(viewer.Command(command::kZoomIn));
    ExpectRect(viewer.Rect(), w / 4, h / 4, w / 2, h / 2);
    EXPECT_TRUE(viewer.Command(command::kZoomIn));
    EXPECT_TRUE(viewer.Command(command::kZoomOut));
    ExpectRect(viewer.Rect(), w / 4, h / 4, w / 2, h / 2);
    EXPECT_TRUE(viewer.Command(command::kZoomAll));
    ExpectRect(viewer.Rect(), 0, 0, w, h);
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>(4, event::kViewZoom));
    // The whole page does not grow; nothing is reported.
    viewer.Forget();
    EXPECT_FALSE(ViewZoomByFactor(context, 0, -1, 0.8));
    EXPECT_TRUE(viewer.ViewMasks().empty());

    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, restriction::kZoom);
    EXPECT_TRUE(viewer.Command(command::kZoomIn));
    ExpectRect(viewer.Rect(), 0, 0, w, h);
    EXPECT_FALSE(ViewerSetCutOut(context, 0, -1, RectD{SizeD{10, 10}, PointD{}}, false));
    EXPECT_TRUE(ViewZoomByFactor(context, 2, -1, 1.2));
    ExpectRect(viewer.Rect(), w / 4, h / 4, w / 2, h / 2);
    EXPECT_TRUE(ViewerZoomAll(context, 2, -1));
    viewer.GetSettings()->restrictions = 0;

    // Zooming in stops once the cut-out is a thousandth of the page.
    int steps = 0;
    while (ViewZoomByFactor(context, 0, -1, 1.2) && steps < 100) ++steps;
    EXPECT_EQ(steps, 10);  // 1/1024 is the first size not above 1/1000
    EXPECT_FALSE(ViewZoomByFactor(context, 0, -1, NAN));
    // A fixed zoom factor stops zooming; bad factors are refused.
    viewer.Command(command::kZoomAll);
    ASSERT_TRUE(ViewerSetZoomFactor(context, -1, 0, 1.5, true));
    EXPECT_FALSE(ViewZoomByFactor(context, 0, -1, 1.2));
    ExpectRect(viewer.Rect(), 0, 0, w, h);
    EXPECT_FALSE(ViewerSetZoomFactor(context, -1, 0, -1.0, true));
    EXPECT_FALSE(ViewerSetZoomFactor(context, -1, 0, INFINITY, false));
    // No such page: the fixed factor is still cleared.
    EXPECT_TRUE(ViewerSetZoomFactor(context, 424242, 0, 3.0, false));
    EXPECT_EQ(SettingsGetZoomFactor(viewer.GetSettings().get()), 0.0);
}

TEST(ViewCommands, CutOutsFromOutsideAreFittedIntoThePageAndTheStandardViewReturns) {
    Ref<OpenParams> params = OpenParamsCreate();
    ASSERT_TRUE(OpenParamsSetCutOut(params.get(), RectD{SizeD{20, 10}, PointD{5, 5}}));
    OpenParamsSetRotation(params.get(), 90);
    PageViewer viewer("view_cut_out", params.get());
    ViewerContext* context = viewer.context.get();
    CutOutState* state = viewer.cut_out.get();
    const double w = viewer.page.width, h = viewer.page.height;
    ExpectRect(viewer.Rect(), 5, 5, 20, 10);
    ASSERT_EQ(CutOutGetRotation(state), 90u);

    // Hanging over the far edge: moved back inside.
    EXPECT_TRUE(ViewerSetCutOut(context, 2, -1, RectD{SizeD{10, 5}, PointD{w - 4, h - 1}}, false));
    ExpectRect(viewer.Rect(), w - 10, h - 5, 10, 5);
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>{event::kViewZoom});

    viewer.Command(command::kInvert);
    viewer.Command(command::kRotateLeft);
    viewer.Forget();
    EXPECT_TRUE(viewer.Command(command::kStandardView));
    ExpectRect(viewer.Rect(), 5, 5, 20, 10);
    EXPECT_EQ(CutOutGetRotation(state), 90u);
    EXPECT_FALSE(CutOutGetInvert(state));
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>{event::kViewEverything});
}

// The enabled page buttons and one sequence over all documents are also
// checked from outside (frame_panes_test); here the steps at the ends.
TEST(PageSteps, CommandsWalkThePagesOfAllDocuments) {
    const std::string dir = MakeScratchDir("page_steps_walk");
    MakeTiffFiles(dir, {{"a.tif", 2}, {"b.tif", 3}});
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    // An empty tree activates nothing.
    EXPECT_FALSE(ViewerPageStep(context, 0, true));
    EXPECT_TRUE(viewer.Command(command::kNextPage));
    EXPECT_EQ(viewer.ActiveId(), -1);
    EXPECT_FALSE(ViewerActivateItem(context, 42));

    ASSERT_EQ(viewer.Open({dir + "/a.tif", dir + "/b.tif"}), 2);
    auto page = [&](uint32_t document, uint32_t index) {
        return DocItemGetId(viewer.Page(document, index).get());
    };
    const std::pair<uint32_t, int32_t> steps[] = {
        {command::kFirstPage, page(0, 0)},    {command::kNextPage, page(0, 1)},
        {command::kNextPage, page(1, 0)},     {command::kLastPage, page(1, 2)},
        {command::kNextPage, page(1, 2)},  // the last page stays
        {command::kPreviousPage, page(1, 1)},
    };
    for (const auto& [id, expected] : steps) {
        EXPECT_TRUE(viewer.Command(id));
        EXPECT_EQ(viewer.ActiveId(), expected) << "after command " << id;
    }
    // More steps than pages take the last page reached; a negative absolute
    // page is refused.
    EXPECT_TRUE(ViewerPageStep(context, -10, false));
    EXPECT_EQ(viewer.ActiveId(), page(0, 0));
    EXPECT_FALSE(ViewerPageStep(context, -1, true));
    EXPECT_FALSE(ViewerPageStep(context, -1, false)) << "nothing before the first page";
    EXPECT_TRUE(ViewerPageStep(context, 2147483647, true));
    EXPECT_EQ(viewer.ActiveId(), page(1, 2));
    // From a document rather than a page, paging goes on from there.
    ASSERT_TRUE(ViewerActivateItem(context, DocItemGetId(viewer.Document(1).get())));
    EXPECT_TRUE(viewer.Command(command::kNextPage));
    EXPECT_EQ(viewer.ActiveId(), page(1, 0));
}

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

TEST(SaveNames, ProposalsFitTheDialogAndChoicesAreCompleted) {
    SaveAsProposal proposal;
    SaveAsPropose(nullptr, WString((std::wstring(300, L'x') + L".tif").c_str()), proposal);
    EXPECT_EQ(WStrLength(proposal.name), kSaveAsMaxName);
    WString out;
    EXPECT_EQ(Wide(SaveAsCompleteName(WString(L"C:\\o.d\\a"), WString(L"tif"), out)), L"C:\\o.d\\a.tif");
    EXPECT_EQ(Wide(SaveAsCompleteName(WString(L"C:\\o\\a.bmp"), WString(L"tif"), out)), L"C:\\o\\a.bmp");

    // Markups go to a .plr file or into a TIFF, by the name or the filter chosen.
    const struct {
        const wchar_t* chosen;
        uint32_t filter;
        const wchar_t* name;
        RedlineTarget target;
    } cases[] = {
        {L"C:\\m.d\\plan", 1, L"C:\\m.d\\plan.plr", kRedlineTargetFile},
        {L"C:\\m\\plan", 2, L"C:\\m\\plan.tif", kRedlineTargetTiff},
        {L"C:\\m\\plan.TIFF", 1, L"C:\\m\\plan.TIFF", kRedlineTargetTiff},
        {L"C:\\m\\plan.txt", 2, L"C:\\m\\plan.txt", kRedlineTargetFile},
    };
    for (const auto& c : cases) {
        WString name;
        EXPECT_EQ(RedlineTargetForName(WString(c.chosen), c.filter, name), c.target) << c.chosen;
        EXPECT_EQ(Wide(name), c.name);
    }
    RedlineProposedName(WString(), WString((std::wstring(400, L'p') + L".tif").c_str()), out);
    EXPECT_EQ(WStrLength(out), 259u) << "the dialog's buffer with its terminator";
}

// Save As and saving markups through the real file dialog: a copy is
// written, but never over an open file, another TIFF without consent, or
// from a document that may not be saved.
TEST(Saving, WritesACopyButOverwritesNothingItMustNot) {
    const std::string dir = MakeScratchDir("saving_targets");
    MakeTiffFiles(dir, {{"drawing.tif", 2}, {"other.tif", 1}, {"locked.tif", 1}});
    ActionViewer viewer;
    UseEnglish(viewer.context.get());
    ASSERT_EQ(viewer.Open({dir + "/drawing.tif"}), 1);
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    ASSERT_TRUE(DocItemGetRedlining(viewer.Document(0).get()));
    const std::vector<uint8_t> drawing = ReadHostFile(dir + "/drawing.tif");
    const std::vector<uint8_t> other = ReadHostFile(dir + "/other.tif");
    // Types the name into the file dialog and answers every message box with
    // `reply`; the result, or -1 when no dialog came up.
    std::vector<std::wstring> boxes;
    auto save = [&](bool markups, const std::string& name, int reply) {
        boxes.clear();
        ModalScript script([&](HWND dialog) {
            if (IsFileDialog(dialog))
                ChooseFileName(dialog, WindowsPathOf(dir + "/" + name));
            else
                boxes.push_back(BoxText(dialog)), Post(dialog, reply);
            return true;
        });
        const bool result =
            markups ? ViewerSaveRedlining(viewer.context.get(), nullptr) : ViewerSaveAs(viewer.context.get());
        return script.answered ? int(result) : -1;
    };

    const int copied = save(false, "copy", IDOK);
    ASSERT_GE(copied, 0) << "the Save As dialog did not show";
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(ReadHostFile(dir + "/copy.tif"), drawing) << "the document's extension is appended";
    EXPECT_EQ(save(false, "drawing.tif", IDOK), 0);
    EXPECT_TRUE(SaysOnce(boxes, L"is currently opened by Plovex"));

    // Markups: the open TIFF is refused (the user was told; nothing is lost),
    // another TIFF is replaced only when the user agrees, and since the
    // viewer's own tests install no markups, whose base writes nothing, the
    // user hears that nothing was saved.
    EXPECT_EQ(save(true, "drawing.tif", IDOK), 1);
    EXPECT_TRUE(SaysOnce(boxes, L"is currently opened by Plovex"));
    EXPECT_EQ(save(true, "other.tif", IDNO), 0);
    EXPECT_TRUE(SaysOnce(boxes, L"already exist"));
    // So is an existing companion file.
    ASSERT_TRUE(CopyFileW(WindowsPathOf(dir + "/other.tif").c_str(), WindowsPathOf(dir + "/kept.plr").c_str(),
                          FALSE));
    EXPECT_EQ(save(true, "kept.plr", IDNO), 0);
    EXPECT_TRUE(SaysOnce(boxes, L"already exist"));
    EXPECT_EQ(ReadHostFile(dir + "/kept.plr"), other);
    EXPECT_EQ(save(true, "notes", IDOK), 0);
    EXPECT_TRUE(SaysOnce(boxes, L"Error while trying to save the redlining information"));
    EXPECT_EQ(ReadHostFile(dir + "/drawing.tif"), drawing);
    EXPECT_EQ(ReadHostFile(dir + "/other.tif"), other);

    // Opened with -nosave: neither Save As nor Convert shows anything.
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetAllowSave(params.get(), false);
    ASSERT_EQ(viewer.Open({dir + "/locked.tif"}, kOpenCommandLine, params.get()), 1);
    ASSERT_TRUE(viewer.Command(command::kLastPage));
    ModalScript script([](HWND dialog) { return Post(dialog, IDCANCEL), true; });
    EXPECT_FALSE(ViewerSaveAs(viewer.context.get()));
    EXPECT_TRUE(viewer.Command(command::kConvert));
    EXPECT_TRUE(viewer.Command(command::kSaveAs));
    PumpPending();
    EXPECT_EQ(script.answered, 0);
}
