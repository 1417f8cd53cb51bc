#include "redlining/redline_payload.h"

#include <zlib.h>


namespace {
// zlib is driven through a small output window, as the format's writer
// always did; the window size changes nothing in the bytes produced.
constexpr uint32_t kZlibWindow = 256;
constexpr int kRawDeflateBits = -15;
constexpr int kMemoryLevel = 8;

class Deflater {
  public:
    Deflater() {
        ok_ = deflateInit2(&stream, 9, Z_DEFLATED, kRawDeflateBits, kMemoryLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ok_) deflateEnd(&stream);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    bool ok() const { return ok_; }
    z_stream stream{};

  private:
    bool ok_ = false;
};

class Inflater {
  public:
    Inflater() { ok_ = inflateInit2(&stream, kRawDeflateBits) == Z_OK; }
    ~Inflater() {
        if (ok_) inflateEnd(&stream);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    bool ok() const { return ok_; }
    z_stream stream{};

  private:
    bool ok_ = false;
};

bool DeflateInto(const AStrBuilder& text, ByteBuf* out) {
    Deflater deflater;
    if (!deflater.ok()) return false;
    z_stream& stream = deflater.stream;
    stream.next_in = reinterpret_cast<Bytef*>(text.data);
    stream.avail_in = text.length;
    uint8_t window[kZlibWindow];
    for (;;) {
        stream.next_out = window;
        stream.avail_out = kZlibWindow;
        const int result = deflate(&stream, Z_FINISH);
        if (result != Z_OK && result != Z_STREAM_END) return false;
        if (!ByteBufAppend(out, window, kZlibWindow - stream.avail_out)) return false;
        if (result == Z_STREAM_END) return true;
    }
}

}  // namespace

Ref<ByteBuf> DeflateRaw(const AStrBuilder& text) {
    if (text.length == 0 || !text.data) return nullptr;
    Ref<ByteBuf> out = ByteBufCreate(0, 0, 0);
    if (!out || !DeflateInto(text, out.get())) return nullptr;
    return out;
}

bool InflateRaw(const uint8_t* bytes, uint32_t length, AStrBuilder& out) {
    if (length == 0) return true;
    if (!bytes) return false;
    Inflater inflater;
    if (!inflater.ok()) return false;
    z_stream& stream = inflater.stream;
    stream.next_in = const_cast<Bytef*>(bytes);
    stream.avail_in = length;
    uint64_t produced = 0;
    char window[kZlibWindow];
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(window);
        stream.avail_out = kZlibWindow;
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) return false;
        const uint32_t n = kZlibWindow - stream.avail_out;
        produced += n;
        if (produced > kRedlineMaxInflatedBytes) return false;
        if (n > 0 && !AStrBuilderAppendN(out, window, n)) return false;
        if (result == Z_STREAM_END) return true;
        // Input used up before the end of the stream: a truncated payload.
        if (n == 0 && stream.avail_in == 0) return false;
    }
}

Ref<ByteBuf> RedlineMakePayload(const AStrBuilder& text) {
    Ref<ByteBuf> compressed = DeflateRaw(text);
    if (!compressed) return nullptr;
    Ref<ByteBuf> payload = ByteBufCreate(0, 0, 0);
    if (!payload || !ByteBufAppend(payload.get(), kRedlinePayloadHeader, kRedlinePayloadHeaderSize) ||
        !ByteBufAppend(payload.get(), ByteBufData(compressed.get()), ByteBufSize(compressed.get()))) {
        return nullptr;
    }
    return payload;
}
