#include "foundation/pool.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/test_support.h"

TEST(HostCommand, RunsUnixTools) {
    EXPECT_EQ(RunHostCommand("true"), 0);
    EXPECT_EQ(RunHostCommand("exit 3"), 3);
}

TEST(Codepage, AnsiIs1252) { EXPECT_EQ(GetACP(), 1252u); }
