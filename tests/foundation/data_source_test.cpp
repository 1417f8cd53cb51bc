#include "foundation/data_source.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/data_reader.h"
#include "foundation/temp_files.h"
#include "tests/support/test_support.h"

namespace {

WString Win(const std::string& unix_path) { return WindowsPathOf(unix_path).c_str(); }

// Per process: the oracle script runs suites of this file beside ctest.
std::string Scratch(const std::string& name) {
    return MakeScratchDir("data_source_" + name + "_" + std::to_string(GetCurrentProcessId()));
}

// n bytes from the host's random source.
std::vector<uint8_t> MakeRandomFile(const std::string& unix_path, uint32_t n) {
    EXPECT_EQ(RunHostCommand("head -c " + std::to_string(n) + " /dev/urandom > '" + unix_path + "'"), 0);
    return ReadHostFile(unix_path);
}

Ref<DataSource> MemorySource(const std::vector<uint8_t>& bytes) {
    Ref<DataSource> source = MakeRef<DataSource>();
    EXPECT_TRUE(MemSet(source->memory, bytes.data(), static_cast<uint32_t>(bytes.size()), 0));
    source->size = bytes.size();
    source->kind = kDataSourceMemory;
    source->name = L"tif";
    return source;
}

bool HostFileExists(const std::string& unix_path) {
    return RunHostCommand("test -e '" + unix_path + "'") == 0;
}

class FailingNamer : public TempFileNamer {
  public:
    bool CreateTempFile(const WString&, WString& path) override {
        WStrClear(path);
        return false;
    }
};

}  // namespace

TEST(DataReader, ReadsMemoryWithinBounds) {
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    Ref<DataSource> source = MemorySource(bytes);
    bool changed = true;
    Ref<DataReader> reader = DataSourceOpenReader(source.get(), changed);
    ASSERT_TRUE(reader);
    EXPECT_FALSE(changed);
    EXPECT_EQ(source->reader_count, 1u);
    uint8_t buffer[100];
    EXPECT_EQ(DataSourceRead(reader.get(), 1000, 100, buffer), 0);
    EXPECT_EQ(DataSourceRead(reader.get(), 5, 0, buffer), 0);
    EXPECT_EQ(DataSourceRead(reader.get(), 5, 10, nullptr), -1);
    EXPECT_EQ(DataSourceRead(nullptr, 5, 10, buffer), -1);
    ASSERT_EQ(DataSourceRead(reader.get(), 990, 100, buffer), 10);
    EXPECT_EQ(memcmp(buffer, bytes.data() + 990, 10), 0);
    ASSERT_EQ(DataSourceRead(reader.get(), 0x100000000ull + 3, 10, buffer), 0);
    WString name;
    EXPECT_EQ(WStrLength(DataSourceGetName(source.get(), name)), 0u);
    reader.Reset();
    EXPECT_EQ(source->reader_count, 0u);
    EXPECT_EQ(source->memory.size(), 1000u);  // a memory source keeps its bytes
}

// Small reads go through the reader's read-ahead window, large ones
// straight to the file: any mix of them, forwards, backwards, across the
// window's ends and up to the end of the file, gives the file's bytes.
TEST(DataReader, ReadsFileInPlace) {
    const std::string dir = Scratch("in_place");
    const std::string path = dir + "/doc.bin";
    const uint32_t size = 300001;
    const std::vector<uint8_t> bytes = MakeRandomFile(path, size);
    ASSERT_EQ(bytes.size(), size);
    Ref<DataSource> source = DataSourceOpenFile(Win(path), false);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->kind, uint32_t(kDataSourceFile));
    EXPECT_EQ(source->size, size);
    WString name;
    EXPECT_TRUE(WStrEqualsChars(DataSourceGetName(source.get(), name), WindowsPathOf(path).c_str()));
    bool changed = true;
    Ref<DataReader> reader = DataSourceOpenReader(source.get(), changed);
    ASSERT_TRUE(reader);
    EXPECT_FALSE(changed);
    std::vector<uint8_t> got(40000);
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    for (int i = 0; i < 3000; ++i) {
        // Mostly near the last read (strips and entries lie close together),
        // now and then anywhere; sizes mostly small, some past the window's quarter.
        const uint32_t offset =
            i % 5 == 0 ? next(size + 10) : std::min(size, uint32_t(i * 97) % size + next(70000));
        const uint32_t n = i % 7 == 0 ? 16000 + next(24000) : 1 + next(3000);
        const int32_t expect = offset >= size ? 0 : int32_t(std::min(n, size - offset));
        ASSERT_EQ(DataSourceRead(reader.get(), offset, n, got.data()), expect) << offset << "+" << n;
        ASSERT_EQ(memcmp(got.data(), bytes.data() + std::min(offset, size), size_t(expect)), 0)
            << offset << "+" << n;
    }
    reader.Reset();
    source.Reset();
    EXPECT_TRUE(HostFileExists(path));  // opened in place: never deleted

    EXPECT_FALSE(DataSourceOpenFile(Win(dir + "/missing.bin"), false));
    EXPECT_FALSE(DataSourceOpenFile(WString(), false));
    EXPECT_FALSE(DataSourceOpenFile(Win(dir), false));  // a directory
}

