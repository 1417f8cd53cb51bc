// The bitmap export as Pillow reads it, its refusals, and
// the page at every turn and mirror exactly as the main view shows it.
#include "viewer/export/bitmap_export.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/viewer/export/export_test_support.h"
#include "tests/viewer/views/view_harness.h"

namespace {

constexpr double kMm = 25.4 / 72;  // one pixel of the test pages

bool Export(ViewerContext* context, DocItem* page, bool entire, SizeI size, uint16_t bits,
            const std::string& file) {
    return ExportBitmap(context, page, entire, size, bits, 0, WinPath(file), nullptr);
}

}  // namespace

TEST(ExportBitmap, FilesAsPillowReadsThemAndRefusals) {
    const std::string dir = MakeScratchDir("bitmap_export_files");
    MakeExportPages(dir);
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    auto open = [&](const char* name) { return ChildAt(viewer.Open(dir + "/" + name).get(), 0); };
    Ref<DocItem> colour = open("colour.tif"), grey = open("grey.tif"), bilevel = open("bilevel.tif");
    ASSERT_TRUE(colour && grey && bilevel);
    struct Case {
        DocItem* page;
        const char* source;  // the file the pixels equal within `tolerance`; none for a cut-out
        bool entire;
        SizeI size;
        uint16_t bits;
        int tolerance;
        const char* expected;
    } const cases[] = {
        {colour.get(), "colour", true, {60, 40}, 24, 0, "RGB (60, 40) [72, 72] True\n"},
        {grey.get(), "grey", true, {60, 40}, 8, 3, "P (60, 40) [72, 72] True\nTrue\n"},
        {bilevel.get(), "bilevel", true, {50, 30}, 1, 0, "1 (50, 30) [72, 72] True\n"},
        // Half the page across at the same width: twice the resolution.
        {colour.get(), nullptr, false, {60, 80}, 24, 0, "RGB (60, 80) [144, 144]\n"},
    };
    ASSERT_TRUE(CutOutSetRect(colour->GetCutOut().get(), RectD{SizeD{30 * kMm, 40 * kMm}, PointD{}}));
    for (const Case& c : cases) {
        const std::string out = dir + "/out.bmp", source = c.source ? dir + "/" + c.source + ".tif" : "";
        ASSERT_TRUE(Export(context, c.page, c.entire, c.size, c.bits, out)) << c.expected;
        // 8 bits: 46 greys, then the colour cube without its greys.
        const std::string script =
            "from PIL import Image\nimage = Image.open('" + out + "')\nsource = '" + source +
            "'\nprint(image.mode, image.size, [round(d) for d in image.info['dpi']], end='')\n"
            "if source:\n    pixels = zip(image.convert('RGB').tobytes(), "
            "Image.open(source).convert('RGB').tobytes())\n"
            "    print('', max(abs(a - b) for a, b in pixels) <= " +
            std::to_string(c.tolerance) +
            ")\n"
            "else:\n    print()\n"
            "greys = [(g, g, g) for g in (int(i * 255 / 45 + 0.5) for i in range(46))]\n"
            "cube = [(r * 51, g * 51, b * 51) for b in range(6) for g in range(6) for r in range(6) if not r "
            "== g == b]\n"
            "if image.mode == 'P':\n    print(image.getpalette()[:768] == list(sum(greys + cube, ())))\n";
        ASSERT_TRUE(WriteHostFile(dir + "/probe.py", std::vector<uint8_t>(script.begin(), script.end())));
        EXPECT_EQ(HostOutput("/usr/bin/python3 '" + dir + "/probe.py'", dir), c.expected);
    }
    // Refused: no width, 4 bits, neither file nor clipboard, not a page, a
    // folder that takes no file.
    const std::string refused = dir + "/refused.bmp";
    EXPECT_FALSE(Export(context, colour.get(), true, {0, 40}, 24, refused));
    EXPECT_FALSE(Export(context, colour.get(), true, {60, 40}, 4, refused));
    EXPECT_FALSE(ExportBitmap(context, colour.get(), true, {60, 40}, 24, 0, WString(), nullptr));
    EXPECT_FALSE(Export(context, ViewerGetRootItem(context).get(), true, {60, 40}, 24, refused));
    EXPECT_FALSE(HostFileExists(refused));
    LockedFolder locked(dir + "/locked");
    ASSERT_TRUE(locked.locked());
    EXPECT_FALSE(Export(context, colour.get(), true, {60, 40}, 24, dir + "/locked/out.bmp"));
    EXPECT_TRUE(locked.Empty());
}

