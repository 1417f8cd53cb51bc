#include "foundation/temp_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "foundation/file_handle.h"

namespace {

std::wstring TempDirectory() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, buffer);
    std::wstring dir(buffer, n);
    for (auto& c : dir) c = c == L'/' ? L'\\' : c;
    if (dir.back() != L'\\') dir += L'\\';
    return dir;
}

// The name's file part: "tf", six lower-case letters, then the suffix.
void ExpectTempName(const WString& path, const std::wstring& suffix) {
    std::wstring text = WStrCStr(path);
    const std::wstring dir = TempDirectory();
    ASSERT_EQ(text.compare(0, dir.size(), dir), 0) << text;
    std::wstring file = text.substr(dir.size());
    ASSERT_EQ(file.size(), 8 + suffix.size()) << file;
    EXPECT_EQ(file.substr(0, 2), L"tf");
    for (size_t i = 2; i < 8; ++i) EXPECT_TRUE(file[i] >= L'a' && file[i] <= L'z') << file;
    EXPECT_EQ(file.substr(8), suffix);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(text.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 0u);
}

std::vector<uint8_t> ReadAll(const WString& path) {
    std::vector<uint8_t> bytes;
    FileHandle file(CreateFileW(WStrCStr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) return bytes;
    uint8_t chunk[4096];
    DWORD got;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

class CountingNamer : public TempFileNamer {
  public:
    bool CreateTempFile(const WString& extension, WString& path) override {
        ++calls;
        last_extension = WStrCStr(extension);
        return MakeTempFile(L"spill", path);
    }
    int calls = 0;
    std::wstring last_extension;
};

}  // namespace

TEST(TempFiles, NamesCarryTheExtension) {
    struct Case {
        const wchar_t* extension;
        const wchar_t* suffix;
    };
    const Case cases[] = {
        {L"tif", L".tif"},
        {nullptr, L".tmp"},
        {L"", L".tmp"},
        {L".jpg", L".jpg"},
        // Whatever a file name cannot hold ends the extension: no folder
        // other than the temporary one is ever reached.
        {L"a\\..\\..\\x", L".a"},
        {L"tif?x=1", L".tif"},
    };
    // Many names in one millisecond stay apart too.
    std::set<std::wstring> made;
    for (int i = 0; i < 200; ++i) {
        const Case& c = cases[i % std::size(cases)];
        WString path;
        ASSERT_TRUE(MakeTempFile(c.extension, path)) << i;
        ExpectTempName(path, c.suffix);
        EXPECT_TRUE(made.insert(WStrCStr(path)).second);
    }
    for (const auto& path : made) EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(SpillWrite, MovesToFileAtTheLimit) {
    CountingNamer namer;
    WString path;
    FileHandle file;
    MemBlock memory;
    uint64_t total = 0;
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 13);

    EXPECT_TRUE(SpillWrite(bytes.data(), 0, &namer, L"tif", 1000, path, file, memory, total));
    EXPECT_FALSE(SpillWrite(nullptr, 5, &namer, L"tif", 1000, path, file, memory, total));
    ASSERT_TRUE(SpillWrite(bytes.data(), 600, &namer, L"tif", 1000, path, file, memory, total));
    ASSERT_TRUE(SpillWrite(bytes.data() + 600, 399, &namer, L"tif", 1000, path, file, memory, total));
    EXPECT_EQ(total, 999u);
    EXPECT_EQ(memory.size(), 999u);
    EXPECT_FALSE(file.valid());
    EXPECT_EQ(namer.calls, 0);

    // Reaching the limit moves what memory held into a new file.
    ASSERT_TRUE(SpillWrite(bytes.data() + 999, 1, &namer, L"tif", 1000, path, file, memory, total));
    EXPECT_EQ(namer.calls, 1);
    EXPECT_EQ(namer.last_extension, L"tif");
    EXPECT_TRUE(file.valid());
    EXPECT_EQ(memory.size(), 0u);
    ASSERT_TRUE(SpillWrite(bytes.data(), 500, &namer, L"tif", 1000, path, file, memory, total));
    EXPECT_EQ(total, 1500u);
    EXPECT_EQ(namer.calls, 1);
    ASSERT_TRUE(file.Close());

    std::vector<uint8_t> expected = bytes;
    expected.insert(expected.end(), bytes.begin(), bytes.begin() + 500);
    EXPECT_EQ(ReadAll(path), expected);
    EXPECT_TRUE(DeleteFileW(WStrCStr(path)));
}

TEST(SpillWrite, LimitZeroAndDefaultNamer) {
    WString path;
    FileHandle file;
    MemBlock memory;
    uint64_t total = 0;
    const uint8_t bytes[3] = {1, 2, 3};
    ASSERT_TRUE(SpillWrite(bytes, 3, nullptr, L"gif", 0, path, file, memory, total));
    ASSERT_TRUE(file.valid());
    EXPECT_EQ(WStrFindStr(path, L".gif", true), int32_t(WStrLength(path)) - 4);
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadAll(path), std::vector<uint8_t>(bytes, bytes + 3));
    EXPECT_TRUE(DeleteFileW(WStrCStr(path)));
}
