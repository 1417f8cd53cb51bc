// The redlining editing state of a viewer context (mode and drawing tool,
// kept in the context): its modes, named once here, and the operations that
// change it; each change posts the redlining-mode notification.
#pragma once

#include <cstdint>

class ViewerContext;

// Off (redlining not active), view (markups shown), select and draw (the
// main view edits).
inline constexpr uint32_t kRedliningModeOff = 0;
inline constexpr uint32_t kRedliningModeView = 1;
inline constexpr uint32_t kRedliningModeSelect = 2;
inline constexpr uint32_t kRedliningModeDraw = 3;
// Select and draw mode edit markups; the tool bar shows in them.
inline constexpr bool RedliningModeEdits(uint32_t mode) {
    return mode == kRedliningModeSelect || mode == kRedliningModeDraw;
}
// The drawing tool is a markup type, 1 (text) to 7 (note).
inline constexpr uint32_t kRedliningToolText = 1;

void RedlineSetMode(ViewerContext* context, uint32_t mode);
void RedlineSetViewMode(ViewerContext* context);
void RedlineSetSelectMode(ViewerContext* context);
// Draw mode with `tool`, a markup type 1 to 7.
void RedlineSetDrawMode(ViewerContext* context, uint32_t tool);
// The drawing tool; text without a context.
uint32_t ViewerGetRedliningTool(ViewerContext* context);
