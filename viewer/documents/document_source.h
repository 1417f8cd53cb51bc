// The bytes of one document named by a path or URL. A source decides whether
// the document opens in place or is first copied or downloaded by a worker
// thread, recognises what the bytes are by their beginning, builds the
// document handler that turns them into tree items (document_handler.h) and
// announces the end of loading with notification 8. Every list-entry item of
// the document tree holds one.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "foundation/dates.h"
#include "foundation/file_handle.h"
#include "foundation/handles.h"
#include "foundation/locks.h"
#include "foundation/progress.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "foundation/temp_files.h"
#include "imaging/formats/image_status.h"

class AppRoot;
class DataReader;
class DataSource;
class DocumentHandler;
class DocItem;
class ImageFormat;
class OpenParams;
class ViewerContext;

enum SourceState : uint32_t {
    kSourceNew = 0,
    kSourceLoading = 1,  // on the worker
    kSourceLoaded = 2,
    kSourceFailed = 3,
};

enum SourceContentKind : uint32_t {
    kContentNotShowable = 0,
    kContentImage = 1,
    kContentList = 2,
};

// Bits of the setting NETWORK_DRIVETYPES_CACHING: which drive types are
// copied to a temporary file before they are read.
namespace drive_caching {
inline constexpr uint32_t kRemote = 1;
inline constexpr uint32_t kFixed = 2;  // and RAM disks
inline constexpr uint32_t kRemovable = 4;
inline constexpr uint32_t kCdRom = 8;
inline constexpr uint32_t kAll = 15;
}  // namespace drive_caching

// A list is recognised, and parsed, only below this size: the sniffer and
// the parser share the one bound.
inline constexpr uint64_t kListFileMaxBytes = 1000000;
// Leading bytes the sniffer reads; the list and HTML tests look at the
// first kSniffTextBytes of them.
inline constexpr uint32_t kSniffTextBytes = 128;
// A failed copy is tried again after this pause while a loading limit runs.
inline constexpr uint32_t kCopyRetryMs = 500;
// Memory limit of a download before it spills to a temporary file.
inline constexpr uint32_t kDownloadMemoryLimit = 100000;
inline constexpr uint32_t kFullPathCapacity = 60000;

// Progress of a load worker: cancelled once its source is gone, when the
// application stops, or when the time limit (0: none) has passed since
// construction.
class TimedProgressSink : public ProgressSink {
  public:
    explicit TimedProgressSink(uint32_t limit_ms);
    bool IsCancelled() override;

    std::atomic<bool> cancel{false};
    AppRoot* root = nullptr;  // borrowed from the worker, which holds it
    DWORD start_ticks = 0;
    uint32_t limit_ms = 0;
};

// Asked by the file and download layer for a temporary file: made through
// the application root, so the cleanup of later sessions recognises it.
class SourceTempNamer : public TempFileNamer {
  public:
    explicit SourceTempNamer(AppRoot* root);
    bool CreateTempFile(const WString& extension, WString& path) override;

  private:
    Ref<AppRoot> root_;
};

// What a load worker shares with its source. The worker owns a counted
// reference to it until it ends; the source only ever points back weakly,
// so closing a document never waits for a worker and a late worker never
// touches a freed source.
class SourceLoadJob;

class DocumentSource : public RefCounted {
  public:
    DocumentSource();
    // Cancels a running worker (without waiting for it) and releases the
    // data, which deletes a temporary copy.
    ~DocumentSource() override;

    // Guards the data, the format, the handler's construction, the open
    // parameters, the job and the held temporary file.
    CriticalSection lock;
    Ref<DocumentHandler> handler;  // null until the content is known
    WString path;                  // normalised path or URL
    WString file_name;             // the name the document is known under locally
    Ref<DataSource> data;          // null until loaded
    Ref<ImageFormat> format;       // content kind 1 only
    ImageStatus format_status;     // why the image reader gave no format
    Ref<OpenParams> params;        // released by the worker once read
    Ref<SourceLoadJob> job;        // while a worker runs
    UniqueHandle worker_thread;
    // The viewer's own temporary copy, held open without delete sharing so
    // that the temporary-file cleanup of another session cannot remove it.
    FileHandle temp_hold;
    uint32_t id = 0;
    std::atomic<uint32_t> content_kind{kContentNotShowable};
    std::atomic<uint32_t> state{kSourceNew};
    std::atomic<uint32_t> announced{0};
    bool needs_worker = false;
    bool local = true;
};

