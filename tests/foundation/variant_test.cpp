#include "foundation/variant.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/foundation/counted_probe.h"
#include "tests/support/test_support.h"

namespace {

std::wstring Text(const Variant& variant) {
    WString out;
    VariantToString(variant, out);
    return WStrCStr(out);
}

Variant TextVariant(const wchar_t* text) {
    Variant variant;
    VariantSetString(variant, WString(text));
    return variant;
}

Variant DateVariant(uint16_t year, uint8_t month, uint8_t day) {
    Variant variant;
    variant.tag = kVariantDate;
    DateValueSet(variant.payload.date, year, month, day);
    return variant;
}

// 24 December 2004, 07:05:09.
Variant StampVariant() {
    Variant variant;
    variant.tag = kVariantDateTime;
    SYSTEMTIME system_time{2004, 12, 5, 24, 7, 5, 9, 0};
    variant.payload.date_time = DateTimeFromSystemTime(system_time);
    return variant;
}

}  // namespace

TEST(VariantObject, ReferencesFollowCopyAssignAndClear) {
    Ref<CountedProbe> probe = MakeRef<CountedProbe>(1);
    Ref<CountedProbe> other = MakeRef<CountedProbe>(2);
    {
        Variant held;
        VariantInitObject(held, probe.get());
        EXPECT_EQ(probe->count(), 2u);
        Variant copy(held);
        EXPECT_EQ(probe->count(), 3u);
        {
            Ref<RefCounted> got = VariantGetObject(copy);
            EXPECT_EQ(got.get(), probe.get());
            EXPECT_EQ(probe->count(), 4u);
        }
        VariantSetObject(copy, other.get());
        EXPECT_EQ(probe->count(), 2u);
        EXPECT_EQ(other->count(), 2u);
        copy = held;
        EXPECT_EQ(probe->count(), 3u);
        EXPECT_EQ(other->count(), 1u);
        VariantSetInt(copy, 5);
        EXPECT_EQ(probe->count(), 2u);
        EXPECT_EQ(VariantGetObject(copy), nullptr);
        held = held;
        EXPECT_EQ(probe->count(), 2u);
        WString text;
        VariantFormat(held, text, true);
        EXPECT_EQ(WStrLength(text), 0u);
        EXPECT_EQ(held.tag, kVariantEmpty);
        EXPECT_EQ(probe->count(), 1u);
        VariantSetObject(held, nullptr);
        EXPECT_EQ(held.tag, kVariantEmpty);
    }
    EXPECT_EQ(probe->count(), 1u);
}

// Setting a Variant to the object or text it already holds, when it holds
// the only reference, must not free the value before taking it again.
TEST(VariantObject, SettingOwnValueKeepsItAlive) {
    Variant variant;
    {
        Ref<CountedProbe> probe = MakeRef<CountedProbe>(9);
        VariantSetObject(variant, probe.get());
    }
    VariantSetObject(variant, variant.payload.object);
    ASSERT_EQ(variant.tag, kVariantObject);
    EXPECT_EQ(static_cast<CountedProbe*>(variant.payload.object)->count(), 1u);
    VariantClear(variant);
    EXPECT_EQ(CountedProbe::alive, 0);

    VariantSetString(variant, WString(L"same text"));
    VariantSetString(variant, *variant.payload.text);
    EXPECT_EQ(Text(variant), L"same text");
}

TEST(VariantText, CopiesTheirOwnText) {
    Variant original = TextVariant(L"abc");
    Variant private_copy = original;
    ASSERT_NE(private_copy.payload.text, nullptr);
    EXPECT_NE(private_copy.payload.text, original.payload.text);
    VariantClear(original);
    EXPECT_EQ(Text(private_copy), L"abc");
    Variant empty = TextVariant(L""), empty_copy = empty;
    EXPECT_EQ(empty_copy.tag, kVariantText);
    EXPECT_EQ(Text(empty_copy), L"");
}

