// The About box: its texts from a version block that windres compiled into
// a resource-only library at test time, its painting read from a DIB, and
// the box itself run modally.
#include "viewer/dialogs/about_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "foundation/handles.h"
#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/app_texts.h"
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
    const std::vector<uint8_t> script(kVersionScript, kVersionScript + sizeof(kVersionScript) - 1);
    EXPECT_TRUE(WriteHostFile(dir + "/version.rc", script));
    const std::string command = "cd '" + dir + "' && i686-w64-mingw32-windres version.rc -o version.o && " +
                                "i686-w64-mingw32-ld --dll --entry=0 -o maker.dll version.o";
    EXPECT_EQ(RunHostCommand(command), 0) << command;
    // Not named version.dll: a module of a loaded module's name would be
    // taken for that one.
    return dir + "/maker.dll";
}

struct Dib {
    Dib(int width, int height) : width(width), height(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        pixels = static_cast<uint32_t*>(bits);
        dc = MemoryDC(nullptr);
    }
    // 0x00RRGGBB.
    uint32_t At(int x, int y) const { return pixels[y * width + x] & 0xFFFFFF; }
    int Count(int top, int bottom, bool (*match)(uint32_t)) const {
        int count = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < width; ++x) count += match(At(x, y));
        }
        return count;
    }

    int width, height;
    GdiBitmap bitmap;
    MemoryDC dc;
    uint32_t* pixels = nullptr;
};

bool IsLabelBlue(uint32_t rgb) {
    const int r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
    return r < 0x30 && g < 0x30 && b > 0x70 && b < 0xC0;
}
bool IsBlack(uint32_t rgb) {
    return (rgb >> 16 & 0xFF) < 0x30 && (rgb >> 8 & 0xFF) < 0x30 && (rgb & 0xFF) < 0x30;
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

    // A file without a version block, and no file at all, leave every text empty.
    EXPECT_FALSE(
        AboutReadVersionTexts(WindowsPathOf(MakeScratchDir("about_none") + "/none.dll").c_str(), texts));
    EXPECT_EQ(WStrLength(texts.company), 0u);
    EXPECT_FALSE(AboutReadVersionTexts(nullptr, texts));
}

TEST(AboutBox, PaintsThePictureThenTheTexts) {
    ActionViewer viewer;
    viewer.root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    {
        ScopedLock hold(viewer.context->lock);
        viewer.context->language = 1;
    }
    AboutTexts texts;
    texts.company = L"Ostrel GmbH";
    texts.address1 = L"Musterweg 5";
    texts.phone = L"+49 30 1234-0";
    const RECT client = {0, 0, 370, 260};
    Dib with_contacts(370, 260), without_contacts(370, 260);
    ASSERT_TRUE(with_contacts.pixels && without_contacts.pixels);
    {
        ScopedSelect selected(with_contacts.dc.get(), with_contacts.bitmap.get());
        AboutPaint(with_contacts.dc.get(), client, texts, viewer.context.get());
    }
    texts.phone = WString();
    {
        ScopedSelect selected(without_contacts.dc.get(), without_contacts.bitmap.get());
        AboutPaint(without_contacts.dc.get(), client, texts, viewer.context.get());
    }
    // The picture's dark band at the top, unscaled.
    EXPECT_EQ(with_contacts.At(2, 2), 0x1E3C78u);
    EXPECT_EQ(with_contacts.At(369, 70), 0x1E3C78u);
    // Company and address in black from the middle down; the phone label
    // in dark blue below them, only when there is a phone number.
    EXPECT_GT(with_contacts.Count(130, 170, IsBlack), 20);
    EXPECT_GT(with_contacts.Count(170, 260, IsLabelBlue), 20);
    EXPECT_EQ(without_contacts.Count(170, 260, IsLabelBlue), 0);
    EXPECT_EQ(with_contacts.Count(0, 128, IsBlack), 0) << "nothing is written over the picture";
}

TEST(AboutBox, RunsAtItsSizeWithTheVersionTitleAndClosesOnAClick) {
    ActionViewer viewer;
    RECT client = {};
    std::wstring title;
    DialogDriver driver([&](DialogDriver&, HWND box) {
        GetClientRect(box, &client);
        wchar_t text[128] = {};
        GetWindowTextW(box, text, 128);
        title = text;
        PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        return true;
    });
    EXPECT_TRUE(AboutShow(viewer.context.get(), nullptr));
    EXPECT_EQ(driver.dialogs, 1);
    EXPECT_EQ(client.right - client.left, 370);
    EXPECT_EQ(client.bottom - client.top, 260);
    WString date;
    ASSERT_TRUE(GetBuildDate(date));
    EXPECT_EQ(WStrLength(date), 6u);
    EXPECT_EQ(title, L"Version 5.2.9.1024 Win32 (" + std::wstring(WStrCStr(date)) + L")");
}
