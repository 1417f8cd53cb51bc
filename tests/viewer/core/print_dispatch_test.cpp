// The print command: which items print, which are refused with a message,
// and that without a printer nothing is printed.
#include "viewer/core/print_dispatch.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/open_params.h"
#include "viewer/core/registered_program.h"

namespace {

// Runs the call while answering message boxes; the texts shown.
template <class Call>
std::vector<std::wstring> BoxesShownBy(Call call) {
    DialogDriver driver([](DialogDriver&, HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    call();
    return driver.boxes;
}

}  // namespace

TEST(PrintCommand, PagesAndImageDocumentsPrintOthersAreRefused) {
    const std::string dir = MakeScratchDir("print_command");
    MakeTiffFiles(dir, {{"drawing.tif", 2}});
    WriteText(dir + "/notes.qqq", "not a drawing");
    ActionViewer viewer;
    viewer.UseEnglish();
    ViewerContext* context = viewer.context.get();
    ASSERT_EQ(viewer.Open({dir + "/drawing.tif", dir + "/notes.qqq"}), 2);
    Ref<DocItem> unshowable = viewer.Document(1);
    ASSERT_EQ(DocItemGetType(unshowable.get()), doc_type::kUnshowable);

    EXPECT_TRUE(ViewerCanPrintItem(viewer.Page(0, 0).get()));
    EXPECT_TRUE(ViewerCanPrintItem(viewer.Document(0).get()));
    EXPECT_FALSE(ViewerCanPrintItem(unshowable.get()));
    EXPECT_FALSE(ViewerCanPrintItem(ViewerGetRootItem(context).get()));
    EXPECT_FALSE(ViewerCanPrintItem(nullptr));

    // A printable page: no printer is available, so nothing prints and
    // nothing is said.
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    std::vector<std::wstring> boxes = BoxesShownBy([&] { EXPECT_FALSE(ViewerPrintDocument(context, 0)); });
    EXPECT_TRUE(boxes.empty());

    ASSERT_TRUE(ViewerActivateItem(context, DocItemGetId(unshowable.get())));
    boxes = BoxesShownBy([&] { EXPECT_TRUE(viewer.Command(command::kPrint)); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(L"You can't print this document!"), std::wstring::npos) << boxes[0];
}

TEST(PrintCommand, NoPrintAndThePrintRestrictionHoldForTheAccelerator) {
    const std::string dir = MakeScratchDir("print_refused");
    MakeTiffFiles(dir, {{"drawing.tif", 1}, {"free.tif", 1}});
    ActionViewer viewer;
    viewer.UseEnglish();
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetAllowPrint(params.get(), false);
    ASSERT_EQ(viewer.Open({dir + "/drawing.tif"}, kOpenCommandLine, params.get()), 1);
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    std::vector<std::wstring> boxes = BoxesShownBy([&] { viewer.Command(command::kPrint); });
    ASSERT_EQ(boxes.size(), 1u);

    ASSERT_EQ(viewer.Open({dir + "/free.tif"}), 1);
    ASSERT_TRUE(viewer.Command(command::kLastPage));
    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, 8);
    boxes = BoxesShownBy([&] { viewer.Command(command::kPrint); });
    EXPECT_EQ(boxes.size(), 1u);
}

TEST(RegisteredProgram, OnlyLoadedDocumentsTheViewerCannotShowAreHandedOver) {
    const std::string dir = MakeScratchDir("registered_program");
    MakeTiffFiles(dir, {{"drawing.tif", 1}});
    WriteText(dir + "/notes.qqqz", "no program is registered for this");
    ActionViewer viewer;
    viewer.UseEnglish();
    ViewerContext* context = viewer.context.get();
    ASSERT_EQ(viewer.Open({dir + "/drawing.tif", dir + "/notes.qqqz"}), 2);

    std::vector<std::wstring> boxes = BoxesShownBy([&] {
        EXPECT_FALSE(ViewerOpenWithRegisteredProgram(context, DocItemGetId(viewer.Document(0).get())));
        EXPECT_FALSE(ViewerOpenWithRegisteredProgram(context, DocItemGetId(viewer.Page(0, 0).get())));
        EXPECT_FALSE(ViewerOpenWithRegisteredProgram(context, 999999));
    });
    EXPECT_TRUE(boxes.empty());

    Variant id;
    VariantInitInt(id, DocItemGetId(viewer.Document(1).get()));
    boxes = BoxesShownBy([&] { ViewerSendActionArg(context, event::kOpenWithRegisteredProgram, id); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(L"Can't found appropriated application!"), std::wstring::npos) << boxes[0];
}