TEST(DataReader, FileChangedFromOutside) {
    const std::string path = Scratch("changed") + "/doc.bin";
    const std::vector<uint8_t> bytes = MakeRandomFile(path, 1000);
    Ref<DataSource> source = DataSourceOpenFile(Win(path), false);
    ASSERT_TRUE(source);
    bool changed = true;
    Ref<DataReader> reader = DataSourceOpenReader(source.get(), changed);
    EXPECT_FALSE(changed);
    reader.Reset();

    ASSERT_EQ(RunHostCommand("head -c 500 /dev/urandom >> '" + path + "'"), 0);
    reader = DataSourceOpenReader(source.get(), changed);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(changed);
    uint8_t buffer[800];
    // Reads stop at the size the source was made with.
    EXPECT_EQ(DataSourceRead(reader.get(), 900, 800, buffer), 100);
    EXPECT_EQ(DataSourceRead(reader.get(), 1000, 800, buffer), 0);
    reader.Reset();

    ASSERT_EQ(RunHostCommand("truncate -s 600 '" + path + "'"), 0);
    reader = DataSourceOpenReader(source.get(), changed);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(changed);
    // The file now ends at 600: the answer is the count actually read.
    ASSERT_EQ(DataSourceRead(reader.get(), 500, 400, buffer), 100);
    EXPECT_EQ(memcmp(buffer, bytes.data() + 500, 100), 0);
    EXPECT_EQ(DataSourceRead(reader.get(), 700, 100, buffer), -1);
    reader.Reset();

    // Back to the first size: the flag stays set.
    ASSERT_EQ(RunHostCommand("truncate -s 1000 '" + path + "'"), 0);
    reader = DataSourceOpenReader(source.get(), changed);
    EXPECT_TRUE(changed);
    reader.Reset();

    ASSERT_EQ(RunHostCommand("rm '" + path + "'"), 0);
    EXPECT_FALSE(DataSourceOpenReader(source.get(), changed));
    EXPECT_EQ(source->reader_count, 0u);
}

TEST(DataReader, TemporaryFileGoesWithSource) {
    const std::string path = Scratch("temporary") + "/doc.tmp";
    MakeRandomFile(path, 300);
    Ref<DataSource> source = DataSourceOpenFile(Win(path), true);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->kind, uint32_t(kDataSourceTempFile));
    bool changed;
    Ref<DataReader> reader = DataSourceOpenReader(source.get(), changed);
    ASSERT_TRUE(reader);
    source.Reset();
    EXPECT_TRUE(HostFileExists(path));  // the reader still holds the source
    reader.Reset();
    EXPECT_FALSE(HostFileExists(path));
}

TEST(DataReader, SaveAsCopiesEveryByte) {
    const std::string dir = Scratch("save_as");
    const std::string original = dir + "/original.bin";
    MakeRandomFile(original, 123457);
    Ref<DataSource> file_source = DataSourceOpenFile(Win(original), false);
    ASSERT_TRUE(file_source);
    bool changed;
    Ref<DataReader> reader = DataSourceOpenReader(file_source.get(), changed);
    ASSERT_TRUE(reader);
    const std::string copy = dir + "/copy.bin";
    ASSERT_EQ(RunHostCommand("echo old > '" + copy + "'"), 0);  // overwritten
    ASSERT_TRUE(DataSourceSaveAs(reader.get(), Win(copy)));
    EXPECT_TRUE(SameHostFiles(original, copy));
    EXPECT_FALSE(DataSourceSaveAs(reader.get(), WString()));

    const std::vector<uint8_t> bytes = ReadHostFile(original);
    Ref<DataSource> memory_source = MemorySource(bytes);
    reader = DataSourceOpenReader(memory_source.get(), changed);
    const std::string from_memory = dir + "/from_memory.bin";
    ASSERT_TRUE(DataSourceSaveAs(reader.get(), Win(from_memory)));
    EXPECT_TRUE(SameHostFiles(original, from_memory));
    EXPECT_FALSE(DataSourceSaveAs(reader.get(), Win(dir + "/no/such/dir/x.bin")));

    Ref<DataSource> empty = MemorySource({});
    reader = DataSourceOpenReader(empty.get(), changed);
    const std::string empty_copy = dir + "/empty.bin";
    ASSERT_TRUE(DataSourceSaveAs(reader.get(), Win(empty_copy)));
    EXPECT_EQ(RunHostCommand("test -f '" + empty_copy + "' && test ! -s '" + empty_copy + "'"), 0);
}

