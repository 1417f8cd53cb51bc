#include "viewer/documents/document_source.h"

#include <wininet.h>

#include <cstring>
#include <utility>
#include <vector>

#include "foundation/byte_buf.h"
#include "foundation/data_reader.h"
#include "foundation/data_source.h"
#include "foundation/download.h"
#include "foundation/module_thread.h"
#include "foundation/registry.h"
#include "foundation/variant.h"
#include "imaging/formats/image_format.h"
#include "viewer/app/app_root.h"
#include "viewer/core/app_temp_files.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/path_utils.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/document_handler.h"

// What the worker uses, owned by the worker through a counted reference.
// The source points here while the worker runs; the worker reaches the
// source only through `source`, which the source's destructor clears under
// the lock, and then only after adding a reference of its own.
class SourceLoadJob : public RefCounted {
  public:
    explicit SourceLoadJob(uint32_t limit_ms) : sink(limit_ms) {}

    CriticalSection lock;
    DocumentSource* source = nullptr;  // weak; under the lock
    TimedProgressSink sink;
    UniqueHandle cancel_event;  // set with the sink's cancel flag
    Ref<ViewerContext> context;
    Ref<AppRoot> root;
    WString path;
    WString extension;  // of the file name, for the temporary copy
    WString user, password, cookie;
    bool local = true;
    bool in_place_tried = false;
    bool send_cookies_auth = true;
};

namespace {

constexpr uint32_t kWorkaroundNoPdfRename = 1;
constexpr uint32_t kWorkaroundMimeExtension = 2;
constexpr uint32_t kTempCopyAttributes = FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr wchar_t kListMimeType[] = L"application/plovex-list";

bool StartsWithNoCase(const WString& text, const wchar_t* prefix) {
    const uint32_t n = static_cast<uint32_t>(wcslen(prefix));
    return WStrLength(text) >= n && _wcsnicmp(WStrCStr(text), prefix, n) == 0;
}

// Sharing and lock violations pass once the other program lets go of the
// file, and a drive that is not ready may get its medium; every other
// failure of a copy stays, so retrying it would only block the callers that
// wait for the load.
bool IsTransientCopyError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_NOT_READY;
}

