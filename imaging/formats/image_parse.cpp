#include "foundation/data_reader.h"
#include "foundation/data_source.h"
#include "foundation/mem_block.h"
#include "imaging/formats/format_readers.h"
#include "imaging/formats/image_format.h"

namespace {

constexpr uint32_t kHeadBytes = 512;

using ParseFunction = Ref<ImageFormat> (*)(ImageStatus*, DataSource*, const uint8_t*, uint32_t, uint32_t);

ParseFunction ReaderFor(int32_t code) {
    switch (code) {
        case kFormatCodeBmp:
            return BmpParse;
        case kFormatCodeTiff:
            return TiffParse;
        case kFormatCodeGif:
            return GifParse;
        case kFormatCodeJpeg:
            return JpegParse;
        case kFormatCodeCals:
            return CalsParse;
        default:
            return nullptr;
    }
}

int32_t ReadHead(DataSource* source, MemBlock& head) {
    bool changed = false;
    Ref<DataReader> reader = DataSourceOpenReader(source, changed);
    if (!reader || !MemAlloc(head, kHeadBytes, 0, 0)) return -1;
    return DataSourceRead(reader.get(), 0, kHeadBytes, head.data());
}

}  // namespace

Ref<ImageFormat> ImageParseFile(ImageStatus* status, DataSource* source, uint32_t options) {
    if (!source) return nullptr;
    MemBlock head;
    const int32_t count = ReadHead(source, head);
    Ref<ImageFormat> format;
    // Sniffed with what the file has: a spacer GIF or a one-pixel BMP is far
    // shorter than the 512 bytes asked for, and each reader checks its own
    // minimum.
    if (count > 0) {
        if (ParseFunction parse = ReaderFor(ImageSniffFormat(head.data(), uint32_t(count)))) {
            format = parse(status, source, head.data(), uint32_t(count), options);
        }
    }
    if (!format) ImageStatusError(status, kStatusNotRecognised);
    return format;
}
