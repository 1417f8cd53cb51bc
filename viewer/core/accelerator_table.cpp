#include "viewer/core/accelerator_table.h"

#include "viewer/core/commands.h"

namespace {

constexpr BYTE kKey = FVIRTKEY;
constexpr BYTE kCtrlKey = FVIRTKEY | FCONTROL;
// '+' and '-' come as characters, so that every keyboard's keys for them
// (and the number pad's) zoom.
constexpr BYTE kCharacter = 0;

}  // namespace

const ACCEL kViewerAccelerators[kAcceleratorCount] = {
    {kCtrlKey, 'P', command::kPrint},
    {kCtrlKey, 'O', command::kOpen},
    {kCtrlKey, VK_F4, command::kClose},
    {kKey, VK_ESCAPE, command::kZoomAll},
    {kCtrlKey, 'N', command::kStandardView},
    {kCtrlKey, VK_LEFT, command::kRotateLeft},
    {kCtrlKey, VK_RIGHT, command::kRotateRight},
    {kKey, VK_LEFT, command::kScrollLeft},
    {kKey, VK_RIGHT, command::kScrollRight},
    {kKey, VK_UP, command::kScrollUp},
    {kKey, VK_DOWN, command::kScrollDown},
    {kKey, 'V', command::kMirrorVertical},
    {kKey, 'H', command::kMirrorHorizontal},
    {kKey, 'I', command::kInvert},
    {kCharacter, '+', command::kZoomIn},
    {kCharacter, '-', command::kZoomOut},
    {kKey, VK_PRIOR, command::kPreviousPage},
    {kKey, VK_NEXT, command::kNextPage},
    {kKey, VK_HOME, command::kFirstPage},
    {kKey, VK_END, command::kLastPage},
    {kCtrlKey, 'G', command::kGoToPage},
    {kCtrlKey, 'B', command::kBitmapExport},
    {kKey, 'M', command::kMeasuringPoint},
    {kKey, '1', command::kComparisonMarker1},
    {kKey, '2', command::kComparisonMarker2},
};

AcceleratorTable::~AcceleratorTable() {
    if (handle) DestroyAcceleratorTable(handle);
}

Ref<AcceleratorTable> AcceleratorTableCreate() {
    Ref<AcceleratorTable> table = MakeRef<AcceleratorTable>();
    // The system copies the entries; it takes a non-const array.
    ACCEL entries[kAcceleratorCount];
    for (uint32_t i = 0; i < kAcceleratorCount; ++i) entries[i] = kViewerAccelerators[i];
    table->handle = CreateAcceleratorTableW(entries, static_cast<int>(kAcceleratorCount));
    return table;
}
