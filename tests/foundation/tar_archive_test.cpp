#include "foundation/tar_archive.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(uint32_t size, uint8_t seed) {
    Bytes bytes(size);
    for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return bytes;
}

Ref<TarEntry> Entry(const wchar_t* name, const Bytes& bytes) {
    Ref<ByteBuf> data = ByteBufCreate(static_cast<uint32_t>(bytes.size()), 0, 0);
    if (!bytes.empty()) memcpy(ByteBufData(data.get()), bytes.data(), bytes.size());
    Ref<TarEntry> entry = MakeRef<TarEntry>();
    TarEntryInit(entry.get(), name, data.get());
    return entry;
}

Bytes DataOf(const TarArchive& archive, uint32_t index) {
    Ref<TarEntry> entry = PtrArrayGetAs<TarEntry>(archive.entries, index);
    Ref<ByteBuf> data = TarEntryGetData(entry.get());
    if (!data) return {};
    return Bytes(ByteBufData(data.get()), ByteBufData(data.get()) + ByteBufSize(data.get()));
}

std::wstring NameOf(const TarArchive& archive, uint32_t index) {
    return WStrCStr(PtrArrayGetAs<TarEntry>(archive.entries, index)->name);
}

WString WinPath(const std::string& unix_path) { return WindowsPathOf(unix_path).c_str(); }

// Runs a Python script in the directory; its exit code is the verdict and
// its output lands in out.txt for the failure message.
int RunPython(const std::string& dir, const std::string& script) {
    WriteHostFile(dir + "/check.py", Bytes(script.begin(), script.end()));
    return RunHostCommand("cd '" + dir + "' && python3 check.py > out.txt 2>&1");
}

std::string Output(const std::string& dir) {
    Bytes bytes = ReadHostFile(dir + "/out.txt");
    return std::string(bytes.begin(), bytes.end());
}

// The members most tests write: empty, exactly one block, one byte over,
// and a name outside ASCII (code page 1252).
void AddStandardMembers(TarArchive& archive) {
    TarArchiveAdd(archive, Entry(L"page1.xml", Pattern(1000, 1)).get());
    TarArchiveAdd(archive, Entry(L"empty", {}).get());
    TarArchiveAdd(archive, Entry(L"exact512", Pattern(512, 2)).get());
    TarArchiveAdd(archive, Entry(L"odd513", Pattern(513, 3)).get());
    TarArchiveAdd(archive, Entry(L"Ma\u00df.bin", Pattern(20, 4)).get());
}

const char kPythonPatterns[] =
    "def pattern(size, seed):\n"
    "    return bytes((seed + i * 7 + (i >> 8)) & 255 for i in range(size))\n"
    "expected = [('page1.xml', pattern(1000, 1)), ('empty', b''), ('exact512', pattern(512, 2)),\n"
    "            ('odd513', pattern(513, 3)), ('Ma\\xdf.bin', pattern(20, 4))]\n";

}  // namespace

TEST(TarWriter, OutsideToolsReadWhatIsWritten) {
    const std::string dir = MakeScratchDir("tar-write");
    TarArchive archive;
    AddStandardMembers(archive);
    ASSERT_TRUE(TarArchiveWrite(archive, WinPath(dir + "/a.tar")));
    // Headers, data padded to whole blocks, one closing zero block.
    EXPECT_EQ(ReadHostFile(dir + "/a.tar").size(), 512u * ((1 + 2) + 1 + (1 + 1) + (1 + 2) + (1 + 1) + 1));

    const std::string script = std::string("import tarfile, os, sys, time\n") + kPythonPatterns +
                               "t = tarfile.open('a.tar', encoding='latin-1')\n"
                               "members = t.getmembers()\n"
                               "assert [m.name for m in members] == [n for n, _ in expected], members\n"
                               "for m, (name, data) in zip(members, expected):\n"
                               "    assert m.isreg() and m.mode == 0o666 and m.uname == 'root', m\n"
                               "    assert abs(m.mtime - time.time()) < 86400, m.mtime\n"
                               "    assert t.extractfile(m).read() == data, name\n"
                               "os.mkdir('x')\n"
                               "r = os.system('tar -xf a.tar -C x && tar -tvf a.tar > list.txt')\n"
                               "assert r == 0, r\n"
                               "for name, data in expected:\n"
                               "    with open(os.path.join(b'x', name.encode('latin-1')), 'rb') as f:\n"
                               "        assert f.read() == data, name\n"
                               "print(open('list.txt').read())\n";
    EXPECT_EQ(RunPython(dir, script), 0) << Output(dir);
}

