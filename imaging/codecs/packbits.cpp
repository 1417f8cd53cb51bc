#include "imaging/codecs/packbits.h"

#include <algorithm>
#include <cstring>

#include "foundation/byte_buf.h"
#include "foundation/pool.h"

// Control byte n (signed): 0 to 127 copies the next n + 1 bytes (fewer when
// the input ends); -127 to -1 repeats the next byte 1 - n times (nothing
// when no byte follows); -128 is skipped.

uint64_t PackBitsExpandedSize(const uint8_t* input, uint32_t length) {
    uint64_t total = 0;
    uint32_t i = 0;
    while (i < length) {
        const int8_t n = int8_t(input[i++]);
        if (n >= 0) {
            const uint32_t take = std::min<uint32_t>(uint32_t(n) + 1, length - i);
            total += take;
            i += take;
        } else if (n != -128) {
            if (i == length) break;
            total += uint32_t(1 - n);
            ++i;
        }
    }
    return total;
}

uint32_t PackBitsExpand(const uint8_t* input, uint32_t length, uint8_t* output, uint32_t capacity) {
    uint32_t i = 0;
    uint32_t written = 0;
    while (i < length && written < capacity) {
        const int8_t n = int8_t(input[i++]);
        if (n >= 0) {
            const uint32_t take = std::min({uint32_t(n) + 1, length - i, capacity - written});
            memcpy(output + written, input + i, take);
            written += take;
            i += uint32_t(n) + 1;
            if (i > length) break;
        } else if (n != -128) {
            if (i == length) break;
            const uint32_t take = std::min(uint32_t(1 - n), capacity - written);
            memset(output + written, input[i++], take);
            written += take;
        }
    }
    return written;
}

bool PackBitsDecode(const uint8_t* input, uint32_t length, ByteBuf* output) {
    if (!input || !output) return false;
    ByteBufClear(output);
    // Sizing first lets the output be allocated once instead of growing
    // (and being copied) piece by piece.
    const uint64_t size = PackBitsExpandedSize(input, length);
    if (size == 0) return true;
    if (size > kPoolMaxBlock || !MemResize(output->bytes, uint32_t(size), 0)) return false;
    return PackBitsExpand(input, length, output->bytes.data(), uint32_t(size)) == size;
}
