#include "viewer/model/cut_out_state.h"

#include <cmath>

#include "viewer/core/open_params.h"

namespace {

constexpr double kEdgeSlack = 0.00001;          // millimetres a far edge may pass the page
constexpr double kSmallestFraction = 0.000001;  // of the page, per side

RectD WholePage(const SizeD& page_size) {
    RectD rect;
    return RectDSet(rect, 0.0, 0.0, page_size.width, page_size.height);
}

// The caller holds the lock.
void ClearView(CutOutState* state) {
    state->mirror_horizontal = false;
    state->mirror_vertical = false;
    state->rotation = 0;
    state->invert = false;
    state->zoom = 0.0;
}

bool Finite(const RectD& rect) {
    return std::isfinite(rect.origin.x) && std::isfinite(rect.origin.y) && std::isfinite(rect.size.width) &&
           std::isfinite(rect.size.height);
}

// The caller holds the lock.
bool SetRectLocked(CutOutState* state, const RectD& rect) {
    RectD moved = rect;
    if (!Finite(moved)) return false;
    if (!RectDConstrain(moved, WholePage(state->page_size), true, false)) return false;
    state->cut_out = moved;
    state->zoom = 0.0;
    return true;
}

bool ValidRotation(uint32_t degrees) { return degrees % 90 == 0; }

}  // namespace

Ref<CutOutState> CutOutCreate(const SizeD& page_size) {
    Ref<CutOutState> state = MakeRef<CutOutState>();
    state->page_size = page_size;
    state->cut_out = WholePage(page_size);
    return state;
}

Ref<CutOutState> CutOutCopy(CutOutState* other) {
    Ref<CutOutState> state = MakeRef<CutOutState>();
    CutOutAssign(state.get(), other);
    return state;
}

void CutOutAssign(CutOutState* target, CutOutState* source) {
    if (target == source) return;
    for (;;) {
        target->lock.Enter();
        if (source->lock.TryEnter()) break;
        target->lock.Leave();
        Sleep(10);
    }
    target->page_size = source->page_size;
    target->cut_out = source->cut_out;
    target->mirror_horizontal = source->mirror_horizontal;
    target->mirror_vertical = source->mirror_vertical;
    target->rotation = source->rotation;
    target->invert = source->invert;
    target->zoom = source->zoom;
    source->lock.Leave();
    target->lock.Leave();
}

SizeD CutOutGetPageSize(CutOutState* state) {
    ScopedLock hold(state->lock);
    return state->page_size;
}

RectD& CutOutGetRect(CutOutState* state, RectD& out) {
    ScopedLock hold(state->lock);
    return RectDAssign(out, state->cut_out);
}

double CutOutGetZoom(CutOutState* state) {
    ScopedLock hold(state->lock);
    return state->zoom;
}

bool CutOutSetZoom(CutOutState* state, double zoom) {
    if (!(zoom >= 0.0) || !std::isfinite(zoom)) return false;
    ScopedLock hold(state->lock);
    state->zoom = zoom;
    return true;
}

bool CutOutGetMirrorHorizontal(CutOutState* state) {
    ScopedLock hold(state->lock);
    return state->mirror_horizontal;
}

void CutOutSetMirrorHorizontal(CutOutState* state, bool mirrored) {
    ScopedLock hold(state->lock);
    state->mirror_horizontal = mirrored;
}

bool CutOutGetMirrorVertical(CutOutState* state) {
    ScopedLock hold(state->lock);
    return state->mirror_vertical;
}

void CutOutSetMirrorVertical(CutOutState* state, bool mirrored) {
    ScopedLock hold(state->lock);
    state->mirror_vertical = mirrored;
}

uint32_t CutOutGetRotation(CutOutState* state) {
    ScopedLock hold(state->lock);
    return state->rotation;
}

bool CutOutSetRotation(CutOutState* state, uint32_t degrees) {
    if (!ValidRotation(degrees)) return false;
    ScopedLock hold(state->lock);
    state->rotation = degrees % 360;
    return true;
}

bool CutOutGetInvert(CutOutState* state) {
    ScopedLock hold(state->lock);
    return state->invert;
}

void CutOutSetInvert(CutOutState* state, bool inverted) {
    ScopedLock hold(state->lock);
    state->invert = inverted;
}

bool CutOutSetRect(CutOutState* state, const RectD& rect) {
    ScopedLock hold(state->lock);
    return SetRectLocked(state, rect);
}

void CutOutReset(CutOutState* state) {
    ScopedLock hold(state->lock);
    state->cut_out = WholePage(state->page_size);
}

void CutOutResetToPage(CutOutState* state, const SizeD& page_size) {
    ScopedLock hold(state->lock);
    state->page_size = page_size;
    state->cut_out = WholePage(page_size);
    ClearView(state);
}

void CutOutClear(CutOutState* state) {
    ScopedLock hold(state->lock);
    ClearView(state);
}

bool CutOutIsValidRect(CutOutState* state, const RectD& rect) {
    const SizeD page = CutOutGetPageSize(state);
    const double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    // Written so that NaN anywhere fails.
    return x >= 0.0 && y >= 0.0 && x + w <= page.width + kEdgeSlack && y + h <= page.height + kEdgeSlack &&
           w / page.width >= kSmallestFraction && h / page.height >= kSmallestFraction;
}

bool CutOutApplyOpenParams(CutOutState* state, const OpenParams* params) {
    if (!params) return false;
    ScopedLock hold(state->lock);
    const SizeD page = state->page_size;
    RectD cut_out;
    double left = 0, top = 0, right = 0, bottom = 0;
    if (OpenParamsGetCutOut(params, cut_out) && cut_out.size.width > 0 && cut_out.size.height > 0) {
        SetRectLocked(state, cut_out);
    } else if (OpenParamsGetOffsets(params, left, top, right, bottom) &&
               (left > 0 || top > 0 || right > 0 || bottom > 0) && right + left < page.width - kEdgeSlack &&
               top + bottom < page.height - kEdgeSlack) {
        RectDSet(state->cut_out, left, top, page.width - left - right, page.height - top - bottom);
        state->zoom = 0.0;
    }
    state->invert = OpenParamsGetInverted(params);
    state->mirror_horizontal = OpenParamsGetMirrorH(params);
    state->mirror_vertical = OpenParamsGetMirrorV(params);
    const uint32_t rotation = OpenParamsGetRotation(params);
    state->rotation = ValidRotation(rotation) ? rotation % 360 : 0;
    return true;
}