TEST(DataReader, SaveTempKeepsBytesForOpenReaders) {
    std::vector<uint8_t> bytes(5000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i ^ (i >> 8));
    Ref<DataSource> source = MemorySource(bytes);
    bool changed;
    Ref<DataReader> memory_reader = DataSourceOpenReader(source.get(), changed);
    ASSERT_TRUE(memory_reader);

    FailingNamer failing;
    EXPECT_FALSE(DataSourceSaveTemp(source.get(), &failing));
    EXPECT_EQ(source->kind, uint32_t(kDataSourceMemory));

    ASSERT_TRUE(DataSourceSaveTemp(source.get(), nullptr));
    EXPECT_EQ(source->kind, uint32_t(kDataSourceTempFile));
    WString name;
    DataSourceGetName(source.get(), name);
    EXPECT_EQ(WStrFindStr(name, L".tif", true), int32_t(WStrLength(name)) - 4);
    EXPECT_TRUE(DataSourceSaveTemp(source.get(), nullptr));  // already a file

    // A second reader reads the new file; the first one still reads memory,
    // which outlives the second reader and goes with the last one.
    Ref<DataReader> file_reader = DataSourceOpenReader(source.get(), changed);
    ASSERT_TRUE(file_reader);
    EXPECT_FALSE(changed);
    std::vector<uint8_t> got(5000);
    ASSERT_EQ(DataSourceRead(file_reader.get(), 0, 5000, got.data()), 5000);
    EXPECT_EQ(got, bytes);
    file_reader.Reset();
    EXPECT_EQ(source->memory.size(), 5000u);
    std::fill(got.begin(), got.end(), 0);
    ASSERT_EQ(DataSourceRead(memory_reader.get(), 0, 5000, got.data()), 5000);
    EXPECT_EQ(got, bytes);
    memory_reader.Reset();
    EXPECT_EQ(source->memory.size(), 0u);

    std::wstring windows_path = WStrCStr(name);
    EXPECT_NE(GetFileAttributesW(windows_path.c_str()), INVALID_FILE_ATTRIBUTES);
    source.Reset();
    EXPECT_EQ(GetFileAttributesW(windows_path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(DataReader, ByteBufLoad) {
    std::vector<uint8_t> bytes(300);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(255 - i);
    Ref<DataSource> source = MemorySource(bytes);
    bool changed;
    Ref<DataReader> reader = DataSourceOpenReader(source.get(), changed);
    Ref<ByteBuf> buffer = ByteBufCreate(0, 0, 0);
    ASSERT_TRUE(buffer);
    ASSERT_TRUE(ByteBufLoad(buffer.get(), reader.get(), 250, 100));
    ASSERT_EQ(ByteBufSize(buffer.get()), 50u);
    EXPECT_EQ(memcmp(ByteBufData(buffer.get()), bytes.data() + 250, 50), 0);
    EXPECT_TRUE(ByteBufLoad(buffer.get(), reader.get(), 0, 0));
    EXPECT_EQ(ByteBufSize(buffer.get()), 50u);
    EXPECT_FALSE(ByteBufLoad(buffer.get(), reader.get(), 300, 10));
    EXPECT_EQ(ByteBufSize(buffer.get()), 0u);
    ASSERT_TRUE(ByteBufLoad(buffer.get(), reader.get(), 0, 300));
    EXPECT_FALSE(ByteBufLoad(buffer.get(), nullptr, 0, 10));
    EXPECT_EQ(ByteBufSize(buffer.get()), 0u);
}

TEST(DataReader, FileExists) {
    const std::string dir = Scratch("exists");
    MakeRandomFile(dir + "/a.bin", 10);
    bool is_directory = true;
    EXPECT_TRUE(FileExists(Win(dir + "/a.bin"), &is_directory));
    EXPECT_FALSE(is_directory);
    EXPECT_TRUE(FileExists(Win(dir), &is_directory));
    EXPECT_TRUE(is_directory);
    EXPECT_TRUE(FileExists(Win(dir + "/a.bin"), nullptr));
    EXPECT_FALSE(FileExists(Win(dir + "/b.bin"), nullptr));
    EXPECT_FALSE(FileExists(Win(dir + "/*.bin"), nullptr));
    EXPECT_FALSE(FileExists(WString(), nullptr));
}

// Compared with the host's own rendering of the file's times in local time;
// the oracle script runs this suite again under other time zones.
TEST(DataSourceTimes, ShownInLocalTime) {
    const std::string path = Scratch("times") + "/doc.bin";
    ASSERT_EQ(
        RunHostCommand("echo x > '" + path + "' && touch -m -d '2021-07-15 12:34:56 UTC' '" + path + "'"), 0);
    Ref<DataSource> source = DataSourceOpenFile(Win(path), false);
    ASSERT_TRUE(source);
    DateTime creation, write;
    ASSERT_TRUE(DataSourceGetTimes(source.get(), creation, write));
    wchar_t stamp[kDateTimeStampChars];
    DateTimeStamp(write, stamp);
    std::string narrow;
    for (const wchar_t* c = stamp; *c; ++c) narrow += char(*c);
    EXPECT_EQ(RunHostCommand("test \"$(date -d @$(stat -c %Y '" + path + "') +%Y%m%d%H%M%S)\" = " + narrow),
              0)
        << narrow;

    Ref<DataSource> memory = MemorySource({1, 2, 3});
    EXPECT_FALSE(DataSourceGetTimes(memory.get(), creation, write));
}
