// A reader of one DataSource: reads at 64-bit offsets and copies the whole
// source to a file. Each reader holds its own handle on the source's file.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/byte_buf.h"
#include "foundation/data_source.h"
#include "foundation/file_handle.h"
#include "foundation/mem_block.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class DataReader : public RefCounted {
  public:
    // `file` stays empty for memory sources.
    DataReader(DataSource* source, FileHandle file);
    // Closes the file and tells the source (DataSourceReaderClosed).
    ~DataReader() override;

    Ref<DataSource> source;
    FileHandle file;
    // The bytes of the file from read_ahead_offset on, read by the last small
    // read that missed them: a page's strips, tiles and directory entries lie
    // close together and come in small reads, each a seek and a read of the
    // file otherwise. A reader serves one thread at a time.
    MemBlock read_ahead;
    uint64_t read_ahead_offset = 0;
    uint32_t read_ahead_count = 0;
};

// Reads up to n bytes at the offset; the count read, 0 at or past the end or
// for n = 0, -1 for a null buffer or a failed read.
int32_t DataSourceRead(DataReader* reader, uint64_t offset, uint32_t n, void* buffer);
// Copies the source's bytes to the path (an existing file is overwritten; a
// partly written one is deleted again).
bool DataSourceSaveAs(DataReader* reader, const WString& path);

// Resizes the buffer to n, reads up to n bytes at the offset and keeps what
// was read. A null reader or nothing read empties it and answers false;
// n = 0 answers true and leaves the buffer alone.
bool ByteBufLoad(ByteBuf* buffer, DataReader* reader, uint32_t offset, uint32_t n);
