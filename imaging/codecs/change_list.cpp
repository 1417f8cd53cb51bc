#include "imaging/codecs/change_list.h"

#include <cstring>

#include "foundation/pool.h"

namespace {

constexpr uint32_t kChangeListTag = 0x4C474843;  // "CHGL"

// Four pixels' bytes of a row as one word, the row's first pixel in the top bit.
inline uint32_t LoadBigEndian32(const uint8_t* bytes) {
    uint32_t word;
    memcpy(&word, bytes, 4);
    return __builtin_bswap32(word);
}

// The row's last bits past its whole words, in the top bits of a word, read
// byte by byte so that nothing past the row is touched.
uint32_t LoadTail(const uint8_t* bytes, uint32_t bits) {
    uint32_t word = 0;
    for (uint32_t i = 0; i * 8 < bits; ++i) word |= uint32_t(bytes[i]) << (24 - 8 * i);
    return word;
}

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
    // A word at a time: each set bit of (word XOR word shifted by one pixel,
    // with the pixel before the word shifted in) is a change. Paper between
    // the lines costs one test per 32 pixels, each change a bit scan.
    uint32_t previous = state ? 1u : 0u;
    const uint32_t whole_words = n / 32;
    for (uint32_t w = 0; w <= whole_words; ++w) {
        // Blank paper (0 bits after a 0 bit) has no changes: skipped with a
        // test of the stored word alone.
        if (previous == 0) {
            uint32_t stored;
            while (w < whole_words && (memcpy(&stored, row + 4 * w, 4), stored == 0)) ++w;
        }
        const uint32_t base = w * 32;
        uint32_t word;
        if (w < whole_words) {
            word = LoadBigEndian32(row + 4 * w);
        } else {
            if (base >= n) break;
            word = LoadTail(row + 4 * w, n - base);
        }
        uint32_t changes = word ^ ((word >> 1) | (previous << 31));
        if (w == whole_words) changes &= ~(0xFFFFFFFFu >> (n - base));  // only pixels below n
        previous = word & 1;
        while (changes) {
            const uint32_t bit = uint32_t(__builtin_clz(changes));
            e[count++] = base + bit;
            changes &= ~(0x80000000u >> bit);
        }
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
