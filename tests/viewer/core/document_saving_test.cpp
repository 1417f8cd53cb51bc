// Save As and saving markups: the names proposed and completed, and the
// targets that are written or refused.
#include "viewer/core/document_saving.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/core/open_params.h"

namespace {

std::wstring Text(const WString& text) { return WStrLength(text) ? WStrCStr(text) : L""; }

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

}  // namespace

TEST(SaveNames, ProposalsFitTheDialogAndChoicesAreCompleted) {
    SaveAsProposal proposal;
    SaveAsPropose(nullptr, WString((std::wstring(300, L'x') + L".tif").c_str()), proposal);
    EXPECT_EQ(WStrLength(proposal.name), kSaveAsMaxName);
    WString out;
    EXPECT_EQ(Text(SaveAsCompleteName(WString(L"C:\\o.d\\a"), WString(L"tif"), out)), L"C:\\o.d\\a.tif");
    EXPECT_EQ(Text(SaveAsCompleteName(WString(L"C:\\o\\a.bmp"), WString(L"tif"), out)), L"C:\\o\\a.bmp");

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
        EXPECT_EQ(Text(name), c.name);
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
        const bool result = markups ? ViewerSaveRedlining(viewer.context.get(), nullptr)
                                    : ViewerSaveAs(viewer.context.get());
        return script.answered ? int(result) : -1;
    };
    auto one_box_says = [&](const wchar_t* text) {
        return boxes.size() == 1 && Contains(boxes[0], text);
    };

    const int copied = save(false, "copy", IDOK);
    if (copied < 0) GTEST_SKIP() << "no file dialog under this Wine";
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(ReadHostFile(dir + "/copy.tif"), drawing) << "the document's extension is appended";
    EXPECT_EQ(save(false, "drawing.tif", IDOK), 0);
    EXPECT_TRUE(one_box_says(L"is currently opened by Plovex"));

    // Markups: the open TIFF is refused (the user was told; nothing is lost),
    // another TIFF is replaced only when the user agrees, and since markups
    // cannot be written yet the user hears so.
    EXPECT_EQ(save(true, "drawing.tif", IDOK), 1);
    EXPECT_TRUE(one_box_says(L"is currently opened by Plovex"));
    EXPECT_EQ(save(true, "other.tif", IDNO), 0);
    EXPECT_TRUE(one_box_says(L"already exist"));
    EXPECT_EQ(save(true, "notes", IDOK), 0);
    EXPECT_TRUE(one_box_says(L"Error while trying to save the redlining information"));
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
