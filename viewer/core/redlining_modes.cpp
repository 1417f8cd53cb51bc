#include "viewer/core/redlining_modes.h"

#include "foundation/locks.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/viewer_context.h"

void RedlineSetMode(ViewerContext* context, uint32_t mode) {
    if (!context) return;
    {
        ScopedLock hold(context->lock);
        context->redlining_mode = mode;
    }
    ViewerPostAction(context, event::kRedlineModeChanged);
}

void RedlineSetViewMode(ViewerContext* context) { RedlineSetMode(context, kRedliningModeView); }

void RedlineSetSelectMode(ViewerContext* context) { RedlineSetMode(context, kRedliningModeSelect); }

void RedlineSetDrawMode(ViewerContext* context, uint32_t tool) {
    if (!context) return;
    {
        ScopedLock hold(context->lock);
        context->redlining_tool = tool;
    }
    RedlineSetMode(context, kRedliningModeDraw);
}

uint32_t ViewerGetRedliningTool(ViewerContext* context) {
    if (!context) return kRedliningToolText;
    ScopedLock hold(context->lock);
    return context->redlining_tool;
}
