#include "imaging/writers/pdf_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/out_stream.h"
#include "foundation/paged_buf.h"
#include "imaging/codecs/g4_encoder.h"
#include "imaging/raster/raster_image.h"
#include "tests/imaging/writers/pdf_test_support.h"
#include "tests/support/test_support.h"

namespace {

Ref<PdfDocument> NewDoc(const wchar_t* title = L"") {
    return PdfDocumentNew(0, WString(title), WString(), WString(), WString(L"Plovex 5.2.9"));
}

RectD Place(double x, double y, double width, double height) {
    RectD rect;
    rect.origin = {x, y};
    rect.size = {width, height};
    return rect;
}

std::string Written(PdfDocument* doc) {
    VectorOutStream stream;
    EXPECT_TRUE(PdfDocumentWrite(doc, &stream));
    return stream.Text();
}

// What lies between "N 0 obj\r\n" and the "endobj" that follows it.
std::string Body(const std::string& pdf, uint32_t number) {
    const std::string head = "\n" + std::to_string(number) + " 0 obj\r\n";
    const size_t at = pdf.find(head);
    if (at == std::string::npos) return "";
    const size_t start = at + head.size();
    return pdf.substr(start, pdf.find("endobj\r\n", start) - start);
}

// The stream data of an image object's body.
std::string StreamData(const std::string& body) {
    const size_t start = body.find("stream\r\n") + 8;
    return body.substr(start, body.rfind("\r\nendstream") - start);
}

// Packed rows, top first, of the given bytes per row.
std::vector<uint8_t> Rows(uint32_t row_bytes, uint32_t height, uint32_t seed) {
    std::vector<uint8_t> rows(size_t(row_bytes) * height);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = uint8_t(i * 37 + seed * 11 + i / row_bytes);
    return rows;
}

std::vector<uint8_t> Group4Of(const RasterImage* image) {
    PagedBuf coded;
    PagedBufInit(coded, 4096);
    {
        PagedBufOutStream stream(coded);
        G4Encoder encoder;
        G4EncoderInit(encoder);
        EXPECT_EQ(G4Encode(encoder, image, &stream, 0, 0, nullptr), 0u);
        OutStreamFlush(stream);
    }
    std::vector<uint8_t> bytes(coded.total);
    PagedBufRead(coded, 0, bytes.data(), coded.total);
    return bytes;
}

bool FileExists(const std::string& unix_path) {
    return GetFileAttributesW(WindowsPathOf(unix_path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(PdfWriterLayout, PagesSizesAndRotations) {
    Ref<PdfDocument> doc = NewDoc();
    EXPECT_FALSE(PdfAddPage(doc.get(), {0.1, 50}));
    EXPECT_FALSE(PdfAddPage(doc.get(), {50, 0.05}));
    EXPECT_FALSE(PdfAddPage(doc.get(), {NAN, 50}));
    Ref<PdfPage> page = PdfAddPage(doc.get(), {0.11, 0.11});
    ASSERT_TRUE(page);
    EXPECT_EQ(page->page_number, 1u);
    struct Case {
        uint16_t degrees;
        uint32_t rotate;
    };
    for (const Case& c : {Case{90, 270}, Case{45, 270}, Case{270, 90}, Case{180, 180}, Case{360, 0},
                          Case{450, 270}, Case{0, 0}}) {
        PdfPageSetRotation(page.get(), c.degrees);
        EXPECT_EQ(page->rotation, c.rotate) << c.degrees;
    }
    EXPECT_EQ(MmToPdfPoints(210), 595);
    EXPECT_EQ(MmToPdfPoints(297), 842);
    EXPECT_EQ(MmToPdfPoints(-10), -27);  // truncation toward zero after adding one half
    EXPECT_EQ(MmToPdfPoints(1e12), INT32_MAX);
    EXPECT_EQ(MmToPdfPoints(NAN), 0);
}

TEST(PdfWriterLayout, ImagesAreNamedAcrossPages) {
    Ref<PdfDocument> doc = NewDoc();
    Ref<PdfPage> first = PdfAddPage(doc.get(), {100, 100});
    Ref<PdfPage> second = PdfAddPage(doc.get(), {100, 100});
    const std::vector<uint8_t> grey = Rows(10, 3, 2);
    // Added out of page order: names follow the order of addition.
    ASSERT_TRUE(PdfAddImagePage(second.get(), Place(0, 0, 10, 3), grey.data(), 30, 10, 3, 8, nullptr, false));
    ASSERT_TRUE(PdfAddImagePage(first.get(), Place(0, 0, 10, 3), grey.data(), 30, 10, 3, 8, nullptr, false));
    const std::string pdf = Written(doc.get());
    EXPECT_NE(Body(pdf, 5).find("/XObject << /Bild1 10 0 R\r\n>>"), std::string::npos);
    EXPECT_NE(Body(pdf, 7).find("/XObject << /Bild0 9 0 R\r\n>>"), std::string::npos);
    EXPECT_NE(
        Body(pdf, 9).find("/Name /Bild0\r\n/Width 10\r\n/Height 3\r\n/BitsPerComponent 8\r\n/Length 30\r\n"
                          "/ColorSpace /DeviceGray\r\n>>\r\nstream\r\n"),
        std::string::npos);
    EXPECT_EQ(StreamData(Body(pdf, 9)), std::string(grey.begin(), grey.end()));
    EXPECT_EQ(Body(pdf, 3), "<< /Type /Pages\r\n/Kids [5 0 R 7 0 R ]\r\n/Count 2\r\n>>\r\n");
}

TEST(PdfWriterLayout, EscapedStrings) {
    struct Case {
        const char* text;
        const char* escaped;
    };
    for (const Case& c :
         {Case{"plain", "plain"}, Case{"a(b)c", "a\\(b\\)c"}, Case{"C:\\dwg\\", "C:\\\\dwg\\\\"},
          Case{"\r\n\t\b\f", "\\r\\n\\t\\b\\f"}, Case{"\xE4\x7F", "\xE4\x7F"}, Case{"", ""}}) {
        AString out;
        EXPECT_STREQ(AStrCStr(PdfEscapeString(AString(c.text), out)), c.escaped);
    }
    AString same("(x)");
    EXPECT_STREQ(AStrCStr(PdfEscapeString(same, same)), "\\(x\\)");
}

TEST(PdfWriterFailure, DocumentWithoutPagesIsNotWritten) {
    Ref<PdfDocument> doc = NewDoc();
    VectorOutStream stream;
    EXPECT_FALSE(PdfDocumentWrite(doc.get(), &stream));
    EXPECT_TRUE(stream.data.empty());
    // An existing file at the target is left as it was.
    const std::string dir = MakeScratchDir("pdf_no_pages");
    ASSERT_TRUE(WriteHostFile(dir + "/old.pdf", {'o', 'l', 'd'}));
    EXPECT_FALSE(PdfDocumentSave(doc.get(), WString(WindowsPathOf(dir + "/old.pdf").c_str())));
    EXPECT_EQ(ReadHostFile(dir + "/old.pdf"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(PdfDocumentSave(doc.get(), WString(WindowsPathOf(dir + "/new.pdf").c_str())));
    EXPECT_FALSE(FileExists(dir + "/new.pdf"));
}

TEST(PdfWriterFailure, FailedWritesReportFalse) {
    Ref<PdfDocument> doc = NewDoc();
    Ref<PdfPage> page = PdfAddPage(doc.get(), {100, 100});
    const std::vector<uint8_t> grey = Rows(100, 100, 3);
    ASSERT_TRUE(
        PdfAddImagePage(page.get(), Place(0, 0, 50, 50), grey.data(), 10000, 100, 100, 8, nullptr, false));
    const size_t whole = Written(doc.get()).size();
    for (int64_t fail_after : {int64_t(0), int64_t(100), int64_t(whole / 2), int64_t(whole - 1)}) {
        VectorOutStream stream(fail_after);
        EXPECT_FALSE(PdfDocumentWrite(doc.get(), &stream)) << fail_after;
    }
    VectorOutStream enough{int64_t(whole)};
    EXPECT_TRUE(PdfDocumentWrite(doc.get(), &enough));
}

TEST(PdfWriterFailure, TargetsThatCannotBeWrittenLeaveNoFile) {
    const std::string dir = MakeScratchDir("pdf_targets");
    Ref<PdfDocument> doc = NewDoc();
    ASSERT_TRUE(PdfAddPage(doc.get(), {100, 100}));
    const WString missing(WindowsPathOf(dir + "/no/such/folder.pdf").c_str());
    EXPECT_FALSE(PdfDocumentSave(doc.get(), missing));
    EXPECT_FALSE(PdfDocumentStreamToFile(doc.get(), missing));
    EXPECT_FALSE(FileExists(dir + "/no"));

    const std::wstring held_path = WindowsPathOf(dir + "/held.pdf");
    HANDLE held = CreateFileW(held_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(PdfDocumentSave(doc.get(), WString(held_path.c_str())));
    EXPECT_FALSE(PdfDocumentStreamToFile(doc.get(), WString(held_path.c_str())));
    CloseHandle(held);
    EXPECT_TRUE(ReadHostFile(dir + "/held.pdf").empty());
    // The document is still whole and can go elsewhere.
    EXPECT_TRUE(PdfDocumentSave(doc.get(), WString(WindowsPathOf(dir + "/fine.pdf").c_str())));
    EXPECT_EQ(Written(doc.get()).size(), ReadHostFile(dir + "/fine.pdf").size());
}

TEST(PdfWriterFailure, StreamedFileGoesUnlessCompleted) {
    const std::string dir = MakeScratchDir("pdf_streamed");
    const std::string path = dir + "/out.pdf";
    const WString target(WindowsPathOf(path).c_str());
    const std::vector<uint8_t> grey = Rows(64, 64, 4);
    {
        Ref<PdfDocument> doc = NewDoc();
        ASSERT_TRUE(PdfDocumentStreamToFile(doc.get(), target));
        Ref<PdfPage> page = PdfAddPage(doc.get(), {100, 100});
        ASSERT_TRUE(
            PdfAddImagePage(page.get(), Place(0, 0, 50, 50), grey.data(), 4096, 64, 64, 8, nullptr, false));
        EXPECT_TRUE(FileExists(path));
        // Another name would leave the streamed file behind: refused.
        EXPECT_FALSE(PdfDocumentSave(doc.get(), WString(WindowsPathOf(dir + "/other.pdf").c_str())));
    }
    EXPECT_FALSE(FileExists(path));  // released before its end was written
    EXPECT_FALSE(FileExists(dir + "/other.pdf"));
    {
        // An image that never got all its rows spoils the document.
        Ref<PdfDocument> doc = NewDoc();
        ASSERT_TRUE(PdfDocumentStreamToFile(doc.get(), target));
        Ref<PdfPage> page = PdfAddPage(doc.get(), {100, 100});
        ASSERT_TRUE(PdfBeginImage(page.get(), Place(0, 0, 50, 50), 64, 64, 8, nullptr));
        ASSERT_TRUE(PdfAddImageRows(page.get(), grey.data(), 64, 63, false));
        EXPECT_FALSE(PdfAddImageRows(page.get(), grey.data(), 64, 2, false));
        EXPECT_FALSE(PdfAddPage(doc.get(), {100, 100}));
        EXPECT_FALSE(PdfDocumentSave(doc.get(), target));
        EXPECT_FALSE(FileExists(path));
    }
    {
        // The same document without the fault is written whole.
        Ref<PdfDocument> doc = NewDoc();
        ASSERT_TRUE(PdfDocumentStreamToFile(doc.get(), target));
        Ref<PdfPage> page = PdfAddPage(doc.get(), {100, 100});
        ASSERT_TRUE(
            PdfAddImagePage(page.get(), Place(0, 0, 50, 50), grey.data(), 4096, 64, 64, 8, nullptr, false));
        EXPECT_EQ(doc->objects.objects.count, 7u);
        EXPECT_EQ(static_cast<PdfObject*>(doc->objects.objects.items[6])->length, 0u);  // no pixels kept
        EXPECT_TRUE(PdfDocumentSave(doc.get(), target));
        EXPECT_FALSE(PdfDocumentSave(doc.get(), target));  // written once
    }
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(RunHostCommand("qpdf --check '" + path + "' >/dev/null 2>&1"), 0);
}

TEST(PdfWriterFailure, BadImagesAreRefusedAndLeaveTheDocumentWhole) {
    Ref<PdfDocument> doc = NewDoc();
    Ref<PdfPage> page = PdfAddPage(doc.get(), {100, 100});
    const std::vector<uint8_t> bytes = Rows(30, 10, 5);
    const RectD place = Place(0, 0, 10, 10);
    EXPECT_FALSE(PdfAddImagePage(page.get(), place, bytes.data(), 300, 10, 10, 3, nullptr, false));
    EXPECT_FALSE(PdfAddImagePage(page.get(), place, bytes.data(), 299, 10, 10, 24, nullptr, false));
    EXPECT_FALSE(PdfAddImagePage(page.get(), place, bytes.data(), 300, 0, 10, 8, nullptr, false));
    EXPECT_FALSE(PdfAddImagePage(page.get(), place, nullptr, 300, 10, 10, 8, nullptr, false));
    EXPECT_FALSE(PdfAddImagePage(page.get(), place, bytes.data(), 300, 100000, 100000, 24, nullptr, false));
    EXPECT_FALSE(PdfAddFaxImagePage(page.get(), place, bytes.data(), 0, 10, 10));
    EXPECT_FALSE(PdfAddFaxImagePage(page.get(), place, bytes.data(), 10, 10, 0));
    EXPECT_EQ(doc->objects.objects.count, 6u);
    // One image at a time: a second Begin or a whole image waits for End.
    ASSERT_TRUE(PdfBeginImage(page.get(), place, 10, 10, 8, nullptr));
    EXPECT_FALSE(PdfBeginImage(page.get(), place, 10, 10, 8, nullptr));
    EXPECT_FALSE(PdfAddFaxImagePage(page.get(), place, bytes.data(), 10, 10, 10));
    VectorOutStream early;
    EXPECT_FALSE(PdfDocumentWrite(doc.get(), &early));
    ASSERT_TRUE(PdfAddImageRows(page.get(), bytes.data(), 30, 10, false));
    ASSERT_TRUE(PdfEndImage(page.get()));
    std::string expected;  // each row cut to its 10 bytes
    for (uint32_t y = 0; y < 10; ++y) expected.append(bytes.begin() + y * 30, bytes.begin() + y * 30 + 10);
    EXPECT_EQ(StreamData(Body(Written(doc.get()), 7)), expected);
}

// A 1-bit image of known pixels: a frame, a diagonal and a block.
Ref<RasterImage> BilevelPicture(uint32_t width, uint32_t height) {
    Ref<RasterImage> image = RasterImageCreate(width, height, 1, true);
    image->Fill(1);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool black = x == 0 || y == 0 || x == width - 1 || y == height - 1 ||
                               x == y * width / height || (x > width / 2 && y < height / 3);
            if (black) image->SetPixel(x, y, 0, kRasterCopy);
        }
    }
    return image;
}

struct SampleImages {
    Ref<RasterImage> fax = BilevelPicture(203, 97);
    std::vector<uint8_t> fax_code = Group4Of(fax.get());
    std::vector<uint8_t> bilevel = Rows(3, 17, 6);  // 20 x 17, 1 bit
    std::vector<uint8_t> indexed = Rows(6, 9, 7);   // 11 x 9, 4 bits
    std::vector<uint8_t> grey = Rows(13, 7, 8);     // 13 x 7, 8 bits
    std::vector<uint8_t> rgb = Rows(15, 6, 9);      // 5 x 6, 24 bits (blue, green, red)
    uint8_t palette[16 * 3];
    SampleImages() {
        for (int i = 0; i < 48; ++i) palette[i] = uint8_t(i * 5 + 3);
    }
};

// Three pages: a rotated A4 Group 4 page, a page of four uncompressed
// images, an empty page.
bool BuildSample(PdfDocument* doc, const SampleImages& images) {
    Ref<PdfPage> first = PdfAddPage(doc, {210, 297});
    Ref<PdfPage> second = PdfAddPage(doc, {100, 50});
    Ref<PdfPage> third = PdfAddPage(doc, {50, 100.4});
    if (!first || !second || !third) return false;
    PdfPageSetRotation(first.get(), 90);
    PdfPageSetRotation(third.get(), 180);
    const auto& code = images.fax_code;
    return PdfAddFaxImagePage(first.get(), Place(0, 0, 210, 297), code.data(), uint32_t(code.size()), 203,
                              97) &&
           PdfAddImagePage(second.get(), Place(10, 5, 20, 10), images.bilevel.data(), 51, 20, 17, 1, nullptr,
                           false) &&
           PdfAddImagePage(second.get(), Place(40, 5, 20, 10), images.indexed.data(), 54, 11, 9, 4,
                           images.palette, false) &&
           PdfAddImagePage(second.get(), Place(10, 30, 20, 10), images.grey.data(), 91, 13, 7, 8, nullptr,
                           false) &&
           PdfAddImagePage(second.get(), Place(40, 30, 20, 10), images.rgb.data(), 90, 5, 6, 24, nullptr,
                           true);
}

std::vector<uint8_t> ExtractedImage(const std::string& dir, int index, const char* extension) {
    char name[64];
    snprintf(name, sizeof name, "/img-%03d.%s", index, extension);
    return ReadHostFile(dir + name);
}

TEST(PdfWriterOracle, PopplerAndQpdfReadTheDocument) {
    const std::string dir = MakeScratchDir("pdf_oracle");
    const SampleImages images;
    for (const bool streaming : {false, true}) {
        SCOPED_TRACE(streaming ? "streaming" : "in memory");
        const std::string path = dir + (streaming ? "/streamed.pdf" : "/whole.pdf");
        const WString target(WindowsPathOf(path).c_str());
        Ref<PdfDocument> doc = NewDoc(L"Plan (rev. 2) C:\\dwg\\a");
        if (streaming) {
            ASSERT_TRUE(PdfDocumentStreamToFile(doc.get(), target));
        }
        ASSERT_TRUE(BuildSample(doc.get(), images));
        ASSERT_TRUE(PdfDocumentSave(doc.get(), target));

        int code = -1;
        const std::string check = HostOutput("qpdf --check '" + path + "'", dir, &code);
        EXPECT_EQ(code, 0) << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
        // The document opens at its first page object (a bare page number is
        // meant only for links into other files).
        const std::vector<uint8_t> bytes = ReadHostFile(path);
        EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("/OpenAction [ 5 0 R /Fit ]"),
                  std::string::npos);

        const std::string info = HostOutput("pdfinfo -f 1 -l 3 '" + path + "'", dir, &code);
        EXPECT_EQ(code, 0) << info;
        EXPECT_NE(info.find("Title:           Plan (rev. 2) C:\\dwg\\a\n"), std::string::npos) << info;
        EXPECT_NE(info.find("Creator:         Plovex 5.2.9\n"), std::string::npos) << info;
        EXPECT_NE(info.find("CreationDate:"), std::string::npos) << info;
        EXPECT_EQ(info.find("Subject:"), std::string::npos) << info;  // empty texts are left out
        EXPECT_NE(info.find("Pages:           3\n"), std::string::npos) << info;
        EXPECT_NE(info.find("PDF version:     1.2\n"), std::string::npos) << info;
        EXPECT_NE(info.find("Page    1 size:  595 x 842 pts (A4)\nPage    1 rot:   270\n"), std::string::npos)
            << info;
        EXPECT_NE(info.find("Page    2 size:  283 x 142 pts\nPage    2 rot:   0\n"), std::string::npos)
            << info;
        EXPECT_NE(info.find("Page    3 size:  142 x 285 pts\nPage    3 rot:   180\n"), std::string::npos)
            << info;

        const std::string list = HostOutput(
            "pdfimages -list '" + path + "' | tail -n +3 | awk '{print $1,$3,$4,$5,$6,$7,$8,$9}'", dir);
        EXPECT_EQ(list,
                  "1 image 203 97 gray 1 1 ccitt\n"
                  "2 image 20 17 gray 1 1 image\n"
                  "2 image 11 9 index 1 4 image\n"
                  "2 image 13 7 gray 1 8 image\n"
                  "2 image 5 6 rgb 3 8 image\n");

        ASSERT_EQ(RunHostCommand("cd '" + dir + "' && rm -f img-* && pdfimages '" + path + "' img"), 0);
        Pnm pnm;
        // Group 4: the PBM marks black as 1, the image 0.
        ASSERT_TRUE(ParsePnm(ExtractedImage(dir, 0, "pbm"), pnm));
        ASSERT_EQ(pnm.width, 203u);
        ASSERT_EQ(pnm.height, 97u);
        for (uint32_t y = 0; y < 97; ++y) {
            const uint8_t* row = RasterImageRowAddress(images.fax.get(), y);
            for (uint32_t x = 0; x < 203; ++x) {
                const bool pbm_black = pnm.Row(y)[x / 8] & (0x80 >> (x % 8));
                const bool image_white = row[x / 8] & (0x80 >> (x % 8));
                ASSERT_NE(pbm_black, image_white) << x << "," << y;
            }
        }
        ASSERT_TRUE(ParsePnm(ExtractedImage(dir, 1, "pbm"), pnm));
        for (uint32_t y = 0; y < 17; ++y) {
            for (uint32_t i = 0; i < 3; ++i) {
                const uint8_t mask = i == 2 ? 0xF0 : 0xFF;  // 20 pixels
                ASSERT_EQ(pnm.Row(y)[i] & mask, ~images.bilevel[y * 3 + i] & mask) << y;
            }
        }
        ASSERT_TRUE(ParsePnm(ExtractedImage(dir, 2, "ppm"), pnm));
        for (uint32_t y = 0; y < 9; ++y) {
            for (uint32_t x = 0; x < 11; ++x) {
                const uint8_t byte = images.indexed[y * 6 + x / 2];
                const uint32_t index = x % 2 ? byte & 15 : byte >> 4;
                ASSERT_EQ(0, memcmp(pnm.Row(y) + x * 3, images.palette + index * 3, 3)) << x << "," << y;
            }
        }
        ASSERT_TRUE(ParsePnm(ExtractedImage(dir, 3, "ppm"), pnm));  // poppler writes grey as RGB
        ASSERT_EQ(pnm.bytes.size(), images.grey.size() * 3);
        for (size_t i = 0; i < images.grey.size(); ++i) {
            ASSERT_EQ(pnm.bytes[i * 3], images.grey[i]);
            ASSERT_EQ(pnm.bytes[i * 3 + 2], images.grey[i]);
        }
        ASSERT_TRUE(ParsePnm(ExtractedImage(dir, 4, "ppm"), pnm));
        for (size_t i = 0; i < images.rgb.size(); i += 3) {
            ASSERT_EQ(pnm.bytes[i], images.rgb[i + 2]);
            ASSERT_EQ(pnm.bytes[i + 1], images.rgb[i + 1]);
            ASSERT_EQ(pnm.bytes[i + 2], images.rgb[i]);
        }
    }
}

TEST(PdfWriterOracle, ImagesLandWherePlaced) {
    const std::string dir = MakeScratchDir("pdf_placement");
    const std::string path = dir + "/placed.pdf";
    Ref<PdfDocument> doc = NewDoc();
    Ref<PdfPage> page = PdfAddPage(doc.get(), {100, 50});
    const std::vector<uint8_t> black(8, 0);
    Ref<RasterImage> white = RasterImageCreate(64, 64, 1, true);
    white->Fill(1);
    const std::vector<uint8_t> white_code = Group4Of(white.get());
    ASSERT_TRUE(PdfAddImagePage(page.get(), Place(10, 5, 20, 10), black.data(), 8, 8, 8, 1, nullptr, false));
    ASSERT_TRUE(PdfAddImagePage(page.get(), Place(40, 0, 60, 50), black.data(), 8, 8, 8, 1, nullptr, false));
    // Coded as white runs only, a 1-bit image of ones shows white.
    ASSERT_TRUE(PdfAddFaxImagePage(page.get(), Place(50, 20, 30, 20), white_code.data(),
                                   uint32_t(white_code.size()), 64, 64));
    ASSERT_TRUE(PdfDocumentSave(doc.get(), WString(WindowsPathOf(path).c_str())));
    ASSERT_EQ(RunHostCommand("pdftoppm -r 72 -gray '" + path + "' > '" + dir + "/page.pgm'"), 0);
    Pnm pnm;
    ASSERT_TRUE(ReadPnm(dir + "/page.pgm", pnm));
    ASSERT_EQ(pnm.width, 283u);
    ASSERT_EQ(pnm.height, 142u);
    struct Probe {
        uint32_t x, y;
        uint8_t grey;
    };
    // Points from the top left: the first image spans x 28..85, y 15..43,
    // the second x 113..283, the white one x 142..227, y 57..114.
    for (const Probe& p : {Probe{56, 29, 0}, Probe{20, 29, 255}, Probe{56, 10, 255}, Probe{56, 48, 255},
                           Probe{95, 29, 255}, Probe{120, 85, 0}, Probe{184, 85, 255}, Probe{184, 50, 0},
                           Probe{184, 120, 0}, Probe{235, 85, 0}, Probe{30, 16, 0}, Probe{83, 41, 0}}) {
        EXPECT_EQ(pnm.Row(p.y)[p.x], p.grey) << p.x << "," << p.y;
    }
}

}  // namespace
