#include "foundation/temp_files.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

constexpr DWORD kTempPathCapacity = 246;
constexpr int kTempFileTries = 20;
constexpr DWORD kTempAttributes = FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

wchar_t Letter(uint32_t value) { return static_cast<wchar_t>(L'a' + value % 26); }

// The temporary directory with '\\' separators and a trailing '\\'.
bool TempDirectory(WString& out) {
    wchar_t buffer[kTempPathCapacity + 1];
    const DWORD length = GetTempPathW(kTempPathCapacity, buffer);
    if (length == 0 || length >= kTempPathCapacity) return false;
    WStrAssignN(out, buffer, length);
    WStrReplaceChar(out, L'/', L'\\');
    WStrEnsureTrailingChar(out, L'\\');
    return WStrLength(out) > 0;
}

bool IsFileNameChar(wchar_t c) { return c >= 32 && !wcschr(L"\\/:*?\"<>|", c); }

// ".tmp" for none; else the extension with a leading '.', cut at the first
// character a file name cannot hold, so no extension reaches another folder.
void TempSuffix(const wchar_t* extension, WString& out) {
    if (!extension || !extension[0]) {
        WStrAssignChars(out, L".tmp");
        return;
    }
    uint32_t n = 0;
    while (extension[n] && IsFileNameChar(extension[n])) ++n;
    WStrClear(out);
    if (extension[0] != L'.') WStrAppendChar(out, L'.');
    WStrAppendBuf(out, extension, n);
}

// "tf" + hour, minute, second, millisecond + a process-wide counter.
void TempLetters(wchar_t letters[7]) {
    static volatile LONG counter = 0;
    const uint32_t count = static_cast<uint32_t>(InterlockedIncrement(&counter) - 1) % (26 * 26);
    SYSTEMTIME now;
    GetLocalTime(&now);
    letters[0] = Letter(now.wHour);
    letters[1] = Letter(now.wMinute);
    letters[2] = Letter(now.wSecond);
    letters[3] = Letter(now.wMilliseconds);
    letters[4] = Letter(count / 26);
    letters[5] = Letter(count);
    letters[6] = 0;
}

bool CreateEmpty(const WString& path) {
    FileHandle file(
        CreateFileW(WStrCStr(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, kTempAttributes, nullptr));
    return file.valid() && file.Close();
}

// Moves the bytes held in memory to a new temporary file, which stays open
// for the rest of the transfer.
bool MoveToFile(TempFileNamer* namer, const WString& extension, WString& path, FileHandle& file,
                MemBlock& memory) {
    if (!MakeTempFileWith(namer, extension, path)) return false;
    FileHandle opened(
        CreateFileW(WStrCStr(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, kTempAttributes, nullptr));
    if (!opened.valid()) return false;
    if (!WriteAllBytes(opened.get(), memory.data(), memory.size())) return false;
    MemFree(memory);
    file = std::move(opened);
    return true;
}

}  // namespace

bool MakeTempFile(const wchar_t* extension, WString& path) {
    WStrClear(path);
    WString directory, suffix, name;
    if (!TempDirectory(directory)) return false;
    TempSuffix(extension, suffix);
    for (int attempt = 0; attempt < kTempFileTries; ++attempt) {
        wchar_t letters[7];
        TempLetters(letters);
        name = directory;
        WStrAppendChars(name, L"tf");
        WStrAppendChars(name, letters);
        WStrAppend(name, suffix);
        if (CreateEmpty(name)) {
            path = name;
            return true;
        }
    }
    return false;
}

bool MakeTempFileWith(TempFileNamer* namer, const WString& extension, WString& path) {
    if (namer) return namer->CreateTempFile(extension, path) && WStrLength(path) > 0;
    return MakeTempFile(WStrCStr(extension), path);
}

bool SpillWrite(const void* bytes, uint32_t n, TempFileNamer* namer, const WString& extension, uint64_t limit,
                WString& path, FileHandle& file, MemBlock& memory, uint64_t& total) {
    if (n == 0) return true;
    if (!bytes) return false;
    if (!file.valid()) {
        const uint64_t after = total + n;
        const bool fits = after <= 0xFFFFFFFFu && after < limit && after <= kSpillMaxMemory;
        if (fits) {
            if (!MemWrite(memory, static_cast<uint32_t>(total), bytes, n, true)) return false;
            total = after;
            return true;
        }
        if (!MoveToFile(namer, extension, path, file, memory)) return false;
    }
    if (!WriteAllBytes(file.get(), bytes, n)) return false;
    total += n;
    return true;
}

FileHandle CreateTempBeside(const WString& path, WString& temp_path) {
    // Few writers ever meet in one folder; a handful of tries is plenty.
    constexpr uint32_t kTempBesideTries = 20;
    static volatile LONG counter = 0;
    for (uint32_t attempt = 0; attempt < kTempBesideTries; ++attempt) {
        wchar_t suffix[40];
        swprintf(suffix, 40, L".%lx-%lx.tmp", static_cast<unsigned long>(GetCurrentProcessId()),
                 static_cast<unsigned long>(InterlockedIncrement(&counter)));
        WStrConcatChars(path, suffix, temp_path);
        FileHandle file(CreateFileW(WStrCStr(temp_path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid()) return file;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return FileHandle();
}

bool ReplaceWithFile(const WString& written, const WString& target) {
    // Renaming over a read-only file is refused by Windows but not by every
    // file system underneath; the attribute is checked so that a protected
    // file stays as it is everywhere.
    const DWORD attributes = GetFileAttributesW(WStrCStr(target));
    const bool protected_target = attributes != INVALID_FILE_ATTRIBUTES &&
                                  (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0;
    if (!protected_target && MoveFileExW(WStrCStr(written), WStrCStr(target),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteFileW(WStrCStr(written));
    return false;
}

bool IsSameFile(const WString& a, const WString& b) {
    auto identity = [](const WString& path, BY_HANDLE_FILE_INFORMATION& info) {
        FileHandle file(CreateFileW(WStrCStr(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file.valid() && GetFileInformationByHandle(file.get(), &info);
    };
    BY_HANDLE_FILE_INFORMATION first = {}, second = {};
    if (!identity(a, first) || !identity(b, second)) return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}
