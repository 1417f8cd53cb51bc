#include "foundation/temp_files.h"

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
