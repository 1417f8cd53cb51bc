// Placeholders in texts and the values of the built-in variables, with a
// clock fixed by the test and documents opened from TIFFs made by
// ImageMagick.
#include "viewer/core/var_text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/viewer/core/settings_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/variable_list.h"
#include "viewer/core/viewer_context.h"

namespace {

// 8 December 2026, 9:05:30.
SYSTEMTIME FixedClock() {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 8;
    time.wHour = 9;
    time.wMinute = 5;
    time.wSecond = 30;
    return time;
}

std::wstring Expand(ViewerContext* context, const wchar_t* text, const VarContext* var_context = nullptr) {
    VarText var_text;
    VarTextSet(var_text, WString(text));
    WString out;
    return WStrCStr(VarTextExpand(var_text, context, var_context, out));
}

// A context without application whose variable list runs on the fixed
// clock; the registry roots point at empty keys of the test's own.
class VarTextTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(redirect_.ok());
        context = ViewerContextConstruct(nullptr);
        ScopedLock hold(context->lock);
        context->variables = VariableListConstruct(FixedClock);
        context->language = 1;
    }
    void SetLanguage(uint16_t language) {
        ScopedLock hold(context->lock);
        context->language = language;
    }

    SettingsKeyRedirect redirect_{"PlovexVarTextTest"};
    Ref<ViewerContext> context;
};

}  // namespace

TEST(VarTextScan, FindsOnlyNamesBetweenAngleBrackets) {
    const struct {
        const wchar_t* text;
        bool has;
    } cases[] = {
        {L"", false},      {L"plain text", false}, {L"<DATE>", true},   {L"on <DATE>.", true},
        {L"<>", false},    {L"< DATE>", false},    {L"<DA TE>", false}, {L"<DATE", false},
        {L"DATE>", false}, {L"<a\tb>", false},     {L"<\r\n>", false},  {L"x > y < z", false},
        {L"a<b<c>", true}, {L"<<DATE>", true},     {L"<<>>", false},    {L"1 < 2 and <x>", true},
    };
    for (const auto& c : cases) {
        VarText text;
        VarTextSet(text, WString(c.text));
        EXPECT_EQ(text.has_placeholders, c.has) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(VarTextScanPlaceholders(WString(c.text)), c.has);
    }
    VarText copy;
    VarText source;
    VarTextSet(source, WString(L"<TIME>"));
    VarTextCopy(copy, source);
    EXPECT_TRUE(copy.has_placeholders);
    VarTextInit(copy);
    EXPECT_FALSE(copy.has_placeholders);
    EXPECT_EQ(WStrLength(copy.text), 0u);
}

TEST_F(VarTextTest, ReplacesKnownNamesAndKeepsTheRest) {
    const struct {
        const wchar_t* text;
        const wchar_t* expanded;
    } cases[] = {
        {L"a<DATE>b", L"a2026-12-08b"},
        {L"<date> <Time>", L"2026-12-08 9:05"},
        {L"no placeholders, <> or < DATE>", L"no placeholders, <> or < DATE>"},
        {L"<NOPE> stays", L"<NOPE> stays"},
        {L"<<DATE>", L"<2026-12-08"},
        {L"<DATE><TIME>", L"2026-12-089:05"},
        {L"1 < 2 <TIME", L"1 < 2 <TIME"},
        {L"[<PRPGNUMBER>|<PRPGCOUNT>|<DOCNAME>|<PGNUMBER>]", L"[|||]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Expand(context.get(), c.text), c.expanded) << testing::PrintToString(std::wstring(c.text));

    SetLanguage(0);
    EXPECT_EQ(Expand(context.get(), L"a<DATE>b"), L"a8.12.2026b");
    // Without a context there is no variable list: nothing is replaced.
    EXPECT_EQ(Expand(nullptr, L"a<DATE>b"), L"a<DATE>b");
}

TEST_F(VarTextTest, PrintJobNumbersComeFromTheVarContext) {
    VarContext printing;
    EXPECT_EQ(Expand(context.get(), L"<PRPGNUMBER>/<PRPGCOUNT>", &printing), L"/");
    printing.page_number = 2;
    printing.page_count = 5;
    EXPECT_EQ(Expand(context.get(), L"Page <PRPGNUMBER> of <PRPGCOUNT>", &printing), L"Page 3 of 5");
    VarContextInit(printing, nullptr);
    EXPECT_EQ(printing.page_number, -1);
    EXPECT_EQ(printing.page_count, -1);
}

TEST_F(VarTextTest, UserNameComesFromTheEnvironment) {
    wchar_t saved[256] = {};
    const DWORD saved_length = GetEnvironmentVariableW(L"USERNAME", saved, 256);
    SetEnvironmentVariableW(L"USERNAME", L"drafter");
    EXPECT_EQ(Expand(context.get(), L"by <USERNAME>"), L"by drafter");
    SetEnvironmentVariableW(L"USERNAME", nullptr);
    EXPECT_EQ(Expand(context.get(), L"by <USERNAME>"), L"by ");
    SetEnvironmentVariableW(L"USERNAME", saved_length > 0 && saved_length < 256 ? saved : nullptr);
}

TEST(BuiltInVariables, DocumentValuesComeFromTheItemAndItsFile) {
    SettingsKeyRedirect redirect("PlovexVarTextDocumentTest");
    ASSERT_TRUE(redirect.ok());
    const std::string dir = MakeScratchDir("var_text_documents");
    MakeTiff(dir + "/drawing.tif", 3);
    RunningViewer viewer;
    {
        ScopedLock hold(viewer.context->lock);
        viewer.context->variables = VariableListConstruct(FixedClock);
    }
    Ref<DocumentItem> document = viewer.Open(dir + "/drawing.tif");
    ASSERT_TRUE(document);
    ASSERT_EQ(DocItemGetChildCount(document.get()), 3u);
    Ref<DocItem> page = DocItemGetChild(document.get(), 1);

    const wchar_t* text = L"<FILENAME>|<PATH>|<PGNUMBER>|<PGCOUNT>";
    VarContext on_page(page.get());
    const std::wstring directory = WindowsPathOf(dir) + L"\\";
    EXPECT_EQ(Expand(viewer.context.get(), text, &on_page), L"drawing.tif|" + directory + L"|2|3");
    WString display;
    DocItemGetDisplayName(page.get(), viewer.context.get(), display);
    EXPECT_EQ(Expand(viewer.context.get(), L"<DOCNAME>", &on_page), WStrCStr(display));

    VarContext on_document(document.get());
    EXPECT_EQ(Expand(viewer.context.get(), text, &on_document), L"drawing.tif|" + directory + L"||3");
    VarContextFree(on_document);
    EXPECT_EQ(Expand(viewer.context.get(), text, &on_document), L"|||");

    // Opened under another extension, the file is read from a temporary
    // copy, whose directory means nothing to the reader of a print.
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetName(params.get(), WString(L"drawing.tiff"));
    Ref<DocumentItem> copied = viewer.Open(dir + "/drawing.tif", params.get());
    ASSERT_TRUE(copied);
    ASSERT_EQ(DocItemGetType(copied.get()), doc_type::kImage);
    VarContext on_copy(copied.get());
    EXPECT_EQ(Expand(viewer.context.get(), L"<FILENAME>|<PATH>", &on_copy), L"drawing.tif|");
}
