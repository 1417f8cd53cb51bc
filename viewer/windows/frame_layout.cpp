#include "viewer/windows/frame_layout.h"

#include <algorithm>

namespace {

RectI Rect(int32_t x, int32_t y, int32_t width, int32_t height) {
    RectI rect;
    return RectISet(rect, x, y, std::max(width, 0), std::max(height, 0));
}

int32_t Right(const RectI& rect) { return rect.origin.x + rect.size.width; }
int32_t Bottom(const RectI& rect) { return rect.origin.y + rect.size.height; }

// Cuts the left column of `width` off the area for the main view, with the
// vertical splitter between them; when that leaves no room for the main
// view, the column takes the whole area. Answers the column.
RectI CutLeftColumn(const RectI& area, int32_t width, FrameSplit& out) {
    if (width + kSplitterThickness >= area.size.width) return area;
    out.main_view = Rect(area.origin.x + width + kSplitterThickness, area.origin.y,
                         area.size.width - width - kSplitterThickness, area.size.height);
    out.vertical_splitter = Rect(area.origin.x + width, area.origin.y, kSplitterThickness, area.size.height);
    return Rect(area.origin.x, area.origin.y, width, area.size.height);
}

// The tree over the preview in the column, the horizontal splitter between
// them; the preview takes the whole column when the tree would get no room.
void SplitColumn(const RectI& column, int32_t preview_height, bool tree_docked, FrameSplit& out) {
    if (!tree_docked || preview_height + kSplitterThickness >= column.size.height) {
        out.preview = column;
        return;
    }
    const int32_t tree_height = column.size.height - preview_height - kSplitterThickness;
    out.tree = Rect(column.origin.x, column.origin.y, column.size.width, tree_height);
    out.horizontal_splitter =
        Rect(column.origin.x, column.origin.y + tree_height, column.size.width, kSplitterThickness);
    out.preview = Rect(column.origin.x, Bottom(column) - preview_height, column.size.width, preview_height);
}

void SplitArea(const RectI& area, int32_t navigation_width, int32_t preview_height, bool tree_docked,
               bool preview_docked, bool main_docked, FrameSplit& out) {
    if (main_docked && preview_docked) {
        SplitColumn(CutLeftColumn(area, navigation_width, out), preview_height, tree_docked, out);
    } else if (main_docked) {
        if (tree_docked) {
            out.tree = CutLeftColumn(area, navigation_width, out);
        } else {
            out.main_view = area;
        }
    } else if (preview_docked) {
        if (tree_docked && navigation_width < area.size.width) {
            out.tree = Rect(area.origin.x, area.origin.y, navigation_width, area.size.height);
            out.vertical_splitter =
                Rect(area.origin.x + navigation_width, area.origin.y,
                     std::min(kSplitterThickness, area.size.width - navigation_width), area.size.height);
            out.preview = Rect(Right(out.vertical_splitter), area.origin.y,
                               Right(area) - Right(out.vertical_splitter), area.size.height);
        } else if (tree_docked) {
            out.tree = area;
        } else {
            out.preview = area;
        }
    } else if (tree_docked) {
        out.tree = area;
    }
}

// A docked pane left without width is hidden, and keeps no rectangle.
int32_t ModeForWidth(int32_t mode, RectI& rect) {
    if (mode != kPaneDocked || rect.size.width != 0) return mode;
    RectIClear(rect);
    return kPaneHidden;
}

}  // namespace

FrameSplit FrameSplitPanes(const RectI& client, int32_t top_height, int32_t bottom_height,
                           int32_t navigation_width, int32_t preview_height, const FramePaneModes& modes) {
    FrameSplit out;
    if (client.size.height > top_height + bottom_height) {
        const RectI area = Rect(client.origin.x, client.origin.y + top_height, client.size.width,
                                client.size.height - top_height - bottom_height);
        SplitArea(area, navigation_width, preview_height, modes.tree == kPaneDocked,
                  modes.preview == kPaneDocked, modes.main_view == kPaneDocked, out);
    }
    out.modes.tree = ModeForWidth(modes.tree, out.tree);
    out.modes.preview = ModeForWidth(modes.preview, out.preview);
    out.modes.main_view = ModeForWidth(modes.main_view, out.main_view);
    return out;
}
