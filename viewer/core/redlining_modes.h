// The redlining editing modes a viewer context holds: off (redlining not
// active), view (markups shown), select and draw (the main view edits).
#pragma once

#include <cstdint>

inline constexpr uint32_t kRedliningModeOff = 0;
inline constexpr uint32_t kRedliningModeView = 1;
inline constexpr uint32_t kRedliningModeSelect = 2;
inline constexpr uint32_t kRedliningModeDraw = 3;

// Select and draw edit markups; the main view then leaves the mouse to the
// redlining tool.
inline bool RedliningModeEdits(uint32_t mode) {
    return mode == kRedliningModeSelect || mode == kRedliningModeDraw;
}
