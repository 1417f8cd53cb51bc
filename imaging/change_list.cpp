#include "imaging/change_list.h"

#include "foundation/pool.h"

namespace {

constexpr uint32_t kChangeListTag = 0x4C474843;  // "CHGL"

}  // namespace

bool ChangeListInit(ChangeList& list, uint32_t width) {
    ChangeListFree(list);
    if (width == 0 || width > kChangeListMaxWidth) return false;
    // Room for width + 1 elements, one more that terminating a damaged line
    // may append, the end marks, and the rounding of the start to 8 bytes.
    const uint32_t bytes = (width + 2 + kChangeListEndMarks) * 4 + 8;
    void* block = MemAlloc(list.block, bytes, 0, kChangeListTag);
    if (!block) return false;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + 7) & ~uintptr_t(7);
    list.elements = reinterpret_cast<uint32_t*>(start);
    list.width = width;
    ChangeListSetEmpty(list);
    return true;
}

void ChangeListFree(ChangeList& list) {
    MemFree(list.block);
    list.elements = nullptr;
    list.width = 0;
    list.count = 0;
}

void ChangeListSetEmpty(ChangeList& list) {
    if (!list.elements) return;
    list.elements[0] = list.width;
    list.count = 1;
    ChangeListMarkEnd(list);
}

void ChangeListClear(ChangeList& list) { list.count = 0; }

bool ChangeListIsEmpty(const ChangeList& list) {
    return list.count == 0 || (list.count == 1 && list.elements[0] == list.width);
}

void ChangeListMarkEnd(ChangeList& list) {
    uint32_t* end = list.elements + list.count;
    for (uint32_t i = 0; i < kChangeListEndMarks; ++i) end[i] = list.width;
}

void ChangeListTerminate(ChangeList& list) {
    if (!list.elements) return;
    uint32_t* e = list.elements;
    const uint32_t width = list.width;
    uint32_t n = list.count;
    if (n == 0) {
        ChangeListSetEmpty(list);
        return;
    }
    if (e[n - 1] != width) {
        // Elements ascend, so those at or past the width form the tail. The
        // first of them is where the line's last run reaches the end.
        uint32_t inside = n;
        while (inside > 0 && e[inside - 1] >= width) --inside;
        if (inside < n) {
            n = inside + 1;
        } else if (n % 2 == 0) {
            ++n;  // a white run was open: it runs to the end
        }
        // With an odd count an unfinished black run was open: it is dropped.
        e[n - 1] = width;
    }
    list.count = n;
    ChangeListMarkEnd(list);
}

void ChangeListFromRowStartingIn(ChangeList& list, const uint8_t* row, uint32_t pixel_count, uint32_t state) {
    if (!list.elements) return;
    const uint32_t n = pixel_count < list.width ? pixel_count : list.width;
    uint32_t* e = list.elements;
    uint32_t count = 0;
    uint32_t x = 0;
    // Each step looks at the rest of one byte, inverted in the 1 state so
    // that the next change is its first set bit: uniform bytes cost one step.
    while (x < n) {
        const uint32_t flip = state ? 0xFFu : 0u;
        const uint32_t rest = (row[x >> 3] ^ flip) & (0xFFu >> (x & 7));
        if (rest == 0) {
            x = (x | 7) + 1;
            continue;
        }
        x = (x & ~7u) + uint32_t(__builtin_clz(rest) - 24);
        if (x >= n) break;
        e[count++] = x;
        state ^= 1;
    }
    e[count++] = n;
    list.count = count;
    if (n < list.width) {
        ChangeListTerminate(list);
    } else {
        ChangeListMarkEnd(list);
    }
}

void ChangeListFromRow(ChangeList& list, const uint8_t* row, uint32_t pixel_count) {
    ChangeListFromRowStartingIn(list, row, pixel_count, 0);
}