TEST(TarWriter, ReadsBackItsOwnArchives) {
    const std::string dir = MakeScratchDir("tar-roundtrip");
    TarArchive written;
    AddStandardMembers(written);
    ASSERT_TRUE(TarArchiveWrite(written, WinPath(dir + "/a.tar")));
    TarArchive read;
    ASSERT_TRUE(TarArchiveRead(read, WinPath(dir + "/a.tar")));
    ASSERT_EQ(PtrArrayCount(read.entries), 5u);
    for (uint32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(NameOf(read, i), NameOf(written, i));
        EXPECT_EQ(DataOf(read, i), DataOf(written, i));
    }
}

TEST(TarWriter, LongNamesAreCutTo99Bytes) {
    const std::string dir = MakeScratchDir("tar-long");
    const std::wstring name(150, L'n');
    TarArchive archive;
    TarArchiveAdd(archive, Entry(name.c_str(), Pattern(3, 0)).get());
    ASSERT_TRUE(TarArchiveWrite(archive, WinPath(dir + "/a.tar")));
    EXPECT_EQ(
        RunHostCommand("cd '" + dir + "' && test \"$(tar -tf a.tar)\" = \"$(printf 'n%.0s' $(seq 99))\""), 0);
}

TEST(TarWriter, EmptyArchiveIsOneZeroBlock) {
    const std::string dir = MakeScratchDir("tar-empty");
    TarArchive archive;
    ASSERT_TRUE(TarArchiveWrite(archive, WinPath(dir + "/a.tar")));
    EXPECT_EQ(ReadHostFile(dir + "/a.tar"), Bytes(512, 0));
    TarArchive read;
    EXPECT_TRUE(TarArchiveRead(read, WinPath(dir + "/a.tar")));
    EXPECT_EQ(PtrArrayCount(read.entries), 0u);
}

TEST(TarWriter, FailedSaveKeepsThePreviousFile) {
    const std::string dir = MakeScratchDir("tar-failed-save");
    TarArchive good;
    AddStandardMembers(good);
    ASSERT_TRUE(TarArchiveWrite(good, WinPath(dir + "/a.tar")));
    const Bytes before = ReadHostFile(dir + "/a.tar");

    TarArchive bad;
    TarArchiveAdd(bad, Entry(L"first", Pattern(100, 5)).get());
    Ref<TarEntry> without_data = MakeRef<TarEntry>();
    without_data->name = L"no-data";
    TarArchiveAdd(bad, without_data.get());
    EXPECT_FALSE(TarArchiveWrite(bad, WinPath(dir + "/a.tar")));
    EXPECT_EQ(ReadHostFile(dir + "/a.tar"), before);
    // Nothing of the failed attempt is left beside it.
    EXPECT_EQ(RunHostCommand("test \"$(ls '" + dir + "')\" = a.tar"), 0);

    EXPECT_FALSE(TarArchiveWrite(good, WinPath(dir + "/missing-folder/a.tar")));
}