// Opens the viewer's own temporary file so that no one may delete it while
// the source lives (the temporary-file cleanup of another session skips
// it). Readers open it for reading and share reading, as this handle does.
FileHandle HoldTempFile(const WString& path) {
    return FileHandle(
        CreateFileW(WStrCStr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

FileHandle HoldIfTemporary(DataSource* data) {
    if (!data) return FileHandle();
    WString name;
    {
        ScopedLock guard(data->lock);
        if (data->kind != kDataSourceTempFile) return FileHandle();
        name = data->name;
    }
    return HoldTempFile(name);
}

Ref<DataSource> CopyToTemp(SourceLoadJob* job) {
    SourceTempNamer namer(job->root.get());
    WString temp;
    if (!namer.CreateTempFile(job->extension, temp)) return nullptr;
    bool copied = false;
    for (uint32_t attempt = 0;; ++attempt) {
        if (attempt > 0 || job->in_place_tried) {
            if (WaitForSingleObject(job->cancel_event.get(), kCopyRetryMs) == WAIT_OBJECT_0) break;
        }
        if (CopyFileW(WStrCStr(job->path), WStrCStr(temp), FALSE)) {
            copied = true;
            break;
        }
        if (!IsTransientCopyError(GetLastError()) || job->sink.IsCancelled()) break;
    }
    Ref<DataSource> data;
    if (copied) {
        SetFileAttributesW(WStrCStr(temp), kTempCopyAttributes);
        data = DataSourceOpenFile(temp, true);
    }
    if (!data) DeleteFileW(WStrCStr(temp));
    return data;
}

Ref<DataSource> Download(SourceLoadJob* job) {
    SourceTempNamer namer(job->root.get());
    return DataSourceDownload(job->path, &namer, job->extension, kDownloadMemoryLimit, &job->sink, job->user,
                              job->password, job->cookie, job->send_cookies_auth, job->send_cookies_auth);
}

// The end of a worker: hands its data to the source and announces it,
// unless the source was closed meanwhile (the data, and a temporary copy
// with them, then go with the worker's reference).
void FinishLoad(SourceLoadJob* job, Ref<DataSource> data) {
    FileHandle hold = HoldIfTemporary(data.get());
    Ref<DocumentSource> source;
    {
        ScopedLock guard(job->lock);
        if (!job->sink.cancel && job->source && RefTryAddRef(job->source)) source = AdoptRef(job->source);
        job->source = nullptr;
    }
    if (!source) {
        hold.Close();
        return;
    }
    {
        ScopedLock guard(source->lock);
        source->data = data;
        source->temp_hold = std::move(hold);
        // The credentials are not kept once the bytes are here.
        source->params.Reset();
        source->job.Reset();
        source->worker_thread.Reset();
        source->state = data ? kSourceLoaded : kSourceFailed;
        source->announced = 1;
    }
    SourceAnnounce(source.get(), job->context.get());
    // This may be the last reference: the source then ends on this thread,
    // which is why its destructor never waits for a worker.
}

DWORD WINAPI LoadWorker(void* parameter) {
    Ref<SourceLoadJob> job = AdoptRef(static_cast<SourceLoadJob*>(parameter));
    Ref<DataSource> data = job->local ? CopyToTemp(job.get()) : Download(job.get());
    FinishLoad(job.get(), std::move(data));
    return 0;
}

void Fail(DocumentSource* source, ViewerContext* context) {
    source->state = kSourceFailed;
    SourceAnnounce(source, context);
}

void StartWorker(DocumentSource* source, ViewerContext* context, bool in_place_tried) {
    Ref<AppRoot> root = ViewerGetApp(context);
    Ref<SourceLoadJob> job = MakeRef<SourceLoadJob>(OpenParamsGetMaxLoadingTime(source->params.get()));
    job->cancel_event.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!root || !job->cancel_event) return Fail(source, context);
    job->context = Ref<ViewerContext>(context);
    job->root = root;
    job->path = source->path;
    WStrGetExtension(source->file_name, job->extension);
    job->local = source->local;
    job->in_place_tried = in_place_tried;
    if (const OpenParams* params = source->params.get()) {
        job->user = OpenParamsGetUserId(params);
        job->password = OpenParamsGetPassword(params);
        job->cookie = OpenParamsGetCookie(params);
    }
    job->sink.root = root.get();
    Ref<Settings> settings = AppGetSettings(root.get());
    job->send_cookies_auth = settings ? SettingsGetSendCookiesAuth(settings.get()) : true;
    job->source = source;

    source->state = kSourceLoading;
    // The thread's reference to the job is handed over at creation.
    RefAddRef(job.get());
    HANDLE thread = CreateModuleThread(LoadWorker, job.get(), CREATE_SUSPENDED, nullptr);
    if (!thread) {
        RefRelease(job.get());
        return Fail(source, context);
    }
    {
        ScopedLock guard(source->lock);
        source->job = job;
        source->worker_thread.Reset(thread);
    }
    ResumeThread(thread);
}

void SourceBegin(DocumentSource* source, ViewerContext* context) {
    if (source->needs_worker) return StartWorker(source, context, false);
    Ref<DataSource> data = DataSourceOpenFile(source->path, false);
    if (data) {
        {
            ScopedLock guard(source->lock);
            source->data = data;
        }
        source->state = kSourceLoaded;
        return SourceAnnounce(source, context);
    }
    if (OpenParamsGetMaxLoadingTime(source->params.get()) != 0) return StartWorker(source, context, true);
    Fail(source, context);
}

// An ftp, http or https URL, with its path.
bool CrackDownloadUrl(const WString& path, WString& url_path) {
    uint32_t scheme = 0;
    WString host, extra, user, password;
    uint16_t port = 0;
    return UrlCrack(path, scheme, host, url_path, extra, user, password, port) &&
           (scheme == INTERNET_SCHEME_FTP || scheme == INTERNET_SCHEME_HTTP ||
            scheme == INTERNET_SCHEME_HTTPS);
}

// Sets the needs-worker and local flags, the file name and the title that
// the URL carries.
void Classify(DocumentSource* source, ViewerContext* context, WString& title) {
    source->needs_worker = false;
    source->local = true;
    const WString& path = source->path;
    WString url_path;
    if (CrackDownloadUrl(path, url_path)) {
        source->local = false;
        source->needs_worker = true;
        UrlGetQueryParam(path, L"plxfn", source->file_name);
        if (WStrLength(source->file_name) == 0) {
            const int32_t slash = WStrFindCharReverse(url_path, L'/');
            WString last;
            WStrMid(url_path, uint32_t(slash + 1), -1, last);
            WStrUrlDecode(last, source->file_name);
        }
        UrlGetQueryParam(path, L"plxdn", title);
        return;
    }
    WStrGetFileName(path, source->file_name);
    const WString name = OpenParamsGetName(source->params.get());
    if (WStrLength(name) > 0) {
        WString own_extension, new_extension;
        WStrGetExtension(source->file_name, own_extension);
        WStrGetExtension(name, new_extension);
        if (!WStrEqualsNoCaseStr(own_extension, new_extension)) source->needs_worker = true;
        source->file_name = name;
    }
    Ref<Settings> settings = ViewerGetSettings(context);
    if (!source->needs_worker && settings) {
        source->needs_worker = SourceDriveNeedsCopy(path, SettingsGetDriveTypesCaching(settings.get()));
    }
}

bool ContainsBytes(const uint8_t* bytes, uint32_t n, const char* needle, bool case_sensitive) {
    const uint32_t length = static_cast<uint32_t>(strlen(needle));
    for (uint32_t start = 0; start + length <= n; ++start) {
        uint32_t i = 0;
        for (; i < length; ++i) {
            char c = static_cast<char>(bytes[start + i]);
            char want = needle[i];
            if (!case_sensitive) {
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
                if (want >= 'A' && want <= 'Z') want = static_cast<char>(want - 'A' + 'a');
            }
            if (c != want) break;
        }
        if (i == length) return true;
    }
    return false;
}

// "name.ext" -> "name.pdf"; an empty name becomes "PLX.pdf".
void RenameWithExtension(WString& file_name, const WString& extension) {
    WString stem;
    if (WStrLength(file_name) == 0) {
        stem = L"PLX";
    } else {
        WStrStripExtension(file_name, stem);
    }
    WStrAppendChar(stem, L'.');
    WStrAppend(stem, extension);
    file_name = stem;
}

// A document the viewer cannot show keeps a name whose extension lets the
// shell open it: the one the registry gives the MIME type of a download.
void ApplyMimeExtension(DocumentSource* source, DataSource* data) {
    WString content_type;
    {
        ScopedLock guard(data->lock);
        content_type = data->content_type;
    }
    if (WStrLength(content_type) == 0) return;
    WString key_path = L"MIME\\Database\\Content Type\\";
    WStrAppend(key_path, content_type);
    RegKey key = RegOpen(HKEY_CLASSES_ROOT, WStrCStr(key_path), true);
    WString extension;
    if (!key || !RegGetString(key.get(), L"Extension", extension)) return;
    if (WStrCharAt(extension, 0) == L'.') WStrMid(extension, 1, -1, extension);
    if (WStrLength(extension) == 0) return;
    if (WStrLength(source->file_name) == 0) {
        source->file_name = L"PLX.";
        WStrAppend(source->file_name, extension);
        return;
    }
    WString own;
    if (!WStrEqualsNoCaseStr(WStrGetExtension(source->file_name, own), extension)) {
        RenameWithExtension(source->file_name, extension);
    }
}

}  // namespace

TimedProgressSink::TimedProgressSink(uint32_t limit) : start_ticks(GetTickCount()), limit_ms(limit) {}

bool TimedProgressSink::IsCancelled() {
    if (cancel) return true;
    // A stopping application announces nothing, and a worker that waited on
    // would keep the context, and with it the document tree, alive.
    if (root) {
        const uint32_t app_state = root->state;
        if (app_state == kAppStopping || app_state == kAppStopped) return true;
    }
    return limit_ms != 0 && GetTickCount() - start_ticks > limit_ms;
}

SourceTempNamer::SourceTempNamer(AppRoot* root) : root_(root) {}

bool SourceTempNamer::CreateTempFile(const WString& extension, WString& path) {
    return root_ && AppMakeTempFile(root_.get(), extension, path);
}

DocumentSource::DocumentSource() = default;

DocumentSource::~DocumentSource() {
    Ref<SourceLoadJob> running = std::move(job);
    if (running) {
        ScopedLock guard(running->lock);
        running->source = nullptr;
        running->sink.cancel = true;
        SetEvent(running->cancel_event.get());
    }
    // Closed before the data go: their last release deletes the copy.
    temp_hold.Close();
    handler.Reset();
    format.Reset();
    data.Reset();
    params.Reset();
}

WString& SourceNormalizeName(const WString& text, WString& out) {
    if (!StartsWithNoCase(text, L"file://")) return WStrCopy(out, text);
    WString rest;
    WStrMid(text, 7, -1, rest);
    if (WStrCharAt(rest, 0) == L'/' && WStrCharAt(rest, 1) != L'/') WStrMid(rest, 1, -1, rest);
    WStrReplaceChar(rest, L'/', L'\\');
    if (WStrCharAt(rest, 0) != L'\\' && WStrCharAt(rest, 1) != L':') {
        WString unc = L"\\\\";
        WStrAppend(unc, rest);
        rest = unc;
    }
    return WStrAssign(out, rest);
}

bool SourceDriveNeedsCopy(const WString& path, uint32_t caching) {
    if (caching == 0) return false;
    if (caching == drive_caching::kAll) return true;
    UINT drive_type;
    if (WStrCharAt(path, 0) == L'\\' && WStrCharAt(path, 1) == L'\\') {
        drive_type = DRIVE_REMOTE;
    } else if (WStrLength(path) >= 3 && WStrCharAt(path, 1) == L':' && WStrCharAt(path, 2) == L'\\') {
        WString root;
        drive_type = GetDriveTypeW(WStrCStr(WStrLeft(path, 3, root)));
    } else {
        return false;
    }
    switch (drive_type) {
        case DRIVE_REMOTE:
            return caching & drive_caching::kRemote;
        case DRIVE_FIXED:
        case DRIVE_RAMDISK:
            return caching & drive_caching::kFixed;
        case DRIVE_REMOVABLE:
            return caching & drive_caching::kRemovable;
        case DRIVE_CDROM:
            return caching & drive_caching::kCdRom;
        default:
            return false;
    }
}

Ref<DocumentSource> SourceCreate(ViewerContext* context, const WString& path, OpenParams* params) {
    if (!context) return nullptr;
    WString normalized;
    SourceNormalizeName(path, normalized);
    if (WStrLength(normalized) == 0) return nullptr;
    // Every open of a document and of a list's entry makes its source here,
    // so this one test holds an untrusted caller to the web's documents:
    // anything else gets no source, so nothing of this machine or a share is
    // read and no server that the name points at is asked.
    WString url_path;
    if (OpenParamsGetWebOnly(params) && !CrackDownloadUrl(normalized, url_path)) return nullptr;
    Ref<DocumentSource> source = MakeRef<DocumentSource>();
    Ref<AppRoot> root = ViewerGetApp(context);
    source->id = AppNextSourceId(root.get());
    source->params = Ref<OpenParams>(params);
    source->path = normalized;
    if (WStrFindAnyOf(normalized, L"/\\:") < 0) {
        std::vector<wchar_t> full(kFullPathCapacity);
        const DWORD length = GetFullPathNameW(WStrCStr(normalized), kFullPathCapacity, full.data(), nullptr);
        if (length > 0 && length < kFullPathCapacity) source->path = full.data();
    }
    WString title;
    Classify(source.get(), context, title);
    if (WStrLength(title) > 0 && params && WStrLength(OpenParamsGetTitle(params)) == 0) {
        OpenParamsSetTitle(params, title);
    }
    return source;
}

void SourceStartLoad(DocumentSource* source, ViewerContext* context) {
    if (!source) return;
    if (source->state == kSourceNew) return SourceBegin(source, context);
    SourceAnnounce(source, context);
}

void SourceAnnounce(DocumentSource* source, ViewerContext* context) {
    if (!source || ViewerGetAppState(context) != kAppRunning) return;
    if (source->state == kSourceLoaded) SourceBuildHandler(source, context);
    ViewerPostActionArg(context, event::kSourceLoaded, VariantOfObject(source));
}

Ref<DataSource> SourceGetData(DocumentSource* source) {
    if (!source) return nullptr;
    ScopedLock guard(source->lock);
    return source->data;
}

Ref<DataReader> SourceOpenReader(DocumentSource* source, bool& changed) {
    changed = false;
    Ref<DataSource> data = SourceGetData(source);
    return data ? DataSourceOpenReader(data.get(), changed) : nullptr;
}

uint64_t SourceGetSize(DocumentSource* source) {
    Ref<DataSource> data = SourceGetData(source);
    if (!data) return ~uint64_t(0);
    ScopedLock guard(data->lock);
    return data->size;
}

Ref<ImageFormat> SourceGetFormat(DocumentSource* source) {
    if (!source) return nullptr;
    ScopedLock guard(source->lock);
    return source->format;
}

Ref<OpenParams> SourceGetParams(DocumentSource* source) {
    if (!source) return nullptr;
    ScopedLock guard(source->lock);
    return source->params;
}

Ref<DocumentHandler> SourceGetHandler(DocumentSource* source) {
    if (!source) return nullptr;
    ScopedLock guard(source->lock);
    return source->handler;
}

WString& SourceGetLocalFileName(DocumentSource* source, WString& out) {
    Ref<DataSource> data = SourceGetData(source);
    if (!data) return WStrClear(out);
    return DataSourceGetName(data.get(), out);
}

bool SourceGetFileTimes(DocumentSource* source, DateTime& creation, DateTime& write) {
    Ref<DataSource> data = SourceGetData(source);
    return data && DataSourceGetTimes(data.get(), creation, write);
}

bool SourceGetFileTimesWriteFirst(DocumentSource* source, DateTime& write, DateTime& creation) {
    return SourceGetFileTimes(source, creation, write);
}

WString& SourceGetPath(DocumentSource* source, WString& out) {
    if (!source) return WStrClear(out);
    ScopedLock guard(source->lock);
    return WStrAssign(out, source->path);
}

WString& SourceGetFileName(DocumentSource* source, WString& out) {
    if (!source) return WStrClear(out);
    ScopedLock guard(source->lock);
    return WStrAssign(out, source->file_name);
}

ImageStatus SourceGetFormatStatus(DocumentSource* source) {
    if (!source) return ImageStatus();
    ScopedLock guard(source->lock);
    return source->format_status;
}

uint32_t SourceGetState(const DocumentSource* source) {
    return source ? source->state.load() : kSourceFailed;
}

uint32_t SourceGetContentKind(const DocumentSource* source) {
    return source ? source->content_kind.load() : kContentNotShowable;
}

uint32_t SourceGetId(const DocumentSource* source) { return source ? source->id : 0; }

bool DocumentApplySource(DocumentSource* source, ViewerContext* context, DocItem* item) {
    Ref<DocumentHandler> handler = SourceGetHandler(source);
    if (!handler) return true;
    return handler->LoadAndApply(context, item);
}

bool SourceSaveDataToTemp(DocumentSource* source, ViewerContext* context) {
    Ref<DataSource> data = SourceGetData(source);
    if (!data) return false;
    Ref<AppRoot> root = ViewerGetApp(context);
    SourceTempNamer namer(root.get());
    if (DataSourceSaveTemp(data.get(), &namer)) {
        ScopedLock guard(source->lock);
        if (!source->temp_hold.valid()) source->temp_hold = HoldIfTemporary(data.get());
    }
    WString name;
    return WStrLength(DataSourceGetName(data.get(), name)) > 0;
}

uint32_t SniffContentKind(const uint8_t* bytes, uint32_t n, uint64_t size, const WString& content_type,
                          const WString& file_name) {
    if (!bytes || n == 0) return kContentNotShowable;
    if (ImageSniffFormat(bytes, n) != -1) return kContentImage;
    if (size >= kListFileMaxBytes) return kContentNotShowable;
    if (WStrEqualsNoCase(content_type, kListMimeType)) return kContentList;
    const uint32_t text_bytes = n < kSniffTextBytes ? n : kSniffTextBytes;
    if (ContainsBytes(bytes, text_bytes, "<html", false)) return kContentNotShowable;
    if (ContainsBytes(bytes, text_bytes, "$PLOVEX-LST", true)) return kContentList;
    WString extension;
    if (WStrEqualsNoCase(WStrGetExtension(file_name, extension), L"lst")) return kContentList;
    return kContentNotShowable;
}

uint32_t SourceSniff(DocumentSource* source, ViewerContext* context) {
    Ref<DataSource> data = SourceGetData(source);
    if (!data) return kContentNotShowable;
    bool changed = false;
    Ref<DataReader> reader = DataSourceOpenReader(data.get(), changed);
    Ref<ByteBuf> head = MakeRef<ByteBuf>();
    // As many bytes as the image sniffer needs to tell every format apart (a
    // CALS header has text at offset 128); a shorter file is sniffed with
    // what it has.
    if (!reader || !ByteBufLoad(head.get(), reader.get(), 0, kSniffBytes)) return kContentNotShowable;
    const uint8_t* bytes = ByteBufData(head.get());
    const uint32_t n = ByteBufSize(head.get());
    if (ImageSniffFormat(bytes, n) != -1) return kContentImage;
    Ref<Settings> settings = ViewerGetSettings(context);
    if (settings && !(SettingsGetWorkaround(settings.get()) & kWorkaroundNoPdfRename) && n > 4 &&
        memcmp(bytes, "%PDF", 4) == 0) {
        {
            ScopedLock guard(data->lock);
            data->content_type = L"application/pdf";
        }
        ScopedLock guard(source->lock);
        RenameWithExtension(source->file_name, L"pdf");
        return kContentNotShowable;
    }
    WString content_type, file_name;
    uint64_t size;
    {
        ScopedLock guard(data->lock);
        content_type = data->content_type;
        size = data->size;
    }
    SourceGetFileName(source, file_name);
    return SniffContentKind(bytes, n, size, content_type, file_name);
}

void SourceBuildHandler(DocumentSource* source, ViewerContext* context) {
    if (!source) return;
    ScopedLock guard(source->lock);
    // A source announced again keeps the handler (and the items it made).
    if (source->handler) return;
    Ref<Settings> settings = ViewerGetSettings(context);
    // The image reader is tried first: it reads the file's head and
    // recognises the format itself, so an image is opened and read once
    // rather than sniffed and then parsed. Anything it does not take is
    // sniffed as before, which also keeps an image the reader refuses an
    // image (without a format).
    const bool preview_info = settings ? SettingsGetUsePreviewInfo(settings.get()) : true;
    source->format_status = ImageStatus();
    Ref<ImageFormat> format =
        source->data ? ImageParseFile(&source->format_status, source->data.get(), preview_info ? 0 : 1)
                     : nullptr;
    if (format) source->format_status = ImageStatus();
    const uint32_t kind = format ? kContentImage : SourceSniff(source, context);
    source->content_kind = kind;
    if (kind == kContentImage) {
        source->handler = ImageFileHandlerConstruct(context, source);
        source->format = std::move(format);
        return;
    }
    if (kind == kContentList) {
        source->handler = ListFileHandlerConstruct(context, source);
        return;
    }
    if (settings && (SettingsGetWorkaround(settings.get()) & kWorkaroundMimeExtension) && source->data) {
        ApplyMimeExtension(source, source->data.get());
    }
    source->handler = GenericHandlerConstruct(context, source, kind);
}

bool SourceIsDownload(const WString& text) {
    WString path, url_path;
    return CrackDownloadUrl(SourceNormalizeName(text, path), url_path);
}
