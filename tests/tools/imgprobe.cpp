// Looks at image files from outside, through the same entry points the
// viewer uses (ImageParseFile, PageRender), for the oracle tests.
//   imgprobe info FILE
//     format=ORDINAL pages=N, one "page=I width=W height=H dpix=X dpiy=Y
//     bits=B" line per page, then status=SEVERITY,CODE
//   imgprobe render FILE PAGE OUT [--size W,H] [--rect L,T,W,H] [--rotate 0|90|180|270]
//                  [--mirror-x] [--mirror-y] [--invert] [--negative M] [--flags F]
//     renders through PageRender (rectangle in millimetres, default the whole
//     page; size in pixels, default the page's own) and writes OUT as binary
//     PNM with the palette applied, top row first: PGM for grey and bilevel
//     images, PPM for colour. Prints status=SEVERITY,CODE; exits 0 when the
//     render gave an image.
//   imgprobe pdf SRC OUT [--mode 0|1]
//     every page of SRC at its own resolution on a PDF page of its size
//     (mode 0: pages of 4, 8 and 24 bits uncompressed, the others Group 4;
//     mode 1: all Group 4). Prints pages=N; exits 0 when OUT was written
//     whole (a failed file is removed).
//   imgprobe tiff FILE OUT [--pages A,B,...] [--rows R] [--tile W] [--reduce P] [--software TEXT]
//     writes the pages (default all, in the order given) as a Group 4 TIFF
//     through the TIFF writer; strips of R rows or tiles of W pixels, with
//     reduced copies at P percent. Exits 0 when the file was written.
//   imgprobe tiff-copy FILE OUT [--software TEXT] [--markup BYTES_FILE]
//     copies every page of a TIFF with all its entries, adding Software and
//     the private markup tag when given. Exits 0 when the file was written.
// Paths are Windows paths (the tools/imgprobe wrapper converts them).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "foundation/strings.h"
#include "imaging/formats/image_format.h"
#include "imaging/raster/raster_image.h"
#include "imaging/writers/pdf_page_render.h"
#include "imaging/writers/pdf_writer.h"
#include "imaging/writers/tiff_writer_document.h"
#include "imaging/writers/tiff_writer.h"

