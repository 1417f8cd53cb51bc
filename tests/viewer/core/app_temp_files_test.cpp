#include "viewer/core/app_temp_files.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/file_handle.h"
#include "tests/support/test_support.h"
#include "viewer/core/app_root.h"

namespace {

// Wine reports a file's creation time from the Unix file's modification
// time and ignores a creation time set through SetFileTime, so both are
// set: the entry then looks old on Windows and under Wine alike.
bool Backdate(const std::wstring& path, uint64_t hours) {
    FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILETIME old;
    GetSystemTimeAsFileTime(&old);
    ULARGE_INTEGER value{{old.dwLowDateTime, old.dwHighDateTime}};
    value.QuadPart -= hours * 3600ull * 10000000ull;
    old = {value.LowPart, value.HighPart};
    return file.valid() && SetFileTime(file.get(), &old, &old, &old);
}

bool MakeFile(const std::wstring& path) {
    return FileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)).valid();
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

// The cleanup deletes what looks like another session's temporary file:
// names made here must stay in the directory and in that shape, and a
// root without a directory makes no file at all.
TEST(AppTempFiles, NamesStayInTheDirectory) {
    const SYSTEMTIME time = {0, 0, 0, 0, 13, 59, 7, 999};  // 999 ms = 27 x 37
    const wchar_t* const cases[][2] = {
        {L"tif", L"PXfnwha_.tif"}, {L"", L"PXfnwha_.tmp"}, {L"a\\..\\b:c", L"PXfnwha_.a_.._b_c"}};
    for (const auto& [extension, expected] : cases) {
        WString name;
        EXPECT_STREQ(WStrCStr(AppTempFileName(5, time, 36, extension, name)), expected);
    }
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    root->temp_directory = WString();
    WString none = L"old";
    EXPECT_FALSE(AppMakeTempFile(root.get(), L"tif", none));
    EXPECT_EQ(WStrLength(none), 0u);
}

TEST(AppTempCleanup, DeletesOnlyOldFilesOfOtherSessions) {
    const std::wstring directory = WindowsPathOf(MakeScratchDir("app_temp_cleanup")) + L"\\";
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    root->temp_directory = directory.c_str();
    root->session_letter = 0;  // this session's files: "PXa..."
    struct Entry {
        const wchar_t* name;
        uint64_t age_hours;
        bool deleted;
    };
    // Old files of other sessions go; anything that might be a user's stays.
    const Entry entries[] = {
        {L"PXb12345.tmp", 72, true},    {L"PX_00000.tif", 49, true},  {L"PXb22222.tmp", 47, false},
        {L"PXa33333.tmp", 72, false},   {L"PXb44.tmp", 72, false},    {L"PXb4444.t", 72, false},
        {L"PXb555555.tmp", 72, false},  {L"pxb66666.tmp", 72, false}, {L"Notes.PXb77.txt", 72, false},
    };
    for (const Entry& entry : entries) {
        const std::wstring path = directory + entry.name;
        ASSERT_TRUE(MakeFile(path)) << entry.name;
        ASSERT_TRUE(Backdate(path, entry.age_hours)) << entry.name;
    }
    const std::wstring folder = directory + L"PXb88888.dir";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(Backdate(folder, 72));
    // A copy that another session still holds open, without delete sharing.
    const std::wstring live = directory + L"PXc99999.tif";
    ASSERT_TRUE(MakeFile(live));
    ASSERT_TRUE(Backdate(live, 72));
    FileHandle held(CreateFileW(live.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());

    // No thread without a directory (it would search the current one) or once stopped.
    const WString saved = root->temp_directory;
    root->temp_directory = WString();
    StartTempCleanup(root.get());
    EXPECT_EQ(root->cleanup_thread.load(), nullptr);
    root->temp_directory = saved;
    root->state = kAppStopped;
    StartTempCleanup(root.get());
    EXPECT_EQ(root->cleanup_thread.load(), nullptr);

    root->state = kAppRunning;
    StartTempCleanup(root.get());
    for (int i = 0; i < 500 && root->cleanup_thread.load(); ++i) Sleep(10);  // bounded poll
    ASSERT_EQ(root->cleanup_thread.load(), nullptr);
    for (const Entry& entry : entries)
        EXPECT_EQ(Exists(directory + entry.name), !entry.deleted) << entry.name;
    EXPECT_TRUE(Exists(folder));
    EXPECT_TRUE(Exists(live));
}