TEST(TarReader, ReadsArchivesOfGnuTarAndPython) {
    const std::string dir = MakeScratchDir("tar-read");
    const std::string script =
        std::string("import tarfile, os\n") + kPythonPatterns +
        "names = []\n"
        "for name, data in expected[:4]:\n"
        "    open(name, 'wb').write(data)\n"
        "    names.append(name)\n"
        "r = os.system('tar --format=ustar -cf ustar.tar ' + ' '.join(names))\n"
        "r |= os.system('tar --format=gnu -cf gnu.tar ' + ' '.join(names))\n"
        "assert r == 0\n"
        "for fmt, out in ((tarfile.USTAR_FORMAT, 'py-ustar.tar'), (tarfile.GNU_FORMAT, "
        "'py-gnu.tar')):\n"
        "    with tarfile.open(out, 'w', format=fmt) as t:\n"
        "        for name in names: t.add(name)\n";
    ASSERT_EQ(RunPython(dir, script), 0) << Output(dir);
    const Bytes expected[] = {Pattern(1000, 1), {}, Pattern(512, 2), Pattern(513, 3)};
    const wchar_t* names[] = {L"page1.xml", L"empty", L"exact512", L"odd513"};
    for (const char* file : {"ustar.tar", "gnu.tar", "py-ustar.tar", "py-gnu.tar"}) {
        SCOPED_TRACE(file);
        TarArchive archive;
        ASSERT_TRUE(TarArchiveRead(archive, WinPath(dir + "/" + file)));
        ASSERT_EQ(PtrArrayCount(archive.entries), 4u);
        for (uint32_t i = 0; i < 4; ++i) {
            EXPECT_EQ(NameOf(archive, i), names[i]);
            EXPECT_EQ(DataOf(archive, i), expected[i]);
        }
    }
}

TEST(TarReader, BadChecksumStopsAndKeepsEarlierMembers) {
    const std::string dir = MakeScratchDir("tar-checksum");
    TarArchive written;
    AddStandardMembers(written);
    ASSERT_TRUE(TarArchiveWrite(written, WinPath(dir + "/a.tar")));
    Bytes bytes = ReadHostFile(dir + "/a.tar");
    bytes[512 * 3 + 1] ^= 0x20;  // the second header's name: "empty" -> "eMpty"
    WriteHostFile(dir + "/a.tar", bytes);
    TarArchive read;
    EXPECT_FALSE(TarArchiveRead(read, WinPath(dir + "/a.tar")));
    ASSERT_EQ(PtrArrayCount(read.entries), 1u);
    EXPECT_EQ(NameOf(read, 0), L"page1.xml");
}

TEST(TarReader, RefusesTruncatedAndOversizedArchives) {
    const std::string dir = MakeScratchDir("tar-bad");
    // Headers made by Python: a member declared at 60,000,000 bytes, one
    // declared larger than the file, one in GNU's base-256 size form; each
    // followed by a little data and the closing blocks.
    const std::string script =
        "import tarfile\n"
        "def write(path, size, fmt):\n"
        "    info = tarfile.TarInfo('big')\n"
        "    info.size = size\n"
        "    open(path, 'wb').write(info.tobuf(format=fmt) + bytes(4096))\n"
        "write('huge.tar', 60000000, tarfile.USTAR_FORMAT)\n"
        "write('past-end.tar', 1000000, tarfile.USTAR_FORMAT)\n"
        "write('base256.tar', 10**12, tarfile.GNU_FORMAT)\n";
    ASSERT_EQ(RunPython(dir, script), 0) << Output(dir);
    for (const char* file : {"huge.tar", "past-end.tar", "base256.tar"}) {
        TarArchive archive;
        EXPECT_FALSE(TarArchiveRead(archive, WinPath(dir + "/" + file))) << file;
        EXPECT_EQ(PtrArrayCount(archive.entries), 0u) << file;
    }

    // Without the closing zero block the read ends short: false, members kept.
    TarArchive written;
    AddStandardMembers(written);
    ASSERT_TRUE(TarArchiveWrite(written, WinPath(dir + "/a.tar")));
    Bytes bytes = ReadHostFile(dir + "/a.tar");
    bytes.resize(bytes.size() - 512);
    WriteHostFile(dir + "/cut.tar", bytes);
    TarArchive cut;
    EXPECT_FALSE(TarArchiveRead(cut, WinPath(dir + "/cut.tar")));
    EXPECT_EQ(PtrArrayCount(cut.entries), 5u);

    WriteHostFile(dir + "/short.tar", Bytes(511, 0));
    TarArchive short_file;
    EXPECT_FALSE(TarArchiveRead(short_file, WinPath(dir + "/short.tar")));
    EXPECT_FALSE(TarArchiveRead(short_file, WinPath(dir + "/missing.tar")));
}
