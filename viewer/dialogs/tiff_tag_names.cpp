#include "viewer/dialogs/tiff_tag_names.h"

#include <iterator>

namespace {

struct TagName {
    uint16_t tag;
    const wchar_t* name;
};

// The names as the viewer has always shown them, spelling included.
constexpr TagName kTagNames[] = {
    {254, L"NewSubfileType"},
    {255, L"SubfileType"},
    {256, L"ImageWidth"},
    {257, L"ImageLength"},
    {258, L"BitsPerSample"},
    {259, L"Compression"},
    {262, L"PhotometricInterpretation"},
    {263, L"Treshholding"},
    {264, L"CellWidth"},
    {265, L"CellHeight"},
    {266, L"FillOrder"},
    {269, L"DocumentName"},
    {270, L"ImageDescription"},
    {271, L"Make"},
    {272, L"Model"},
    {273, L"StripOffsets"},
    {274, L"Orientation"},
    {277, L"SamplesPerPixel"},
    {278, L"RowsPerStrip"},
    {279, L"StripByteCounts"},
    {280, L"MinSampleValue"},
    {281, L"MaxSampleValue"},
    {282, L"XResolution"},
    {283, L"YResolution"},
    {284, L"PlanarConfiguration"},
    {285, L"Pagename"},
    {286, L"XPosition"},
    {287, L"YPosition"},
    {288, L"FreeOffsets"},
    {289, L"FreeByteCounts"},
    {290, L"GrayResponseCounts"},
    {291, L"GrayResponseCurve"},
    {292, L"T4Options"},
    {293, L"T6Options"},
    {296, L"ResolutionUnit"},
    {297, L"PageNumber"},
    {301, L"TransferFunction"},
    {305, L"Software"},
    {306, L"DateTime"},
    {315, L"Artist"},
    {316, L"Hostcomputer"},
    {317, L"Predictor"},
    {318, L"Whitepoint"},
    {319, L"PrimaryChromaticities"},
    {320, L"Colormap"},
    {321, L"HalftoneHints"},
    {322, L"TileWidth"},
    {323, L"TileLength"},
    {324, L"TileOffsets"},
    {325, L"TileByteCounts"},
    {332, L"InkSet"},
    {333, L"InkNames"},
    {334, L"NumberOfInks"},
    {336, L"DotRange"},
    {337, L"TargetPrinter"},
    {338, L"ExtraSamples"},
    {339, L"SampleFormat"},
    {340, L"SMinSampleValue"},
    {341, L"SMaxSampleValue"},
    {342, L"TransferRange"},
    {347, L"JPEGTables"},
    {512, L"PGEGProc"},
    {513, L"JPEGInterchangeFormat"},
    {514, L"JPEGInterchangeFormatLength"},
    {515, L"JPEGRestartInterval"},
    {517, L"JPEGLosslessPredictors"},
    {518, L"JPEGPointTransforms"},
    {519, L"JPEGQTables"},
    {520, L"JPEGDCTables"},
    {521, L"JPEGACTables"},
    {529, L"YCbCrCoefficents"},
    {530, L"YCbCrSubsampling"},
    {531, L"YCbCrPositioning"},
    {532, L"ReferenceBlackWhite"},
    {33432, L"Copyright"},
    {40000, L"Plovex Redlining"},
};
static_assert(std::size(kTagNames) == kTiffTagNameCount);

}  // namespace

const wchar_t* TiffTagName(uint16_t tag) {
    for (size_t row = std::size(kTagNames); row-- > 0;) {
        if (kTagNames[row].tag == tag) return kTagNames[row].name;
    }
    return nullptr;
}
