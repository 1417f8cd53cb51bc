#include "redlining/redline_storage.h"

#include "foundation/data_source.h"
#include "foundation/tar_archive.h"
#include "foundation/temp_files.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_directory.h"
#include "imaging/formats/tiff/tiff_page.h"
#include "imaging/formats/tiff/tiff_reader.h"
#include "imaging/writers/tiff_writer.h"
#include "imaging/writers/tiff_writer_document.h"
#include "redlining/redline_document.h"
#include "redlining/redline_format.h"
#include "redlining/redline_payload.h"
#include "viewer/core/app_utils.h"
#include "viewer/documents/document_source.h"

namespace {

// Room for a page of a few dozen markups without growing.
constexpr uint32_t kPageTextCapacity = 4000;
// A tag shorter than this cannot hold a header and a stream.
constexpr uint32_t kMinTagValues = 9;

Ref<RedlinePage> NewPage(uint32_t index) {
    Ref<RedlinePage> page = MakeRef<RedlinePage>();
    page->page_index = index;
    return page;
}

bool AppendPage(RedlineDocument* document, RedlinePage* page) {
    ScopedLock hold(document->lock);
    return PtrArrayAdd(document->pages, page) >= 0;
}

void ClearPages(RedlineDocument* document) {
    ScopedLock hold(document->lock);
    PtrArrayClear(document->pages);
}

bool HasPages(RedlineDocument* document) { return RedlineDocPageCount(document) > 0; }

void NoteUnread(RedlineDocument* document, const WString& path) {
    ScopedLock hold(document->lock);
    document->unread_file = path;
}

// A save over the companion file that could not be read whole would lose
// what could not be read.
bool WouldReplaceUnread(RedlineDocument* document, const WString& path) {
    WString unread;
    {
        ScopedLock hold(document->lock);
        unread = document->unread_file;
    }
    return WStrLength(unread) > 0 && IsSameFile(unread, path);
}

// Members past the document's pages that hold something.
bool HasMembersPast(const TarArchive& archive, int32_t page_count) {
    for (uint32_t i = page_count > 0 ? static_cast<uint32_t>(page_count) : 0; i < archive.entries.count;
         ++i) {
        Ref<TarEntry> entry = PtrArrayGetAs<TarEntry>(archive.entries, i);
        Ref<ByteBuf> data = entry ? TarEntryGetData(entry.get()) : nullptr;
        if (data && ByteBufSize(data.get()) > 0) return true;
    }
    return false;
}

WString DecimalName(uint32_t index) {
    WString name;
    WStrAppendInt(name, static_cast<int32_t>(index));
    return name;
}

// The markup payload of the tag in the page's first directory, or null;
// `present` tells whether the page has the tag at all.
bool TagPayload(TiffFormat* format, uint32_t index, const uint8_t*& bytes, uint32_t& length,
                Ref<TiffDirEntry>& hold, bool& present) {
    TiffPage* page = TiffFormatPage(format, index);
    TiffDir* dir = page ? TiffPageImage(page, 0) : nullptr;
    hold = dir ? TiffDirFindEntry(dir, kTagRedlining) : nullptr;
    present = hold != nullptr;
    if (!hold || hold->field_type != kTiffByte || hold->count < kMinTagValues) return false;
    return TiffDirEntryGetData(hold.get(), &bytes, &length);
}

bool SetPageTags(TiffWriterPage* page, ByteBuf* payload) {
    if (page->ifds.count == 0) return false;
    // The directory that is written first is the one readers take for the
    // page; the writer puts the widest first.
    TiffWriterPageOrderByWidth(page);
    auto* first = static_cast<TiffIfd*>(page->ifds.items[0]);
    Ref<TiffEntry> tag = TiffEntryCreateBytes(kTagRedlining, ByteBufData(payload), ByteBufSize(payload));
    if (!tag || !TiffIfdSetEntry(first, tag.get())) return false;
    Ref<TiffEntry> software = TiffEntryCreateAscii(kTagSoftware, WString(kSoftwareName));
    if (software) TiffIfdSetEntry(first, software.get());  // a missing Software tag harms nobody
    return true;
}

void ClearDirty(RedlinePage* page) {
    Ref<RedlineLayer> layer = page ? page->GetLayer(0) : nullptr;
    if (!layer) return;
    layer->SetDirty(false);
    for (uint32_t i = 0; i < layer->objects.Count(); ++i) {
        Ref<RedlineObject> object = layer->objects.GetAt(i);
        if (object) object->SetDirty(false);
    }
}

bool IsDirty(RedlinePage* page) {
    Ref<RedlineLayer> layer = page ? page->GetLayer(0) : nullptr;
    if (!layer) return false;
    if (layer->IsDirty()) return true;
    for (uint32_t i = 0; i < layer->objects.Count(); ++i) {
        Ref<RedlineObject> object = layer->objects.GetAt(i);
        if (object && object->IsDirty()) return true;
    }
    return false;
}

void NoteReplaced(RedlineDocument* document, uint32_t replaced) {
    ScopedLock hold(document->lock);
    document->replaced_in_last_save = replaced;
}

}  // namespace

