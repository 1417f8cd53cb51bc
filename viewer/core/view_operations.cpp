#include "viewer/core/view_operations.h"

#include <windows.h>

#include <cmath>
#include <cstdlib>

#include "foundation/variant.h"
#include "viewer/app/page_navigation.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/model/cut_out_state.h"

namespace {

// Zoom in stops once the cut-out is this fraction of the page in either
// direction; zoom out once it covers this much of the page in both.
constexpr double kSmallestZoomedFraction = 0.001;
constexpr double kWholePageFraction = 0.9999;

// The item an operation works on and its cut-out state.
struct ViewTarget {
    Ref<DocItem> item;
    Ref<CutOutState> cut_out;
    bool active = false;
};

// False when there is no such item, it lacks the command bit (0: none
// needed) or it has no cut-out state.
bool FindTarget(ViewerContext* context, int32_t index, uint32_t command_bit, ViewTarget& out) {
    out.item = ViewerGetDocumentByIndex(context, index, out.active);
    if (!out.item) return false;
    if (command_bit && !(out.item->GetCommandMask() & command_bit)) return false;
    out.cut_out = out.item->GetCutOut();
    return out.cut_out != nullptr;
}

void PostViewChanged(ViewerContext* context, const ViewTarget& target, int32_t mask) {
    if (!target.active) return;
    Variant argument;
    VariantInitInt(argument, mask);
    ViewerPostActionArg(context, event::kViewChanged, argument);
}

bool IsQuarterTurned(CutOutState* cut_out) {
    const uint32_t rotation = CutOutGetRotation(cut_out);
    return rotation == 90 || rotation == 270;
}

// Sets or toggles one flag of the state through its getter and setter, and
// posts the mask when the flag changed.
bool ChangeFlag(ViewerContext* context, const ViewTarget& target, bool (*get)(CutOutState*),
                void (*set)(CutOutState*, bool), bool value, bool absolute, int32_t mask) {
    const bool old_value = get(target.cut_out.get());
    const bool new_value = absolute ? value : !old_value;
    if (new_value == old_value) return true;
    set(target.cut_out.get(), new_value);
    PostViewChanged(context, target, mask);
    return true;
}

// 0 to 359 for any multiple of 90, -1 for other angles.
int32_t NormalisedQuarterTurn(int64_t degrees) {
    if (degrees % 90 != 0) return -1;
    return static_cast<int32_t>(((degrees % 360) + 360) % 360);
}

RectD WholePage(const SizeD& page) { return RectD{page, PointD{0.0, 0.0}}; }

RectD ScaledAboutCentre(const RectD& rect, double factor) {
    RectD scaled;
    scaled.size = SizeD{rect.size.width * factor, rect.size.height * factor};
    scaled.origin = PointD{rect.origin.x + (rect.size.width - scaled.size.width) / 2,
                           rect.origin.y + (rect.size.height - scaled.size.height) / 2};
    return scaled;
}

double FixedZoomFactor(ViewerContext* context) {
    Ref<Settings> settings = ViewerGetSettings(context);
    return settings ? SettingsGetZoomFactor(settings.get()) : 0.0;
}

}  // namespace

Ref<ZoomValue> ZoomValueCreate(double zoom_factor, bool fixed) {
    Ref<ZoomValue> value = MakeRef<ZoomValue>();
    value->zoom_factor = zoom_factor;
    value->fixed = fixed;
    return value;
}

bool ViewerSetInverted(ViewerContext* context, int32_t index, bool value, bool absolute) {
    ViewTarget target;
    if (!FindTarget(context, index, item_command::kInversion, target)) return false;
    return ChangeFlag(context, target, CutOutGetInvert, CutOutSetInvert, value, absolute,
                      event::kViewInversion);
}

namespace {

// Mirrors along the screen's horizontal (`horizontal`) or vertical. On a
// page turned by a quarter the other flag does that; a value set from
// outside names the page's own flag.
bool Mirror(ViewerContext* context, int32_t index, bool value, bool absolute, bool horizontal) {
    ViewTarget target;
    if (!FindTarget(context, index, item_command::kMirroring, target)) return false;
    const bool page_horizontal = horizontal == (absolute || !IsQuarterTurned(target.cut_out.get()));
    return page_horizontal ? ChangeFlag(context, target, CutOutGetMirrorHorizontal, CutOutSetMirrorHorizontal,
                                        value, absolute, event::kViewMirroring)
                           : ChangeFlag(context, target, CutOutGetMirrorVertical, CutOutSetMirrorVertical,
                                        value, absolute, event::kViewMirroring);
}

}  // namespace

bool ViewerMirrorHorizontal(ViewerContext* context, int32_t index, bool value, bool absolute) {
    return Mirror(context, index, value, absolute, true);
}

bool ViewerMirrorVertical(ViewerContext* context, int32_t index, bool value, bool absolute) {
    return Mirror(context, index, value, absolute, false);
}

