// What the print tests share: the test printer's PostScript file, read back
// by ghostscript as grey rasters at 100 dpi, and the black marks found on
// them, measured in millimetres of the sheet.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/viewer/windows/frame_test_support.h"
#include "viewer/contracts/markups.h"

inline const std::string kPrintOutput = "/var/spool/plovex/PlovexTest.ps";
inline constexpr double kRasterDpi = 100.0;
inline constexpr double kRasterPixelsPerMm = kRasterDpi / 25.4;

inline std::string ReadTextFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Waits (bounded) until the queue's file is a whole document that differs
// from `before`.
inline std::string WaitForPrint(const std::string& before = {}, DWORD timeout_ms = 15000) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
        const std::string text = ReadTextFile(kPrintOutput);
        if (!text.empty() && text != before && text.find("%%EOF") != std::string::npos) return text;
        Sleep(50);
    }
    return {};
}

// The tests' fake print plug-in (tests/tools/plp_probe_plugin.c) as built
// in `variant`; what it reports depends on the name it is copied under.
inline std::string PluginBuild(const std::string& variant) {
    return TestEnvDir("TEST_BINARY_DIR") + "/plugins/plp_" + variant + ".dll";
}

// A scratch folder holding the plug-in build `variant` under each name.
inline std::string PluginFolder(const std::string& test, const std::string& variant,
                                const std::vector<std::string>& names) {
    const std::string folder = MakeScratchDir(test);
    const std::vector<uint8_t> bytes = ReadHostFile(PluginBuild(variant));
    EXPECT_FALSE(bytes.empty()) << "the fake plug-in was not built: " << PluginBuild(variant);
    for (const std::string& name : names) EXPECT_TRUE(WriteHostFile(folder + "/" + name, bytes));
    return folder;
}

// The folder as the provider list takes it: a Windows path ending in '\'.
inline WString PluginFolderArgument(const std::string& folder) {
    return WString((WindowsPathOf(folder) + L"\\").c_str());
}

// The calls the copy `name` in `folder` logged, one a line.
inline std::string PluginLog(const std::string& folder, const std::string& name) {
    return ReadTextFile(folder + "/" + name + ".log");
}

struct GreyPage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// Every page of the PostScript file as a grey raster (gs pgmraw, 100 dpi).
inline std::vector<GreyPage> RasterisePrint(const std::string& postscript, const std::string& scratch_name) {
    const std::string dir = MakeScratchDir(scratch_name);
    const std::string copy = dir + "/print.ps";
    WriteHostFile(copy, std::vector<uint8_t>(postscript.begin(), postscript.end()));
    if (RunHostCommand("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pgmraw -r100 -sOutputFile=" + dir +
                       "/p%d.pgm " + copy + " >/dev/null 2>&1") != 0)
        return {};
    std::vector<GreyPage> pages;
    for (int n = 1;; ++n) {
        const std::vector<uint8_t> bytes = ReadHostFile(dir + "/p" + std::to_string(n) + ".pgm");
        if (bytes.empty()) break;
        // "P5", width, height, maximum, each after blanks and "#" comments.
        size_t at = 0;
        auto token = [&]() {
            for (;;) {
                while (at < bytes.size() && std::isspace(bytes[at])) ++at;
                if (at >= bytes.size() || bytes[at] != '#') break;
                while (at < bytes.size() && bytes[at] != '\n') ++at;
            }
            std::string word;
            while (at < bytes.size() && !std::isspace(bytes[at]))
                word.push_back(static_cast<char>(bytes[at++]));
            return word;
        };
        GreyPage page;
        const std::string magic = token();
        page.width = std::atoi(token().c_str());
        page.height = std::atoi(token().c_str());
        token();
        const size_t start = at + 1;
        if (magic != "P5" || page.width <= 0 || start + size_t(page.width) * page.height > bytes.size())
            break;
        page.pixels.assign(bytes.begin() + start, bytes.begin() + start + size_t(page.width) * page.height);
        pages.push_back(std::move(page));
    }
    return pages;
}

// The first sheet, or a blank one when nothing was printed: a test then
// fails on its marks instead of crashing into the debugger's box.
inline GreyPage FirstSheet(const std::vector<GreyPage>& sheets) {
    return sheets.empty() ? GreyPage{} : sheets[0];
}

