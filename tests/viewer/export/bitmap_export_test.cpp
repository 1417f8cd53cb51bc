// The bitmap export, read back by Pillow, the clipboard and the main view:
// headers, resolution, colour tables, pixels, refusals, and the page at
// every turn and mirror as the view shows it.
#include "viewer/export/bitmap_export.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/viewer/views/dib_canvas.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/core/settings.h"
#include "viewer/views/cut_out_state.h"
#include "viewer/views/main_view.h"
#include "viewer/views/view_mapping.h"
#include "viewer/windows/frame_window.h"

namespace {

constexpr double kMm = 25.4 / 72;  // one pixel of the test pages

// A 60 x 40 RGB page at 72 dpi whose pixels all differ, a grey one and a
// bilevel one.
void MakeTestPages(const std::string& dir) {
    ASSERT_TRUE(
        MakeFilesIn(dir,
                    "convert -density 72 -units PixelsPerInch -size 60x40 xc:black -channel R -fx i/w"
                    " -channel G -fx j/h -channel B -fx '(i+j)%7/7' +channel -depth 8 -type TrueColor"
                    " -compress none colour.tif && convert colour.tif -colorspace Gray -type Grayscale"
                    " grey.tif && convert -density 72 -units PixelsPerInch -size 50x30 xc:white"
                    " -fill black -draw 'rectangle 3,3 20,25' -monochrome -compress group4 bilevel.tif"));
}

// What a short Pillow script prints about the file it opens as `image`.
std::string Pillow(const std::string& file, const std::string& script, const std::string& dir) {
    const std::string text = "from PIL import Image\nimage = Image.open('" + file + "')\n" + script + "\n";
    EXPECT_TRUE(WriteHostFile(dir + "/probe.py", std::vector<uint8_t>(text.begin(), text.end())));
    return HostOutput("/usr/bin/python3 '" + dir + "/probe.py'", dir);
}

// 0xRRGGBB of pixel (x, y) from the top of a 24-bit bottom-up BMP file.
uint32_t BmpRgb(const std::vector<uint8_t>& file, uint32_t x, uint32_t y) {
    auto get32 = [&](size_t at) {
        return uint32_t(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24);
    };
    const uint32_t width = get32(18), height = get32(22), row_bytes = (width * 3 + 3) / 4 * 4;
    const uint8_t* p = file.data() + get32(10) + size_t(height - 1 - y) * row_bytes + x * 3;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

Ref<DocItem> OpenPage(RunningViewer& viewer, const std::string& path) {
    return ChildAt(viewer.Open(path).get(), 0);
}

bool Export(RunningViewer& viewer, DocItem* page, bool entire, SizeI size, uint16_t bits,
            const std::string& file) {
    return ExportBitmap(viewer.context.get(), page, entire, size, bits, 0, WinPath(file), nullptr);
}

}  // namespace

TEST(ExportBitmap, BmpFilesAsPillowReadsThem) {
    const std::string dir = MakeScratchDir("bitmap_export_files");
    MakeTestPages(dir);
    RunningViewer viewer;
    Ref<DocItem> colour = OpenPage(viewer, dir + "/colour.tif"), grey = OpenPage(viewer, dir + "/grey.tif"),
                 bilevel = OpenPage(viewer, dir + "/bilevel.tif");
    ASSERT_TRUE(colour && grey && bilevel);
    const std::string same_as = "print(image.convert('RGB').tobytes() == Image.open('" + dir;

    ASSERT_TRUE(Export(viewer, colour.get(), true, {60, 40}, 24, dir + "/colour.bmp"));
    EXPECT_EQ(Pillow(dir + "/colour.bmp",
                     "print(image.mode, image.size, [round(d, 2) for d in image.info['dpi']])\n" + same_as +
                         "/colour.tif').convert('RGB').tobytes())",
                     dir),
              "RGB (60, 40) [72.01, 72.01]\nTrue\n");
    // Half the page across at the same width: twice the resolution.
    ASSERT_TRUE(CutOutSetRect(colour->GetCutOut().get(), RectD{SizeD{30 * kMm, 40 * kMm}, PointD{}}));
    ASSERT_TRUE(Export(viewer, colour.get(), false, {60, 80}, 24, dir + "/half.bmp"));
    EXPECT_EQ(Pillow(dir + "/half.bmp", "print([round(d) for d in image.info['dpi']])", dir), "[144, 144]\n");

    // 8 bits: 46 greys, then the colour cube without its greys; a grey page
    // keeps its levels within the ramp's step.
    ASSERT_TRUE(Export(viewer, grey.get(), true, {60, 40}, 8, dir + "/grey.bmp"));
    EXPECT_EQ(Pillow(dir + "/grey.bmp",
                     "p = image.getpalette()\n"
                     "greys = [(g, g, g) for g in (int(i * 255 / 45 + 0.5) for i in range(46))]\n"
                     "cube = [(r * 51, g * 51, b * 51) for b in range(6) for g in range(6) for r in range(6)"
                     " if not r == g == b]\n"
                     "print(image.mode, [tuple(p[i * 3:i * 3 + 3]) for i in range(256)] == greys + cube)\n"
                     "source = Image.open('" +
                         dir +
                         "/grey.tif').convert('L').tobytes()\n"
                         "print(max(abs(a - b) for a, b in zip(source, image.convert('L').tobytes())) <= 3)",
                     dir),
              "P True\nTrue\n");

    // 1 bit: black, then white; the page's own bits.
    ASSERT_TRUE(Export(viewer, bilevel.get(), true, {50, 30}, 1, dir + "/bilevel.bmp"));
    EXPECT_EQ(Pillow(dir + "/bilevel.bmp",
                     "print(image.mode)\n" + same_as + "/bilevel.tif').convert('RGB').tobytes())", dir),
              "1\nTrue\n");
    const std::vector<uint8_t> file = ReadHostFile(dir + "/bilevel.bmp");
    ASSERT_GT(file.size(), 62u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 54, file.begin() + 62),
              std::vector<uint8_t>({0, 0, 0, 0, 255, 255, 255, 0}));
}

