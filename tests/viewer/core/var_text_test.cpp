// Placeholders in texts (print headers, stamps) and the values of the
// built-in variables, on a clock fixed by the test and a document opened
// from a TIFF made by ImageMagick.
#include "viewer/core/var_text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/viewer/core/settings_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/variable_list.h"
#include "viewer/core/viewer_context.h"

namespace {

SYSTEMTIME FixedClock() {  // 8 December 2026, 9:05:30
    return SYSTEMTIME{2026, 12, 0, 8, 9, 5, 30, 0};
}

std::wstring Expand(ViewerContext* context, const wchar_t* text, const VarContext* var_context = nullptr) {
    VarText var_text;
    VarTextSet(var_text, WString(text));
    WString out;
    return WStrCStr(VarTextExpand(var_text, context, var_context, out));
}

}  // namespace

TEST(VarText, ReplacesKnownNamesAndKeepsTheRest) {
    // The registry roots point at empty keys: no user variables.
    SettingsKeyRedirect redirect("PlovexVarTextTest");
    ASSERT_TRUE(redirect.ok());
    const std::string dir = MakeScratchDir("var_text_documents");
    MakeTiff(dir + "/drawing.tif", 3);
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    {
        ScopedLock hold(context->lock);
        context->variables = VariableListConstruct(FixedClock);
        context->language = 1;  // dates as 2026-12-08
    }
    // Unknown or malformed placeholders stay as they are; print job numbers
    // come from the print's context, counted from 0.
    VarContext printing;
    printing.page_number = 2;
    printing.page_count = 5;
    const wchar_t* text = L"a<date>b <Time> <NOPE> <<DATE> < DATE> <\r\n> <TIME <PRPGNUMBER>/<PRPGCOUNT>";
    EXPECT_EQ(Expand(context, text, &printing),
              L"a2026-12-08b 9:05 <NOPE> <2026-12-08 < DATE> <\r\n> <TIME 3/5");
    EXPECT_EQ(Expand(context, L"[<PRPGNUMBER>|<DOCNAME>|<PGNUMBER>]"), L"[||]");
    EXPECT_EQ(Expand(nullptr, L"a<DATE>b"), L"a<DATE>b");  // no context, no variable list

    // Document values come from the item and its file.
    Ref<DocumentItem> document = viewer.Open(dir + "/drawing.tif");
    ASSERT_TRUE(document);
    ASSERT_EQ(DocItemGetChildCount(document.get()), 3u);
    text = L"<FILENAME>|<PATH>|<PGNUMBER>|<PGCOUNT>";
    const std::wstring directory = WindowsPathOf(dir) + L"\\";
    VarContext on_page(DocItemGetChild(document.get(), 1).get());
    EXPECT_EQ(Expand(context, text, &on_page), L"drawing.tif|" + directory + L"|2|3");
    VarContext on_document(document.get());
    EXPECT_EQ(Expand(context, text, &on_document), L"drawing.tif|" + directory + L"||3");
    VarContextFree(on_document);
    EXPECT_EQ(Expand(context, text, &on_document), L"|||");

    // Opened under another extension, the file is read from a temporary
    // copy, whose directory means nothing to the reader of a print.
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetName(params.get(), WString(L"drawing.tiff"));
    Ref<DocumentItem> copied = viewer.Open(dir + "/drawing.tif", params.get());
    ASSERT_TRUE(copied);
    VarContext on_copy(copied.get());
    EXPECT_EQ(Expand(context, L"<FILENAME>|<PATH>", &on_copy), L"drawing.tif|");
}
