// Owns a Win32 file handle (INVALID_HANDLE_VALUE when empty) and closes it
// on every path out of the scope that opened it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept : handle_(other.Release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.Release();
        }
        return *this;
    }

    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    // Gives the handle to the caller, who closes it.
    HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    bool Close() {
        if (!valid()) return true;
        return CloseHandle(Release()) != FALSE;
    }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// One WriteFile of n bytes; true only when all of them were written.
inline bool WriteAllBytes(HANDLE file, const void* bytes, uint32_t n) {
    if (n == 0) return true;
    DWORD written = 0;
    return WriteFile(file, bytes, n, &written, nullptr) && written == n;
}

// Writes n bytes to the path (an existing file is replaced); a failed or
// short write deletes the file again.
inline bool WriteNewFile(const wchar_t* path, const void* bytes, uint32_t n, DWORD attributes) {
    FileHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    if (!file.valid()) return false;
    const bool complete = WriteAllBytes(file.get(), bytes, n);
    if (file.Close() && complete) return true;
    DeleteFileW(path);
    return false;
}
