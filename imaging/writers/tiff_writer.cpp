#include "imaging/writers/tiff_writer.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "foundation/data_reader.h"
#include "foundation/file_handle.h"
#include "foundation/out_stream.h"

namespace {

constexpr uint32_t kCopyPiece = 65536;
constexpr uint64_t kMaxFileSize = 0xFFFFFFFFu;
constexpr uint32_t kCopyTag = 0x54437079;  // "TCpy"

TiffIfd* IfdAt(const TiffWriterPage* page, uint32_t index) {
    return static_cast<TiffIfd*>(page->ifds.items[index]);
}

TiffWriterPage* PageAt(const TiffDoc* doc, uint32_t index) {
    return static_cast<TiffWriterPage*>(doc->pages.items[index]);
}

// Widest directory first; directories of equal width keep their order, so
// a page's full image stays its first.

bool SetNumbered(TiffIfd* ifd, uint16_t tag, uint16_t type, uint32_t first, uint32_t count, uint32_t second) {
    Ref<TiffEntry> entry = TiffEntryCreate(tag, type, count);
    if (!entry || !TiffEntrySetUInt(entry.get(), 0, first)) return false;
    if (count > 1 && !TiffEntrySetUInt(entry.get(), 1, second)) return false;
    return TiffIfdSetEntry(ifd, entry.get());
}

// Subfile types and page numbers; every directory of the file in order.
bool MarkPages(TiffDoc* doc, std::vector<TiffIfd*>& order) {
    const uint32_t pages = doc->pages.count;
    if (pages == 0 || pages > 0xFFFF) return false;
    for (uint32_t i = 0; i < pages; ++i) {
        TiffWriterPage* page = PageAt(doc, i);
        if (page->ifds.count == 0) return false;
        TiffWriterPageOrderByWidth(page);
        for (uint32_t k = 0; k < page->ifds.count; ++k) {
            TiffIfd* ifd = IfdAt(page, k);
            const uint32_t kind = (k == 0 ? 0 : 1) | (pages > 1 ? 2 : 0);
            TiffIfdRemoveEntry(ifd, kTagSubfileType);
            if (!SetNumbered(ifd, kTagNewSubfileType, kTiffLong, kind, 1, 0) ||
                !SetNumbered(ifd, kTagPageNumber, kTiffShort, i, 2, pages)) {
                return false;
            }
            order.push_back(ifd);
        }
    }
    return true;
}

struct StripEntries {
    Ref<TiffEntry> offsets;
    Ref<TiffEntry> counts;
};

// The offset and byte-count entries must be LONG with one value per strip,
// and every strip must be there.
bool FindStripEntries(const TiffIfd* ifd, StripEntries& out) {
    const TiffStripList* strips = ifd->strips.get();
    if (!strips) return false;
    out.offsets = TiffIfdFindEntry(ifd, ifd->tiled ? kTagTileOffsets : kTagStripOffsets);
    out.counts = TiffIfdFindEntry(ifd, ifd->tiled ? kTagTileByteCounts : kTagStripByteCounts);
    for (const TiffEntry* entry : {out.offsets.get(), out.counts.get()}) {
        if (!entry || entry->type != kTiffLong || entry->count != strips->count) return false;
    }
    for (uint32_t i = 0; i < strips->count; ++i) {
        if (!TiffStripListAt(strips, i)) return false;
    }
    return true;
}

uint64_t Even(uint64_t position) { return (position + 1) & ~uint64_t(1); }

// Directories and their values from offset 8, each on a word boundary as
// TIFF 6.0 asks; then all strips. False when the file would pass 4 GiB.
bool Layout(const std::vector<TiffIfd*>& order, std::vector<uint32_t>& ifd_offsets) {
    uint64_t position = 8;
    for (TiffIfd* ifd : order) {
        if (ifd->entries.count > 0xFFFF) return false;
        position = Even(position);
        ifd_offsets.push_back(uint32_t(position));
        position += 2 + 12 * uint64_t(ifd->entries.count) + 4;
        for (uint32_t e = 0; e < ifd->entries.count; ++e) {
            TiffEntry* entry = TiffIfdEntryAt(ifd, e);
            if (entry->byte_size <= 4) continue;
            position = Even(position);
            entry->value_offset = uint32_t(position);
            position += entry->byte_size;
            if (position > kMaxFileSize) return false;
        }
    }
    for (size_t k = 0; k < order.size(); ++k) {
        order[k]->next_offset = k + 1 < order.size() ? ifd_offsets[k + 1] : 0;
    }
    for (TiffIfd* ifd : order) {
        StripEntries entries;
        if (!FindStripEntries(ifd, entries)) return false;
        for (uint32_t i = 0; i < ifd->strips->count; ++i) {
            const uint32_t size = TiffStripListAt(ifd->strips.get(), i)->size;
            TiffEntrySetUInt(entries.offsets.get(), i, uint32_t(position));
            TiffEntrySetUInt(entries.counts.get(), i, size);
            position += size;
            if (position > kMaxFileSize) return false;
        }
    }
    return true;
}

// One reader per source file, opened before the target is created: an open
// reader also keeps the target from replacing a file that strips still come
// from (the readers share for reading only).
class SourceReaders {
  public:
    bool Open(const std::vector<TiffIfd*>& order) {
        for (const TiffIfd* ifd : order) {
            for (uint32_t i = 0; i < ifd->strips->count; ++i) {
                DataSource* source = TiffStripListAt(ifd->strips.get(), i)->source.get();
                if (source && !Find(source) && !Add(source)) return false;
            }
        }
        return true;
    }

