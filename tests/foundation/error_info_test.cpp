#include "foundation/error_info.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/test_support.h"

TEST(ErrorInfo, KeepsOnlyStrictlyMoreSevere) {
    ErrorInfo info;
    uint16_t code = 1, severity = 1;
    WString text(L"stale");
    ErrorInfoRead(info, code, severity, text);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(severity, 0);
    EXPECT_EQ(WStrLength(text), 0u);

    EXPECT_FALSE(ErrorInfoSet(info, 5, 0, L"nothing"));
    EXPECT_TRUE(ErrorInfoSet(info, 1000, 1, L"damaged"));
    EXPECT_TRUE(ErrorInfoSet(info, 2002, 2, L"short read"));
    EXPECT_FALSE(ErrorInfoSet(info, 1000, 1, L"damaged again"));
    EXPECT_FALSE(ErrorInfoSet(info, 2005, 2, L"same severity"));
    ErrorInfoRead(info, code, severity, text);
    EXPECT_EQ(code, 2002);
    EXPECT_EQ(severity, 2);
    EXPECT_TRUE(WStrEqualsChars(text, L"short read"));

    ErrorInfoInit(info);
    EXPECT_TRUE(ErrorInfoSet(info, 7, 1, nullptr));
    ErrorInfoRead(info, code, severity, text);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(WStrLength(text), 0u);
    ErrorInfoFree(info);
}

// Each thread reports severities 1 to 40 in its own interleaving; the code and
// text of a report always travel together.
TEST(ErrorInfo, ConcurrentReportsKeepTheMostSevere) {
    ErrorInfo info;
    ASSERT_TRUE(RunConcurrently(8, [&](int thread) {
        for (int step = 0; step < 40; ++step) {
            const uint16_t severity = static_cast<uint16_t>((thread * 5 + step * 7) % 40 + 1);
            ErrorInfoSet(info, severity, severity, (L"report " + std::to_wstring(severity)).c_str());
        }
    }));
    uint16_t code = 0, severity = 0;
    WString text;
    ErrorInfoRead(info, code, severity, text);
    EXPECT_EQ(severity, 40);
    EXPECT_EQ(code, 40);
    EXPECT_TRUE(WStrEqualsChars(text, L"report 40"));
}
