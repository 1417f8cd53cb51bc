// The texts of the Document-properties pages. The TIFF Tags lines are judged
// against `tiffdump` of a file that ImageMagick and `tiffset` made, with two
// entries renumbered to the viewer's markup tag and to a tag nobody names.
#include "viewer/dialogs/property_texts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/formats/tiff/tiff_page.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/export/export_test_support.h"

namespace {

struct Dumped {
    uint32_t type = 0, count = 0;
    std::string values;  // between '<' and '>'
};

// tiffdump's lines "Name (256) SHORT (3) 1<40>", or "300 (0x12c) SHORT (3)
// 2<3 7>" for a tag it does not name, by tag.
std::map<uint32_t, Dumped> Tiffdump(const std::string& path, const std::string& dir) {
    std::istringstream text(HostOutput("tiffdump '" + path + "'", dir));
    std::map<uint32_t, Dumped> entries;
    for (std::string line; std::getline(text, line);) {
        const size_t open = line.find('<'), close = line.rfind('>');
        std::istringstream head(line.substr(0, open));
        const std::vector<std::string> w{std::istream_iterator<std::string>(head), {}};
        if (open == std::string::npos || close < open || w.size() < 5) continue;
        const uint32_t tag = std::stoul(isdigit(w[0][0]) ? w[0] : w[w.size() - 4].substr(1));
        entries[tag] = {uint32_t(std::stoul(w[w.size() - 2].substr(1))), uint32_t(std::stoul(w.back())),
                        line.substr(open + 1, close - open - 1)};
    }
    return entries;
}

// Renumbers an entry of the first directory of a little-endian TIFF.
void Renumber(std::vector<uint8_t>& bytes, uint16_t from, uint16_t to) {
    const uint32_t ifd = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | uint32_t(bytes[7]) << 24;
    for (uint32_t i = 0, n = bytes[ifd] | bytes[ifd + 1] << 8; i < n; ++i) {
        uint8_t* entry = &bytes[ifd + 2 + 12 * i];
        if ((entry[0] | entry[1] << 8) == from) entry[0] = uint8_t(to), entry[1] = uint8_t(to >> 8);
    }
}

// An 8-bit RGB drawing with a description, software, a page number (two
// SHORTs, renumbered to 300) and a copyright (renumbered to 40000).
std::string MakeTaggedTiff(const std::string& dir) {
    EXPECT_TRUE(MakeFilesIn(dir, "convert -size 40x30 xc:red -type TrueColor -depth 8 -density 200 -units"
                                 " PixelsPerInch -set comment 'a drawing' -compress lzw tagged.tif && tiffset"
                                 " -s 305 'Plovex test' tagged.tif && tiffset -s 297 3 7 tagged.tif && tiffset"
                                 " -s 33432 '(c) nobody' tagged.tif"));
    std::vector<uint8_t> bytes = ReadHostFile(dir + "/tagged.tif");
    EXPECT_TRUE(bytes.size() > 8 && bytes[0] == 'I');
    Renumber(bytes, 297, 300);
    Renumber(bytes, 33432, 40000);
    EXPECT_TRUE(WriteHostFile(dir + "/tagged.tif", bytes));
    return dir + "/tagged.tif";
}

std::string Line(const TiffDirEntry* entry) {
    WString line;
    return Narrow(FormatTiffTagLine(entry, line));
}

}  // namespace

TEST(TiffTagLines, MatchTiffdumpOfTheSameFile) {
    const std::string dir = MakeScratchDir("property_texts_tags");
    const std::string path = MakeTaggedTiff(dir);
    const std::map<uint32_t, Dumped> dumped = Tiffdump(path, dir);
    const OpenedImage image = OpenImage(path);
    ASSERT_TRUE(image.format);
    Ref<ImagePage> page = image.format->GetPage(0);
    auto* tiff_page = dynamic_cast<TiffPage*>(page.get());
    ASSERT_TRUE(tiff_page);
    const TiffDir* entries = TiffPageImage(tiff_page, 0);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->entries.count, dumped.size());
    ASSERT_GE(dumped.size(), 15u);
    std::map<uint32_t, std::string> lines;
    for (uint32_t i = 0; i < entries->entries.count; ++i) {
        const auto* entry = static_cast<const TiffDirEntry*>(entries->entries.items[i]);
        const std::string line = lines[entry->tag] = Line(entry);
        SCOPED_TRACE(line);
        ASSERT_EQ(dumped.count(entry->tag), 1u);
        const Dumped& want = dumped.at(entry->tag);
        char number[16];
        snprintf(number, sizeof(number), "0x%04X\t", entry->tag);
        ASSERT_EQ(line.rfind(number, 0), 0u);
        const std::string value = line.substr(line.find('\t', 7) + 1);
        if (want.type == 2) {  // ASCII, tiffdump shows the terminator
            EXPECT_EQ(value + "\\0", want.values);
        } else if (want.count != 1) {
            EXPECT_EQ(value, std::to_string(want.count) + " Values");
        } else if (want.type == 5 || want.type >= 10) {  // rationals and floats
            EXPECT_NEAR(std::strtod(value.c_str(), nullptr), std::strtod(want.values.c_str(), nullptr), 1e-3);
        } else {
            EXPECT_EQ(value, want.values);
        }
    }
    // The table's own spelling, the markup tag, and no name for 300.
    EXPECT_EQ(lines[258], "0x0102\tBitsPerSample\t3 Values");
    EXPECT_EQ(lines[262], "0x0106\tPhotometricInterpretation\t2");
    EXPECT_EQ(lines[270], "0x010E\tImageDescription\ta drawing");
    EXPECT_EQ(lines[282], "0x011A\tXResolution\t200.0");
    EXPECT_EQ(lines[300], "0x012C\t\t2 Values");
    EXPECT_EQ(lines[40000], "0x9C40\tPlovex Redlining\t(c) nobody");
}
