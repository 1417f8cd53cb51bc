#include "foundation/tar_archive.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "foundation/file_handle.h"
#include "foundation/temp_files.h"

namespace {

constexpr uint32_t kTarTag = 0x20524154;  // "TAR "
constexpr uint32_t kNameOffset = 0, kNameSize = 100;
constexpr uint32_t kSizeOffset = 124, kSizeSize = 12;
constexpr uint32_t kTimeOffset = 136;
constexpr uint32_t kChecksumOffset = 148, kChecksumSize = 8;
constexpr uint32_t kMagicOffset = 257;
constexpr uint32_t kOwnerOffset = 265;
constexpr uint64_t kFourGigabytes = 0x100000000ull;
// Padding after member data and the closing block of an archive.
constexpr uint8_t kZeroBlock[kTarBlockSize] = {};

bool ReadExactly(HANDLE file, void* bytes, uint32_t n) {
    DWORD got = 0;
    return ReadFile(file, bytes, n, &got, nullptr) && got == n;
}

uint32_t PaddingAfter(uint64_t size) {
    return static_cast<uint32_t>((kTarBlockSize - size % kTarBlockSize) % kTarBlockSize);
}

bool IsOctalDigit(uint8_t c) { return c >= '0' && c <= '7'; }

// Numeric fields are octal text. Writers differ in how they fill them: this
// one pads on the left with spaces ("   666 "), GNU tar with zeros, some
// with NULs, so leading spaces and NULs are skipped before the digits.
// Returns the index of the first byte after the digits.
uint32_t ReadOctal(const uint8_t* field, uint32_t width, uint64_t& value) {
    uint32_t i = 0;
    while (i < width && (field[i] == ' ' || field[i] == 0)) ++i;
    value = 0;
    while (i < width && IsOctalDigit(field[i])) value = value * 8 + (field[i++] - '0');
    return i;
}

// The size must be a plain octal number: after the digits only a space or a
// NUL may follow (GNU tar's base-256 form for huge members is not accepted).
bool ReadSizeField(const uint8_t* field, uint64_t& size) {
    uint32_t end = ReadOctal(field, kSizeSize, size);
    return end == kSizeSize || field[end] == ' ' || field[end] == 0;
}

uint32_t UnixTimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr uint64_t kTicksTo1970 = 116444736000000000ull;
    return ticks < kTicksTo1970 ? 0 : static_cast<uint32_t>((ticks - kTicksTo1970) / 10000000ull);
}

bool AddMember(TarArchive& archive, const WString& name, ByteBuf* data) {
    Ref<TarEntry> entry = MakeRef<TarEntry>();
    TarEntryInit(entry.get(), name, data);
    return TarArchiveAdd(archive, entry.get());
}

// Reads one member's data and steps over its padding.
Ref<ByteBuf> ReadMemberData(HANDLE file, uint32_t size) {
    Ref<ByteBuf> data = ByteBufCreate(size, 0, kTarTag);
    if (!data) return nullptr;
    if (size > 0 && !ReadExactly(file, ByteBufData(data.get()), size)) return nullptr;
    LARGE_INTEGER skip;
    skip.QuadPart = PaddingAfter(size);
    if (!SetFilePointerEx(file, skip, nullptr, FILE_CURRENT)) return nullptr;
    return data;
}

bool WriteMember(HANDLE file, const TarEntry* entry, uint32_t time) {
    if (!entry->data) return false;
    const uint32_t size = ByteBufSize(entry->data.get());
    uint8_t header[kTarBlockSize];
    TarWriteHeader(header, entry->name, size, time);
    return WriteAllBytes(file, header, kTarBlockSize) &&
           WriteAllBytes(file, ByteBufData(entry->data.get()), size) &&
           WriteAllBytes(file, kZeroBlock, PaddingAfter(size));
}

bool WriteAll(HANDLE file, const TarArchive& archive) {
    const uint32_t time = UnixTimeNow();
    for (uint32_t i = 0; i < archive.entries.count; ++i) {
        if (!WriteMember(file, static_cast<const TarEntry*>(archive.entries.items[i]), time)) return false;
    }
    return WriteAllBytes(file, kZeroBlock, kTarBlockSize);
}

}  // namespace

void TarEntryInit(TarEntry* entry, const WString& name, ByteBuf* data) {
    entry->name = name;
    entry->data = Ref<ByteBuf>(data);
}