    DataReader* Find(const DataSource* source) const {
        for (const auto& [known, reader] : readers_) {
            if (known == source) return reader.get();
        }
        return nullptr;
    }

  private:
    bool Add(DataSource* source) {
        bool changed = false;
        Ref<DataReader> reader = DataSourceOpenReader(source, changed);
        // A changed file no longer holds the strips where the directories say.
        if (!reader || changed) return false;
        readers_.emplace_back(source, std::move(reader));
        return true;
    }

    std::vector<std::pair<const DataSource*, Ref<DataReader>>> readers_;
};

void Put16(OutStream& out, uint32_t value) {
    const uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
    OutStreamWrite(out, bytes, 2);
}

void Put32(OutStream& out, uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                              uint8_t(value >> 24)};
    OutStreamWrite(out, bytes, 4);
}

void PadTo(OutStream& out, uint64_t position) {
    while (OutStreamPosition(out) < position && !out.failed) OutStreamPutByte(out, 0);
}

bool WriteDirectory(OutStream& out, const TiffIfd* ifd, uint32_t offset) {
    PadTo(out, offset);
    Put16(out, ifd->entries.count);
    for (uint32_t e = 0; e < ifd->entries.count; ++e) {
        const TiffEntry* entry = TiffIfdEntryAt(ifd, e);
        Put16(out, entry->tag);
        Put16(out, entry->type);
        Put32(out, entry->count);
        if (entry->byte_size > 4) {
            Put32(out, entry->value_offset);
        } else {
            OutStreamWrite(out, entry->inline_value, 4);
        }
    }
    Put32(out, ifd->next_offset);
    for (uint32_t e = 0; e < ifd->entries.count && !out.failed; ++e) {
        const TiffEntry* entry = TiffIfdEntryAt(ifd, e);
        if (entry->byte_size <= 4) continue;
        PadTo(out, entry->value_offset);
        OutStreamWrite(out, TiffEntryValues(entry), entry->byte_size);
    }
    return !out.failed;
}

// A strip of a source file, in pieces, never decoded.
bool CopySourceStrip(OutStream& out, const TiffStrip* strip, DataReader* reader, MemBlock& piece) {
    if (!reader) return false;
    if (!piece.data() && !MemAlloc(piece, kCopyPiece, 0, kCopyTag)) return false;
    uint32_t done = 0;
    while (done < strip->size && !out.failed) {
        const uint32_t rest = strip->size - done;
        const uint32_t n = rest < kCopyPiece ? rest : kCopyPiece;
        if (DataSourceRead(reader, uint64_t(strip->source_offset) + done, n, piece.data()) != int32_t(n)) {
            return false;
        }
        OutStreamWrite(out, piece.data(), n);
        done += n;
    }
    return !out.failed;
}

bool WriteStrips(OutStream& out, const TiffIfd* ifd, const SourceReaders& readers, MemBlock& piece) {
    for (uint32_t i = 0; i < ifd->strips->count && !out.failed; ++i) {
        const TiffStrip* strip = TiffStripListAt(ifd->strips.get(), i);
        if (strip->source) {
            if (!CopySourceStrip(out, strip, readers.Find(strip->source.get()), piece)) return false;
        } else if (strip->size) {
            OutStreamWrite(out, strip->bytes.data(), strip->size);
        }
    }
    return !out.failed;
}

bool WriteDocument(HANDLE file, const std::vector<TiffIfd*>& order, const std::vector<uint32_t>& ifd_offsets,
                   const SourceReaders& readers) {
    FileOutStream out(file);
    const uint8_t header[4] = {'I', 'I', 42, 0};
    OutStreamWrite(out, header, 4);
    Put32(out, 8);
    bool ok = true;
    for (size_t k = 0; k < order.size() && ok; ++k) ok = WriteDirectory(out, order[k], ifd_offsets[k]);
    MemBlock piece;
    for (size_t k = 0; k < order.size() && ok; ++k) ok = WriteStrips(out, order[k], readers, piece);
    OutStreamFlush(out);
    return ok && !out.failed;
}

}  // namespace

void TiffWriterPageOrderByWidth(TiffWriterPage* page) {
    for (uint32_t i = 1; i < page->ifds.count; ++i) {
        Ref<TiffIfd> ifd(IfdAt(page, i));
        uint32_t at = 0;
        while (at < i && IfdAt(page, at)->width >= ifd->width) ++at;
        if (at == i) continue;
        PtrArrayRemoveAt(page->ifds, i);
        PtrArrayInsert(page->ifds, ifd.get(), at);  // cannot fail: the slot was just freed
    }
}

bool TiffDocSave(TiffDoc* doc, const WString& file_name) {
    if (!doc || WStrLength(file_name) == 0) return false;
    std::vector<TiffIfd*> order;  // borrowed from the document
    std::vector<uint32_t> ifd_offsets;
    SourceReaders readers;
    if (!MarkPages(doc, order) || !Layout(order, ifd_offsets) || !readers.Open(order)) return false;
    const wchar_t* path = WStrCStr(file_name);
    FileHandle file(
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    const bool written = WriteDocument(file.get(), order, ifd_offsets, readers);
    if (file.Close() && written) return true;
    DeleteFileW(path);
    return false;
}
