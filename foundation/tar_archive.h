// A small reader and writer of POSIX ustar archives: an ordered list of
// members, each a name and its bytes in memory, read from a file in one pass
// and written to a file in one pass. The redlining store keeps one member per
// page in such a container.
#pragma once

#include <cstdint>

#include "foundation/byte_buf.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

constexpr uint32_t kTarBlockSize = 512;
// Larger members are refused when reading.
constexpr uint32_t kTarMaxMemberSize = 50000000;
// Stored names are cut to this many ANSI bytes (the field keeps a NUL).
constexpr uint32_t kTarMaxNameBytes = 99;

class TarEntry : public RefCounted {
  public:
    WString name;
    Ref<ByteBuf> data;  // null until TarEntryInit gives it bytes
};

// Takes a copy of the name and a reference to the data.
void TarEntryInit(TarEntry* entry, const WString& name, ByteBuf* data);
// The data with one reference added, or null.
Ref<ByteBuf> TarEntryGetData(const TarEntry* entry);

// Plain record: the members in file order, one reference held on each.
struct TarArchive {
    TarArchive();
    ~TarArchive();
    TarArchive(const TarArchive&) = delete;
    TarArchive& operator=(const TarArchive&) = delete;

    PtrArray entries;
};

// Starts the archive over empty (owning, grow step 4).
void TarArchiveInit(TarArchive& archive);
// Releases every member.
void TarArchiveFree(TarArchive& archive);
// Appends a member (one reference added); false for null or when the list
// cannot grow.
bool TarArchiveAdd(TarArchive& archive, TarEntry* entry);
// Appends the members of the file. False for a file that does not open, is
// 4 GB or larger, is shorter than one block, ends before its closing zero
// block, holds a header with a wrong checksum or a member larger than
// kTarMaxMemberSize or than the rest of the file; the members read before the
// failure stay in the archive.
bool TarArchiveRead(TarArchive& archive, const WString& path);
// Writes every member to the file. The bytes go to a new file beside the
// target first, which replaces the target only once it is complete, so a
// failed save leaves the previous file as it was. False when a member has no
// data or anything cannot be written.
bool TarArchiveWrite(const TarArchive& archive, const WString& path);

// The ustar checksum: the sum of the 512 header bytes with the 8 checksum
// bytes counted as spaces.
uint32_t TarChecksum(const uint8_t* header);
// Fills a 512-byte header for a regular member (time in seconds since 1970).
void TarWriteHeader(uint8_t* header, const WString& name, uint32_t size, uint32_t time);
// Checks the checksum and reads name and size. False when the checksum is
// wrong or the size field holds no octal number.
bool TarParseHeader(const uint8_t* header, WString& name, uint64_t& size);
bool TarIsZeroBlock(const uint8_t* block);
