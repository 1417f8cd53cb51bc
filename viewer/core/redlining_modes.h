// The redlining editing state of a viewer context (mode and drawing tool,
// kept in the context): each change posts the redlining-mode notification.
#pragma once

#include <cstdint>

class ViewerContext;

void RedlineSetMode(ViewerContext* context, uint32_t mode);
void RedlineSetViewMode(ViewerContext* context);
void RedlineSetSelectMode(ViewerContext* context);
// Draw mode with `tool`, a markup type 1 to 7.
void RedlineSetDrawMode(ViewerContext* context, uint32_t tool);
// The drawing tool; text without a context.
uint32_t ViewerGetRedliningTool(ViewerContext* context);
