// The texts of the Document-properties pages. The TIFF Tags lines are judged
// against `tiffdump` of a file that ImageMagick and `tiffset` made, with two
// entries renumbered to the viewer's markup tag and to a tag nobody names.
#include "viewer/dialogs/property_texts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_page.h"
#include "tests/viewer/core/settings_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/app_texts.h"

namespace {

struct DumpedEntry {
    uint32_t tag = 0;
    uint32_t type = 0;
    uint32_t count = 0;
    std::string values;  // as tiffdump writes them between '<' and '>'
};

// Lines of the form "Name (256) SHORT (3) 1<40>" or, for a tag tiffdump
// does not know, "300 (0x12c) SHORT (3) 2<3 7>".
std::vector<DumpedEntry> ParseTiffdump(const std::string& text) {
    std::vector<DumpedEntry> entries;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t open = line.find(" (");
        const size_t close = line.find(") ", open);
        const size_t type_open = line.find(" (", close);
        const size_t type_close = line.find(") ", type_open);
        const size_t values_open = line.find('<', type_close);
        if (open == std::string::npos || close == std::string::npos || type_open == std::string::npos ||
            type_close == std::string::npos || values_open == std::string::npos || line.back() != '>') {
            continue;
        }
        DumpedEntry entry;
        const std::string in_parens = line.substr(open + 2, close - open - 2);
        entry.tag = in_parens.rfind("0x", 0) == 0 ? uint32_t(std::stoul(line.substr(0, open)))
                                                  : uint32_t(std::stoul(in_parens));
        entry.type = uint32_t(std::stoul(line.substr(type_open + 2, type_close - type_open - 2)));
        entry.count = uint32_t(std::stoul(line.substr(type_close + 2, values_open - type_close - 2)));
        entry.values = line.substr(values_open + 1, line.size() - values_open - 2);
        entries.push_back(entry);
    }
    return entries;
}

// Renumbers the first directory's entries of a little-endian TIFF.
void Renumber(const std::string& path, uint16_t from, uint16_t to) {
    std::vector<uint8_t> bytes = ReadHostFile(path);
    ASSERT_GT(bytes.size(), 8u);
    ASSERT_EQ(bytes[0], 'I');
    const uint32_t ifd = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | uint32_t(bytes[7]) << 24;
    ASSERT_LT(ifd + 2, bytes.size());
    const uint32_t n = bytes[ifd] | bytes[ifd + 1] << 8;
    bool found = false;
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t* entry = &bytes[ifd + 2 + 12 * i];
        if ((entry[0] | entry[1] << 8) != from) continue;
        entry[0] = uint8_t(to & 0xFF);
        entry[1] = uint8_t(to >> 8);
        found = true;
    }
    ASSERT_TRUE(found) << from;
    ASSERT_TRUE(WriteHostFile(path, bytes));
}

// An 8-bit RGB drawing with a description, software, a page number (two
// SHORTs, renumbered to 300) and a copyright (renumbered to 40000).
std::string MakeTaggedTiff(const std::string& dir) {
    const std::string path = dir + "/tagged.tif";
    const std::string command =
        "convert -size 40x30 xc:red -type TrueColor -depth 8 -density 200 -units "
        "PixelsPerInch -set comment 'a drawing' -compress lzw '" +
        path + "' && tiffset -s 305 'Plovex test' '" + path + "' && tiffset -s 297 3 7 '" + path +
        "' && tiffset -s 33432 '(c) nobody' '" + path + "'";
    EXPECT_EQ(RunHostCommand(command), 0) << command;
    Renumber(path, 297, 300);
    Renumber(path, 33432, 40000);
    return path;
}

Ref<ImageFormat> Parse(const std::string& path) {
    Ref<DataSource> data = DataSourceOpenFile(WString(WindowsPathOf(path).c_str()), false);
    ImageStatus status;
    return data ? ImageParseFile(&status, data.get(), 0) : nullptr;
}

// "1613" -> "1.613".
std::string Thousands(size_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += '.';
        out += digits[i];
    }
    return out;
}

bool IsInteger(uint32_t type) {
    return type == 1 || type == 3 || type == 4 || type == 6 || type == 8 || type == 9;
}

std::string Line(const TiffDirEntry* entry) {
    WString line;
    return Narrow(FormatTiffTagLine(entry, line));
}

}  // namespace

