#include "foundation/dates.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

DateTime MakeTime(uint16_t year, uint8_t month, uint8_t day, uint8_t hour, uint8_t minute, uint8_t second) {
    SYSTEMTIME system_time{};
    system_time.wYear = year;
    system_time.wMonth = month;
    system_time.wDay = day;
    system_time.wHour = hour;
    system_time.wMinute = minute;
    system_time.wSecond = second;
    return DateTimeFromSystemTime(system_time);
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out.push_back(static_cast<char>(*text));
    return out;
}

// Every text form of one date-time, in the order date_formats.py writes them.
std::string AllForms(const DateTime& time) {
    wchar_t compact[kDateCompactChars];
    wchar_t date_text[kDateTextChars];
    wchar_t stamp[kDateTimeStampChars];
    wchar_t time_text[kDateTimeTextChars];
    DateValue date = DateTimeGetDate(time);
    std::string line = Narrow(DateValueToCompact(date, compact));
    for (int style : {1, 2, 3}) line += "|" + Narrow(DateValueFormat(date, date_text, style));
    line += "|" + Narrow(DateTimeStamp(time, stamp));
    line += "|" + Narrow(DateTimeFormat(time, time_text, 1, true));
    line += "|" + Narrow(DateTimeFormat(time, time_text, 2, true));
    line += "|" + Narrow(DateTimeFormat(time, time_text, 3, false));
    return line;
}

}  // namespace

// The styles 1 to 3 are checked against Python below; any other is style 1.
TEST(DateText, OtherStylesAndNoDate) {
    DateValue date;
    DateValueSet(date, 2004, 12, 24);
    wchar_t text[kDateTextChars];
    wchar_t time_text[kDateTimeTextChars];
    EXPECT_STREQ(DateValueFormat(date, text, 0), L"2004.12.24");
    EXPECT_STREQ(DateTimeFormat(MakeTime(2004, 12, 24, 7, 5, 9), time_text, 7, true), L"2004.12.24 07:05:09");
    DateValue none;
    DateTime no_time;
    DateTimeInit(no_time, true);
    EXPECT_STREQ(DateValueFormat(none, text, 3), L"");
    EXPECT_STREQ(DateTimeFormat(no_time, time_text, 3, true), L"");
    // Midnight of a real day is not "no time".
    EXPECT_STREQ(DateTimeFormat(MakeTime(2000, 1, 1, 0, 0, 0), time_text, 1, false), L"2000.01.01 00:00");
}

// File times run to the year 30828; the texts must stay inside their buffers
// and keep every digit.
TEST(DateText, FiveDigitYearsAndWildFieldsStayInBounds) {
    FILETIME latest{0xFFFFFFFFu, 0x7FFFFFFFu};
    SYSTEMTIME system_time;
    ASSERT_TRUE(FileTimeToSystemTime(&latest, &system_time));
    DateTime time = DateTimeFromSystemTime(system_time);
    EXPECT_EQ(time.year, 30828);
    wchar_t stamp[kDateTimeStampChars];
    DateTimeStamp(time, stamp);
    EXPECT_EQ(wcslen(stamp), 15u);
    EXPECT_EQ(std::wstring(stamp).substr(0, 5), L"30828");

    DateTime widest = MakeTime(65535, 255, 255, 255, 255, 255);
    wchar_t compact[kDateCompactChars];
    wchar_t date_text[kDateTextChars];
    wchar_t time_text[kDateTimeTextChars];
    DateValue date = DateTimeGetDate(widest);
    EXPECT_STREQ(DateValueToCompact(date, compact), L"65535255255");
    EXPECT_STREQ(DateValueFormat(date, date_text, 2), L"255/255/65535");
    EXPECT_STREQ(DateTimeStamp(widest, stamp), L"65535255255255255255");
    EXPECT_STREQ(DateTimeFormat(widest, time_text, 3, true), L"255.255.65535 255:255:255");
}

// Random date-times formatted here and by Python's strftime must agree.
TEST(DateOracle, MatchesPythonStrftime) {
    std::mt19937 random(2024);
    std::vector<DateTime> times;
    std::vector<std::string> input, expected;
    for (int i = 0; i < 400; ++i) {
        DateTime t = MakeTime(1000 + random() % 9000, 1 + random() % 12, 1 + random() % 28, random() % 24,
                              random() % 60, random() % 60);
        times.push_back(t);
        input.push_back(std::to_string(t.year) + " " + std::to_string(t.month) + " " + std::to_string(t.day) +
                        " " + std::to_string(t.hour) + " " + std::to_string(t.minute) + " " +
                        std::to_string(t.second));
    }
    ASSERT_TRUE(RunDataScript("date_formats.py", "in.txt out.txt", input, &expected));
    ASSERT_EQ(expected.size(), times.size());
    for (size_t i = 0; i < times.size(); ++i) EXPECT_EQ(AllForms(times[i]), expected[i]) << "line " << i;
}
