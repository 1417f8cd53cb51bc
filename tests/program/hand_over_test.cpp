#include "program/hand_over.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer/core/command_line.h"
#include "viewer/core/open_params.h"
#include "viewer/dde/dde_command_parser.h"

namespace {

// What the running viewer makes of a command: the argument that its DDE
// parser gives FileOpenCmdLine, parsed as a command line.
Ref<CmdLine> Received(const WString& command) {
    WString name;
    Variant arguments[kDdeMaxArguments];
    WString texts[kDdeMaxArguments];
    const int32_t count = DdeParseCommand(command, name, arguments, kDdeMaxArguments, texts);
    EXPECT_GE(count, 1);
    EXPECT_TRUE(WStrEquals(name, L"FileOpenCmdLine"));
    return CmdLineCreate(count >= 1 ? WStrCStr(texts[0]) : L"");
}

std::vector<std::wstring> Files(const CmdLine* command_line) {
    std::vector<std::wstring> files;
    for (uint32_t i = 0; i < CmdLineGetFileCount(command_line); ++i) {
        files.push_back(WStrCStr(CmdLineGetFileName(command_line, i)));
    }
    return files;
}

struct HandOverCase {
    const wchar_t* command_line;
    std::vector<std::wstring> files;
};

TEST(HandOver, TextWithoutApostropheTravelsInTheDocumentedForm) {
    WString command;
    ASSERT_TRUE(HandOverBuildCommand(L"-s \"C:\\Plans\\a b.tif\" \"C:\\c.tif\" -r:90", command));
    EXPECT_STREQ(WStrCStr(command), L"FileOpenCmdLine(\"-s 'C:\\Plans\\a b.tif' 'C:\\c.tif' -r:90\")");
    Ref<CmdLine> received = Received(command);
    EXPECT_EQ(Files(received.get()), (std::vector<std::wstring>{L"C:\\Plans\\a b.tif", L"C:\\c.tif"}));
    EXPECT_EQ(OpenParamsGetRotation(received->params.get()), 90u);
    EXPECT_TRUE(CmdLineGetHandOver(received.get()));
}

TEST(HandOver, NamesOutsideTheCodePageArriveWhole) {
    WString command;
    ASSERT_TRUE(HandOverBuildCommand(L"-s \"C:\\Pl\u00e4ne\\\u03a9 \u5e73\u9762.tif\"", command));
    EXPECT_EQ(Files(Received(command).get()),
              (std::vector<std::wstring>{L"C:\\Pl\u00e4ne\\\u03a9 \u5e73\u9762.tif"}));
}

// Names with an apostrophe, which the documented form (double quotes turned
// into single ones) would cut apart: whichever form is sent, the running
// viewer reads back exactly these files and switches.
TEST(HandOver, NamesWithAnApostropheArriveWhole) {
    const HandOverCase cases[] = {
        {L"-s \"C:\\Plans\\O'Neil plan.tif\"", {L"C:\\Plans\\O'Neil plan.tif"}},
        {L"-s \"C:\\My Plans\\O'Neil.tif\" -r:90", {L"C:\\My Plans\\O'Neil.tif"}},
        {L"\"C:\\x\\O'Neil plan.tif\" -s \"C:\\y\\it's.tif\"",
         {L"C:\\x\\O'Neil plan.tif", L"C:\\y\\it's.tif"}},
        {L"-s C:\\x\\it's.tif", {L"C:\\x\\it's.tif"}},
    };
    for (const HandOverCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "command line " << std::wstring(c.command_line).size());
        WString command;
        ASSERT_TRUE(HandOverBuildCommand(c.command_line, command));
        Ref<CmdLine> received = Received(command);
        EXPECT_EQ(Files(received.get()), c.files);
        EXPECT_TRUE(CmdLineGetHandOver(received.get()));
    }
    WString command;
    ASSERT_TRUE(HandOverBuildCommand(L"-s \"C:\\My Plans\\O'Neil.tif\" -r:90", command));
    EXPECT_EQ(OpenParamsGetRotation(Received(command)->params.get()), 90u);
}

// A blank both before and after an apostrophe inside one name defeats every
// quoting that the two parsers share: nothing is sent, so that this process
// opens the file itself rather than the running viewer two wrong ones.
TEST(HandOver, TextThatNoFormCarriesIsNotSent) {
    WString command = L"stale";
    EXPECT_FALSE(HandOverBuildCommand(L"-s \"C:\\My Plans\\O'Neil plan.tif\"", command));
    EXPECT_EQ(WStrLength(command), 0u);
}

}  // namespace