// A new source for the path or URL (file URLs become paths, bare names full
// paths), not loaded yet; null without a context, for an empty path, and
// for anything but an ftp, http or https URL when the parameters are held
// to the web's documents.
Ref<DocumentSource> SourceCreate(ViewerContext* context, const WString& path, OpenParams* params);
// Starts loading in state 0 (in place on this thread, or on a worker);
// in any other state announces the current result again.
void SourceStartLoad(DocumentSource* source, ViewerContext* context);
// Builds the handler of a loaded source (once) and posts notification 8
// with the source, while the application root runs.
void SourceAnnounce(DocumentSource* source, ViewerContext* context);

// Getters take the lock and add a reference where they return an object.
Ref<DataSource> SourceGetData(DocumentSource* source);
// A reader on the data; `changed` tells that an in-place file changed since
// it was opened. Null without data.
Ref<DataReader> SourceOpenReader(DocumentSource* source, bool& changed);
// All ones without data.
uint64_t SourceGetSize(DocumentSource* source);
Ref<ImageFormat> SourceGetFormat(DocumentSource* source);
Ref<OpenParams> SourceGetParams(DocumentSource* source);
Ref<DocumentHandler> SourceGetHandler(DocumentSource* source);
// The file that holds the data, empty without one.
WString& SourceGetLocalFileName(DocumentSource* source, WString& out);
// Creation and last-write time of the data's file; false when unknown.
bool SourceGetFileTimes(DocumentSource* source, DateTime& creation, DateTime& write);
bool SourceGetFileTimesWriteFirst(DocumentSource* source, DateTime& write, DateTime& creation);
WString& SourceGetPath(DocumentSource* source, WString& out);
WString& SourceGetFileName(DocumentSource* source, WString& out);
uint32_t SourceGetState(const DocumentSource* source);
uint32_t SourceGetContentKind(const DocumentSource* source);
// The image reader's status for a file it refused; none once it gave a format.
ImageStatus SourceGetFormatStatus(DocumentSource* source);
uint32_t SourceGetId(const DocumentSource* source);

// Lets the source's handler build the item's children (GUI thread); true
// without a handler.
bool DocumentApplySource(DocumentSource* source, ViewerContext* context, DocItem* item);
// Makes sure the data live in a file (a shell program needs one); true when
// they now have a file name.
bool SourceSaveDataToTemp(DocumentSource* source, ViewerContext* context);

// The content kind of the loaded bytes (0 without data); may rename a PDF.
uint32_t SourceSniff(DocumentSource* source, ViewerContext* context);
// Sniffs and makes the handler (and the image format) under the lock; a
// source that already has a handler keeps it.
void SourceBuildHandler(DocumentSource* source, ViewerContext* context);

// Whether a source made for `text` downloads it (an ftp, http or https URL)
// rather than reading a file of this machine or a share.
bool SourceIsDownload(const WString& text);

// Pieces of the above that tests reach directly.
// File URLs as paths: "file:///c:/a" -> "c:\a", "file://host/s" -> "\\host\s".
WString& SourceNormalizeName(const WString& text, WString& out);
// Whether the settings' drive-type word asks for a copy of this path.
bool SourceDriveNeedsCopy(const WString& path, uint32_t drive_types_caching);
// Content kind of the first bytes (n of them) given the data's total size,
// MIME type and the file name; ignores the PDF rule.
uint32_t SniffContentKind(const uint8_t* bytes, uint32_t n, uint64_t size, const WString& content_type,
                          const WString& file_name);
