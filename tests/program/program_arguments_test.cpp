#include "program/program_arguments.h"

#include <gtest/gtest.h>

namespace {

struct ArgumentsCase {
    const wchar_t* command_line;
    const wchar_t* arguments;
};

TEST(ProgramArguments, DropsTheProgramNameAndKeepsTheRestAsGiven) {
    const ArgumentsCase cases[] = {
        {L"\"C:\\Program Files\\Plovex\\PLXEX529.exe\" -s \"C:\\a b.tif\"", L"-s \"C:\\a b.tif\""},
        {L"PLXEX529.exe   \t -r:90  x.tif ", L"-r:90  x.tif "},
        {L"\"C:\\p q\\PLXEX529.exe\"-s", L"-s"},
        {L"PLXEX529.exe", L""},
        {L"\"C:\\unterminated name", L""},
        {L"", L""},
        {L"p.exe \u03a9\u5e73.tif", L"\u03a9\u5e73.tif"},
    };
    for (const ArgumentsCase& c : cases) {
        WString out = L"stale";
        EXPECT_STREQ(WStrCStr(ProgramArguments(c.command_line, out)), c.arguments);
    }
    WString out = L"stale";
    EXPECT_EQ(WStrLength(ProgramArguments(nullptr, out)), 0u);
}

}  // namespace
