// What every page item shows of its page: the cut-out in page millimetres,
// the zoom, the quarter turn, the mirrors and the inversion. The GUI thread
// and the print thread read the same state, so every field is read and
// written under the state's lock, through the functions below.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"

class OpenParams;

class CutOutState : public RefCounted {
  public:
    // Guards every field below. Never held while another state's lock is
    // waited for (CutOutAssign tries the second one and backs off).
    CriticalSection lock;
    SizeD page_size;  // millimetres of the unrotated page
    RectD cut_out;    // millimetres, origin at the page's top-left
    bool mirror_horizontal = false;
    bool mirror_vertical = false;
    // 0, 90, 180 or 270. Called clockwise like the render request's, but the
    // page's flips (ComputePlacementFlips) make the view show the picture
    // turned counter-clockwise by it: "rotate left" adds 90. Command lines,
    // DDE and stored session lists carry this value as it is.
    uint32_t rotation = 0;
    bool invert = false;
    // 0: the cut-out is fitted into the view; above 0: a fixed magnification,
    // the target's length per page millimetre.
    double zoom = 0.0;
};

// Cut-out = the whole page; no mirror, turn, inversion or fixed zoom.
Ref<CutOutState> CutOutCreate(const SizeD& page_size);
// A new state with every field of `other`.
Ref<CutOutState> CutOutCopy(CutOutState* other);
// Copies every field of `source` into `target`. Holds the target's lock and
// only tries the source's, backing off for 10 ms while it is busy, so that
// two states copied into each other from two threads never deadlock.
void CutOutAssign(CutOutState* target, CutOutState* source);

SizeD CutOutGetPageSize(CutOutState* state);
// The cut-out with a non-negative size.
RectD& CutOutGetRect(CutOutState* state, RectD& out);
double CutOutGetZoom(CutOutState* state);
// Non-negative finite values only; anything else is refused (false).
bool CutOutSetZoom(CutOutState* state, double zoom);
bool CutOutGetMirrorHorizontal(CutOutState* state);
void CutOutSetMirrorHorizontal(CutOutState* state, bool mirrored);
bool CutOutGetMirrorVertical(CutOutState* state);
void CutOutSetMirrorVertical(CutOutState* state, bool mirrored);
uint32_t CutOutGetRotation(CutOutState* state);
// A multiple of 90 is stored modulo 360; anything else is refused (false).
bool CutOutSetRotation(CutOutState* state, uint32_t degrees);
bool CutOutGetInvert(CutOutState* state);
void CutOutSetInvert(CutOutState* state, bool inverted);

// The cut-out becomes `rect` moved, and shrunk where it is larger than the
// page, to lie inside the page; the zoom goes back to 0 (a new cut-out is
// shown fitted). A rectangle without a positive finite size or with a
// non-finite origin, or a page without area, is refused: false, and the
// state stays as it was.
bool CutOutSetRect(CutOutState* state, const RectD& rect);
// Cut-out = the whole page.
void CutOutReset(CutOutState* state);
// A new page size; everything else as CutOutCreate leaves it.
void CutOutResetToPage(CutOutState* state, const SizeD& page_size);
// Mirrors, turn, inversion and zoom cleared; the cut-out stays.
void CutOutClear(CutOutState* state);

// x >= 0, y >= 0, the far edges within the page (with 0.00001 mm of
// slack), and each side at least a millionth of the page's.
bool CutOutIsValidRect(CutOutState* state, const RectD& rect);

// Takes what the open parameters say: their cut-out (as CutOutSetRect) or
// else their margins (when at least one is positive and they leave part of
// the page), then inversion, mirrors and rotation (unset ones clear the
// state's). False without parameters.
bool CutOutApplyOpenParams(CutOutState* state, const OpenParams* params);
