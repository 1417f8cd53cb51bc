#include "printing/printer_workarounds.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const wchar_t* text;
    int32_t default_value;
    size_t entries;
};

}  // namespace

TEST(PrinterWorkarounds, ParsesItemsAndSkipsTheMalformed) {
    const Case cases[] = {
        {L"HP=33;*=8", 8, 1},
        {L"", 0, 0},
        {L";;", 0, 0},
        {L" * = 4 ", 4, 0},
        {L"=5;Canon=x1;Epson=-3;Ricoh=;Xerox", 0, 0},  // leading '=', letters, sign, empty, no '='
        {L"=9;Lex = 12 ;=3", 0, 1},
        {L"A=1;=2; =7", 7, 1},  // a blank name sets the default
    };
    for (const Case& c : cases) {
        PrinterWorkarounds table;
        table.default_value = 99;
        table.entries.push_back({L"stale", 1});
        PrinterWorkaroundsParse(table, c.text);
        EXPECT_EQ(table.default_value, c.default_value) << c.text;
        EXPECT_EQ(table.entries.size(), c.entries) << c.text;
    }
}

TEST(PrinterWorkarounds, LookupMatchesPartOfTheNameInAnyCase) {
    PrinterWorkarounds table;
    PrinterWorkaroundsParse(table, L"HP=33;*=8;LaserJet=64");
    EXPECT_EQ(PrinterWorkaroundsLookup(table, L"\\\\server\\hp LaserJet 4"), 33);  // the first entry wins
    EXPECT_EQ(PrinterWorkaroundsLookup(table, L"Office hP"), 33);
    EXPECT_EQ(PrinterWorkaroundsLookup(table, L"laserjet"), 64);
    EXPECT_EQ(PrinterWorkaroundsLookup(table, L"Canon"), 8);
    EXPECT_EQ(PrinterWorkaroundsLookup(table, L""), 8);
    EXPECT_EQ(PrinterWorkaroundsFor(nullptr, L"HP"), 0u);
}
