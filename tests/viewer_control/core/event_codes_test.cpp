#include "viewer/core/event_codes.h"

#include <gtest/gtest.h>

// The control has no action at 61, so its numbers from 61 up are the
// program's minus one; below 61 both builds agree.
TEST(ControlEventNumbers, NoProgramOffset) {
    EXPECT_FALSE(kViewerProgramBuild);
    EXPECT_EQ(event::kOpenRecentFile, 60u);
    EXPECT_EQ(event::kZoomFactor, 61u);
    EXPECT_EQ(event::kContextMenu, 64u);
    EXPECT_EQ(event::kStatusText, 65u);
    EXPECT_EQ(event::kComparisonMarker, 68u);
    EXPECT_EQ(event::kMarkupProperties, 73u);
}
