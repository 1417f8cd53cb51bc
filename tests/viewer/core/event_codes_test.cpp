#include "viewer/core/event_codes.h"

#include <gtest/gtest.h>

// The program's session-list action at 61 shifts every number from 61 up.
TEST(ProgramEventNumbers, OneAboveTheControlFrom61) {
    EXPECT_TRUE(kViewerProgramBuild);
    EXPECT_EQ(event::kOpenRecentFile, 60u);
    EXPECT_EQ(event::kZoomFactor, 62u);
    EXPECT_EQ(event::kComparisonMarker, 69u);
    EXPECT_EQ(event::kMarkupProperties, 74u);
}