TEST(TiffTagLines, MatchTiffdumpOfTheSameFile) {
    const std::string dir = MakeScratchDir("property_texts_tags");
    const std::string path = MakeTaggedTiff(dir);
    ASSERT_EQ(RunHostCommand("tiffdump '" + path + "' >'" + dir + "/dump.txt'"), 0);
    const std::vector<uint8_t> dump = ReadHostFile(dir + "/dump.txt");
    const std::vector<DumpedEntry> dumped = ParseTiffdump(std::string(dump.begin(), dump.end()));

    Ref<ImageFormat> format = Parse(path);
    ASSERT_TRUE(format);
    Ref<ImagePage> page = format->GetPage(0);
    auto* tiff_page = dynamic_cast<TiffPage*>(page.get());
    ASSERT_TRUE(tiff_page);
    const TiffDir* dir_entries = TiffPageImage(tiff_page, 0);
    ASSERT_TRUE(dir_entries);
    ASSERT_EQ(dir_entries->entries.count, dumped.size());
    ASSERT_GE(dumped.size(), 15u);

    for (uint32_t i = 0; i < dumped.size(); ++i) {
        const DumpedEntry& want = dumped[i];
        const auto* entry = static_cast<const TiffDirEntry*>(dir_entries->entries.items[i]);
        const std::string line = Line(entry);
        SCOPED_TRACE(line);
        char number[16];
        snprintf(number, sizeof(number), "0x%04X\t", want.tag);
        ASSERT_EQ(line.rfind(number, 0), 0u);
        const size_t value_at = line.find('\t', 7);
        ASSERT_NE(value_at, std::string::npos);
        const std::string value = line.substr(value_at + 1);
        if (want.type == 2) {
            std::string text = want.values;
            if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\\0") == 0)
                text.resize(text.size() - 2);
            EXPECT_EQ(value, text);
        } else if (want.count != 1) {
            EXPECT_EQ(value, std::to_string(want.count) + " Values");
        } else if (IsInteger(want.type)) {
            EXPECT_EQ(value, want.values);
        } else {
            EXPECT_NEAR(std::strtod(value.c_str(), nullptr), std::strtod(want.values.c_str(), nullptr), 1e-3);
        }
    }

    // Names: the table's own spelling, the markup tag, and none for 300.
    auto line_of = [&](uint16_t tag) {
        for (uint32_t i = 0; i < dir_entries->entries.count; ++i) {
            const auto* entry = static_cast<const TiffDirEntry*>(dir_entries->entries.items[i]);
            if (entry->tag == tag) return Line(entry);
        }
        return std::string();
    };
    EXPECT_EQ(line_of(258), "0x0102\tBitsPerSample\t3 Values");
    EXPECT_EQ(line_of(262), "0x0106\tPhotometricInterpretation\t2");
    EXPECT_EQ(line_of(270), "0x010E\tImageDescription\ta drawing");
    EXPECT_EQ(line_of(282), "0x011A\tXResolution\t200.0");
    EXPECT_EQ(line_of(300), "0x012C\t\t2 Values");
    EXPECT_EQ(line_of(40000), "0x9C40\tPlovex Redlining\t(c) nobody");
}

TEST(TiffTagLines, ValuesOfEveryFieldType) {
    auto entry_of = [](uint16_t type, uint32_t count, const std::vector<uint8_t>& bytes) {
        Ref<TiffDirEntry> entry = MakeRef<TiffDirEntry>();
        entry->tag = 50000;
        entry->field_type = type;
        entry->count = count;
        for (size_t i = 0; i < bytes.size() && i < 4; ++i)
            entry->value_field |= uint32_t(bytes[i]) << (8 * i);
        entry->data = count ? reinterpret_cast<const uint8_t*>(&entry->value_field) : nullptr;
        return entry;
    };
    const struct {
        uint16_t type;
        uint32_t count;
        std::vector<uint8_t> bytes;
        const char* value;
    } cases[] = {
        {1, 1, {200}, "200"},
        {6, 1, {0xFF}, "4294967295"},  // SBYTE -1, shown unsigned
        {8, 1, {0xFE, 0xFF}, "4294967294"},
        {9, 1, {0x10, 0x27, 0, 0}, "10000"},
        {11, 1, {0x00, 0x00, 0x20, 0x40}, "2.500"},  // FLOAT 2.5
        {7, 1, {1}, "???"},                          // UNDEFINED
        {3, 0, {}, "0 Values"},
        {7, 4, {1, 2, 3, 4}, "4 Values"},
        {2, 1, {0}, ""},
    };
    for (const auto& c : cases) {
        Ref<TiffDirEntry> entry = entry_of(c.type, c.count, c.bytes);
        WString value;
        EXPECT_EQ(Narrow(FormatTiffTagValue(entry.get(), value)), c.value) << "type " << c.type;
    }
}

