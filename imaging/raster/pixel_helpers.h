// Small pixel routines the band decoders use on one row at a time.
#pragma once

#include <cstdint>

// n 4-bit values from (n + 1) / 2 bytes, high nibble first, one per byte out.
void NibblesUnpack(const uint8_t* src, uint8_t* dst, uint32_t n);
// n values (low nibble of each byte) packed two per byte, high nibble first;
// an odd last value leaves the last byte's low nibble 0.
void NibblesPack(const uint8_t* src, uint8_t* dst, uint32_t n);
// Undoes horizontal differencing of count pixels of step 8-bit samples each
// (modulo 256); false for step 0.
bool HorizontalUndiff(uint32_t count, uint8_t* bytes, uint16_t step);
// The TIFF horizontal predictor (Predictor 2) for one row of count pixels,
// at 8 or 4 bits per sample.
bool PredictorDecode(uint8_t* row, uint32_t count, uint16_t samples_per_pixel, uint16_t bits_per_sample);
// In place: n pixels of C, M, Y, K in, blue, green, red out (packed behind
// the input in the same buffer).
void CmykToRgb(uint8_t* pixels, uint32_t n);
// Exchanges the first and third byte of n 3-byte pixels.
void SwapRedBlue(uint8_t* pixels, uint32_t n);
