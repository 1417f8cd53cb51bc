// Copied pages: the images of a TIFF page read by the TIFF reader, with all
// their entries, and strips that stay in the source file until the new file
// is written.
#include "foundation/data_source.h"
#include "imaging/writers/tiff_writer_document.h"
#include "imaging/formats/tiff/tiff_reader.h"

namespace {

// Entries whose values are offsets into the old file. Strip and tile
// positions are rebuilt; the others (free space, sub-directories, Exif and
// GPS directories, an old-style JPEG stream) would point at nothing.
bool IsOffsetTag(uint16_t tag) {
    static constexpr uint16_t kTags[] = {kTagStripOffsets,
                                         kTagStripByteCounts,
                                         kTagTileOffsets,
                                         kTagTileByteCounts,
                                         288,
                                         289,
                                         330,
                                         513,
                                         514,
                                         34665,
                                         34853};
    for (uint16_t offset_tag : kTags) {
        if (offset_tag == tag) return true;
    }
    return false;
}

bool CopyEntries(const TiffDir* dir, TiffIfd* ifd) {
    for (uint32_t i = 0; i < dir->entries.count; ++i) {
        const auto* source = static_cast<const TiffDirEntry*>(dir->entries.items[i]);
        // An entry without values says nothing; a TIFF may not hold one.
        if (IsOffsetTag(source->tag) || source->count == 0) continue;
        Ref<TiffEntry> entry = TiffEntryCreateFromDir(source);
        if (!entry || !TiffIfdSetEntry(ifd, entry.get())) return false;
    }
    return true;
}

// One strip of the source: its range must lie in the file; offset and
// length 0 stand for a strip the file leaves out.
Ref<TiffStrip> SourceStrip(TiffDir* dir, uint32_t index, DataSource* source, uint32_t offset, uint32_t size) {
    if (size != 0 && uint64_t(offset) + size > source->size) return nullptr;
    Ref<TiffStrip> strip = MakeRef<TiffStrip>();
    strip->size = size;
    strip->source_dir = Ref<TiffDir>(dir);
    strip->source_index = index;
    strip->source = Ref<DataSource>(source);
    strip->source_offset = offset;
    return strip;
}

// The strip count and each strip's range, as the reader finds them: a lone
// strip without byte counts runs to the end of the file.
bool CopyStrips(TiffDir* dir, TiffIfd* ifd, DataSource* source) {
    Ref<TiffDirEntry> offsets = TiffDirStripOffsets(dir);
    Ref<TiffDirEntry> counts = TiffDirStripByteCounts(dir);
    if (!offsets || offsets->count == 0) return false;
    if (!counts && offsets->count != 1) return false;
    const uint32_t n = counts && counts->count < offsets->count ? counts->count : offsets->count;
    ifd->strips = TiffStripListCreate(n);
    if (!ifd->strips) return false;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t offset = 0;
        uint32_t size = 0;
        if (!TiffDirEntryGetUInt(offsets.get(), i, &offset)) return false;
        if (counts ? !TiffDirEntryGetUInt(counts.get(), i, &size) : offset >= source->size) return false;
        if (!counts)
            size = uint32_t(source->size - offset < 0xFFFFFFFFu ? source->size - offset : 0xFFFFFFFFu);
        Ref<TiffStrip> strip = SourceStrip(dir, i, source, offset, size);
        if (!strip || !TiffStripListSet(ifd->strips.get(), i, strip.get())) return false;
    }
    // LONG whatever the source used: the new positions may pass 65535.
    const uint16_t tags[2] = {uint16_t(dir->tiled ? kTagTileOffsets : kTagStripOffsets),
                              uint16_t(dir->tiled ? kTagTileByteCounts : kTagStripByteCounts)};
    for (uint16_t tag : tags) {
        Ref<TiffEntry> entry = TiffEntryCreate(tag, kTiffLong, n);
        if (!entry || !TiffIfdSetEntry(ifd, entry.get())) return false;
    }
    return true;
}

}  // namespace

Ref<TiffWriterPage> TiffWriterPageFromReader(TiffPage* page, DataSource* source) {
    if (!page || !source || page->images.count == 0) return nullptr;
    Ref<TiffWriterPage> result = MakeRef<TiffWriterPage>();
    for (uint32_t i = 0; i < page->images.count; ++i) {
        TiffDir* dir = TiffPageImage(page, i);
        Ref<TiffIfd> ifd = MakeRef<TiffIfd>();
        ifd->width = TiffDirPixelWidth(dir);
        ifd->height = TiffDirPixelHeight(dir);
        ifd->tiled = dir->tiled;
        if (!CopyEntries(dir, ifd.get()) || !CopyStrips(dir, ifd.get(), source) ||
            PtrArrayAdd(result->ifds, ifd.get()) < 0) {
            return nullptr;
        }
    }
    return result;
}

Ref<TiffDoc> TiffDocCreateFrom(ImageFormat* format, DataSource* source) {
    auto* tiff = dynamic_cast<TiffFormat*>(format);
    if (!tiff) return nullptr;
    Ref<TiffDoc> doc = TiffDocCreate();
    for (uint32_t i = 0; i < tiff->PageCount(); ++i) {
        Ref<ImagePage> page = tiff->GetPage(i);
        Ref<TiffWriterPage> copy = TiffWriterPageFromReader(dynamic_cast<TiffPage*>(page.get()), source);
        if (!copy || PtrArrayAdd(doc->pages, copy.get()) < 0) return nullptr;
    }
    return doc;
}
