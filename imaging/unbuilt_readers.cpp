// GIF, BMP and CALS files are recognised but not read yet: they are refused
// as an unsupported variant rather than shown wrongly.
#include "imaging/format_readers.h"
#include "imaging/image_format.h"

namespace {

Ref<ImageFormat> Refuse(ImageStatus* status) {
    ImageStatusError(status, kStatusUnsupported);
    return nullptr;
}

}  // namespace

Ref<ImageFormat> GifParse(ImageStatus* status, DataSource*, const uint8_t*, uint32_t, uint32_t) {
    return Refuse(status);
}

Ref<ImageFormat> BmpParse(ImageStatus* status, DataSource*, const uint8_t*, uint32_t, uint32_t) {
    return Refuse(status);
}

Ref<ImageFormat> CalsParse(ImageStatus* status, DataSource*, const uint8_t*, uint32_t, uint32_t) {
    return Refuse(status);
}
