#include "foundation/data_source.h"

#include <utility>

#include "foundation/data_reader.h"
#include "foundation/file_handle.h"
#include "foundation/handles.h"
#include "foundation/temp_files.h"

namespace {

struct FileFacts {
    uint64_t size;
    FILETIME creation_time;
    FILETIME write_time;
};

// Size and times through the two narrow calls: GetFileInformationByHandle
// also fetches the volume's serial number and the link count, and costs
// under Wine a hundred times as much, on every open and every reader.
bool ReadFileFacts(HANDLE file, FileFacts& facts) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || !GetFileTime(file, &facts.creation_time, nullptr, &facts.write_time))
        return false;
    facts.size = uint64_t(size.QuadPart);
    return true;
}

bool SameFileTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// File times are kept as the file system reports them (UTC) and shown in
// local time, with the daylight rule of the date itself.
bool ToLocalDateTime(const FILETIME& time, DateTime& out) {
    SYSTEMTIME utc, local;
    if (!FileTimeToSystemTime(&time, &utc)) return false;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return false;
    DateTimeSetFromSystemTime(out, local);
    return true;
}

// Sets the sticky changed flag when an in-place file's size or write time
// differ from those recorded when the source was made.
void CheckChanged(DataSource* source, HANDLE file) {
    FileFacts facts;
    if (!ReadFileFacts(file, facts)) return;
    ScopedLock hold(source->lock);
    if (facts.size != source->size || !SameFileTime(facts.write_time, source->write_time)) {
        source->file_changed = true;
    }
}

// Without the "\\?\" prefix, a path holding '*' or '?' names no file: the
// search would answer for whatever matches the pattern.
bool HasWildcard(const wchar_t* path) {
    if (wcsncmp(path, L"\\\\?\\", 4) == 0) path += 4;
    return wcspbrk(path, L"*?") != nullptr;
}

}  // namespace

DataSource::DataSource() { DataSourceInit(this); }

DataSource::~DataSource() { DataSourceDestroy(this); }

void DataSourceInit(DataSource* source) {
    source->kind = kDataSourceNew;
    source->size = 0;
    source->reader_count = 0;
    source->times_known = false;
    source->file_changed = false;
}

void DataSourceDestroy(DataSource* source) {
    ScopedLock hold(source->lock);
    if (source->kind == kDataSourceTempFile && WStrLength(source->name) > 0)
        DeleteFileW(WStrCStr(source->name));
    source->kind = kDataSourceNew;
    WStrClear(source->name);
    WStrClear(source->content_type);
    MemFree(source->memory);
}

Ref<DataSource> DataSourceOpenFile(const WString& path, bool temporary) {
    if (WStrLength(path) == 0) return nullptr;
    FileHandle file(CreateFileW(WStrCStr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) return nullptr;
    FileFacts facts;
    if (!ReadFileFacts(file.get(), facts)) return nullptr;
    Ref<DataSource> source = MakeRef<DataSource>();
    source->name = path;
    source->size = facts.size;
    source->write_time = facts.write_time;
    source->creation_time = facts.creation_time;
    source->times_known = true;
    source->kind = temporary ? kDataSourceTempFile : kDataSourceFile;
    return source;
}

WString& DataSourceGetName(DataSource* source, WString& out) {
    ScopedLock hold(source->lock);
    if (source->kind == kDataSourceFile || source->kind == kDataSourceTempFile)
        return WStrAssign(out, source->name);
    return WStrClear(out);
}

bool DataSourceGetTimes(DataSource* source, DateTime& creation, DateTime& write) {
    FILETIME creation_time, write_time;
    {
        ScopedLock hold(source->lock);
        if (!source->times_known) return false;
        creation_time = source->creation_time;
        write_time = source->write_time;
    }
    return ToLocalDateTime(creation_time, creation) && ToLocalDateTime(write_time, write);
}

Ref<DataReader> DataSourceOpenReader(DataSource* source, bool& changed) {
    changed = false;
    WString path;
    uint32_t kind;
    {
        // A memory reader is counted under the same lock that tells the kind,
        // so a concurrent DataSourceSaveTemp keeps the memory for it.
        ScopedLock hold(source->lock);
        kind = source->kind;
        if (kind != kDataSourceFile && kind != kDataSourceTempFile) {
            return MakeRef<DataReader>(source, FileHandle());
        }
        path = source->name;
    }
    FileHandle file(
        CreateFileW(WStrCStr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) return nullptr;
    if (kind == kDataSourceFile) {
        bool seen;
        {
            ScopedLock hold(source->lock);
            seen = source->file_changed;
        }
        if (!seen) CheckChanged(source, file.get());
        ScopedLock hold(source->lock);
        changed = source->file_changed;
    }
    return MakeRef<DataReader>(source, std::move(file));
}

void DataSourceReaderClosed(DataSource* source) {
    ScopedLock hold(source->lock);
    if (source->reader_count > 0) --source->reader_count;
    // A source that moved to a file keeps its old bytes for the readers that
    // still read them, and lets them go with the last one.
    if (source->reader_count == 0 && source->kind != kDataSourceMemory) MemFree(source->memory);
}

bool DataSourceSaveTemp(DataSource* source, TempFileNamer* namer) {
    WString extension;
    const uint8_t* bytes;
    uint32_t n;
    {
        ScopedLock hold(source->lock);
        if (source->kind != kDataSourceMemory) return source->kind == kDataSourceTempFile;
        extension = source->name;
        bytes = source->memory.data();
        n = source->memory.size();
        ++source->reader_count;  // keeps the bytes while they are written
    }
    WString path;
    const bool made = MakeTempFileWith(namer, extension, path);
    const bool written = made && WriteNewFile(WStrCStr(path), bytes, n,
                                              FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    bool taken = false, now_temporary;
    {
        ScopedLock hold(source->lock);
        --source->reader_count;
        if (written && source->kind == kDataSourceMemory) {
            source->name = path;
            source->kind = kDataSourceTempFile;
            if (source->reader_count == 0) MemFree(source->memory);
            taken = true;
        }
        now_temporary = source->kind == kDataSourceTempFile;
    }
    if (made && !taken) DeleteFileW(WStrCStr(path));
    return now_temporary;
}

bool FileExists(const WString& path, bool* is_directory) {
    if (is_directory) *is_directory = false;
    if (WStrLength(path) == 0 || HasWildcard(WStrCStr(path))) return false;
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(WStrCStr(path), &found));
    if (!search) return false;
    if (is_directory) *is_directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}