TEST(VariantGetters, ConvertByTag) {
    EXPECT_TRUE(VariantToBool(TextVariant(L"00")));
    EXPECT_FALSE(VariantToBool(TextVariant(L"0")));
    EXPECT_FALSE(VariantToBool(TextVariant(L"")));
    EXPECT_TRUE(VariantToBool(TextVariant(L" 0")));
    EXPECT_EQ(VariantToInt(TextVariant(L"42-")), -42);
    EXPECT_EQ(VariantToInt64(TextVariant(L"-9000000000")), -9000000000LL);
    EXPECT_DOUBLE_EQ(VariantToDouble(TextVariant(L"2.5e3x")), 2500.0);

    Variant v;
    VariantSetInt64(v, 5000000000LL);
    EXPECT_EQ(VariantToInt(v), 0);
    VariantSetInt64(v, -5);
    EXPECT_EQ(VariantToInt(v), -5);
    VariantSetInt64(v, 3000000000LL);  // below 2^32: the low 32 bits
    EXPECT_EQ(VariantToInt(v), static_cast<int32_t>(3000000000u));
    VariantSetInt64(v, INT64_MIN);
    EXPECT_EQ(VariantToInt(v), 0);
    EXPECT_TRUE(VariantToBool(v));

    VariantSetInt(v, -7);
    EXPECT_EQ(VariantToInt64(v), -7);
    EXPECT_DOUBLE_EQ(VariantToDouble(v), -7.0);
    VariantSetDouble(v, 0.25);
    EXPECT_EQ(VariantToInt(v), 0);  // f64 does not convert to integers
    EXPECT_TRUE(VariantToBool(v));
    VariantSetBool(v, true);
    EXPECT_EQ(VariantToInt(v), 1);
    EXPECT_DOUBLE_EQ(VariantToDouble(v), 1.0);

    Variant date = DateVariant(2004, 12, 24);
    EXPECT_EQ(VariantToInt(date), (2004 << 16) | (12 << 8) | 24);
    EXPECT_EQ(VariantToInt64(date), (2004 << 16) | (12 << 8) | 24);
    EXPECT_FALSE(VariantToBool(date));

    Variant stamp = StampVariant();
    uint64_t expected = (uint64_t{2004} << 48) | (uint64_t{12} << 40) | (uint64_t{24} << 32) | (7u << 24) |
                        (5u << 16) | (9u << 8);
    EXPECT_EQ(static_cast<uint64_t>(VariantToInt64(stamp)), expected);
    EXPECT_EQ(VariantToInt(stamp), 0);
}

TEST(VariantTextForm, FormatsEveryTag) {
    Variant v;
    EXPECT_EQ(Text(v), L"");
    VariantSetInt(v, INT32_MIN);
    EXPECT_EQ(Text(v), L"-2147483648");
    VariantSetInt64(v, INT64_MIN);
    EXPECT_EQ(Text(v), L"-9223372036854775808");
    VariantSetInt64(v, INT64_MAX);
    EXPECT_EQ(Text(v), L"9223372036854775807");
    VariantSetBool(v, false);
    EXPECT_EQ(Text(v), L"0");
    VariantSetDouble(v, -1.5);
    EXPECT_EQ(Text(v), L"-1.500000");
    EXPECT_EQ(Text(DateVariant(2004, 12, 24)), L"20041224");
    Variant stamp = StampVariant();
    EXPECT_EQ(Text(stamp), L"20041224070509");

    WString out(L"stale");
    VariantFormat(stamp, out, false);
    EXPECT_EQ(stamp.tag, kVariantDateTime);
    VariantFormat(stamp, out, true);
    EXPECT_EQ(stamp.tag, kVariantEmpty);
    EXPECT_TRUE(WStrEqualsChars(out, L"20041224070509"));

    // The out-string may be the Variant's own text.
    Variant text = TextVariant(L"self");
    VariantToString(text, *text.payload.text);
    EXPECT_EQ(Text(text), L"self");
}

TEST(VariantConvertible, OtherTagsOnlyToThemselves) {
    EXPECT_FALSE(VariantTypeConvertible(kVariantDateTime, kVariantInt32));
    EXPECT_TRUE(VariantTypeConvertible(kVariantDateTime, kVariantInt64));
    EXPECT_TRUE(VariantTypeConvertible(9, 9));
    EXPECT_FALSE(VariantTypeConvertible(9, kVariantText));
    EXPECT_FALSE(VariantTypeConvertible(kVariantText, 9));
    EXPECT_TRUE(VariantIsConvertible(TextVariant(L"x"), kVariantBool));

    Variant stray;
    stray.tag = 9;
    stray.payload.int32 = 4;
    Variant copy(stray);
    EXPECT_EQ(copy.tag, kVariantEmpty);
    stray.tag = kVariantEmpty;
}

// "%f" texts of doubles of many magnitudes, checked against Python.
TEST(VariantOracle, DoubleTextMatchesPython) {
    std::mt19937_64 random(99);
    std::vector<double> values = {0.0,  -0.0,          0.5,  2.5,   -2.5,    1e-7,
                                  5e-7, 123456789.125, 1e15, 1e300, -1.7e308};
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-8, 20);
    for (int i = 0; i < 300; ++i) values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
    std::vector<std::string> input, expected;
    for (double value : values) {
        uint64_t bits;
        std::memcpy(&bits, &value, 8);
        char line[32];
        std::snprintf(line, sizeof line, "%016" PRIx64, bits);
        input.push_back(line);
    }
    ASSERT_TRUE(RunDataScript("printf_f.py", "in.txt out.txt", input, &expected));
    ASSERT_EQ(expected.size(), values.size());
    Variant v;
    for (size_t i = 0; i < values.size(); ++i) {
        VariantSetDouble(v, values[i]);
        EXPECT_EQ(Text(v), std::wstring(expected[i].begin(), expected[i].end())) << values[i];
    }
}