bool ViewerRotatePage(ViewerContext* context, int32_t index, int32_t degrees, bool absolute) {
    ViewTarget target;
    if (!FindTarget(context, index, item_command::kRotation, target)) return false;
    const uint32_t old_rotation = CutOutGetRotation(target.cut_out.get());
    // In 64 bits and with a true modulo, so that no step, however far below
    // zero, leaves a negative angle.
    const int32_t rotation =
        NormalisedQuarterTurn(absolute ? int64_t{degrees} : int64_t{old_rotation} + degrees);
    if (rotation < 0) return false;
    if (static_cast<uint32_t>(rotation) == old_rotation) return true;
    CutOutSetRotation(target.cut_out.get(), static_cast<uint32_t>(rotation));
    // The cut-out is kept in the unturned page, so it lies inside the turned
    // one already; one that does not is fitted again.
    RectD rect;
    CutOutGetRect(target.cut_out.get(), rect);
    if (!CutOutIsValidRect(target.cut_out.get(), rect)) CutOutSetRect(target.cut_out.get(), rect);
    PostViewChanged(context, target, event::kViewRotation);
    return true;
}

bool ViewZoomByFactor(ViewerContext* context, uint32_t kind, int32_t index, double factor) {
    if (!context || !std::isfinite(factor)) return false;
    if (!ViewerIsAllowed(context, kind, restriction::kZoom)) return false;
    ViewTarget target;
    if (!FindTarget(context, index, item_command::kZoom, target)) return false;
    bool changed = false;
    if (FixedZoomFactor(context) <= 0.0) {
        const SizeD page = CutOutGetPageSize(target.cut_out.get());
        RectD rect;
        CutOutGetRect(target.cut_out.get(), rect);
        if (factor > 1.0) {
            if (rect.size.width > page.width * kSmallestZoomedFraction &&
                rect.size.height > page.height * kSmallestZoomedFraction) {
                changed = CutOutSetRect(target.cut_out.get(), ScaledAboutCentre(rect, 0.5));
            }
        } else if (rect.size.width < page.width * kWholePageFraction ||
                   rect.size.height < page.height * kWholePageFraction) {
            changed = CutOutSetRect(target.cut_out.get(), ScaledAboutCentre(rect, 2.0));
        }
    }
    if (!changed) {
        MessageBeep(MB_ICONEXCLAMATION);
        return false;
    }
    PostViewChanged(context, target, event::kViewZoom);
    return true;
}

bool ViewerZoomAll(ViewerContext* context, uint32_t kind, int32_t index) {
    if (!context || !ViewerIsAllowed(context, kind, restriction::kZoom)) return false;
    ViewTarget target;
    if (!FindTarget(context, index, item_command::kZoom, target)) return false;
    // Through the rectangle setter, so that a fixed magnification of the
    // cut-out goes too and the whole page is shown fitted.
    const RectD whole = WholePage(CutOutGetPageSize(target.cut_out.get()));
    if (!CutOutSetRect(target.cut_out.get(), whole)) return false;
    PostViewChanged(context, target, event::kViewZoom);
    return true;
}

bool ViewerStandardView(ViewerContext* context, int32_t index) {
    ViewTarget target;
    if (!FindTarget(context, index, item_command::kStandardView, target)) return false;
    CutOutResetToPage(target.cut_out.get(), CutOutGetPageSize(target.cut_out.get()));
    if (Ref<OpenParams> params = target.item->GetOpenParams()) {
        CutOutApplyOpenParams(target.cut_out.get(), params.get());
    }
    PostViewChanged(context, target, event::kViewEverything);
    return true;
}

bool ViewerSetCutOut(ViewerContext* context, uint32_t kind, int32_t index, const RectD& rect, bool relative) {
    if (!context || !ViewerIsAllowed(context, kind, restriction::kZoom)) return false;
    ViewTarget target;
    if (!FindTarget(context, index, 0, target)) return false;
    const SizeD page = CutOutGetPageSize(target.cut_out.get());
    RectD wanted = rect;
    if (relative) {
        const double left = rect.origin.x * page.width;
        const double top = rect.origin.y * page.height;
        const double right = (rect.origin.x + rect.size.width) * page.width;
        const double bottom = (rect.origin.y + rect.size.height) * page.height;
        wanted = RectD{SizeD{right - left, bottom - top}, PointD{left, top}};
    }
    if (!RectDConstrain(wanted, WholePage(page), true, false)) return false;
    if (!CutOutIsValidRect(target.cut_out.get(), wanted)) return false;
    if (!CutOutSetRect(target.cut_out.get(), wanted)) return false;
    PostViewChanged(context, target, event::kViewZoom);
    return true;
}

bool ViewerSetZoomFactor(ViewerContext* context, int32_t index, uint32_t kind, double factor, bool fixed) {
    Ref<Settings> settings = ViewerGetSettings(context);
    if (!settings) return false;
    // A factor is a magnification: nothing below 0 and nothing infinite.
    if (!(factor >= 0.0) || !std::isfinite(factor)) return false;
    if (fixed) return SettingsSetZoomFactor(settings.get(), context, kind, factor);
    SettingsSetZoomFactor(settings.get(), context, kind, 0.0);
    ViewTarget target;
    if (FindTarget(context, index, 0, target) && CutOutSetZoom(target.cut_out.get(), factor)) {
        PostViewChanged(context, target, event::kViewFixedZoom);
    }
    return true;
}
