// The display modes of the frame's panes, as the VIEWMODE_ settings store
// them: the navigation tree, the preview and the main view take all three,
// the menu bar, tool bar and status bar only hidden or docked (shown).
#pragma once

#include <cstdint>

inline constexpr int32_t kPaneHidden = 0;
inline constexpr int32_t kPaneDocked = 1;
inline constexpr int32_t kPaneFloating = 2;
