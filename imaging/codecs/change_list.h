// One bilevel line as the positions where its colour changes, the line
// starting white: elements 0 and 1 bound the first black run (pixels from
// element 0 to element 1 - 1), elements 2 and 3 the second, and the list ends
// with an element equal to the width. An all-white line is {width}. This is
// the form in which the CCITT decoder hands lines to the raster sinks
// (PutRuns) and in which the Group 4 encoder codes them.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

// Widths above this are refused (no raster image is wider).
constexpr uint32_t kChangeListMaxWidth = 1000000;

// A plain record: the destructor does what ChangeListFree does.
struct ChangeList {
    ChangeList() = default;
    ~ChangeList() = default;
    ChangeList(const ChangeList&) = delete;
    ChangeList& operator=(const ChangeList&) = delete;

    MemBlock block;                // the elements' storage
    uint32_t* elements = nullptr;  // first element: the block's start rounded up to 8
    uint32_t width = 0;
    uint32_t count = 0;
};

// Most elements a line of `width` pixels can have: one at every position
// from 0 to the width.
inline uint32_t ChangeListCapacity(const ChangeList& list) { return list.width + 1; }

// Every complete list is followed by this many copies of the width, so that
// readers looking one or two changes ahead (b1 and b2 of two-dimensional
// coding, the end of the last run) need no bounds test.
constexpr uint32_t kChangeListEndMarks = 3;

// All white. False when the width is 0 or above kChangeListMaxWidth or the
// block cannot be had (the list then holds no block).
bool ChangeListInit(ChangeList& list, uint32_t width);
void ChangeListFree(ChangeList& list);
// {width}.
void ChangeListSetEmpty(ChangeList& list);
// Count 0: the start of a line being built.
void ChangeListClear(ChangeList& list);
// True for count 0, or count 1 with the element equal to the width.
bool ChangeListIsEmpty(const ChangeList& list);
// Makes the list end at the width: runs past the width are cut at it, an
// unfinished line is completed in white (a black run that was still open is
// dropped), and the end marks are written.
void ChangeListTerminate(ChangeList& list);
// Writes the end marks behind a list that already ends at the width.
void ChangeListMarkEnd(ChangeList& list);

// The positions where the bit value of one packed 1-bit row (most significant
// bit first) changes, counted from a start in 0 bits, then the end position;
// a pixel count above the width is cut to the width, and a shorter row is
// terminated.
void ChangeListFromRow(ChangeList& list, const uint8_t* row, uint32_t pixel_count);
// The same, counted from a start in `state` (0 or 1) bits. From 1 the list
// bounds the runs of 0 bits, which is how the Group 4 encoder sees a row.
void ChangeListFromRowStartingIn(ChangeList& list, const uint8_t* row, uint32_t pixel_count, uint32_t state);
