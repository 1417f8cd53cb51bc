#include "viewer/export/document_export.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "foundation/data_source.h"
#include "foundation/file_handle.h"
#include "foundation/progress.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_directory.h"
#include "imaging/writers/pdf_look_ahead.h"
#include "imaging/writers/pdf_page_render.h"
#include "imaging/writers/pdf_writer.h"
#include "imaging/writers/tiff_writer.h"
#include "imaging/writers/tiff_writer_document.h"
#include "viewer/core/app_utils.h"

namespace {

// One nested progress range for the span of a scope.
class ProgressRange {
  public:
    ProgressRange(ProgressSink* sink, uint32_t steps) : sink_(ProgressPush(sink, steps) ? sink : nullptr) {}
    ~ProgressRange() { ProgressPop(sink_); }
    ProgressRange(const ProgressRange&) = delete;
    ProgressRange& operator=(const ProgressRange&) = delete;
    void Step(uint32_t position) { ProgressStep(sink_, position); }

  private:
    ProgressSink* sink_;
};

// Page i's descriptor, or one that writes the page as stored turned by the
// caller's rotation.
PageDescriptor DescriptorFor(const PageDescriptor* descriptors, uint32_t count, uint32_t i,
                             uint16_t rotation) {
    if (descriptors && i < count) return descriptors[i];
    PageDescriptor plain;
    plain.rotation = rotation;
    return plain;
}

// TIFF Orientation for a turn as the view shows it: 90 turns the picture
// counter-clockwise, so its first row becomes the left side (8).
uint32_t OrientationFor(uint16_t rotation) {
    switch (rotation % 360) {
        case 90:
            return 8;
        case 180:
            return 3;
        case 270:
            return 6;
        default:
            return 0;
    }
}

// Orientation describes how the image is stored, which the writer otherwise
// keeps to itself, so it goes straight into the page's directories.
bool SetOrientation(TiffWriterPage* page, uint32_t orientation) {
    Ref<TiffEntry> entry = TiffEntryCreate(kTagOrientation, kTiffShort, 1);
    if (!entry || !TiffEntrySetUInt(entry.get(), 0, orientation)) return false;
    for (uint32_t i = 0; i < page->ifds.count; ++i) {
        Ref<TiffEntry> copy = TiffEntryCopy(entry.get());
        if (!copy || !TiffIfdSetEntry(static_cast<TiffIfd*>(page->ifds.items[i]), copy.get())) return false;
    }
    return true;
}

// A new empty file beside the target that nobody else uses, for a document
// written page by page; false when the folder takes no new file.
bool ReserveFileBeside(const WString& target, WString& out) {
    for (uint32_t n = 0; n < 100; ++n) {
        WString name(target);
        WStrAppendChars(name, L".~plx");
        WStrAppendInt(name, static_cast<int32_t>(n));
        FileHandle file(CreateFileW(WStrCStr(name), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid()) {
            out = name;
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

// Coded strips of the pages made so far wait in a file beside the target
// instead of in memory, so that a long document of large pages holds one
// page at a time; the writer copies them from there as it copies the strips
// of a read TIFF.
class StripSpill {
  public:
    StripSpill() = default;
    StripSpill(const StripSpill&) = delete;
    StripSpill& operator=(const StripSpill&) = delete;
    ~StripSpill() {
        // Once a source owns the file it deletes it with itself.
        file_.Close();
        if (!source_ && WStrLength(name_)) DeleteFileW(WStrCStr(name_));
    }

    bool Open(const WString& target) {
        if (!ReserveFileBeside(target, name_)) return false;
        file_ = FileHandle(CreateFileW(WStrCStr(name_), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file_.valid();
    }

    bool Take(TiffWriterPage* page) {
        for (uint32_t d = 0; d < page->ifds.count; ++d) {
            const TiffIfd* ifd = static_cast<TiffIfd*>(page->ifds.items[d]);
            const TiffStripList* strips = ifd->strips.get();
            for (uint32_t i = 0; strips && i < strips->count; ++i) {
                TiffStrip* strip = TiffStripListAt(strips, i);
                if (!strip || strip->source || strip->size == 0) continue;
                // Past 4 GiB no TIFF could point at the strip anyway.
                if (size_ + strip->size > 0xFFFFFFFFu || !WriteAll(strip->bytes.data(), strip->size))
                    return false;
                spilled_.push_back({Ref<TiffStrip>(strip), uint32_t(size_)});
                size_ += strip->size;
                MemFree(strip->bytes);
            }
        }
        return true;
    }

    // From here on the spilled strips are read from the file.
    bool Finish() {
        if (!file_.Close()) return false;
        source_ = DataSourceOpenFile(name_, true);
        if (!source_) return false;
        for (const Spilled& s : spilled_) {
            s.strip->source = source_;
            s.strip->source_offset = s.offset;
        }
        return true;
    }

  private:
    struct Spilled {
        Ref<TiffStrip> strip;
        uint32_t offset;
    };

    bool WriteAll(const uint8_t* bytes, uint32_t n) {
        while (n) {
            DWORD written = 0;
            if (!WriteFile(file_.get(), bytes, n, &written, nullptr) || written == 0) return false;
            bytes += written;
            n -= written;
        }
        return true;
    }

    WString name_;
    FileHandle file_;
    uint64_t size_ = 0;
    std::vector<Spilled> spilled_;
    Ref<DataSource> source_;
};

bool AddTiffPages(TiffDoc* doc, ImageFormat* format, DataSource* data, uint16_t rotation,
                  const PageDescriptor* descriptors, uint32_t descriptor_count, uint32_t tile_width,
                  uint32_t rows, uint32_t reduction_percent, StripSpill& spill, ProgressSink* progress) {
    const uint32_t pages = format->PageCount();
    ProgressRange range(progress, pages);
    for (uint32_t i = 0; i < pages; ++i) {
        range.Step(i);
        const PageDescriptor descriptor = DescriptorFor(descriptors, descriptor_count, i, rotation);
        if (!descriptor.include) continue;
        // A page of the count that the format cannot give is damage: a file
        // without it would be reported as a whole conversion.
        Ref<ImagePage> page = format->GetPage(i);
        if (!page) return false;
        TiffRenderOptions options;
        options.flip_x = descriptor.flip_x;
        options.flip_y = descriptor.flip_y;
        options.invert = descriptor.invert;
        Ref<TiffWriterPage> added = TiffDocAddPage(doc, page.get(), data, 0xFFFFFFFFu, tile_width, rows,
                                                   reduction_percent, kTiffWriteGroup4, options, progress);
        if (!added) return false;
        const uint32_t orientation = OrientationFor(descriptor.rotation);
        if (orientation && !SetOrientation(added.get(), orientation)) return false;
        if (!spill.Take(added.get())) return false;
    }
    return true;
}

bool SetAsciiEverywhere(TiffDoc* doc, uint16_t tag, const WString& text) {
    Ref<TiffEntry> entry = TiffEntryCreateAscii(tag, text);
    return entry && TiffDocSetEntryAll(doc, entry.get());
}

PdfRenderOptions RenderOptionsFor(const PageDescriptor& descriptor) {
    PdfRenderOptions options;
    options.flip_x = descriptor.flip_x;
    options.flip_y = descriptor.flip_y;
    options.invert = descriptor.invert;
    return options;
}

// Offers the look-ahead the pages from `next` on that it has room for while
// page `current` is written.
void OfferPagesAhead(PdfLookAhead& ahead, ImageFormat* format, uint16_t rotation,
                     const PageDescriptor* descriptors, uint32_t descriptor_count, uint32_t current,
                     uint32_t& next) {
    for (next = std::max(next, current); next < format->PageCount() && ahead.HasRoom(next, current); ++next) {
        const PageDescriptor descriptor = DescriptorFor(descriptors, descriptor_count, next, rotation);
        if (!descriptor.include) continue;
        Ref<ImagePage> image_page = format->GetPage(next);
        if (image_page) ahead.Offer(next, image_page.get(), RenderOptionsFor(descriptor));
    }
}

bool AddPdfPages(PdfDocument* doc, ImageFormat* format, DataSource* data, uint32_t mode, uint16_t rotation,
                 const PageDescriptor* descriptors, uint32_t descriptor_count, ProgressSink* progress) {
    const uint32_t pages = format->PageCount();
    const uint32_t image_mode = mode == kPdfModeGroup4 ? kPdfModeGroup4 : kPdfModeOptimum;
    PdfLookAhead ahead(data, image_mode, PdfLookAheadWorkers());
    uint32_t offered = 0;
    ProgressRange range(progress, pages);
    for (uint32_t i = 0; i < pages; ++i) {
        range.Step(i);
        // A carried page asks nobody whether to stop, so the export asks here.
        if (ProgressIsCancelled(progress)) return false;
        OfferPagesAhead(ahead, format, rotation, descriptors, descriptor_count, i, offered);
        const PageDescriptor descriptor = DescriptorFor(descriptors, descriptor_count, i, rotation);
        if (!descriptor.include) continue;
        // As for TIFF: a page the format cannot give fails the export, rather
        // than a file that silently lacks it.
        Ref<ImagePage> image_page = format->GetPage(i);
        if (!image_page) return false;
        Ref<PdfPage> page = PdfAddPage(doc, SizeD{image_page->WidthMm(), image_page->HeightMm()});
        if (!page) continue;  // too small to be a PDF page
        PdfPageSetRotation(page.get(), descriptor.rotation);
        PdfCarriedImage carried;
        const bool added = ahead.Take(i, progress, carried)
                               ? PdfAddCarriedImage(page.get(), image_page.get(), carried)
                               : !ProgressIsCancelled(progress) &&
                                     PdfAddRenderedImage(page.get(), image_page.get(), data, image_mode,
                                                         RenderOptionsFor(descriptor), progress);
        if (!added) return false;
    }
    return true;
}

}  // namespace

bool ExportTiff(ImageFormat* format, DataSource* data, const WString& target, uint32_t compression,
                uint16_t rotation, const PageDescriptor* descriptors, uint32_t descriptor_count,
                uint32_t tile_width, uint32_t rows, uint32_t reduction_percent, const ExtraTag* tags,
                uint32_t tag_count, ProgressSink* progress) {
    if (!format || format->PageCount() == 0 || !data || WStrLength(target) == 0 || reduction_percent >= 100)
        return false;
    if (tag_count && !tags) return false;
    Ref<TiffDoc> doc = TiffDocCreate();
    if (!doc) return false;
    StripSpill spill;
    if (!spill.Open(target)) return false;
    ProgressRange outer(progress, 10);
    outer.Step(0);
    const bool added = AddTiffPages(doc.get(), format, data, rotation, descriptors, descriptor_count,
                                    tile_width, rows, reduction_percent, spill, progress);
    outer.Step(9);
    if (!added || !spill.Finish()) return false;
    for (uint32_t i = 0; i < tag_count; ++i) {
        if (!SetAsciiEverywhere(doc.get(), tags[i].tag, tags[i].text)) return false;
    }
    if (!SetAsciiEverywhere(doc.get(), kTagSoftware, WString(kSoftwareName))) return false;
    // Written beside the target and put in its place only when complete, so
    // a failed export leaves an existing file as it was.
    WString partial;
    if (!ReserveFileBeside(target, partial)) return false;
    const bool complete = TiffDocSave(doc.get(), partial) &&
                          MoveFileExW(WStrCStr(partial), WStrCStr(target), MOVEFILE_REPLACE_EXISTING);
    if (!complete) DeleteFileW(WStrCStr(partial));
    return complete;
}

bool ExportPdf(ImageFormat* format, DataSource* data, const WString& target, uint32_t mode, uint16_t rotation,
               const PageDescriptor* descriptors, uint32_t descriptor_count, const WString& title,
               ProgressSink* progress) {
    if (!format || format->PageCount() == 0 || !data || WStrLength(target) == 0) return false;
    Ref<PdfDocument> doc = PdfDocumentNew(0, title, WString(), WString(), WString(kSoftwareName));
    if (!doc) return false;
    WString partial;
    if (!ReserveFileBeside(target, partial)) return false;
    // Every image goes to the partial file as soon as it is made, so a long
    // document of large pages never holds more than one page.
    bool complete =
        PdfDocumentStreamToFile(doc.get(), partial) &&
        AddPdfPages(doc.get(), format, data, mode, rotation, descriptors, descriptor_count, progress) &&
        PdfDocumentSave(doc.get(), partial);
    doc.Reset();  // an unfinished document deletes its file
    complete = complete && MoveFileExW(WStrCStr(partial), WStrCStr(target), MOVEFILE_REPLACE_EXISTING);
    if (!complete) DeleteFileW(WStrCStr(partial));
    return complete;
}