Ref<ByteBuf> RedlineMakePagePayload(RedlinePage* page, uint32_t* replaced) {
    AStrBuilder text(kPageTextCapacity);
    if (!WriteRedlineDocument(text, page, replaced) || text.length == 0) return nullptr;
    return RedlineMakePayload(text);
}

bool RedlineDocLoadFile(RedlineDocument* document, const WString& path, int32_t page_count) {
    if (!document || WStrLength(path) == 0 || HasPages(document)) return false;
    TarArchive archive;
    // The members before a damaged one are read all the same: a page's
    // markups are not lost for the fault of another.
    bool whole = TarArchiveRead(archive, path) && !HasMembersPast(archive, page_count);
    if (archive.entries.count == 0 && !whole) {
        if (GetFileAttributesW(WStrCStr(path)) != INVALID_FILE_ATTRIBUTES) NoteUnread(document, path);
        return false;
    }
    for (int32_t i = 0; i < page_count; ++i) {
        Ref<RedlinePage> page = NewPage(static_cast<uint32_t>(i));
        // Members are taken by position, whatever their names.
        Ref<TarEntry> entry = PtrArrayGetAs<TarEntry>(archive.entries, static_cast<uint32_t>(i));
        Ref<ByteBuf> data = entry ? TarEntryGetData(entry.get()) : nullptr;
        const bool held = data && ByteBufSize(data.get()) > 0;
        bool page_whole = true;
        const bool read =
            held && RedlineParse(page.get(), ByteBufData(data.get()), ByteBufSize(data.get()), &page_whole);
        if ((held && !read) || !page_whole) whole = false;
        if (!read && !page->CreateLayer()) {
            ClearPages(document);
            return false;
        }
        if (!read) ClearDirty(page.get());
        if (!AppendPage(document, page.get())) {
            ClearPages(document);
            return false;
        }
    }
    {
        ScopedLock hold(document->lock);
        document->from_companion_file = true;
        document->companion_file_name = path;
        if (!whole) document->unread_file = path;
    }
    RedlineDocSetClean(document);
    return true;
}

bool RedlineDocLoadTiff(RedlineDocument* document, ImageFormat* format) {
    auto* tiff = dynamic_cast<TiffFormat*>(format);
    if (!document || !tiff || HasPages(document)) return false;
    for (uint32_t i = 0; i < tiff->PageCount(); ++i) {
        Ref<RedlinePage> page = NewPage(i);
        const uint8_t* bytes = nullptr;
        uint32_t length = 0;
        Ref<TiffDirEntry> tag;
        bool present = false;
        const bool read =
            TagPayload(tiff, i, bytes, length, tag, present) && RedlineParse(page.get(), bytes, length);
        // Without a markup tag on the first page the file holds none; the
        // companion file is tried next. A first page whose tag cannot be read
        // is a damaged page, which must not take the others with it.
        if (!present && i == 0) return false;
        if (!read) {
            page->CreateLayer();
            ClearDirty(page.get());
        }
        if (!AppendPage(document, page.get())) {
            ClearPages(document);
            return false;
        }
    }
    {
        ScopedLock hold(document->lock);
        document->from_companion_file = false;
        WStrClear(document->companion_file_name);
    }
    RedlineDocSetClean(document);
    return true;
}

