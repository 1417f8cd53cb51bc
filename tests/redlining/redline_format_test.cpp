// The markup format's writer: a large page's text is the same whatever room
// the builder starts with (that it reads back as its page is the payload
// test's).
#include "redlining/redline_format.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/redlining/redline_test_pages.h"

// Written into a small builder, which must grow many times on the way, and
// into one with room for the whole page from the start: the same text.
TEST(RedlineFormatWriter, LargePageWritesTheSameTextFromAnyStartingRoom) {
    Ref<RedlinePage> page = PageOfMarkups(1000);
    AStrBuilder grown(4000);
    ASSERT_TRUE(WriteRedlineDocument(grown, page.get(), nullptr));
    AStrBuilder roomy(2000000);
    ASSERT_TRUE(WriteRedlineDocument(roomy, page.get(), nullptr));
    ASSERT_GT(grown.length, 200000u);
    EXPECT_EQ(std::string(grown.data, grown.length), std::string(roomy.data, roomy.length));
}
