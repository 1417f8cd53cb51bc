// Image files for the raster tests: BMP written through the packed bitmap
// header (what windows paint with), and binary PNM read back from the
// outside tools. Pictures are addressed from their top line, as the tools
// see them; memory row 0 of a RasterImage is the picture's bottom line.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/raster/packed_dib.h"
#include "imaging/raster/raster_image.h"
#include "tests/support/test_support.h"

// The host's Python with Pillow and numpy (Debian's, not a user-local one).
inline const char* kHostPython = "/usr/bin/python3";

inline bool WriteBmp(const RasterImage* image, const std::string& path) {
    PackedDib block = RasterImageToPackedDib(image);
    if (!block) return false;
    const BITMAPINFO* info = block.get();
    const size_t header_bytes = info->bmiHeader.biSize + PaletteSizeForBits(image->bits_per_pixel) * 4;
    const size_t pixel_bytes = static_cast<size_t>(image->stride) * image->height;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = static_cast<DWORD>(sizeof(file) + header_bytes);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixel_bytes);
    std::vector<uint8_t> bytes(file.bfSize);
    memcpy(bytes.data(), &file, sizeof(file));
    memcpy(bytes.data() + sizeof(file), info, header_bytes);
    memcpy(bytes.data() + file.bfOffBits, image->pixels, pixel_bytes);
    return WriteHostFile(path, bytes);
}

// A binary PNM (P4, P5 or P6 with maxval 255), top line first. P4 rows are
// packed with 1 for black; channels 3 means R, G, B.
struct Pnm {
    char kind = 0;
    uint32_t width = 0, height = 0, channels = 0, row_bytes = 0;
    std::vector<uint8_t> bytes;
    const uint8_t* Row(uint32_t y) const { return bytes.data() + size_t(row_bytes) * y; }
    uint32_t Rgb(uint32_t x, uint32_t y) const {
        const uint8_t* p = &bytes[(size_t(y) * width + x) * channels];
        return channels == 3 ? (p[0] << 16) | (p[1] << 8) | p[2] : p[0] * 0x010101u;
    }
};

inline bool ParsePnm(const std::vector<uint8_t>& file, Pnm& out) {
    size_t pos = 0;
    auto token = [&]() {
        std::string t;
        while (pos < file.size()) {
            char c = static_cast<char>(file[pos]);
            if (c == '#' && t.empty()) {
                while (pos < file.size() && file[pos] != '\n') ++pos;
            } else if (isspace(static_cast<unsigned char>(c))) {
                if (!t.empty()) break;
                ++pos;
            } else {
                t += c;
                ++pos;
            }
        }
        return t;
    };
    const std::string magic = token();
    if (magic != "P4" && magic != "P5" && magic != "P6") return false;
    out.kind = magic[1];
    out.channels = out.kind == '6' ? 3 : 1;
    out.width = uint32_t(std::strtoul(token().c_str(), nullptr, 10));
    out.height = uint32_t(std::strtoul(token().c_str(), nullptr, 10));
    if (out.kind != '4' && token() != "255") return false;
    ++pos;  // the one white-space byte before the samples
    out.row_bytes = out.kind == '4' ? (out.width + 7) / 8 : out.width * out.channels;
    const size_t n = size_t(out.row_bytes) * out.height;
    if (file.size() < pos + n) return false;
    out.bytes.assign(file.begin() + pos, file.begin() + pos + n);
    return true;
}

inline bool ReadPnm(const std::string& path, Pnm& out) { return ParsePnm(ReadHostFile(path), out); }

// The colour of picture pixel (x, y), y counted from the top line.
inline uint32_t PictureRgb(const RasterImage* image, uint32_t x, uint32_t y) {
    uint32_t colour = 0xDEADBEEF;
    image->GetPixelRgb(x, image->height - 1 - y, &colour);
    return colour;
}

// Empty when the image's picture equals the PNM's, else the first difference.
inline std::string ComparePicture(const RasterImage* image, const Pnm& pnm) {
    if (image->width != pnm.width || image->height != pnm.height) {
        return "size " + std::to_string(image->width) + "x" + std::to_string(image->height) + " vs " +
               std::to_string(pnm.width) + "x" + std::to_string(pnm.height);
    }
    for (uint32_t y = 0; y < pnm.height; ++y) {
        for (uint32_t x = 0; x < pnm.width; ++x) {
            if (PictureRgb(image, x, y) != pnm.Rgb(x, y)) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
    }
    return "";
}

// Random pixels (padding kept 0) and, below 24 bits unless no_palette, a
// random colour palette.
inline Ref<RasterImage> RandomImage(std::mt19937& random, uint32_t width, uint32_t height, uint16_t bits,
                                    bool no_palette) {
    Ref<RasterImage> image = RasterImageCreate(width, height, bits, no_palette);
    if (!image) return image;
    for (size_t i = 0; i < static_cast<size_t>(image->stride) * height; ++i) {
        image->pixels[i] = static_cast<uint8_t>(random());
    }
    RasterImageClearPadding(image.get());
    if (image->palette) {
        for (uint32_t i = 0; i < image->palette->count; ++i) {
            PaletteSetEntry(image->palette, i, random() & 0xFFFFFF);
        }
    }
    return image;
}

// True when every bit after the last pixel of every row is 0.
inline bool PaddingIsZero(const RasterImage* image) {
    for (uint32_t y = 0; y < image->height; ++y) {
        const uint8_t* row = RasterImageRowAddress(image, y);
        for (uint32_t bit = image->bits_per_row; bit < image->stride * 8; ++bit) {
            if ((row[bit >> 3] >> (7 - (bit & 7))) & 1) return false;
        }
    }
    return true;
}
