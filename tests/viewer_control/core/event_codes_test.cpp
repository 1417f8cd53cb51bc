#include "viewer/core/event_codes.h"

#include <gtest/gtest.h>

// The control has no action at 61: its numbers are the unshifted ones.
TEST(ControlEventNumbers, NoProgramOffset) {
    EXPECT_FALSE(kViewerProgramBuild);
    EXPECT_EQ(event::kOpenRecentFile, 60u);
    EXPECT_EQ(event::kZoomFactor, 61u);
    EXPECT_EQ(event::kComparisonMarker, 68u);
    EXPECT_EQ(event::kMarkupProperties, 73u);
}