TEST(ExportBitmap, ClipboardRefusalsAndFoldersThatTakeNoFile) {
    const std::string dir = MakeScratchDir("bitmap_export_clipboard");
    MakeTestPages(dir);
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocumentItem> document = viewer.Open(dir + "/colour.tif");
    Ref<DocItem> page = ChildAt(document.get(), 0);
    ASSERT_TRUE(page);

    // The clipboard holds what the file holds after its file header. Other
    // test programs may write the clipboard meanwhile: then once more.
    HWND owner = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(Export(viewer, page.get(), true, {60, 40}, 8, dir + "/same.bmp"));
    std::vector<uint8_t> packed;
    for (int attempt = 0; attempt < 5; ++attempt) {
        ASSERT_TRUE(ExportBitmap(context, page.get(), true, {60, 40}, 8, 0, WString(), owner));
        ASSERT_TRUE(OpenClipboard(owner));
        const bool ours = GetClipboardOwner() == owner;
        if (HANDLE data = GetClipboardData(CF_DIB)) {
            GlobalLockScope locked(data);
            if (auto* bytes = static_cast<const uint8_t*>(locked.data()))
                packed.assign(bytes, bytes + GlobalSize(data));
        }
        CloseClipboard();
        if (ours) break;
    }
    DestroyWindow(owner);
    const std::vector<uint8_t> file = ReadHostFile(dir + "/same.bmp");
    ASSERT_GT(file.size(), 14u);
    ASSERT_GE(packed.size(), file.size() - 14);
    EXPECT_TRUE(std::equal(file.begin() + 14, file.end(), packed.begin()));

    const WString out = WinPath(dir + "/out.bmp");
    EXPECT_FALSE(ExportBitmap(context, page.get(), true, {0, 40}, 24, 0, out, nullptr));
    EXPECT_FALSE(ExportBitmap(context, page.get(), true, {60, 40}, 4, 0, out, nullptr));
    EXPECT_FALSE(ExportBitmap(context, page.get(), true, {60, 40}, 24, 0, WString(), nullptr));
    EXPECT_FALSE(ExportBitmap(context, document.get(), true, {60, 40}, 24, 0, out, nullptr)) << "no page";
    EXPECT_FALSE(HostFileExists(dir + "/out.bmp"));
    LockedFolder locked(dir + "/locked");
    ASSERT_TRUE(locked.locked());
    EXPECT_FALSE(Export(viewer, page.get(), true, {60, 40}, 24, dir + "/locked/out.bmp"));
    EXPECT_TRUE(locked.Empty());
}

