#include "viewer/core/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// The parsed command line in one line: the file names joined by '|', then
// every value that was set, in a fixed order.
std::wstring Describe(const CmdLine* command_line) {
    std::wstring out;
    for (uint32_t i = 0; i < CmdLineGetFileCount(command_line); ++i)
        out += (i ? L"|" : L"") + std::wstring(WStrCStr(CmdLineGetFileName(command_line, i)));
    out += L" ;";
    auto add = [&out](const std::wstring& item) { out += L" " + item; };
    if (CmdLineGetHandOver(command_line)) add(L"s");
    Ref<OpenParams> p = CmdLineGetOpenParams(command_line);
    if (WStrLength(p->title)) add(L"ti=" + std::wstring(WStrCStr(p->title)));
    if (WStrLength(p->user_id)) add(L"uid=" + std::wstring(WStrCStr(p->user_id)));
    if (RectD cut; OpenParamsGetCutOut(p.get(), cut)) {
        wchar_t text[128];
        swprintf(text, 128, L"c=%g,%g,%g,%g", cut.origin.x, cut.origin.y, cut.size.width, cut.size.height);
        add(text);
    }
    if (p->inverted_set) add(L"n=" + std::to_wstring(p->inverted));
    if (p->rotation_set) add(L"r=" + std::to_wstring(p->rotation));
    if (p->mirror_h_set) add(L"fh=" + std::to_wstring(p->mirror_h));
    if (p->allow_save_set) add(L"save=" + std::to_wstring(p->allow_save));
    if (p->allow_print_set) add(L"print=" + std::to_wstring(p->allow_print));
    if (p->max_loading_time_set) add(L"ml=" + std::to_wstring(p->max_loading_time));
    if (WString scale; p->scale) add(L"sc=" + std::wstring(WStrCStr(FormatScale(p->scale.get(), scale))));
    return out;
}

}  // namespace

TEST(CommandLine, ParsesFileNamesAndEverySwitch) {
    const wchar_t* const cases[][2] = {
        // File names: quoting, separators, Unicode, an apostrophe inside quotes.
        {L"", L" ;"},
        {L"\"C:\\My Drawings\\plan 1.tif\",\"D:\\b.tif\"", L"C:\\My Drawings\\plan 1.tif|D:\\b.tif ;"},
        {L"'C:\\x y\\a.tif' b.tif", L"C:\\x y\\a.tif|b.tif ;"},
        {L"\"C:\\Gr\u00f6\u00dfe \u0394\u6587.tif\"", L"C:\\Gr\u00f6\u00dfe \u0394\u6587.tif ;"},
        {L"\"C:\\O'Neil\\x.tif\" b.tif", L"C:\\O'Neil\\x.tif|b.tif ;"},
        {L"a.tif\tb.tif\r\nc.tif,,d.tif", L"a.tif|b.tif|c.tif|d.tif ;"},
        {L"x\"y z\" w \"open", L"x\"y z\"|w|open ;"},  // inner quotes stay; an open quote ends
        {L"%1 *.tif a?.tif <x> x>y.tif b.tif", L"b.tif ;"},
        // Flags match as whole words only, in any case, after '-' or '/'.
        {L"-sx -nosaves -x -foo /S -FH a.tif", L"a.tif ; s fh=1"},
        {L"-nosave -noprint", L" ; save=0 print=0"},
        // Rotation: a true modulo; anything else leaves it unset.
        {L"-r:-450", L" ; r=270"},
        {L"-r:45 -r:99999999999", L" ;"},
        // Cut-out: commas end tokens, so the numbers after "c:" belong to it.
        {L"\"-c:0,0,100,50\" a.tif", L"a.tif ; c=0,0,100,50"},
        {L"-c:10, 20, 110, 70.5", L" ; c=10,20,100,50.5"},
        {L"-c:100,0,50,50 -c:0,0,100 a.tif", L"a.tif ;"},
        {L"-c:0,0,100,50,7", L"7 ; c=0,0,100,50"},
        {L"-ti:\"Plan A\" -uid:anna", L" ; ti=Plan A uid=anna"},
        // Loading limit in seconds, held in milliseconds, saturated.
        {L"-ml:5s", L" ;"},
        {L"-ml:99999999", L" ; ml=4294967295"},
        // Scale: "sc:" is no "s".
        {L"-sc:1:50 a.tif", L"a.tif ; sc=1 : 50"},
        {L"-sc:0 a.tif", L"a.tif ;"},
        // All together, as the program's session list writes them.
        {L"\"C:\\a b.tif\" -r:180 -n -c:1,2,3,4 -ti:T -ml:2 -s -nosave",
         L"C:\\a b.tif ; s ti=T c=1,2,2,2 n=1 r=180 save=0 ml=2000"},
    };
    for (const auto& [text, parsed] : cases) {
        Ref<CmdLine> command_line = CmdLineCreate(text);
        EXPECT_EQ(Describe(command_line.get()), parsed) << testing::PrintToString(std::wstring(text));
        EXPECT_STREQ(WStrCStr(CmdLineGetText(command_line.get())), text);
    }
}
