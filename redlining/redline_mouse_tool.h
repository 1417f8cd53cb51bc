// The mouse handler through which the main view hands its mouse events to
// the redlining: selects, moves and resizes objects, creates objects of the
// current tool point by point, sets the cursor and opens the context menu.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/mouse_chain.h"
#include "foundation/ref_counted.h"
#include "redlining/redline_objects.h"

class RedlineView;
class ViewerContext;

namespace redline_mouse {
constexpr int32_t kIdle = 0;
constexpr int32_t kPressedOnObject = 1;
constexpr int32_t kRightPressedOnObject = 2;
constexpr int32_t kDragging = 3;
constexpr int32_t kWaitingForPoint = 4;
constexpr int32_t kPlacingPoint = 5;
constexpr int32_t kIgnoringUntilRelease = 6;
}  // namespace redline_mouse

class RedlineMouseTool : public MouseHandler {
  public:
    RedlineMouseTool(ViewerContext* owner, RedlineView* view);

    bool ButtonDown(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) override {
        return OnButton(*point, key_state, repaint);
    }
    bool ButtonUp(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) override {
        return OnButton(*point, key_state, repaint);
    }
    bool Move(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) override;

    // Ends a creation in progress (the object removed when not worth
    // keeping) and goes back to idle; the view calls it when it lets go of
    // its page or tool object.
    void Abandon();
    // The same, keeping only the points placed so far (not the one that
    // follows the mouse); false when nothing was being created.
    bool EndCreation();

    Ref<ViewerContext> owner;
    RedlineView* view = nullptr;  // borrowed; cleared by the view's destructor
    int32_t state = redline_mouse::kIdle;
    PointI last_point;

  private:
    bool OnButton(const PointI& point, uint32_t key_state, bool* repaint);
    // Finishes the tool object: removed from the layer when FinishCreation
    // refuses it; the tool object cleared and the cache dropped either way.
    // Answers the object when it was kept.
    Ref<RedlineObject> FinishObject();
};

// The popup of the markups: select all, delete, bring to front and to
// background (enabled as asked), properties; the choice goes to `owner` as
// WM_COMMAND.
void ShowRedlineContextMenu(HWND owner, ViewerContext* context, bool bring_to_enabled, const POINT& screen);
// The same popup, not shown: what the context menu holds (the caller destroys it).
HMENU BuildRedlineContextMenu(ViewerContext* context, bool bring_to_enabled);
