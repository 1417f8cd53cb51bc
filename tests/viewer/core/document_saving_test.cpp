// Save As and saving markups: the names proposed and completed, the copy
// written through the real file dialog, and the targets that are refused.
#include "viewer/core/document_saving.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/open_params.h"

namespace {

std::wstring Text(const WString& text) { return WStrLength(text) ? WStrCStr(text) : L""; }

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

}  // namespace

TEST(SaveAs, ProposesTheDocumentsNameAndCompletesTheChoice) {
    SaveAsProposal proposal;
    SaveAsPropose(nullptr, WString(L"plans/2024/drawing.tiff"), proposal);
    EXPECT_EQ(Text(proposal.name), L"plans\\2024\\drawing.tiff");
    EXPECT_EQ(Text(proposal.extension), L"tiff");
    EXPECT_EQ(Text(proposal.filter_description), L"*.tiff ");
    EXPECT_EQ(Text(proposal.filter_pattern), L"*.tiff");

    SaveAsPropose(nullptr, WString(L"archive.backup7"), proposal);
    EXPECT_EQ(Text(proposal.extension), L"backu");
    const std::wstring long_name(300, L'x');
    SaveAsPropose(nullptr, WString((long_name + L".tif").c_str()), proposal);
    EXPECT_EQ(WStrLength(proposal.name), kSaveAsMaxName);
    EXPECT_EQ(Text(proposal.extension), L"");

    WString out;
    EXPECT_EQ(Text(SaveAsCompleteName(WString(L"C:\\out\\copy"), WString(L"tif"), out)),
              L"C:\\out\\copy.tif");
    EXPECT_EQ(Text(SaveAsCompleteName(WString(L"C:\\out\\copy.bmp"), WString(L"tif"), out)),
              L"C:\\out\\copy.bmp");
    EXPECT_EQ(Text(SaveAsCompleteName(WString(L"C:\\out.d\\copy"), WString(), out)), L"C:\\out.d\\copy");
}

TEST(SaveAs, WritesACopyUnderTheChosenName) {
    const std::string dir = MakeScratchDir("save_as_copy");
    MakeTiffFiles(dir, {{"drawing.tif", 2}});
    ActionViewer viewer;
    ASSERT_EQ(viewer.Open({dir + "/drawing.tif"}), 1);
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    const std::wstring chosen = WindowsPathOf(dir + "/copy");

    DialogDriver driver([&](DialogDriver&, HWND dialog) {
        if (!DialogDriver::IsFileDialog(dialog)) return false;
        DialogDriver::ChooseFileName(dialog, chosen);
        return true;
    });
    const bool written = ViewerSaveAs(viewer.context.get());
    if (driver.dialogs == 0) GTEST_SKIP() << "no file dialog under this Wine";
    EXPECT_TRUE(written);
    // The document's own extension was appended.
    const std::vector<uint8_t> copy = ReadHostFile(dir + "/copy.tif");
    EXPECT_FALSE(copy.empty());
    EXPECT_EQ(copy, ReadHostFile(dir + "/drawing.tif"));
}

