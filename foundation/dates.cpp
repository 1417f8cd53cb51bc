#include "foundation/dates.h"

namespace {

// Writes decimal numbers zero-padded to a minimum width into a fixed buffer;
// it never writes past the end and always terminates.
class TextWriter {
  public:
    TextWriter(wchar_t* buffer, size_t size) : buffer_(buffer), size_(size) { buffer_[0] = 0; }

    TextWriter& Number(uint32_t value, uint32_t min_digits) {
        wchar_t digits[10];
        uint32_t n = 0;
        do {
            digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
            value /= 10;
        } while (value != 0);
        for (uint32_t pad = n; pad < min_digits; ++pad) Char(L'0');
        while (n > 0) Char(digits[--n]);
        return *this;
    }

    TextWriter& Char(wchar_t c) {
        if (length_ + 1 >= size_) return *this;
        buffer_[length_++] = c;
        buffer_[length_] = 0;
        return *this;
    }

  private:
    wchar_t* buffer_;
    size_t size_;
    size_t length_ = 0;
};

bool IsZero(const DateValue& date) { return date.day == 0 && date.month == 0 && date.year == 0; }

bool IsZero(const DateTime& time) {
    return time.second == 0 && time.minute == 0 && time.hour == 0 && time.day == 0 && time.month == 0 &&
           time.year == 0;
}

void WriteDate(TextWriter& out, const DateValue& date, int32_t style) {
    switch (style) {
        case 2:
            out.Number(date.month, 2).Char(L'/').Number(date.day, 2).Char(L'/').Number(date.year, 4);
            break;
        case 3:
            out.Number(date.day, 2).Char(L'.').Number(date.month, 2).Char(L'.').Number(date.year, 4);
            break;
        default:
            out.Number(date.year, 4).Char(L'.').Number(date.month, 2).Char(L'.').Number(date.day, 2);
    }
}

}  // namespace

void DateValueSet(DateValue& date, uint16_t year, uint8_t month, uint8_t day) {
    date.year = year;
    date.month = month;
    date.day = day;
}

DateValue& DateValueCopy(DateValue& date, const DateValue& other) {
    date = other;
    return date;
}

wchar_t* DateValueToCompact(const DateValue& date, wchar_t (&buffer)[kDateCompactChars]) {
    TextWriter out(buffer, kDateCompactChars);
    out.Number(date.year, 4).Number(date.month, 2).Number(date.day, 2);
    return buffer;
}

wchar_t* DateValueFormat(const DateValue& date, wchar_t (&buffer)[kDateTextChars], int32_t style) {
    TextWriter out(buffer, kDateTextChars);
    if (!IsZero(date)) WriteDate(out, date, style);
    return buffer;
}

DateTime& DateTimeInit(DateTime& time, bool zero) {
    if (zero) {
        time = DateTime{};
        return time;
    }
    time = DateTimeNow();
    return time;
}

DateTime DateTimeFromSystemTime(const SYSTEMTIME& system_time) {
    DateTime time;
    DateTimeSetFromSystemTime(time, system_time);
    return time;
}

DateTime& DateTimeSetFromSystemTime(DateTime& time, const SYSTEMTIME& system_time) {
    time.zero = 0;
    time.second = static_cast<uint8_t>(system_time.wSecond);
    time.minute = static_cast<uint8_t>(system_time.wMinute);
    time.hour = static_cast<uint8_t>(system_time.wHour);
    time.day = static_cast<uint8_t>(system_time.wDay);
    time.month = static_cast<uint8_t>(system_time.wMonth);
    time.year = system_time.wYear;
    return time;
}

DateTime DateTimeNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return DateTimeFromSystemTime(now);
}

DateTime& DateTimeCopy(DateTime& time, const DateTime& other) {
    time = other;
    return time;
}

DateValue DateTimeGetDate(const DateTime& time) {
    DateValue date;
    DateValueSet(date, time.year, time.month, time.day);
    return date;
}

wchar_t* DateTimeStamp(const DateTime& time, wchar_t (&buffer)[kDateTimeStampChars]) {
    TextWriter out(buffer, kDateTimeStampChars);
    out.Number(time.year, 4).Number(time.month, 2).Number(time.day, 2);
    out.Number(time.hour, 2).Number(time.minute, 2).Number(time.second, 2);
    return buffer;
}

wchar_t* DateTimeFormat(const DateTime& time, wchar_t (&buffer)[kDateTimeTextChars], int32_t style,
                        bool with_seconds) {
    TextWriter out(buffer, kDateTimeTextChars);
    if (IsZero(time)) return buffer;
    WriteDate(out, DateTimeGetDate(time), style);
    out.Char(L' ').Number(time.hour, 2).Char(L':').Number(time.minute, 2);
    if (with_seconds) out.Char(L':').Number(time.second, 2);
    return buffer;
}
