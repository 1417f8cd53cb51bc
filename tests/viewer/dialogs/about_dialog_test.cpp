// The About box: its texts from a version block that windres compiled into
// a resource-only library at test time, and the box run.
#include "viewer/dialogs/about_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/core/app_utils.h"

namespace {

// A German string table with five of the six texts (Address2 empty, no
// Fax), and an English one that must not be read.
constexpr char kVersionScript[] = R"(1 VERSIONINFO
FILEVERSION 5,2,9,1024
PRODUCTVERSION 5,2,9,1024
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904b0"
    BEGIN
      VALUE "CompanyName", "English Maker Ltd\0"
    END
    BLOCK "040704b0"
    BEGIN
      VALUE "CompanyName", "Ostrel Zeichnungstechnik GmbH\0"
      VALUE "Address1", "Musterweg 5\0"
      VALUE "Address2", "\0"
      VALUE "Phone", "+49 30 1234-0\0"
      VALUE "EMail", "info@example.com\0"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x407, 1200, 0x409, 1200
  END
END
)";

std::string BuildVersionLibrary() {
    const std::string dir = MakeScratchDir("about_version");
    WriteText(dir + "/version.rc", kVersionScript);
    // Not named version.dll: a module of a loaded module's name would be
    // taken for that one.
    EXPECT_TRUE(MakeFilesIn(dir, "i686-w64-mingw32-windres version.rc -o version.o && "
                                 "i686-w64-mingw32-ld --dll --entry=0 -o maker.dll version.o"));
    return dir + "/maker.dll";
}

}  // namespace

TEST(AboutBox, TextsComeFromTheGermanStringTable) {
    const std::string library = BuildVersionLibrary();
    AboutTexts texts;
    ASSERT_TRUE(AboutReadVersionTexts(WindowsPathOf(library).c_str(), texts));
    EXPECT_STREQ(WStrCStr(texts.company), L"Ostrel Zeichnungstechnik GmbH");
    EXPECT_STREQ(WStrCStr(texts.address1), L"Musterweg 5");
    EXPECT_STREQ(WStrCStr(texts.address2), L"");
    EXPECT_STREQ(WStrCStr(texts.phone), L"+49 30 1234-0");
    EXPECT_STREQ(WStrCStr(texts.fax), L"");
    EXPECT_STREQ(WStrCStr(texts.email), L"info@example.com");
    // No version block, or no file: every text empty.
    EXPECT_FALSE(AboutReadVersionTexts(WindowsPathOf(library + ".none").c_str(), texts));
    EXPECT_EQ(WStrLength(texts.company), 0u);
    EXPECT_FALSE(AboutReadVersionTexts(nullptr, texts));
}

TEST(AboutBox, RunsAtItsSizeWithTheVersionTitle) {
    RunningViewer viewer;
    UseEnglish(viewer.context.get());
    RECT shown = {};
    std::wstring title;
    ModalScript script([&](HWND box) {
        GetClientRect(box, &shown);
        title = WindowText(box);
        PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));  // a click closes it
        return true;
    });
    EXPECT_TRUE(AboutShow(viewer.context.get(), nullptr));
    EXPECT_EQ(shown.right - shown.left, 370);
    EXPECT_EQ(shown.bottom - shown.top, 260);
    WString date;
    ASSERT_TRUE(GetBuildDate(date));
    EXPECT_EQ(WStrLength(date), 6u);
    EXPECT_EQ(title, L"Version 5.2.9.1024 Win32 (" + std::wstring(WStrCStr(date)) + L")");
}