TEST(SaveAs, RefusesTheOpenFileAndDocumentsThatMayNotBeSaved) {
    const std::string dir = MakeScratchDir("save_as_refused");
    MakeTiffFiles(dir, {{"open.tif", 1}, {"locked.tif", 1}});
    ActionViewer viewer;
    viewer.UseEnglish();
    ASSERT_EQ(viewer.Open({dir + "/open.tif"}), 1);
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    const std::vector<uint8_t> before = ReadHostFile(dir + "/open.tif");

    {
        DialogDriver driver([&](DialogDriver&, HWND dialog) {
            if (DialogDriver::IsFileDialog(dialog)) {
                DialogDriver::ChooseFileName(dialog, WindowsPathOf(dir + "/open.tif"));
            } else {
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            }
            return true;
        });
        EXPECT_FALSE(ViewerSaveAs(viewer.context.get()));
        if (driver.dialogs == 0) GTEST_SKIP() << "no file dialog under this Wine";
        ASSERT_EQ(driver.boxes.size(), 1u);
        EXPECT_TRUE(Contains(driver.boxes[0], L"is currently opened by Plovex")) << driver.boxes[0];
    }
    EXPECT_EQ(ReadHostFile(dir + "/open.tif"), before);

    // Opened with -nosave: neither Save As nor Convert shows anything.
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetAllowSave(params.get(), false);
    ASSERT_EQ(viewer.Open({dir + "/locked.tif"}, kOpenCommandLine, params.get()), 1);
    ASSERT_TRUE(viewer.Command(command::kLastPage));
    DialogDriver driver([](DialogDriver&, HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    EXPECT_FALSE(ViewerSaveAs(viewer.context.get()));
    EXPECT_TRUE(viewer.Command(command::kConvert));
    EXPECT_TRUE(viewer.Command(command::kSaveAs));
    PumpPending();
    EXPECT_EQ(driver.dialogs, 0);
}

TEST(SaveRedlining, NamesAndTargetKinds) {
    const struct {
        const wchar_t* chosen;
        uint32_t filter;
        const wchar_t* name;
        RedlineTarget target;
    } cases[] = {
        {L"C:\\m\\plan", 1, L"C:\\m\\plan.plr", kRedlineTargetFile},
        {L"C:\\m\\plan", 2, L"C:\\m\\plan.tif", kRedlineTargetTiff},
        {L"C:\\m\\plan.TIFF", 1, L"C:\\m\\plan.TIFF", kRedlineTargetTiff},
        {L"C:\\m\\plan.Tif", 1, L"C:\\m\\plan.Tif", kRedlineTargetTiff},
        {L"C:\\m\\plan.txt", 2, L"C:\\m\\plan.txt", kRedlineTargetFile},
        {L"C:\\m.d\\plan", 1, L"C:\\m.d\\plan.plr", kRedlineTargetFile},
    };
    for (const auto& c : cases) {
        WString name;
        EXPECT_EQ(RedlineTargetForName(WString(c.chosen), c.filter, name), c.target) << c.chosen;
        EXPECT_EQ(Text(name), c.name);
    }
    WString proposed;
    EXPECT_EQ(Text(RedlineProposedName(WString(), WString(L"C:\\d\\plan.tif"), proposed)), L"C:\\d\\plan");
    EXPECT_EQ(Text(RedlineProposedName(WString(L"C:\\d\\own.plr"), WString(L"C:\\d\\plan.tif"), proposed)),
              L"C:\\d\\own");
    // The proposal fits the dialog's buffer with its terminator.
    RedlineProposedName(WString(), WString((std::wstring(400, L'p') + L".tif").c_str()), proposed);
    EXPECT_EQ(WStrLength(proposed), 259u);
}

TEST(SaveRedlining, TiffTargetsThatAreOpenOrTakenAreNotOverwritten) {
    const std::string dir = MakeScratchDir("save_redlining_targets");
    MakeTiffFiles(dir, {{"drawing.tif", 1}, {"other.tif", 1}});
    ActionViewer viewer;
    viewer.UseEnglish();
    ASSERT_EQ(viewer.Open({dir + "/drawing.tif"}), 1);
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    ASSERT_TRUE(DocItemGetRedlining(viewer.Document(0).get()));
    const std::vector<uint8_t> drawing = ReadHostFile(dir + "/drawing.tif");
    const std::vector<uint8_t> other = ReadHostFile(dir + "/other.tif");

    // Each round types a name, then answers every message box with `reply`.
    auto save_as = [&](const std::string& name, int reply, std::vector<std::wstring>& boxes) {
        DialogDriver driver([&](DialogDriver&, HWND dialog) {
            if (DialogDriver::IsFileDialog(dialog)) {
                DialogDriver::ChooseFileName(dialog, WindowsPathOf(dir + "/" + name));
            } else {
                PostMessageW(dialog, WM_COMMAND, reply, 0);
            }
            return true;
        });
        const bool result = ViewerSaveRedlining(viewer.context.get(), nullptr);
        boxes = driver.boxes;
        return std::make_pair(result, driver.dialogs);
    };

    std::vector<std::wstring> boxes;
    auto [open_result, seen] = save_as("drawing.tif", IDOK, boxes);
    if (seen == 0) GTEST_SKIP() << "no file dialog under this Wine";
    EXPECT_TRUE(open_result) << "the user was told; nothing is lost";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(Contains(boxes[0], L"is currently opened by Plovex")) << boxes[0];

    // Another document's TIFF is replaced only when the user agrees.
    auto [declined, ignored] = save_as("other.tif", IDNO, boxes);
    EXPECT_FALSE(declined);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(Contains(boxes[0], L"already exist")) << boxes[0];

    // Markups cannot be written yet: the user is told so.
    auto [written, shown] = save_as("notes", IDOK, boxes);
    EXPECT_FALSE(written);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(Contains(boxes[0], L"Error while trying to save the redlining information")) << boxes[0];

    EXPECT_EQ(ReadHostFile(dir + "/drawing.tif"), drawing);
    EXPECT_EQ(ReadHostFile(dir + "/other.tif"), other);
}