namespace {

WString WideOf(const char* text) {
    WString out;
    WStrFromAnsi(out, text);
    return out;
}

Ref<ImageFormat> OpenFormat(const char* path, ImageStatus* status, Ref<DataSource>* source) {
    *source = DataSourceOpenFile(WideOf(path), false);
    if (!*source) {
        ImageStatusError(status, kStatusNothingToRender);
        return nullptr;
    }
    return ImageParseFile(status, source->get(), 0);
}

void PrintStatus(const ImageStatus& status) {
    printf("status=%d,%d\n", int(status.severity), int(status.code));
}

int Info(int argc, char** argv) {
    if (argc < 3) return 2;
    ImageStatus status;
    Ref<DataSource> source;
    Ref<ImageFormat> format = OpenFormat(argv[2], &status, &source);
    if (!format) {
        printf("format=-1 pages=0\n");
        PrintStatus(status);
        return 1;
    }
    printf("format=%u pages=%u\n", unsigned(format->FormatOrdinal()), unsigned(format->PageCount()));
    for (uint32_t i = 0; i < format->PageCount(); ++i) {
        Ref<ImagePage> page = format->GetPage(i);
        if (!page) continue;
        PageInfo info;
        page->GetInfo(&info);
        printf("page=%u width=%u height=%u dpix=%.6g dpiy=%.6g bits=%u\n", unsigned(i),
               unsigned(page->PixelWidth()), unsigned(page->PixelHeight()), page->DpiX(), page->DpiY(),
               unsigned(info.bits_per_pixel));
    }
    PrintStatus(status);
    return 0;
}

// The options of every command, each taking those its usage names.
struct Options {
    std::vector<double> size, rect, pages;
    uint32_t rotation = 0, negative_mode = 0, flags = 0, rows = 0, tile_width = 0, reduce = 0, mode = kPdfModeOptimum;
    bool mirror_x = false, mirror_y = false, invert = false;
    const char* software = nullptr;
    const char* markup = nullptr;
};

// "a,b,c" as numbers; false when a part is no number.
bool ParseList(const char* text, std::vector<double>& values) {
    for (const char* p = text;; ++p) {
        char* end = nullptr;
        values.push_back(strtod(p, &end));
        if (end == p) return false;
        if (*(p = end) == 0) return true;
        if (*p != ',') return false;
    }
}

bool ParseOptions(int argc, char** argv, int first, Options& o) {
    for (int i = first; i < argc; ++i) {
        const std::string option = argv[i];
        if (bool* flag = option == "--mirror-x"   ? &o.mirror_x
                         : option == "--mirror-y" ? &o.mirror_y
                         : option == "--invert"   ? &o.invert
                                                  : nullptr) {
            *flag = true;
            continue;
        }
        const std::map<std::string, uint32_t*> numbers = {
            {"--rotate", &o.rotation}, {"--negative", &o.negative_mode}, {"--flags", &o.flags}, {"--rows", &o.rows},
            {"--tile", &o.tile_width}, {"--reduce", &o.reduce},          {"--mode", &o.mode}};
        const std::map<std::string, std::vector<double>*> lists = {
            {"--size", &o.size}, {"--rect", &o.rect}, {"--pages", &o.pages}};
        const std::map<std::string, const char**> texts = {{"--software", &o.software}, {"--markup", &o.markup}};
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (numbers.count(option)) {
            *numbers.at(option) = uint32_t(strtoul(value, nullptr, 10));
        } else if (texts.count(option)) {
            *texts.at(option) = value;
        } else if (!lists.count(option) || !ParseList(value, *lists.at(option))) {
            return false;
        }
    }
    return (o.size.empty() || o.size.size() == 2) && (o.rect.empty() || o.rect.size() == 4);
}

PagePlacement MakePlacement(ImagePage* page, const Options& options) {
    PagePlacement placement;
    PagePlacementInit(placement);
    if (!options.rect.empty()) {
        RectDSet(placement.rect, options.rect[0], options.rect[1], options.rect[2], options.rect[3]);
    } else {
        RectDSet(placement.rect, 0, 0, page->WidthMm(), page->HeightMm());
    }
    const bool quarter = options.rotation % 180 == 90;
    if (!options.size.empty()) {
        placement.pixel_width = uint32_t(options.size[0]);
        placement.pixel_height = uint32_t(options.size[1]);
    } else {
        placement.pixel_width = quarter ? page->PixelHeight() : page->PixelWidth();
        placement.pixel_height = quarter ? page->PixelWidth() : page->PixelHeight();
    }
    placement.rotation = uint16_t(options.rotation);
    placement.flip_x = options.mirror_x;
    placement.flip_y = !options.mirror_y;  // upright unless asked to mirror
    placement.invert = options.invert;
    placement.negative_mode = options.negative_mode;
    placement.flags = options.flags;
    return placement;
}

// Binary PNM of what a screen shows: palette applied, top line first (the
// image keeps its bottom line first in memory).
bool WritePnm(const RasterImage* image, const char* path) {
    const bool grey = image->IsGrey();
    FILE* file = _wfopen(WStrBuffer(WideOf(path)), L"wb");
    if (!file) return false;
    fprintf(file, "%s\n%u %u\n255\n", grey ? "P5" : "P6", unsigned(image->width), unsigned(image->height));
    std::vector<uint8_t> line(size_t(image->width) * (grey ? 1 : 3));
    bool ok = true;
    for (uint32_t row = image->height; row-- > 0 && ok;) {
        for (uint32_t x = 0; x < image->width; ++x) {
            uint32_t colour = 0;
            image->GetPixelRgb(x, row, &colour);
            const uint8_t red = uint8_t(colour >> 16), green = uint8_t(colour >> 8), blue = uint8_t(colour);
            if (grey) {
                line[x] = green;
            } else {
                line[3 * size_t(x)] = red;
                line[3 * size_t(x) + 1] = green;
                line[3 * size_t(x) + 2] = blue;
            }
        }
        ok = fwrite(line.data(), 1, line.size(), file) == line.size();
    }
    return fclose(file) == 0 && ok;
}

int Render(int argc, char** argv) {
    Options options;
    if (argc < 5 || !ParseOptions(argc, argv, 5, options)) return 2;
    ImageStatus status;
    Ref<DataSource> source;
    Ref<ImageFormat> format = OpenFormat(argv[2], &status, &source);
    Ref<ImagePage> page = format ? format->GetPage(uint32_t(strtoul(argv[3], nullptr, 10))) : nullptr;
    Ref<RasterImage> image;
    if (page) {
        const PagePlacement placement = MakePlacement(page.get(), options);
        image = PageRender(page.get(), &status, source.get(), &placement, nullptr);
    }
    const bool written = image && WritePnm(image.get(), argv[4]);
    PrintStatus(status);
    return written ? 0 : 1;
}

// Pages the format does not hand out and pages too small for a PDF page
// are left out, as the viewer's export leaves them out.
int Pdf(int argc, char** argv) {
    Options options;
    if (argc < 4 || !ParseOptions(argc, argv, 4, options)) return 2;
    ImageStatus status;
    Ref<DataSource> source;
    Ref<ImageFormat> format = OpenFormat(argv[2], &status, &source);
    if (!format) return PrintStatus(status), 1;
    const WString target = WideOf(argv[3]);
    Ref<PdfDocument> doc = PdfDocumentNew(0, WString(), WString(), WString(), WString(L"Plovex 5.2.9"));
    bool ok = doc && PdfDocumentStreamToFile(doc.get(), target);
    uint32_t pages = 0;
    for (uint32_t i = 0; ok && i < format->PageCount(); ++i) {
        Ref<ImagePage> page = format->GetPage(i);
        Ref<PdfPage> pdf_page = page ? PdfAddPage(doc.get(), {page->WidthMm(), page->HeightMm()}) : nullptr;
        if (!pdf_page) continue;
        ok = PdfAddRenderedImage(pdf_page.get(), page.get(), source.get(), options.mode, PdfRenderOptions(),
                                 nullptr);
        ++pages;
    }
    ok = ok && PdfDocumentSave(doc.get(), target);
    printf("pages=%u\n", unsigned(pages));
    return ok ? 0 : 1;
}

bool AddTiffTags(TiffDoc* doc, const Options& options) {
    if (options.software) {
        Ref<TiffEntry> entry = TiffEntryCreateAscii(kTagSoftware, WideOf(options.software));
        if (!entry || !TiffDocSetEntryAll(doc, entry.get())) return false;
    }
    if (options.markup) {
        FILE* file = _wfopen(WStrBuffer(WideOf(options.markup)), L"rb");
        if (!file) return false;
        std::vector<uint8_t> bytes;
        uint8_t piece[4096];
        size_t n;
        while ((n = fread(piece, 1, sizeof piece, file)) > 0) bytes.insert(bytes.end(), piece, piece + n);
        fclose(file);
        Ref<TiffEntry> entry = TiffEntryCreateBytes(kTagRedlining, bytes.data(), uint32_t(bytes.size()));
        if (!entry || !TiffDocSetEntryAll(doc, entry.get())) return false;
    }
    return true;
}

int TiffExport(int argc, char** argv) {
    Options options;
    if (argc < 4 || !ParseOptions(argc, argv, 4, options)) return 2;
    ImageStatus status;
    Ref<DataSource> source;
    Ref<ImageFormat> format = OpenFormat(argv[2], &status, &source);
    if (!format) return PrintStatus(status), 1;
    if (options.pages.empty()) {
        for (uint32_t i = 0; i < format->PageCount(); ++i) options.pages.push_back(i);
    }
    Ref<TiffDoc> doc = TiffDocCreate();
    bool ok = true;
    for (double index : options.pages) {
        Ref<ImagePage> page = format->GetPage(uint32_t(index));
        ok = ok && page &&
             TiffDocAddPage(doc.get(), page.get(), source.get(), 0xFFFFFFFFu, options.tile_width,
                            options.rows, options.reduce, kTiffWriteGroup4, TiffRenderOptions(), nullptr);
    }
    ok = ok && AddTiffTags(doc.get(), options) && TiffDocSave(doc.get(), WideOf(argv[3]));
    printf("written=%d\n", ok ? 1 : 0);
    return ok ? 0 : 1;
}

int TiffCopy(int argc, char** argv) {
    Options options;
    if (argc < 4 || !ParseOptions(argc, argv, 4, options)) return 2;
    ImageStatus status;
    Ref<DataSource> source;
    Ref<ImageFormat> format = OpenFormat(argv[2], &status, &source);
    Ref<TiffDoc> doc = format ? TiffDocCreateFrom(format.get(), source.get()) : nullptr;
    const bool ok = doc && AddTiffTags(doc.get(), options) && TiffDocSave(doc.get(), WideOf(argv[3]));
    printf("written=%d\n", ok ? 1 : 0);
    return ok ? 0 : 1;
}

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"info", Info},
    {"render", Render},
    {"pdf", Pdf},
    {"tiff", TiffExport},
    {"tiff-copy", TiffCopy},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2) {
        for (const Command& command : kCommands) {
            if (strcmp(argv[1], command.name) == 0) return command.run(argc, argv);
        }
    }
    fprintf(stderr,
            "usage: imgprobe info FILE | render FILE PAGE OUT [options] | tiff FILE OUT [options] | "
            "tiff-copy FILE OUT [options] | pdf SRC OUT [--mode M]\n");
    return 2;
}
