// How the frame shares its client area among the docked panes: the command
// bars at the top, the status bar at the bottom, and between them the main
// view on the right of a left column that holds the navigation tree over the
// preview, with a 3-pixel splitter between each pair.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "viewer/core/pane_display_modes.h"

inline constexpr int32_t kSplitterThickness = 3;

struct FramePaneModes {
    int32_t tree = kPaneDocked;
    int32_t preview = kPaneDocked;
    int32_t main_view = kPaneDocked;
};

struct FrameSplit {
    // Empty for a pane that gets no room.
    RectI tree;
    RectI preview;
    RectI main_view;
    RectI vertical_splitter;    // left of the main view (or of the preview)
    RectI horizontal_splitter;  // between the tree and the preview
    // The modes as this layout applies them: a docked pane left without
    // width is hidden until the next layout.
    FramePaneModes modes;
};

// Splits the client rectangle less `top_height` at the top and
// `bottom_height` at the bottom; `navigation_width` is the left column's
// width, `preview_height` the preview's height in it. When the bars leave
// no height, every docked pane is hidden.
FrameSplit FrameSplitPanes(const RectI& client, int32_t top_height, int32_t bottom_height,
                           int32_t navigation_width, int32_t preview_height, const FramePaneModes& modes);