// One black mark: its bounding box and centroid in mm of the sheet.
struct Mark {
    double left = 0, top = 0, right = 0, bottom = 0;
    double centre_x = 0, centre_y = 0;
    double width() const { return right - left; }
    double height() const { return bottom - top; }
};

// The connected dark regions of at least `min_pixels`, top to bottom, then
// left to right.
inline std::vector<Mark> FindMarks(const GreyPage& page, size_t min_pixels = 20) {
    std::vector<uint8_t> seen(page.pixels.size(), 0);
    std::vector<Mark> marks;
    std::vector<int> stack;
    for (int start = 0; start < page.width * page.height; ++start) {
        if (seen[size_t(start)] || page.pixels[size_t(start)] >= 128) continue;
        int left = page.width, top = page.height, right = -1, bottom = -1;
        double sum_x = 0, sum_y = 0;
        size_t count = 0;
        stack.assign(1, start);
        seen[size_t(start)] = 1;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            const int x = at % page.width, y = at / page.width;
            left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
            bottom = std::max(bottom, y);
            sum_x += x + 0.5, sum_y += y + 0.5, ++count;
            const int next[4] = {x > 0 ? at - 1 : -1, x + 1 < page.width ? at + 1 : -1,
                                 y > 0 ? at - page.width : -1, y + 1 < page.height ? at + page.width : -1};
            for (int n : next) {
                if (n < 0 || seen[size_t(n)] || page.pixels[size_t(n)] >= 128) continue;
                seen[size_t(n)] = 1;
                stack.push_back(n);
            }
        }
        if (count < min_pixels) continue;
        Mark mark;
        mark.left = left / kRasterPixelsPerMm, mark.top = top / kRasterPixelsPerMm;
        mark.right = (right + 1) / kRasterPixelsPerMm, mark.bottom = (bottom + 1) / kRasterPixelsPerMm;
        mark.centre_x = sum_x / count / kRasterPixelsPerMm,
        mark.centre_y = sum_y / count / kRasterPixelsPerMm;
        marks.push_back(mark);
    }
    // Rows of 5 mm, so that marks whose tops differ by a pixel stay in one row.
    auto row = [](const Mark& m) { return static_cast<int>(m.top / 5); };
    std::sort(marks.begin(), marks.end(), [&](const Mark& a, const Mark& b) {
        return row(a) != row(b) ? row(a) < row(b) : a.left < b.left;
    });
    return marks;
}

// The page numbers of the %%Page: comments, in order.
inline std::vector<std::string> PageComments(const std::string& postscript) {
    std::vector<std::string> pages;
    for (size_t at = postscript.find("%%Page: "); at != std::string::npos;
         at = postscript.find("%%Page: ", at + 1)) {
        pages.push_back(postscript.substr(at + 8, postscript.find_first_of("\r\n", at) - at - 8));
    }
    return pages;
}

// A viewer with its frame window, as the shells make it, on the prefix's
// own registry: the spooler keeps its printers there, so the settings keys
// cannot be redirected as the frame tests do. Settings are changed only as
// the internal caller, whose changes are never saved.
struct PrintViewer {
    explicit PrintViewer(MarkupProvider* markups = nullptr) {
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        if (markups) AppSetMarkups(root.get(), markups);
        settings = AppGetSettings(root.get());
        context = ViewerContextConstruct(root.get());
        AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, false);
    }
    ~PrintViewer() {
        AppStop(root.get());
        AppCloseAll(root.get(), context.get());
        AppBroadcast(root.get(), event::kAppEnding);
        AppShutdown(root.get());
        PumpPending();
        context.Reset();
        root.Reset();
    }
    HWND Frame() const { return ViewerGetFrameHwnd(context.get()); }
    bool Open(const std::vector<std::string>& unix_paths) {
        if (ViewerOpenDocument(context.get(), JoinedPaths(unix_paths), nullptr, kOpenInteractive) <= 0)
            return false;
        return PollUntil(
            [&] {
                Ref<DocItem> document = Document(0);
                return document && DocItemGetType(document.get()) == doc_type::kImage &&
                       DocItemGetChildCount(document.get()) && ViewerGetActiveItemId(context.get()) >= 0;
            },
            15000);
    }
    Ref<DocItem> Document(uint32_t at) const {
        return DocItemGetChild(ViewerGetRootItem(context.get()).get(), at);
    }

    Ref<AppRoot> root;
    Ref<Settings> settings;
    Ref<ViewerContext> context;
};
