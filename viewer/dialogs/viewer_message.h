// Error messages shown by text number.
#pragma once

#include <cstdint>

class ViewerContext;

// Message kinds 0 to 2 show nothing and answer 1; kinds 3 to 5 show the
// text in an error box captioned "Error" and answer the box's result; any
// other kind, and a missing context, answer -1.
int ViewerShowMessage(ViewerContext* context, uint32_t text_id, uint32_t kind);
// The kind of a plain error box.
inline constexpr uint32_t kMessageError = 3;