Ref<ByteBuf> TarEntryGetData(const TarEntry* entry) { return entry->data; }

TarArchive::TarArchive() { TarArchiveInit(*this); }

TarArchive::~TarArchive() { TarArchiveFree(*this); }

void TarArchiveInit(TarArchive& archive) { PtrArrayInit(archive.entries, 4, true); }

void TarArchiveFree(TarArchive& archive) { PtrArrayFree(archive.entries); }

bool TarArchiveAdd(TarArchive& archive, TarEntry* entry) {
    return entry && PtrArrayAdd(archive.entries, entry) >= 0;
}

uint32_t TarChecksum(const uint8_t* header) {
    uint32_t sum = 0;
    for (uint32_t i = 0; i < kTarBlockSize; ++i) {
        const bool in_checksum = i >= kChecksumOffset && i < kChecksumOffset + kChecksumSize;
        sum += in_checksum ? ' ' : header[i];
    }
    return sum;
}

void TarWriteHeader(uint8_t* header, const WString& name, uint32_t size, uint32_t time) {
    memset(header, 0, kTarBlockSize);
    AString ansi;
    AStrFromWide(ansi, name);
    const uint32_t name_bytes = AStrLength(ansi) < kTarMaxNameBytes ? AStrLength(ansi) : kTarMaxNameBytes;
    memcpy(header + kNameOffset, AStrCStr(ansi), name_bytes);
    memcpy(header + 100, "   666 ", 8);
    memcpy(header + 108, "000000 ", 8);
    memcpy(header + 116, "000000 ", 8);
    char* text = reinterpret_cast<char*>(header);
    snprintf(text + kSizeOffset, 12, "%11o", size);
    snprintf(text + kTimeOffset, 12, "%11lo", static_cast<unsigned long>(time));
    memcpy(header + kMagicOffset, "ustar", 6);
    memcpy(header + kMagicOffset + 6, "00", 2);
    memcpy(header + kOwnerOffset, "root", 5);
    snprintf(text + kChecksumOffset, kChecksumSize, "%6o ", TarChecksum(header));
}

bool TarParseHeader(const uint8_t* header, WString& name, uint64_t& size) {
    WStrClear(name);
    size = 0;
    uint64_t stored_checksum = 0;
    ReadOctal(header + kChecksumOffset, kChecksumSize, stored_checksum);
    if (stored_checksum != TarChecksum(header)) return false;
    if (!ReadSizeField(header + kSizeOffset, size)) return false;
    AString ansi;
    AStrAssignN(ansi, reinterpret_cast<const char*>(header + kNameOffset), kNameSize);
    WStrFromAnsi(name, ansi);
    return true;
}

bool TarIsZeroBlock(const uint8_t* block) {
    for (uint32_t i = 0; i < kTarBlockSize; ++i) {
        if (block[i] != 0) return false;
    }
    return true;
}

bool TarArchiveRead(TarArchive& archive, const WString& path) {
    FileHandle file(CreateFileW(WStrCStr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) return false;
    LARGE_INTEGER file_size;
    if (!GetFileSizeEx(file.get(), &file_size)) return false;
    const uint64_t total = static_cast<uint64_t>(file_size.QuadPart);
    if (total >= kFourGigabytes || total < kTarBlockSize) return false;
    uint64_t position = 0;
    uint8_t header[kTarBlockSize];
    for (;;) {
        if (!ReadExactly(file.get(), header, kTarBlockSize)) return false;
        position += kTarBlockSize;
        if (TarIsZeroBlock(header)) return true;
        WString name;
        uint64_t size = 0;
        if (!TarParseHeader(header, name, size)) return false;
        // Checked against the file before anything is allocated for it.
        if (size > kTarMaxMemberSize || size > total - position) return false;
        Ref<ByteBuf> data = ReadMemberData(file.get(), static_cast<uint32_t>(size));
        if (!data || !AddMember(archive, name, data.get())) return false;
        position += size + PaddingAfter(size);
    }
}

bool TarArchiveWrite(const TarArchive& archive, const WString& path) {
    if (WStrLength(path) == 0) return false;
    WString temp_path;
    FileHandle file = CreateTempBeside(path, temp_path);
    if (!file.valid()) return false;
    const bool written = WriteAll(file.get(), archive);
    const bool closed = file.Close();
    if (written && closed) return ReplaceWithFile(temp_path, path);
    DeleteFileW(WStrCStr(temp_path));
    return false;
}
