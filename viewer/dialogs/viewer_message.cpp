#include "viewer/dialogs/viewer_message.h"

#include <windows.h>

#include "resources/text_ids.h"
#include "viewer/core/viewer_context.h"

int ViewerShowMessage(ViewerContext* context, uint32_t text_id, uint32_t kind) {
    if (!context) return -1;
    if (kind <= 2) return 1;
    if (kind > 5) return -1;
    return MessageBoxW(nullptr, ViewerGetText(context, text_id), ViewerGetText(context, text::kError),
                       MB_ICONERROR);
}