TEST(ExportBitmap, EveryTurnAndMirrorEqualsTheMainView) {
    const std::string dir = MakeScratchDir("bitmap_export_turns");
    MakeTestPages(dir);
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<FrameWindow> frame = ViewerGetFrame(context);
    Ref<MainViewWindow> view = frame ? FrameGetMainView(frame.get()) : nullptr;
    ASSERT_TRUE(view);
    RectI area;
    MainViewSetDisplayMode(view.get(), kMainViewDocked, FrameGetHwnd(frame.get()),
                           RectISet(area, 0, 0, 300, 200));
    ASSERT_TRUE(view->window());
    {
        // The cut-out as it is, not widened to fill the window.
        Ref<Settings> settings = ViewerGetSettings(context);
        ScopedLock hold(settings->lock);
        settings->zoom_exact = true;
    }
    Ref<DocItem> page = OpenPage(viewer, dir + "/colour.tif");
    ASSERT_TRUE(page);
    ViewerSetActiveItem(context, page.get());
    PumpPending();
    Ref<CutOutState> state = page->GetCutOut();

    for (const bool entire : {true, false}) {
        for (uint32_t rotation = 0; rotation < 360; rotation += 90) {
            for (int mirrors = 0; mirrors < 4; ++mirrors) {
                const bool mh = mirrors & 1, mv = mirrors & 2;
                SCOPED_TRACE(std::string(entire ? "page " : "cut-out ") + std::to_string(rotation) +
                             (mh ? " mirror h" : "") + (mv ? " mirror v" : ""));
                const RectD part{SizeD{30 * kMm, 25 * kMm}, PointD{10 * kMm, 5 * kMm}};
                ASSERT_TRUE(
                    CutOutSetRect(state.get(), entire ? RectD{CutOutGetPageSize(state.get()), {}} : part));
                CutOutSetRotation(state.get(), rotation);
                CutOutSetMirrorHorizontal(state.get(), mh);
                CutOutSetMirrorVertical(state.get(), mv);
                // Two screen pixels a page pixel: the view mirrors its last
                // picture rather than rendering anew, which at other scales
                // samples the page's edges a little differently.
                ASSERT_TRUE(CutOutSetZoom(state.get(), 2 * (72 / 25.4) / ViewerGetPixelsPerMmX(context)));
                Variant everything;
                VariantInitInt(everything, 65535);
                ViewerSendActionArg(context, event::kViewChanged, everything);
                PumpPending();

                RECT client;
                GetClientRect(view->window(), &client);
                DibCanvas canvas(client.right, client.bottom, 0x123456);
                SendMessageW(view->window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()),
                             PRF_CLIENT);
                Ref<ViewMapping> mapping = MainViewGetMapping(view.get());
                ASSERT_TRUE(mapping && canvas.ok());
                const SizeI size{int32_t(mapping->placement.pixel_width),
                                 int32_t(mapping->placement.pixel_height)};
                const std::string out = dir + "/shown.bmp";
                ASSERT_TRUE(Export(viewer, page.get(), entire, size, 24, out));
                const std::vector<uint8_t> exported = ReadHostFile(out);

                // ImageMagick: the page or its part mirrored, then turned
                // counter-clockwise, every pixel doubled.
                std::string options = entire ? "" : "-crop 30x25+10+5 +repage";
                options += std::string(mh ? " -flop" : "") + (mv ? " -flip" : "") + " -rotate -" +
                           std::to_string(rotation) + " -scale 200%";
                const Pnm expected = Magick(dir + "/colour.tif", 0, options, dir, "ppm");
                ASSERT_EQ(expected.width, uint32_t(size.width));
                ASSERT_EQ(expected.height, uint32_t(size.height));
                for (int32_t y = 0; y < size.height; ++y) {
                    for (int32_t x = 0; x < size.width; ++x) {
                        const uint8_t* rgb = expected.Row(y) + x * 3;
                        const uint32_t shown =
                            canvas.Pixel(mapping->window_offset.x + x, mapping->window_offset.y + y);
                        ASSERT_EQ(BmpRgb(exported, x, y), shown) << x << "," << y;
                        ASSERT_EQ(shown, uint32_t(rgb[0] << 16 | rgb[1] << 8 | rgb[2])) << x << "," << y;
                    }
                }
            }
        }
    }
}
