// An output stream into memory that can be told to fail, for the tests of
// everything that writes through an OutStream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/out_stream.h"

class VectorOutStream : public OutStream {
  public:
    // fail_after: bytes taken before every write fails (-1 never).
    explicit VectorOutStream(int64_t fail_after = -1) : OutStream(256), fail_after_(fail_after) {}
    ~VectorOutStream() override {
        if (fill) OutStreamFlush(*this);
    }
    bool Write(const void* block, uint32_t length) override {
        if (fail_after_ >= 0 && int64_t(data.size()) + length > fail_after_) return false;
        const auto* bytes = static_cast<const uint8_t*>(block);
        data.insert(data.end(), bytes, bytes + length);
        return true;
    }
    std::string Text() const { return std::string(data.begin(), data.end()); }
    std::vector<uint8_t> data;

  private:
    int64_t fail_after_;
};
