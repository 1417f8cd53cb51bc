// Stand-in: the editing state keeps only its mode in the viewer context; the drawing tool is not kept yet.
// The redlining editing state of a viewer context: mode 0 off, 1 view,
// 2 select, 3 draw with a tool (markup types 1 to 7). Each change posts the
// redlining-mode notification.
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/viewer_context.h"

inline void RedlineSetMode(ViewerContext* context, uint32_t mode) {
    if (!context) return;
    {
        ScopedLock hold(context->lock);
        context->redlining_mode = mode;
    }
    ViewerPostAction(context, event::kRedlineModeChanged);
}
inline void RedlineSetViewMode(ViewerContext* context) { RedlineSetMode(context, kRedliningModeView); }
inline void RedlineSetSelectMode(ViewerContext* context) { RedlineSetMode(context, kRedliningModeSelect); }
inline void RedlineSetDrawMode(ViewerContext* context, uint32_t tool) {
    RedlineSetMode(context, kRedliningModeDraw);
}
