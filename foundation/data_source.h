// Every document comes in as a DataSource: bytes held in memory, a local
// file opened in place, or a temporary file that belongs to the source.
// Bytes are read through a DataReader (data_reader.h), each with its own file
// handle, so readers on different threads never share a file position.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/dates.h"
#include "foundation/locks.h"
#include "foundation/mem_block.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class DataReader;
class TempFileNamer;

enum DataSourceKind : uint32_t {
    kDataSourceNew = 0,
    kDataSourceMemory = 1,
    kDataSourceFile = 2,      // opened in place, never deleted by the system
    kDataSourceTempFile = 3,  // owned by the source and deleted with it
};

// Shared between the load worker, the GUI thread and the format readers: the
// name, kind, memory and reader count change only under the lock.
class DataSource : public RefCounted {
  public:
    DataSource();            // DataSourceInit
    ~DataSource() override;  // DataSourceDestroy

    WString name;  // the file path for kinds 2 and 3, the extension for kind 1
    uint64_t size = 0;
    MemBlock memory;  // the bytes of kind 1
    WString content_type;
    uint32_t kind = kDataSourceNew;
    CriticalSection lock;
    uint32_t reader_count = 0;
    FILETIME write_time = {};
    FILETIME creation_time = {};
    bool times_known = false;
    bool file_changed = false;  // sticky once set
};

void DataSourceInit(DataSource* source);
// Deletes the file of kind 3 and frees what the source holds.
void DataSourceDestroy(DataSource* source);

// A source for a local file: kind 3 with `temporary`, else 2. Null for an
// empty path or a file that does not open or whose information is unknown.
Ref<DataSource> DataSourceOpenFile(const WString& path, bool temporary);
// The path for kinds 2 and 3, else empty.
WString& DataSourceGetName(DataSource* source, WString& out);
// The file's creation and last-write times in local time; false when the
// times are not known.
bool DataSourceGetTimes(DataSource* source, DateTime& creation, DateTime& write);
// A new reader, or null when the file no longer opens. `changed` reports
// whether an in-place file's size or write time differ from those seen when
// the source was made (and stays set once seen).
Ref<DataReader> DataSourceOpenReader(DataSource* source, bool& changed);
// Run by a reader's destructor.
void DataSourceReaderClosed(DataSource* source);
// Writes a memory source to a new temporary file, which the source then
// owns (kind 3). True when the source is now of kind 3.
bool DataSourceSaveTemp(DataSource* source, TempFileNamer* namer);

// True when the path names a file or directory; `is_directory` may be null.
bool FileExists(const WString& path, bool* is_directory);
