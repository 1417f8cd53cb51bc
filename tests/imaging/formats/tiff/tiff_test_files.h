// TIFF files put together byte by byte, for what outside tools never write:
// any entry of any type in either byte order, chained directories.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/formats/tiff/tiff_directory.h"

// One TIFF file under construction: blobs first, directories after them.
class TiffBuilder {
  public:
    explicit TiffBuilder(bool big) : big_(big) {
        const uint8_t header[8] = {uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I'), 0, 0, 0, 0, 0, 0};
        bytes.assign(header, header + 8);
        Put16At(2, 42);
    }

    // Values of a type, in the file's byte order.
    std::vector<uint8_t> Values(uint16_t type, const std::vector<uint64_t>& values) const {
        const uint32_t size = type == 5 || type == 10 ? 4 : TiffFieldSize(type);
        std::vector<uint8_t> out;
        for (uint64_t v : values) {
            for (uint32_t i = 0; i < size; ++i) out.push_back(uint8_t(v >> (8 * (big_ ? size - 1 - i : i))));
        }
        return out;
    }

    uint32_t Blob(const std::vector<uint8_t>& data) {
        const uint32_t offset = uint32_t(bytes.size());
        bytes.insert(bytes.end(), data.begin(), data.end());
        if (bytes.size() & 1) bytes.push_back(0);
        return offset;
    }

    // RATIONAL and SRATIONAL values come as numerator, denominator pairs.
    void Add(uint16_t tag, uint16_t type, const std::vector<uint64_t>& values) {
        const uint32_t count = uint32_t(type == 5 || type == 10 ? values.size() / 2 : values.size());
        AddRaw(tag, type, count, Values(type, values));
    }
    // An entry with the given count and value bytes (moved out of line when
    // longer than 4).
    void AddRaw(uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> data) {
        std::vector<uint8_t> field = data;
        if (data.size() > 4) field = Values(4, {Blob(data)});
        field.resize(4);
        Entry entry{tag, type, count, {field[0], field[1], field[2], field[3]}};
        entries_.push_back(entry);
    }

    // Writes the directory of the entries added since the last one.
    uint32_t EndDirectory() {
        const uint32_t offset = uint32_t(bytes.size());
        Put16(uint16_t(entries_.size()));
        for (const Entry& e : entries_) {
            Put16(e.tag);
            Put16(e.type);
            Put32(e.count);
            bytes.insert(bytes.end(), e.field, e.field + 4);
        }
        Put32(0);
        if (last_directory_ == 0) {
            Put32At(4, offset);
        } else {
            Put32At(last_next_, offset);
        }
        last_directory_ = offset;
        last_next_ = uint32_t(bytes.size() - 4);
        entries_.clear();
        return offset;
    }

    void LinkLastTo(uint32_t offset) { Put32At(last_next_, offset); }

    // An uncompressed 8-bit grey image of one strip at `dpi`, filled with `value`.
    void GreyImage(uint32_t width, uint32_t height, double dpi, uint8_t value, uint32_t subfile = 0,
                   bool bad_strip = false) {
        const uint32_t strip = Blob(std::vector<uint8_t>(size_t(width) * height, value));
        if (subfile) Add(254, 4, {subfile});
        Add(256, 4, {width});
        Add(257, 4, {height});
        Add(258, 3, {8});
        Add(259, 3, {1});
        Add(262, 3, {1});
        Add(273, 4, {bad_strip ? 0x7FFFFF00u : strip});
        Add(279, 4, {uint64_t(width) * height});
        Add(282, 5, {uint64_t(dpi * 1000), 1000});
        Add(283, 5, {uint64_t(dpi * 1000), 1000});
    }

    std::vector<uint8_t> bytes;

  private:
    struct Entry {
        uint16_t tag, type;
        uint32_t count;
        uint8_t field[4];
    };
    void Put16(uint16_t v) {
        const auto b = Values(3, {v});
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    void Put32(uint32_t v) {
        const auto b = Values(4, {v});
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    void Put16At(size_t at, uint16_t v) {
        const auto b = Values(3, {v});
        memcpy(&bytes[at], b.data(), 2);
    }
    void Put32At(size_t at, uint32_t v) {
        const auto b = Values(4, {v});
        memcpy(&bytes[at], b.data(), 4);
    }

    bool big_;
    std::vector<Entry> entries_;
    uint32_t last_directory_ = 0;
    uint32_t last_next_ = 0;
};