TEST(ExportBitmap, EveryTurnAndMirrorEqualsTheMainView) {
    const std::string dir = MakeScratchDir("bitmap_export_turns");
    MakeExportPages(dir);
    ViewHarness h(300, 200);
    Ref<DocItem> page = h.Show(dir + "/colour.tif");
    ASSERT_TRUE(h.view && page);
    // The cut-out as it is, not widened to fill the window.
    SettingsSetZoomExact(h.settings().get(), nullptr, kCallerInternal, true);
    Ref<CutOutState> state = page->GetCutOut();
    for (int view = 0; view < 32; ++view) {
        const bool mh = view & 1, mv = view & 2, entire = view & 16;
        const uint32_t rotation = 90 * (view >> 2 & 3);
        SCOPED_TRACE(std::string(entire ? "page " : "cut-out ") + std::to_string(rotation) +
                     (mh ? " mirror h" : "") + (mv ? " mirror v" : ""));
        const RectD part{SizeD{30 * kMm, 25 * kMm}, PointD{10 * kMm, 5 * kMm}};
        ASSERT_TRUE(CutOutSetRect(state.get(), entire ? RectD{CutOutGetPageSize(state.get()), {}} : part));
        CutOutSetRotation(state.get(), rotation);
        CutOutSetMirrorHorizontal(state.get(), mh);
        CutOutSetMirrorVertical(state.get(), mv);
        // Two screen pixels a page pixel: the view mirrors its last picture
        // rather than rendering anew, which at other scales samples the
        // page's edges a little differently.
        ASSERT_TRUE(CutOutSetZoom(state.get(), 2 * (72 / 25.4) / ViewerGetPixelsPerMmX(h.context())));
        h.Changed(event::kViewEverything);
        std::unique_ptr<DibCanvas> canvas = h.Print();
        Ref<ViewMapping> mapping = h.Mapping();
        ASSERT_TRUE(mapping && canvas->ok());
        const SizeI size{int32_t(mapping->placement.pixel_width), int32_t(mapping->placement.pixel_height)};
        ASSERT_TRUE(Export(h.context(), page.get(), entire, size, 24, dir + "/shown.bmp"));
        const Pnm exported = Magick(dir + "/shown.bmp", 0, "", dir, "ppm");
        // ImageMagick: the page or its part mirrored, then turned
        // counter-clockwise, every pixel doubled.
        const std::string options = std::string(entire ? "" : "-crop 30x25+10+5 +repage") +
                                    (mh ? " -flop" : "") + (mv ? " -flip" : "") + " -rotate -" +
                                    std::to_string(rotation) + " -scale 200%";
        const Pnm expected = Magick(dir + "/colour.tif", 0, options, dir, "ppm");
        ASSERT_TRUE(SamePicture(exported, expected));
        for (int32_t y = 0; y < size.height; ++y) {
            for (int32_t x = 0; x < size.width; ++x) {
                const uint8_t* rgb = expected.Row(y) + x * 3;
                ASSERT_EQ(canvas->Pixel(mapping->window_offset.x + x, mapping->window_offset.y + y),
                          uint32_t(rgb[0] << 16 | rgb[1] << 8 | rgb[2]))
                    << x << "," << y;
            }
        }
    }
}
