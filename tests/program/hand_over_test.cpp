#include "program/hand_over.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "program/program_arguments.h"
#include "viewer/core/command_line.h"
#include "viewer/core/open_params.h"
#include "viewer/dde/dde_command_parser.h"

namespace {

// Whatever form the command takes, the running viewer (its DDE parser, then
// its command-line parser) reads back exactly these files, the switch s and
// its rotation. Names with an apostrophe would be cut in two by the
// documented form; one with a blank on both sides of it fits no form, so
// nothing is sent and this process opens it itself.
TEST(HandOver, TheRunningViewerReadsBackTheWholeCommandLine) {
    const struct {
        const wchar_t* command_line;
        const wchar_t* sent;  // null: any form that reads back whole
        std::vector<std::wstring> files;
    } cases[] = {
        {L"-s \"C:\\Plans\\a b.tif\" \"C:\\c.tif\" -r:90",
         L"FileOpenCmdLine(\"-s 'C:\\Plans\\a b.tif' 'C:\\c.tif' -r:90\")", {L"C:\\Plans\\a b.tif", L"C:\\c.tif"}},
        {L"-s \"C:\\Pl\u00e4ne\\\u03a9 \u5e73.tif\" -r:90", nullptr, {L"C:\\Pl\u00e4ne\\\u03a9 \u5e73.tif"}},
        {L"-s \"C:\\Plans\\O'Neil plan.tif\" -r:90", nullptr, {L"C:\\Plans\\O'Neil plan.tif"}},
        {L"\"C:\\x\\O'Neil plan.tif\" -s \"C:\\y\\it's.tif\" -r:90", nullptr,
         {L"C:\\x\\O'Neil plan.tif", L"C:\\y\\it's.tif"}},
        {L"-s C:\\x\\it's.tif", nullptr, {L"C:\\x\\it's.tif"}},
        {L"-s \"C:\\My Plans\\O'Neil plan.tif\" -r:90", nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        WString command = L"stale";
        ASSERT_EQ(HandOverBuildCommand(c.command_line, command), !c.files.empty());
        if (c.files.empty()) {
            EXPECT_EQ(WStrLength(command), 0u);
            continue;
        }
        if (c.sent) {
            EXPECT_STREQ(WStrCStr(command), c.sent);
        }
        WString name;
        Variant arguments[kDdeMaxArguments];
        WString texts[kDdeMaxArguments];
        ASSERT_GE(DdeParseCommand(command, name, arguments, kDdeMaxArguments, texts), 1);
        EXPECT_TRUE(WStrEquals(name, L"FileOpenCmdLine"));
        Ref<CmdLine> received = CmdLineCreate(WStrCStr(texts[0]));
        std::vector<std::wstring> files;
        for (uint32_t i = 0; i < CmdLineGetFileCount(received.get()); ++i)
            files.push_back(WStrCStr(CmdLineGetFileName(received.get(), i)));
        EXPECT_EQ(files, c.files);
        EXPECT_TRUE(CmdLineGetHandOver(received.get()));
        EXPECT_EQ(OpenParamsGetRotation(received->params.get()), wcsstr(c.command_line, L"-r:90") ? 90u : 0u);
    }
}

// The arguments a start hands over; the black-box checks start the program
// with well-formed ones only.
TEST(ProgramArguments, DropsTheProgramNameEvenAnUnterminatedOne) {
    for (const auto& [command_line, arguments] : {std::pair{L"\"C:\\Program Files\\P.exe\" -s \"C:\\a b.tif\"",
                                                            L"-s \"C:\\a b.tif\""},
                                                  {L"\"C:\\unterminated name", L""}, {nullptr, L""}}) {
        WString out = L"stale";
        EXPECT_STREQ(WStrCStr(ProgramArguments(command_line, out)), arguments);
    }
}

}  // namespace
