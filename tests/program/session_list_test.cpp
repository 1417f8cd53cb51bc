#include "program/session_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/document_open_close.h"
#include "viewer/core/open_params.h"
#include "viewer/core/open_request.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/list_file.h"
#include "viewer/views/cut_out_state.h"

namespace {

std::wstring WideOfUtf8(const std::string& text) {
    std::wstring out(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                      static_cast<int>(out.size()));
    out.resize(n > 0 ? n : 0);
    return out;
}

// "Z:\..." of a Unix path whose name may hold any character.
std::wstring WindowsPath(const std::string& unix_path) {
    std::wstring path = L"Z:" + WideOfUtf8(unix_path);
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
    return path;
}

RectD Rect(double x, double y, double width, double height) {
    RectD rect;
    return RectDSet(rect, x, y, width, height);
}

std::string Ansi(const std::wstring& text) {
    AString bytes;
    AStrFromWide(bytes, text.c_str());
    return AStrCStr(bytes);
}

std::vector<std::string> FileLines(const std::string& unix_path) {
    std::vector<std::string> lines;
    const std::vector<uint8_t> bytes = ReadHostFile(unix_path);
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            lines.push_back(line);
            line.clear();
            ++i;
        } else {
            line += static_cast<char>(bytes[i]);
        }
    }
    EXPECT_TRUE(line.empty()) << "the last line has no CR LF";
    return lines;
}

struct SessionListTest : testing::Test {
    void SetUp() override { dir = MakeScratchDir("session-list-" + std::to_string(GetCurrentProcessId())); }

    // Opens the file and waits until its pages exist; the document item.
    Ref<DocItem> Open(const std::wstring& path, const OpenParams* params, uint32_t pages) {
        const uint32_t before = DocItemGetChildCount(ViewerGetRootItem(viewer.context.get()).get());
        EXPECT_EQ(ViewerOpenDocument(viewer.context.get(), path.c_str(), params, kOpenRemote), 1);
        Ref<DocItem> document = DocItemGetChild(ViewerGetRootItem(viewer.context.get()).get(), before);
        EXPECT_TRUE(PollUntil(
            [&] {
                return DocItemGetType(document.get()) == doc_type::kImage &&
                       DocItemGetChildCount(document.get()) == pages;
            },
            15000));
        return document;
    }

    RunningViewer viewer;
    std::string dir;
};

// The whole road (quit, list, reopen by command) is checked from outside in
// session_reopen_test.py; here the lines that it does not make: names
// outside the code page, mirrors and inversion, a two-page document.
TEST_F(SessionListTest, WritesEachDocumentWithTheViewOfItsOnlyPageAndItsRestrictions) {
    MakeTiff(dir + "/one.tif", 1);
    MakeTiff(dir + "/three.tif", 3);
    MakeTiff(dir + "/two.tif", 2);
    MakeTiff(dir + "/\xce\xa9mega.tif", 1);  // a name that code page 1252 cannot hold

    Ref<OpenParams> rotated = OpenParamsCreate();
    OpenParamsSetRotation(rotated.get(), 90);
    OpenParamsSetAllowSave(rotated.get(), false);
    Ref<DocItem> one = Open(WindowsPath(dir + "/one.tif"), rotated.get(), 1);
    Ref<CutOutState> view = DocItemGetChild(one.get(), 0)->GetCutOut();
    ASSERT_TRUE(view);
    ASSERT_TRUE(CutOutSetRect(view.get(), Rect(5, 4, 20, 10)));
    CutOutSetMirrorHorizontal(view.get(), true);
    CutOutSetInvert(view.get(), true);

    Ref<OpenParams> no_print = OpenParamsCreate();
    OpenParamsSetAllowPrint(no_print.get(), false);
    Open(WindowsPath(dir + "/three.tif"), no_print.get(), 3);
    Open(WindowsPath(dir + "/\xce\xa9mega.tif"), nullptr, 1);
    Ref<OpenParams> titled = OpenParamsCreate();
    OpenParamsSetTitle(titled.get(), L"Plan \u03a9");  // kept out: the reopened one takes the file's name
    Open(WindowsPath(dir + "/two.tif"), titled.get(), 2);

    const std::string list = dir + "/plxpers.lst";
    ASSERT_TRUE(SessionListWrite(viewer.context.get(), WindowsPath(list).c_str()));
    const std::vector<std::string> lines = FileLines(list);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "; Plovex LST File");
    EXPECT_EQ(lines[1].rfind("; Persisted Session automatically created  ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[1].size(), 43u + 19u) << lines[1];
    EXPECT_EQ(lines[2], "");
    const std::string folder = Ansi(WindowsPath(dir)) + "\\";
    EXPECT_EQ(lines[3],
              folder + "one.tif\tone.tif\t -fh -n -r:90 -c:5.000000,4.000000,25.000000,14.000000 -nosave");
    EXPECT_EQ(lines[4], folder + "three.tif\tthree.tif\t -noprint");
    EXPECT_EQ(lines[5], folder + "two.tif\t");

    // The list reader (the reopening's road) takes back what was written.
    const std::vector<uint8_t> bytes = ReadHostFile(list);
    PtrArray entries(4, true);
    ListFileInfo info;
    ASSERT_TRUE(ListFileParseText(viewer.context.get(), bytes.data(), static_cast<uint32_t>(bytes.size()),
                                  L"", entries, info));
    ASSERT_EQ(entries.count, 3u);
    const OpenParams* first = static_cast<ListEntry*>(entries.items[0])->params.get();
    RectD cut_out;
    ASSERT_TRUE(OpenParamsGetCutOut(first, cut_out));
    EXPECT_EQ(cut_out, Rect(5, 4, 20, 10));
    EXPECT_EQ(OpenParamsGetRotation(first), 90u);
    EXPECT_TRUE(OpenParamsGetMirrorH(first));
    EXPECT_TRUE(OpenParamsGetInverted(first));
    EXPECT_FALSE(OpenParamsGetAllowSave(first));
    EXPECT_FALSE(OpenParamsGetAllowPrint(static_cast<ListEntry*>(entries.items[1])->params.get()));
    EXPECT_TRUE(OpenParamsGetAllowSave(static_cast<ListEntry*>(entries.items[2])->params.get()));
}

}  // namespace
