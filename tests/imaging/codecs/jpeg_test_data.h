// What the JPEG tests share: the files tests/data/make-jpeg-data.py makes
// with cjpeg, djpeg, tiffcp and ImageMagick, and reading JPEG bytes from
// memory through the glue's callbacks.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "imaging/codecs/jpeg_glue.h"
#include "tests/support/data_cases.h"
#include "tests/support/test_support.h"

// Makes the files of one kind (jfif, tiff) once per test program; the
// directory.
inline const std::string& JpegDataDir(const std::string& kind) {
    static std::map<std::string, std::string> made;
    auto it = made.find(kind);
    if (it != made.end()) return it->second;
    std::string dir;
    EXPECT_TRUE(MakeDataCases("make-jpeg-data.py", kind, "jpeg-data-" + kind, &dir));
    return made[kind] = dir;
}

inline std::vector<std::string> JpegCaseNames(const std::string& kind) {
    return DataCaseNames(JpegDataDir(kind));
}

inline std::vector<uint8_t> JpegCaseFile(const std::string& kind, const std::string& file) {
    return ReadHostFile(JpegDataDir(kind) + "/" + file);
}

// JPEG bytes in memory handed to the glue in pieces of at most `piece`
// bytes, counting what was taken.
struct MemoryJpeg {
    const std::vector<uint8_t>* bytes = nullptr;
    size_t position = 0;
    uint32_t piece = 0xFFFFFFFFu;
    uint32_t calls = 0;

    static uint32_t Read(void* context, uint8_t* buffer, uint32_t count) {
        auto* self = static_cast<MemoryJpeg*>(context);
        ++self->calls;
        const size_t left = self->bytes->size() - self->position;
        const uint32_t n = uint32_t(std::min<size_t>({left, count, self->piece}));
        if (n) memcpy(buffer, self->bytes->data() + self->position, n);
        self->position += n;
        return n;
    }
};

// Every scanline JpegDecode delivers, as the bytes libjpeg gave.
struct CollectedRows {
    std::vector<uint8_t> pixels;
    uint32_t lines = 0;
    uint32_t width = 0;
    uint32_t components = 0;
    bool in_order = true;
    uint32_t stop_after = 0xFFFFFFFFu;  // the callback answers false on this line

    static bool Row(void* context, uint32_t line, uint8_t* row, uint32_t width, uint32_t components) {
        auto* self = static_cast<CollectedRows*>(context);
        if (line != self->lines) self->in_order = false;
        self->width = width;
        self->components = components;
        self->pixels.insert(self->pixels.end(), row, row + size_t(width) * components);
        ++self->lines;
        return line != self->stop_after;
    }
};

struct RowsAndBytes {
    MemoryJpeg input;
    CollectedRows rows;
    static uint32_t Read(void* context, uint8_t* buffer, uint32_t count) {
        return MemoryJpeg::Read(&static_cast<RowsAndBytes*>(context)->input, buffer, count);
    }
    static bool Row(void* context, uint32_t line, uint8_t* row, uint32_t width, uint32_t components) {
        return CollectedRows::Row(&static_cast<RowsAndBytes*>(context)->rows, line, row, width, components);
    }
};

// Decodes JPEG bytes from memory; the glue's result.
inline int32_t DecodeBytes(const std::vector<uint8_t>& bytes, RowsAndBytes& run, uint32_t line_limit = 0) {
    run.input.bytes = &bytes;
    return JpegDecode(&run, line_limit, RowsAndBytes::Read, RowsAndBytes::Row);
}

inline int32_t ReadInfoBytes(const std::vector<uint8_t>& bytes, JpegInfo* info) {
    MemoryJpeg input;
    input.bytes = &bytes;
    return JpegReadInfo(&input, MemoryJpeg::Read, info);
}

// The bytes of a JPEG up to (not including) its first frame header, then an
// end-of-image marker: a tables-only stream.
inline std::vector<uint8_t> TablesOnly(const std::vector<uint8_t>& jpeg) {
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const uint8_t marker = jpeg[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) break;
        at += 2 + ((jpeg[at + 2] << 8) | jpeg[at + 3]);
    }
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + std::min(at, jpeg.size()));
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}
