#include "imaging/pdf_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/out_stream.h"
#include "foundation/paged_buf.h"
#include "imaging/g4_encoder.h"
#include "imaging/raster_image.h"
#include "tests/imaging/pdf_test_support.h"
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

TEST(PdfWriterLayout, ObjectsFollowCreationOrder) {
    Ref<PdfDocument> doc = NewDoc();
    ASSERT_TRUE(doc);
    Ref<PdfPage> page = PdfAddPage(doc.get(), {210, 297});
    ASSERT_TRUE(page);
    uint8_t palette[16 * 3] = {};
    palette[3] = 0xAB, palette[4] = 0x01, palette[5] = 0xFF;
    const std::vector<uint8_t> rows = Rows(3, 4, 1);
    ASSERT_TRUE(PdfAddImagePage(page.get(), Place(10, 20, 30, 40), rows.data(), uint32_t(rows.size()), 5, 4,
                                4, palette, false));
    ASSERT_EQ(doc->objects.objects.count, 8u);
    const std::string pdf = Written(doc.get());
    EXPECT_EQ(pdf.substr(0, 17), "%PDF-1.2\r\n%\xE2\xE3\xCF\xD3\r\n");
    EXPECT_EQ(Body(pdf, 1).substr(0, 19), "<< /CreationDate (D");
    EXPECT_NE(Body(pdf, 1).find("/Creator (Plovex 5.2.9)\r\n"), std::string::npos);
    EXPECT_EQ(Body(pdf, 1).find("/Title"), std::string::npos);  // empty texts are left out
    EXPECT_EQ(Body(pdf, 2), "<< /Type /Catalog\r\n/Pages 3 0 R\r\n/OpenAction [ 5 0 R /Fit ]\r\n>>\r\n");
    EXPECT_EQ(Body(pdf, 3), "<< /Type /Pages\r\n/Kids [5 0 R ]\r\n/Count 1\r\n>>\r\n");
    EXPECT_NE(Body(pdf, 4).find("/BaseFont /Helvetica"), std::string::npos);
    const std::string page_body = Body(pdf, 5);
    EXPECT_NE(page_body.find("/MediaBox [0 0 595 842]\r\n/Contents 6 0 R\r\n/Rotate 0\r\n"),
              std::string::npos);
    EXPECT_NE(page_body.find("/Font << /F1 4 0 R >>\r\n/XObject << /Bild0 8 0 R\r\n>>\r\n"),
              std::string::npos);
    // 297 - (20 + 40) mm from the bottom.
    EXPECT_NE(Body(pdf, 6).find("q\r\n85 0 0 113 28 672 cm\r\n/Bild0 Do\r\nQ\r\n"), std::string::npos);
    EXPECT_EQ(Body(pdf, 7).substr(0, 40), "[/Indexed /DeviceRGB 15 <000000 ab01ff 0");
    const std::string image = Body(pdf, 8);
    EXPECT_NE(
        image.find("/Width 5\r\n/Height 4\r\n/BitsPerComponent 4\r\n/Length 12\r\n/ColorSpace 7 0 R\r\n"),
        std::string::npos);
    EXPECT_EQ(StreamData(image), std::string(rows.begin(), rows.end()));
}

TEST(PdfWriterLayout, CrossReferenceLinesPointAtTheirObjects) {
    Ref<PdfDocument> doc = NewDoc(L"x");
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(PdfAddPage(doc.get(), {100, 100}));
    const std::string pdf = Written(doc.get());
    const size_t startxref = pdf.rfind("startxref\r\n");
    ASSERT_NE(startxref, std::string::npos);
    const size_t xref = std::stoul(pdf.substr(startxref + 11));
    const std::string head = "xref\r\n0 11\r\n0000000000 65535 f\r\n";
    ASSERT_EQ(pdf.substr(xref, head.size()), head);
    for (uint32_t number = 1; number <= 10; ++number) {
        const std::string line = pdf.substr(xref + head.size() + (number - 1) * 20, 20);
        EXPECT_EQ(line.substr(10), " 00000 n\r\n");
        const size_t offset = std::stoul(line.substr(0, 10));
        EXPECT_EQ(pdf.substr(offset, std::to_string(number).size() + 8),
                  std::to_string(number) + " 0 obj\r\n");
    }
    EXPECT_EQ(pdf.substr(xref + head.size() + 200),
              "\r\ntrailer\r\n<< /Size 11\r\n/Root 2 0 R\r\n/Info 1 0 R\r\n>>\r\n"
              "startxref\r\n" +
                  std::to_string(xref) + "\r\n%%EOF\r\n");
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
}

TEST(PdfWriterLayout, PageWithoutImageStillHasItsContents) {
    Ref<PdfDocument> doc = NewDoc();
    ASSERT_TRUE(PdfAddPage(doc.get(), {100, 100}));
    const std::string pdf = Written(doc.get());
    EXPECT_EQ(Body(pdf, 6), "<< /Length 0 >>\r\nstream\r\n\r\nendstream\r\n");
    EXPECT_EQ(Body(pdf, 5).find("/XObject"), std::string::npos);
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

TEST(PdfWriterLayout, RgbRowsAreSwappedAndCut) {
    Ref<PdfDocument> doc = NewDoc();
    Ref<PdfPage> page = PdfAddPage(doc.get(), {100, 100});
    // Two rows of 3 pixels, blue-green-red, handed over with a padded stride.
    const uint8_t rows[2][12] = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE},
                                 {10, 11, 12, 13, 14, 15, 16, 17, 18, 0xEE, 0xEE, 0xEE}};
    ASSERT_TRUE(PdfBeginImage(page.get(), Place(0, 0, 3, 2), 3, 2, 24, nullptr));
    ASSERT_TRUE(PdfAddImageRows(page.get(), rows[0], 12, 1, true));
    ASSERT_TRUE(PdfAddImageRows(page.get(), rows[1], 12, 1, true));
    ASSERT_TRUE(PdfEndImage(page.get()));
    const std::string expected = {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16};
    const std::string image = Body(Written(doc.get()), 7);
    EXPECT_NE(image.find("/BitsPerComponent 8\r\n/Length 18\r\n/ColorSpace /DeviceRGB\r\n"),
              std::string::npos);
    EXPECT_EQ(StreamData(image), expected);
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

}  // namespace
