// Data sources over test bytes and over files of the host, as the readers
// get them from a document source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "foundation/mem_block.h"
#include "tests/support/test_support.h"

// Memory sources end against a guard page in the guard-page build. Null
// when the bytes cannot be copied.
inline Ref<DataSource> MemorySource(const std::vector<uint8_t>& bytes) {
    Ref<DataSource> source = MakeRef<DataSource>();
    if (!bytes.empty() && !MemSet(source->memory, bytes.data(), uint32_t(bytes.size()), 0)) return nullptr;
    source->size = bytes.size();
    source->kind = kDataSourceMemory;
    return source;
}

inline Ref<DataSource> FileSource(const std::string& unix_path) {
    return DataSourceOpenFile(WString(WindowsPathOf(unix_path).c_str()), false);
}
