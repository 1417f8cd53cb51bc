// Calendar date and date-time values with the program's text forms.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Read as one u32 (day in the low byte, year in the high half) dates order
// chronologically. All zero means no date.
struct DateValue {
    uint8_t day = 0;
    uint8_t month = 0;
    uint16_t year = 0;
};
static_assert(sizeof(DateValue) == 4);

// Read as one u64 the values order chronologically. All zero means no time.
struct DateTime {
    uint8_t zero = 0;
    uint8_t second = 0;
    uint8_t minute = 0;
    uint8_t hour = 0;
    uint8_t day = 0;
    uint8_t month = 0;
    uint16_t year = 0;
};
static_assert(sizeof(DateTime) == 8);

// Text buffer sizes in characters, terminator included. They hold the widest
// text any field value can give (a year up to 65535, the byte fields up to
// 255), not only four-digit years: file times carry years up to 30827.
constexpr size_t kDateCompactChars = 12;    // "yyyymmdd"
constexpr size_t kDateTextChars = 14;       // "dd.mm.yyyy"
constexpr size_t kDateTimeStampChars = 21;  // "yyyymmddhhmmss"
constexpr size_t kDateTimeTextChars = 26;   // "dd.mm.yyyy hh:mm:ss"

void DateValueSet(DateValue& date, uint16_t year, uint8_t month, uint8_t day);
DateValue& DateValueCopy(DateValue& date, const DateValue& other);
// "%04hd%02hd%02hd" (year, month, day).
wchar_t* DateValueToCompact(const DateValue& date, wchar_t (&buffer)[kDateCompactChars]);
// Style 2 "mm/dd/yyyy", 3 "dd.mm.yyyy", any other "yyyy.mm.dd"; the empty
// text for no date.
wchar_t* DateValueFormat(const DateValue& date, wchar_t (&buffer)[kDateTextChars], int32_t style);

// Zero, or the current local time.
DateTime& DateTimeInit(DateTime& time, bool zero);
DateTime DateTimeFromSystemTime(const SYSTEMTIME& system_time);
DateTime& DateTimeSetFromSystemTime(DateTime& time, const SYSTEMTIME& system_time);
DateTime DateTimeNow();
DateTime& DateTimeCopy(DateTime& time, const DateTime& other);
DateValue DateTimeGetDate(const DateTime& time);
// "%04hd%02hd%02hd%02hd%02hd%02hd" (year, month, day, hour, minute, second).
wchar_t* DateTimeStamp(const DateTime& time, wchar_t (&buffer)[kDateTimeStampChars]);
// The date by DateValueFormat's style, then " hh:mm:ss" or " hh:mm"; the
// empty text for no time.
wchar_t* DateTimeFormat(const DateTime& time, wchar_t (&buffer)[kDateTimeTextChars], int32_t style,
                        bool with_seconds);
