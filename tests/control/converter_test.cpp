// A page's script (Wine's VBScript engine) drives the hosted control: it
// opens a drawing, reads its Document objects, changes the view and
// converts it through Converter objects. What it read and what it wrote are
// judged by libtiff's tools, poppler's pdfinfo, qpdf and ImageMagick.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/control/page_script.h"
#include "tests/control/test_container.h"

namespace {

using namespace control_test;

std::string SourceDir() { return TestEnvDir("TEST_SOURCE_DIR"); }

// The output of a shell command on the host.
std::string HostOutput(const std::string& dir, const std::string& command) {
    const std::string file = dir + "/output.txt";
    if (RunHostCommand("(" + command + ") > '" + file + "' 2>&1") != 0) return "";
    const std::vector<uint8_t> bytes = ReadHostFile(file);
    return std::string(bytes.begin(), bytes.end());
}

// The page's script with the constants it is given behind its first line
// (Option Explicit must come first).
std::wstring PageScriptText(const std::wstring& constants) {
    std::ifstream file(SourceDir() + "/tests/control/page_script.vbs");
    std::stringstream text;
    text << file.rdbuf();
    const std::string narrow = text.str();
    std::wstring script(narrow.begin(), narrow.end());
    const size_t first_line = script.find(L"Option Explicit\n");
    if (first_line != std::wstring::npos) script.insert(first_line + 16, constants);
    return script;
}

// ImageMagick's count of the pixels in which a page that the viewer wrote
// differs from a page of the drawing, changed by `options` (ImageMagick
// warns about the script's unknown tag on stderr).
std::string PixelDifference(const std::string& dir, const std::string& page, const std::string& options,
                            const std::string& written) {
    return HostOutput(dir, "cd '" + dir + "' && convert '" + page + "' " + options + " a.pgm && convert '" +
                               written + "' b.pgm 2>/dev/null && compare -metric AE a.pgm b.pgm null:");
}

TEST(PageScriptConverts, DocumentAndConverterAsAPageUsesThem) {
    const std::string dir = MakeScratchDir("page_script");
    const std::string drawing = dir + "/drawing.tif";
    ASSERT_TRUE(MakeTwoPageTiff(drawing));
    HostedControl hosted;
    ASSERT_TRUE(hosted.running());

    PageScript script(hosted.automation.get());
    const std::wstring constants = L"Const kDrawing = \"" + WindowsPathOf(drawing) + L"\"\nConst kOut = \"" +
                                   WindowsPathOf(dir) + L"\"\n";
    ASSERT_TRUE(script.Load(PageScriptText(constants)))
        << std::string(script.errors.begin(), script.errors.end());
    script.Call(L"OpenDrawing");
    ASSERT_TRUE(WaitFor([&] {
        VARIANT loaded = script.Call(L"Loaded");
        return loaded.vt == VT_BOOL && loaded.boolVal == VARIANT_TRUE;
    }));
    script.Call(L"ReadAndConvert");
    VARIANT failures = script.Get(L"failures");
    ASSERT_EQ(failures.vt, VT_BSTR);
    EXPECT_STREQ(failures.bstrVal, L"");
    VariantClear(&failures);
    EXPECT_EQ(script.errors, L"");

    // What the document read: the file, the page count, the page's size in
    // millimetres as libtiff gives pixels and resolution.
    VARIANT file_name = script.Get(L"fileName");
    ASSERT_EQ(file_name.vt, VT_BSTR);
    EXPECT_EQ(lstrcmpiW(file_name.bstrVal, WindowsPathOf(drawing).c_str()), 0);
    VariantClear(&file_name);
    EXPECT_EQ(script.Get(L"subDocCount").lVal,
              std::stol(HostOutput(dir, "tiffinfo '" + drawing + "' | grep -c 'TIFF Directory'")));
    const std::string size =
        HostOutput(dir, "tiffinfo '" + drawing +
                            "' | awk '/Image Width/ && !w {w = $3; h = $6} /Resolution/ && !x "
                            "{x = $2 + 0; y = $3 + 0} END {print w / x * 25.4, h / y * 25.4}'");
    double width = 0, height = 0;
    ASSERT_EQ(std::sscanf(size.c_str(), "%lf %lf", &width, &height), 2) << size;
    EXPECT_NEAR(script.Get(L"widthMM").dblVal, width, 0.01);
    EXPECT_NEAR(script.Get(L"heightMM").dblVal, height, 0.01);

    // The view: page 1 turned by 90 (Orientation 8: its first row on the
    // left), page 2 mirrored in its pixels; description, software, page
    // numbers and the script's own tag in every directory.
    const std::string tags = "ImageDescription|Orientation|PageNumber|Software|65000";
    EXPECT_EQ(HostOutput(dir, "tiffdump '" + dir + "/view.tif' | grep -E '^(" + tags + ") '"),
              "ImageDescription (270) ASCII (2) 7<Plan 7\\0>\n"
              "Orientation (274) SHORT (3) 1<8>\n"
              "PageNumber (297) SHORT (3) 2<0 2>\n"
              "Software (305) ASCII (2) 13<Plovex 5.2.9\\0>\n"
              "65000 (0xfde8) ASCII (2) 8<Sheet A\\0>\n"
              "ImageDescription (270) ASCII (2) 7<Plan 7\\0>\n"
              "PageNumber (297) SHORT (3) 2<1 2>\n"
              "Software (305) ASCII (2) 13<Plovex 5.2.9\\0>\n"
              "65000 (0xfde8) ASCII (2) 8<Sheet A\\0>\n");
    EXPECT_EQ(PixelDifference(dir, "drawing.tif[0]", "", "view.tif[0]"), "0");
    EXPECT_EQ(PixelDifference(dir, "drawing.tif[1]", "-flop", "view.tif[1]"), "0");

    // Turned by -810, that is 270: Orientation 6 on every page; in the PDF
    // each page's /Rotate turns it back the other way.
    EXPECT_EQ(
        HostOutput(dir, "tiffdump '" + dir + "/turned.tif' | grep -c '^Orientation (274) SHORT (3) 1<6>'"),
        "2\n");
    EXPECT_EQ(RunHostCommand("qpdf --check '" + dir + "/turned.pdf' >/dev/null"), 0);
    EXPECT_EQ(HostOutput(dir, "pdfinfo -f 1 -l 2 '" + dir + "/turned.pdf' | grep -c ' rot: *90$'"), "2\n");

    // Layout 4: tiles of 512 and reduced copies while a side is above 1000.
    const std::string tiles = HostOutput(dir, "tiffinfo '" + dir + "/tiles.tif'");
    EXPECT_NE(tiles.find("Tile Width: 512 Tile Length: 512"), std::string::npos);
    EXPECT_EQ(HostOutput(dir, "tiffinfo '" + dir + "/tiles.tif' | grep -c 'TIFF Directory'"), "3\n");
}

}  // namespace
