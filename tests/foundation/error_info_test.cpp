#include "foundation/error_info.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

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
    EXPECT_EQ(info.ErrorInfoReserved(1, 2), 0u);

    ErrorInfoInit(info);
    EXPECT_TRUE(ErrorInfoSet(info, 7, 1, nullptr));
    ErrorInfoRead(info, code, severity, text);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(WStrLength(text), 0u);
    ErrorInfoFree(info);
}

namespace {

struct Reporter {
    ErrorInfo* info;
    uint16_t first_severity;
};

// Each thread reports severities 1 to 40 in its own interleaving; the code and
// text of a report always travel together.
DWORD WINAPI ReportThread(void* argument) {
    auto* reporter = static_cast<Reporter*>(argument);
    for (uint16_t step = 0; step < 40; ++step) {
        uint16_t severity = static_cast<uint16_t>((reporter->first_severity + step * 7) % 40 + 1);
        std::wstring text = L"report " + std::to_wstring(severity);
        ErrorInfoSet(*reporter->info, severity, severity, text.c_str());
    }
    return 0;
}

}  // namespace

TEST(ErrorInfo, ConcurrentReportsKeepTheMostSevere) {
    ErrorInfo info;
    Reporter reporters[8];
    HANDLE threads[8];
    for (int i = 0; i < 8; ++i) {
        reporters[i] = Reporter{&info, static_cast<uint16_t>(i * 5)};
        threads[i] = CreateThread(nullptr, 0, ReportThread, &reporters[i], 0, nullptr);
        ASSERT_NE(threads[i], nullptr);
    }
    ASSERT_EQ(WaitForMultipleObjects(8, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (HANDLE thread : threads) CloseHandle(thread);
    uint16_t code = 0, severity = 0;
    WString text;
    ErrorInfoRead(info, code, severity, text);
    EXPECT_EQ(severity, 40);
    EXPECT_EQ(code, 40);
    EXPECT_TRUE(WStrEqualsChars(text, L"report 40"));
}