TEST(PropertyTexts, UnknownSizesAndTimes) {
    WString text;
    EXPECT_STREQ(WStrCStr(FormatFileSizeText(nullptr, ~uint64_t(0), text)), L"???");
    DateTime time;
    DateTimeInit(time, true);
    EXPECT_STREQ(WStrCStr(FormatFileTimeText(time, text)), L"???");
}

TEST(PropertyTexts, PageAndDocumentOfATiffAndAGif) {
    SettingsKeyRedirect redirect("PlovexPropertyTextsTest");
    ASSERT_TRUE(redirect.ok());
    const std::string dir = MakeScratchDir("property_texts_pages");
    const std::string tiff = MakeTaggedTiff(dir);
    ASSERT_EQ(RunHostCommand("convert -size 20x10 xc:blue '" + dir + "/plain.gif'"), 0);
    RunningViewer viewer;
    viewer.root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    {
        ScopedLock hold(viewer.context->lock);
        viewer.context->language = 1;
    }

    Ref<DocumentItem> document = viewer.Open(tiff);
    ASSERT_TRUE(document);
    Ref<DocItem> page_item = DocItemGetChild(document.get(), 0);
    Ref<ImagePage> page = DocItemGetPage(page_item.get());
    PagePropertyTexts page_texts;
    ASSERT_TRUE(CollectPageProperties(viewer.context.get(), document.get(), page.get(), page_texts));
    EXPECT_STREQ(WStrCStr(page_texts.pixel_size), L"40 x 30 Pixel");
    // 40 and 30 pixels at 200 dpi.
    EXPECT_STREQ(WStrCStr(page_texts.size), L"5.080 mm x 3.810 mm");
    EXPECT_STREQ(WStrCStr(page_texts.resolution), L"200 x 200 DPI");
    EXPECT_STREQ(WStrCStr(page_texts.scale), L"<unknown>");
    EXPECT_STREQ(WStrCStr(page_texts.colour_depth), L"24 Bit");
    EXPECT_STREQ(WStrCStr(page_texts.format), L"Tagged Image File Format (TIFF)");
    EXPECT_STREQ(WStrCStr(page_texts.layers), L"1");
    EXPECT_FALSE(page_texts.show_invalid_layers);
    EXPECT_STREQ(WStrCStr(page_texts.compression), L"LZW");
    EXPECT_STREQ(WStrCStr(page_texts.description), L"a drawing");
    EXPECT_STREQ(WStrCStr(page_texts.software), L"Plovex test");

    // A scale comes with the document's open parameters.
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetScale(params.get(), ScaleCreate(1, 50).get());
    Ref<DocumentItem> scaled = viewer.Open(tiff, params.get());
    ASSERT_TRUE(scaled);
    CollectPageProperties(viewer.context.get(), scaled.get(), page.get(), page_texts);
    EXPECT_STREQ(WStrCStr(page_texts.scale), L"1 : 50");

    DocumentPropertyTexts document_texts;
    ASSERT_TRUE(CollectDocumentProperties(viewer.context.get(), document.get(), document_texts));
    EXPECT_STREQ(WStrCStr(document_texts.name), L"tagged.tif");
    EXPECT_EQ(std::wstring(WStrCStr(document_texts.path)), WindowsPathOf(tiff));
    EXPECT_EQ(Narrow(document_texts.size), Thousands(ReadHostFile(tiff).size()) + " Byte");
    for (const WString* time : {&document_texts.created, &document_texts.modified}) {
        const std::wstring shown = WStrCStr(*time);
        EXPECT_EQ(shown.size(), 16u) << shown;
        EXPECT_EQ(shown.find(L"???"), std::wstring::npos);
    }

    Ref<DocumentItem> gif = viewer.Open(dir + "/plain.gif");
    ASSERT_TRUE(gif);
    Ref<DocItem> gif_page = DocItemGetChild(gif.get(), 0);
    ASSERT_TRUE(CollectPageProperties(viewer.context.get(), gif.get(), DocItemGetPage(gif_page.get()).get(),
                                      page_texts));
    EXPECT_STREQ(WStrCStr(page_texts.pixel_size), L"20 x 10 Pixel");
    EXPECT_STREQ(WStrCStr(page_texts.size), L"Not specified");
    EXPECT_STREQ(WStrCStr(page_texts.resolution), L"Not specified");
    EXPECT_FALSE(CollectPageProperties(viewer.context.get(), gif.get(), nullptr, page_texts));
    EXPECT_FALSE(CollectDocumentProperties(viewer.context.get(), nullptr, document_texts));
}
