// Temporary files: the default naming, the namer interface through which the
// viewer substitutes its own, and the spilling of a growing transfer from
// memory to a temporary file.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/file_handle.h"
#include "foundation/mem_block.h"
#include "foundation/strings.h"

class TempFileNamer {
  public:
    virtual ~TempFileNamer() = default;
    // Creates a new, empty temporary file for the extension and gives its path.
    virtual bool CreateTempFile(const WString& extension, WString& path) = 0;
};

// A new empty file "tf" + six letters + extension (".tmp" when null or
// empty) in the temporary directory; false after 20 failed tries.
bool MakeTempFile(const wchar_t* extension, WString& path);
// The namer's file, or MakeTempFile's without a namer.
bool MakeTempFileWith(TempFileNamer* namer, const WString& extension, WString& path);

constexpr uint64_t kSpillMaxMemory = 100000000;

// Appends n bytes of a transfer: to memory while the total stays below the
// limit, then (once) everything moves to a temporary file made through the
// namer, and later bytes go to the file. `path` is set as soon as the file
// exists, so the caller can delete it after a failure. `file` holds the open
// file from then on.
bool SpillWrite(const void* bytes, uint32_t n, TempFileNamer* namer, const WString& extension, uint64_t limit,
                WString& path, FileHandle& file, MemBlock& memory, uint64_t& total);

// A new empty file beside the target (its name, the process id and a
// counter), open for writing, for a file that replaces the target only once
// it is complete; `temp_path` names it. Empty when none could be made.
FileHandle CreateTempBeside(const WString& path, WString& temp_path);
// Puts the written file in the target's place; on failure the written file
// is deleted and the target stays as it was.
bool ReplaceWithFile(const WString& written, const WString& target);
// True when both paths name one existing file (the same volume and file
// index), whatever their spelling: short names, another case, UNC paths.
bool IsSameFile(const WString& a, const WString& b);
