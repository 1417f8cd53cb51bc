// The print command: which items print, which are refused with a message,
// and that without a printer nothing is printed; handing a document over
// to its registered program.
#include "viewer/core/print_dispatch.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/core/open_params.h"
#include "viewer/core/registered_program.h"

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
    // nothing is said.
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    EXPECT_TRUE(BoxesShownBy([&] { EXPECT_FALSE(ViewerPrintDocument(context, 0)); }).empty());
    // The print restriction (8) holds for the accelerator too.
    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, 8);
    EXPECT_EQ(BoxesShownBy([&] { viewer.Command(command::kPrint); }).size(), 1u);
    viewer.GetSettings()->restrictions = 0;
    ASSERT_TRUE(ViewerActivateItem(context, DocItemGetId(unshowable.get())));
    EXPECT_TRUE(SaysOnce(BoxesShownBy([&] { viewer.Command(command::kPrint); }),
                         L"You can't print this document!"));
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
