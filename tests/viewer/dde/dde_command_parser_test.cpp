// How argument texts become typed arguments; what the server makes of
// whole commands is tested through DDE (dde_server_test.cpp).
#include "viewer/dde/dde_command_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Describe(const Variant& arg) {
    wchar_t text[64];
    switch (arg.tag) {
        case kVariantEmpty:
            return L"empty";
        case kVariantInt32:
            return L"int " + std::to_wstring(arg.payload.int32);
        case kVariantDouble:
            swprintf(text, 64, L"f64 %g", arg.payload.f64);
            return text;
        case kVariantText:
            return std::wstring(L"text ") + (arg.payload.text ? WStrCStr(*arg.payload.text) : L"");
        default:
            return L"tag " + std::to_wstring(arg.tag);
    }
}

}  // namespace

TEST(DdeParseCommand, NamesAndTypedArguments) {
    const struct {
        const wchar_t* text;
        const wchar_t* name;
        int32_t count;  // -1: refused
        std::vector<std::wstring> args;
    } cases[] = {
        {L"AppActivate", L"AppActivate", 0, {}},
        {L"FileCloseAll()", L"FileCloseAll", 0, {}},
        // A ',' inside quotes is a decimal point; '.' makes no number.
        {L"SetCutOut3(4, \"1,5\", 1.5, \"-0,25\", -3)",
         L"SetCutOut3",
         5,
         {L"int 4", L"f64 1.5", L"text 1.5", L"f64 -0.25", L"int -3"}},
        // Digits that overflow an int32 stay text; so do malformed numbers.
        {L"X(2147483647, -2147483648, 2147483648, 1-2, \"1,2,3\", \"\")",
         L"X",
         6,
         {L"int 2147483647", L"int -2147483648", L"text 2147483648", L"text 1-2", L"text 1,2,3", L"empty"}},
        {L"FileOpen(\"c:\\a (1).tif\", \"-r:90 -n\")",
         L"FileOpen",
         2,
         {L"text c:\\a (1).tif", L"text -r:90 -n"}},
        {L"FileClose (7)", L"FileClose", 1, {L"int 7"}},
        // A name ended by white space takes the rest as its arguments.
        {L"FileClose 7 8", L"FileClose", 2, {L"int 7", L"int 8"}},
        {L"(1, 2)", L"", -1, {}},
        {L"FileClose(1) extra", L"FileClose", -1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        WString name;
        Variant args[kDdeMaxArguments];
        VariantSetInt(args[9], 5);
        ASSERT_EQ(DdeParseCommand(c.text, name, args), c.count);
        EXPECT_STREQ(WStrCStr(name), c.name);
        for (uint32_t i = 0; i < kDdeMaxArguments; ++i) {
            EXPECT_EQ(Describe(args[i]), i < c.args.size() ? c.args[i] : L"empty") << i;
        }
    }
}

TEST(DdeArguments, NumericSlotsTakeNumbersAndDecimalTexts) {
    Variant arg;
    double number = 0;
    for (const wchar_t* text : {L"2.25", L"2,25"}) {
        VariantSetString(arg, text);
        ASSERT_TRUE(DdeArgNumber(arg, number)) << text;
        EXPECT_EQ(number, 2.25);
    }
    for (const wchar_t* text : {L"abc", L"1.2.3", L"1e5", L"-", L".", L"1,5.2", L"inf"}) {
        VariantSetString(arg, text);
        EXPECT_FALSE(DdeArgNumber(arg, number)) << text;
    }
    int32_t whole = 0;
    VariantSetDouble(arg, 0.5);
    EXPECT_FALSE(DdeArgInt(arg, whole));
    VariantClear(arg);
    EXPECT_FALSE(DdeArgNumber(arg, number));
}
