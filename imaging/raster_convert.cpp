// Conversion between depths, rectangle copies, transformed drawing, lookup
// tables and mean brightness of the four image members.
#include "imaging/raster_image_depths.h"

void RasterImage1::CopyFrom(const RasterImage*) {}
void RasterImage4::CopyFrom(const RasterImage*) {}
void RasterImage8::CopyFrom(const RasterImage*) {}
void RasterImage24::CopyFrom(const RasterImage*) {}
bool RasterImage1::CopyRect(const RasterImage*, const PointI*, const RectI*, uint32_t) { return false; }
bool RasterImage4::CopyRect(const RasterImage*, const PointI*, const RectI*, uint32_t) { return false; }
bool RasterImage8::CopyRect(const RasterImage*, const PointI*, const RectI*, uint32_t) { return false; }
bool RasterImage24::CopyRect(const RasterImage*, const PointI*, const RectI*, uint32_t) { return false; }
bool RasterImage1::DrawTransformed(const RasterImage*, const TransformD*, uint32_t, ProgressSink*) {
    return false;
}
bool RasterImage4::DrawTransformed(const RasterImage*, const TransformD*, uint32_t, ProgressSink*) {
    return false;
}
bool RasterImage8::DrawTransformed(const RasterImage*, const TransformD*, uint32_t, ProgressSink*) {
    return false;
}
bool RasterImage24::DrawTransformed(const RasterImage*, const TransformD*, uint32_t, ProgressSink*) {
    return false;
}
bool RasterImage1::ApplyLut(const uint8_t*) { return false; }
bool RasterImage4::ApplyLut(const uint8_t*) { return false; }
bool RasterImage8::ApplyLut(const uint8_t*) { return false; }
bool RasterImage24::ApplyLut(const uint8_t*) { return false; }
double RasterImage1::MeanBrightness() const { return 0; }
double RasterImage4::MeanBrightness() const { return 0; }
double RasterImage8::MeanBrightness() const { return 0; }
double RasterImage24::MeanBrightness() const { return 0; }