bool RedlineSaveFile(RedlineDocument* document, const WString& path) {
    if (!document || WStrLength(path) == 0 || WouldReplaceUnread(document, path)) return false;
    const uint32_t pages = RedlineDocPageCount(document);
    if (pages == 0) return false;
    TarArchive archive;
    uint32_t replaced = 0;
    for (uint32_t i = 0; i < pages; ++i) {
        Ref<RedlinePage> page = RedlineDocGetPage(document, i);
        Ref<ByteBuf> payload = page ? RedlineMakePagePayload(page.get(), &replaced) : nullptr;
        if (!payload) return false;
        Ref<TarEntry> entry = MakeRef<TarEntry>();
        TarEntryInit(entry.get(), DecimalName(i), payload.get());
        if (!TarArchiveAdd(archive, entry.get())) return false;
    }
    // The archive writer replaces the old file only once the new one is complete.
    if (!TarArchiveWrite(archive, path)) return false;
    NoteReplaced(document, replaced);
    RedlineDocSetClean(document);
    return true;
}

bool RedlineSaveToTiff(DocumentSource* source, RedlineDocument* document, const WString& path) {
    if (!source) return false;
    Ref<ImageFormat> format = SourceGetFormat(source);
    Ref<DataSource> data = SourceGetData(source);
    return RedlineSaveFormatToTiff(format.get(), data.get(), document, path);
}

bool RedlineSaveFormatToTiff(ImageFormat* format, DataSource* data, RedlineDocument* document,
                             const WString& path) {
    if (!format || !data || !document || WStrLength(path) == 0 || WouldReplaceUnread(document, path))
        return false;
    const uint32_t pages = RedlineDocPageCount(document);
    if (pages == 0 || format->FormatOrdinal() != kOrdinalTiff) return false;
    // The new file replaces the target by renaming; the source under another
    // spelling (short name, UNC path, other case) would be its own strips'
    // target, which the viewer never overwrites.
    WString source_path;
    DataSourceGetName(data, source_path);
    if (WStrLength(source_path) > 0 && IsSameFile(source_path, path)) return false;

    Ref<TiffDoc> doc = TiffDocCreateFrom(format, data);
    if (!doc || doc->pages.count != pages) return false;
    uint32_t replaced = 0;
    for (uint32_t i = 0; i < pages; ++i) {
        Ref<RedlinePage> page = RedlineDocGetPage(document, i);
        Ref<ByteBuf> payload = page ? RedlineMakePagePayload(page.get(), &replaced) : nullptr;
        if (!payload || !SetPageTags(static_cast<TiffWriterPage*>(doc->pages.items[i]), payload.get()))
            return false;
    }
    // All tags first, then one write beside the target.
    WString temp_path;
    FileHandle reserved = CreateTempBeside(path, temp_path);
    if (!reserved.valid()) return false;
    reserved.Close();
    if (!TiffDocSave(doc.get(), temp_path)) {
        DeleteFileW(WStrCStr(temp_path));
        return false;
    }
    if (!ReplaceWithFile(temp_path, path)) return false;
    NoteReplaced(document, replaced);
    RedlineDocSetClean(document);
    return true;
}

bool RedlineDocIsModified(RedlineDocument* document) {
    const uint32_t pages = document ? RedlineDocPageCount(document) : 0;
    for (uint32_t i = 0; i < pages; ++i) {
        Ref<RedlinePage> page = RedlineDocGetPage(document, i);
        if (IsDirty(page.get())) return true;
    }
    return false;
}

void RedlineDocSetClean(RedlineDocument* document) {
    const uint32_t pages = document ? RedlineDocPageCount(document) : 0;
    for (uint32_t i = 0; i < pages; ++i) {
        Ref<RedlinePage> page = RedlineDocGetPage(document, i);
        ClearDirty(page.get());
    }
}
