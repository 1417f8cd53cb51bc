// The parse entry of every reader, as the format dispatch calls it: the
// file's first bytes are already read into `head` (head_count bytes: up to
// 512, fewer in a shorter file; at least the 6 that recognised the format).
// Each checks the length its format needs and returns a new format object,
// or null with the status set.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class DataSource;
class ImageFormat;
struct ImageStatus;

Ref<ImageFormat> BmpParse(ImageStatus* status, DataSource* source, const uint8_t* head, uint32_t head_count,
                          uint32_t options);
Ref<ImageFormat> TiffParse(ImageStatus* status, DataSource* source, const uint8_t* head, uint32_t head_count,
                           uint32_t options);
Ref<ImageFormat> GifParse(ImageStatus* status, DataSource* source, const uint8_t* head, uint32_t head_count,
                          uint32_t options);
Ref<ImageFormat> JpegParse(ImageStatus* status, DataSource* source, const uint8_t* head, uint32_t head_count,
                           uint32_t options);
Ref<ImageFormat> CalsParse(ImageStatus* status, DataSource* source, const uint8_t* head, uint32_t head_count,
                           uint32_t options);
