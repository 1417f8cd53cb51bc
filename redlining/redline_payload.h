// The stored form of one page's markup text: a fixed 10-byte header (the
// first bytes of a gzip member) followed by a raw deflate stream without
// checksum or length trailer.
#pragma once

#include <cstdint>

#include "foundation/byte_buf.h"
#include "foundation/ref_counted.h"
#include "foundation/string_builder.h"

constexpr uint32_t kRedlinePayloadHeaderSize = 10;
inline constexpr uint8_t kRedlinePayloadHeader[kRedlinePayloadHeaderSize] = {0x1F, 0x8B, 0x08, 0, 0,
                                                                             0,    0,    0,    0, 0x0B};
// A page's text never comes near this; a payload that inflates beyond it is
// hostile or damaged and its page is refused rather than filling memory.
constexpr uint32_t kRedlineMaxInflatedBytes = 30000000;

// The whole text compressed (level 9, raw deflate); null for an empty text
// or when zlib fails.
Ref<ByteBuf> DeflateRaw(const AStrBuilder& text);
// Appends the inflated bytes; true once the stream ended. An empty input
// succeeds with nothing appended; output past kRedlineMaxInflatedBytes fails.
bool InflateRaw(const uint8_t* bytes, uint32_t length, AStrBuilder& out);
// Header and compressed text; null as DeflateRaw.
Ref<ByteBuf> RedlineMakePayload(const AStrBuilder& text);
