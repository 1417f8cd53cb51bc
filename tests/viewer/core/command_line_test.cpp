#include "viewer/core/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Text(const WString& text) { return WStrCStr(text); }

// The parsed command line in one line: the file names joined by '|', then
// every value that was set, in a fixed order.
std::wstring Describe(const CmdLine* command_line) {
    std::wstring out;
    for (uint32_t i = 0; i < CmdLineGetFileCount(command_line); ++i) {
        if (i) out += L"|";
        out += Text(CmdLineGetFileName(command_line, i));
    }
    out += L" ;";
    auto add = [&out](const std::wstring& item) { out += L" " + item; };
    if (CmdLineGetHandOver(command_line)) add(L"s");
    if (CmdLineGetDdeLogging(command_line)) add(L"dde");
    Ref<OpenParams> p = CmdLineGetOpenParams(command_line);
    if (WStrLength(p->title)) add(L"ti=" + Text(p->title));
    if (WStrLength(p->name)) add(L"fn=" + Text(p->name));
    if (RectD cut; OpenParamsGetCutOut(p.get(), cut)) {
        wchar_t text[128];
        swprintf(text, 128, L"c=%g,%g,%g,%g", cut.origin.x, cut.origin.y, cut.size.width, cut.size.height);
        add(text);
    }
    if (p->inverted_set) add(L"n=" + std::to_wstring(p->inverted));
    if (p->auto_invert_set) add(L"ai=" + std::to_wstring(p->auto_invert));
    if (p->rotation_set) add(L"r=" + std::to_wstring(p->rotation));
    if (p->mirror_h_set) add(L"fh=" + std::to_wstring(p->mirror_h));
    if (p->mirror_v_set) add(L"fv=" + std::to_wstring(p->mirror_v));
    if (WStrLength(p->user_id)) add(L"uid=" + Text(p->user_id));
    if (WStrLength(p->password)) add(L"pwd=" + Text(p->password));
    if (WStrLength(p->cookie)) add(L"cookie=" + Text(p->cookie));
    if (p->allow_save_set) add(L"save=" + std::to_wstring(p->allow_save));
    if (p->allow_print_set) add(L"print=" + std::to_wstring(p->allow_print));
    if (p->max_loading_time_set) add(L"ml=" + std::to_wstring(p->max_loading_time));
    if (WString scale; p->scale) add(L"sc=" + Text(FormatScale(p->scale.get(), scale)));
    return out;
}

}  // namespace

TEST(CommandLine, ParsesFileNamesAndEverySwitch) {
    struct Case {
        const wchar_t* text;
        const wchar_t* parsed;
    };
    const Case cases[] = {
        // File names: quoting, separators, Unicode.
        {L"", L" ;"},
        {L"a.tif", L"a.tif ;"},
        {L"\"C:\\My Drawings\\plan 1.tif\",\"D:\\b.tif\"", L"C:\\My Drawings\\plan 1.tif|D:\\b.tif ;"},
        {L"'C:\\x y\\a.tif' b.tif", L"C:\\x y\\a.tif|b.tif ;"},
        {L"\"C:\\Zeichnungen\\Gr\u00f6\u00dfe \u0394\u6587.tif\"",
         L"C:\\Zeichnungen\\Gr\u00f6\u00dfe \u0394\u6587.tif ;"},
        {L"\"C:\\O'Neil\\x.tif\" b.tif", L"C:\\O'Neil\\x.tif|b.tif ;"},
        {L"a.tif\tb.tif\r\nc.tif,,d.tif", L"a.tif|b.tif|c.tif|d.tif ;"},
        {L"\"\" a.tif", L"a.tif ;"},
        {L"x\"y z\" w \"open", L"x\"y z\"|w|open ;"},  // inner quotes stay; an open quote ends
        {L"\"C:\\a\tb.tif\"", L"C:\\a\tb.tif ;"},      // a quoted TAB stays in the path
        {L"%1 *.tif a?.tif <x> x>y.tif b.tif", L"b.tif ;"},
        // Flags match as whole words only, in any case, after '-' or '/'.
        {L"-s a.tif", L"a.tif ; s"},
        {L"/S", L" ; s"},
        {L"-sx -nosaves -x -foo a.tif", L"a.tif ;"},
        {L"-n -FH /fv", L" ; n=1 fh=1 fv=1"},
        {L"-dde_logging", L" ; dde"},
        {L"-nosave -noprint", L" ; save=0 print=0"},
        // Rotation: a true modulo; anything else leaves it unset.
        {L"-r:-90", L" ; r=270"},
        {L"-R:90", L" ; r=90"},
        {L"-r:-450", L" ; r=270"},
        {L"-r:720", L" ; r=0"},
        {L"-r:45", L" ;"},
        {L"-r:abc a.tif", L"a.tif ;"},
        {L"-r:", L" ;"},
        {L"-r:99999999999", L" ;"},
        // Cut-out: commas end tokens, so the numbers after "c:" belong to it.
        {L"-c:0,0,100,50 a.tif", L"a.tif ; c=0,0,100,50"},
        {L"\"-c:0,0,100,50\" a.tif", L"a.tif ; c=0,0,100,50"},
        {L"-c:10, 20, 110, 70.5", L" ; c=10,20,100,50.5"},
        {L"-c: 10 20 110 70", L" ; c=10,20,100,50"},
        {L"-c:100,0,50,50 a.tif", L"a.tif ;"},
        {L"-c:0,0,100 a.tif", L"a.tif ;"},
        {L"-c:-5,0,100,50", L" ;"},
        {L"-c:0,0,100,50,7", L"7 ; c=0,0,100,50"},
        // Texts.
        {L"-ti:\"Plan A\" -fn:'copy.tif'", L" ; ti=Plan A fn=copy.tif"},
        {L"\"-ti: Plan B \"", L" ; ti=Plan B"},
        {L"-uid:anna -pwd:s3cret -cookie:id=5", L" ; uid=anna pwd=s3cret cookie=id=5"},
        // Loading limit in seconds, held in milliseconds, saturated.
        {L"-ml:5", L" ; ml=5000"},
        {L"-ml:5s", L" ;"},
        {L"-ml:-5", L" ;"},
        {L"-ml:99999999", L" ; ml=4294967295"},
        // Auto-invert.
        {L"-ai:2", L" ; ai=2"},
        {L"-ai:7", L" ; ai=0"},
        // Scale: "sc:" is no "s".
        {L"-sc:1:50 a.tif", L"a.tif ; sc=1 : 50"},
        {L"-sc:0.5", L" ; sc=1 : 2.0"},
        {L"-sc:0 a.tif", L"a.tif ;"},
        // All together, as the program's session list writes them.
        {L"\"C:\\a b.tif\" -r:180 -n -c:1,2,3,4 -ti:T -ml:2 -s",
         L"C:\\a b.tif ; s ti=T c=1,2,2,2 n=1 r=180 ml=2000"},
    };
    for (const Case& c : cases) {
        Ref<CmdLine> command_line = CmdLineCreate(c.text);
        EXPECT_EQ(Describe(command_line.get()), c.parsed)
            << "command line: " << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(Text(CmdLineGetText(command_line.get())), c.text);
    }
}
