// What the view commands do to a page's cut-out state: inversion, mirrors,
// quarter turns, zooming, the whole page, the standard view, a cut-out given
// from outside and the zoom factor. Each takes the document index of
// ViewerGetDocumentByIndex (-1: the active item) and, when the item changed
// is the active one, posts the view-changed notification with its mask.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"

class ViewerContext;

// The argument of the zoom-factor action when it brings its value along:
// the factor (1 is 100 %) and whether it becomes the fixed factor.
class ZoomValue : public RefCounted {
  public:
    double zoom_factor = 0.0;
    bool fixed = false;
};

Ref<ZoomValue> ZoomValueCreate(double zoom_factor, bool fixed);

// With `absolute` the flag is set to `value`; without it the flag toggles
// (`value` ignored). The mirrors toggle the other flag while the page is
// turned by 90 or 270 degrees, so that "vertical" stays vertical on screen.
// False when the item has no cut-out or does not offer the operation.
bool ViewerSetInverted(ViewerContext* context, int32_t index, bool value, bool absolute);
bool ViewerMirrorHorizontal(ViewerContext* context, int32_t index, bool value, bool absolute);
bool ViewerMirrorVertical(ViewerContext* context, int32_t index, bool value, bool absolute);
// Absolute: the rotation becomes `degrees` (any multiple of 90, negative
// ones too); relative: `degrees` is added. False for other angles.
bool ViewerRotatePage(ViewerContext* context, int32_t index, int32_t degrees, bool absolute);

// A factor above 1 halves the cut-out about its centre, any other doubles
// it; nothing zooms while a fixed zoom factor is set. Refused under the zoom
// restriction unless `kind` waives it. Beeps when nothing changed; true
// only when the cut-out changed.
bool ViewZoomByFactor(ViewerContext* context, uint32_t kind, int32_t index, double factor);
// The cut-out becomes the whole page (refused under the zoom restriction
// unless `kind` waives it). True when it was set.
bool ViewerZoomAll(ViewerContext* context, uint32_t kind, int32_t index);
// Back to what the document's open parameters gave. True when the item
// offers the standard view.
bool ViewerStandardView(ViewerContext* context, int32_t index);
// With `relative` the rectangle's four values are fractions of the page
// size; otherwise millimetres. Fitted into the page and set when valid; true
// when it was set.
bool ViewerSetCutOut(ViewerContext* context, uint32_t kind, int32_t index, const RectD& rect, bool relative);
// `factor` is a fraction (1 is 100 %). `fixed` stores it as the fixed zoom
// factor of every page (caller kind `kind`) and changes no page; otherwise
// the fixed factor is cleared and the item's cut-out takes the zoom. False
// only without settings (or when the fixed factor may not be stored).
bool ViewerSetZoomFactor(ViewerContext* context, int32_t index, uint32_t kind, double factor, bool fixed);
