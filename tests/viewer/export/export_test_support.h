// What the export tests share: image files opened without the document
// tree, pictures and tags read back by ImageMagick and libtiff, English
// texts, and a folder in which nothing can be created.
#pragma once

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <sstream>

#include "foundation/data_source.h"
#include "tests/imaging/writers/pdf_test_support.h"
#include "viewer/app/app_root.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/viewer_context.h"

inline void UseEnglish(ViewerContext* context) {
    ViewerGetApp(context)->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    ScopedLock hold(context->lock);
    context->language = 1;
}

inline WString WinPath(const std::string& unix_path) { return WString(WindowsPathOf(unix_path).c_str()); }

inline bool HostFileExists(const std::string& unix_path) {
    return RunHostCommand("test -e '" + unix_path + "'") == 0;
}

// At 72 dpi, so that PDF points and pixels coincide: a 60 x 40 RGB page
// whose pixels all differ, its grey and 12-colour versions, a bilevel page,
// three asymmetric bilevel pages of different sizes, and colour then those.
inline void MakeExportPages(const std::string& dir) {
    ASSERT_EQ(
        RunHostCommand("cd '" + dir +
                       "' && convert -density 72 -units PixelsPerInch -size 60x40 xc:black"
                       " -channel R -fx i/w -channel G -fx j/h -channel B -fx '(i+j)%7/7' +channel -depth 8"
                       " -type TrueColor -compress none colour.tif && convert colour.tif -colorspace Gray"
                       " -type Grayscale grey.tif && convert colour.tif -colors 12 -type Palette"
                       " bmp3:palette.bmp && convert -density 72 -units PixelsPerInch -size 50x30 xc:white"
                       " -fill black -draw 'rectangle 3,3 20,25' -monochrome -compress group4 bilevel.tif"
                       " && convert -density 72 -units PixelsPerInch \\( -size 120x80 xc:white -fill black"
                       " -draw 'rectangle 5,5 40,20' -draw 'circle 90,60 100,70' \\) \\( -size 100x90"
                       " xc:white -fill black -draw 'polygon 10,10 90,20 30,80' \\) \\( -size 80x120"
                       " xc:white -fill black -draw 'rectangle 60,5 75,100' -draw 'line 0,119 79,0' \\)"
                       " -monochrome -compress group4 pages.tif && tiffcp colour.tif pages.tif mixed.tif"),
        0);
}

// A file's pages without the document tree.
struct OpenedImage {
    Ref<DataSource> data;
    Ref<ImageFormat> format;
};

inline OpenedImage OpenImage(const std::string& unix_path) {
    OpenedImage opened{DataSourceOpenFile(WinPath(unix_path), false), nullptr};
    ImageStatus status;
    if (opened.data) opened.format = ImageParseFile(&status, opened.data.get(), 0);
    return opened;
}

// The PNM that `command` writes to `out`.
inline Pnm PnmFrom(const std::string& command, const std::string& out) {
    Pnm pnm;
    EXPECT_EQ(RunHostCommand(command), 0) << command;
    EXPECT_TRUE(ParsePnm(ReadHostFile(out), pnm)) << command;
    return pnm;
}

// ImageMagick's decode of a page after the options, as a PNM of `kind`.
inline Pnm Magick(const std::string& file, int page, const std::string& options, const std::string& dir,
                  const std::string& kind = "pbm") {
    const std::string out = dir + "/magick." + kind;
    return PnmFrom(
        "convert '" + file + "[" + std::to_string(page) + "]' " + options + " " + kind + ":'" + out + "'",
        out);
}

inline bool SamePicture(const Pnm& a, const Pnm& b) {
    return a.kind == b.kind && a.width == b.width && a.height == b.height && a.bytes == b.bytes;
}

struct Dumped {
    uint32_t type = 0, count = 0;
    std::string values;  // between '<' and '>'
};

// Each directory as tiffdump lists it, by tag: "Name (256) SHORT (3) 1<40>",
// or "300 (0x12c) SHORT (3) 2<3 7>" for a tag it does not name.
inline std::vector<std::map<uint32_t, Dumped>> DumpTiff(const std::string& path, const std::string& dir) {
    std::istringstream text(HostOutput("tiffdump '" + path + "'", dir));
    std::vector<std::map<uint32_t, Dumped>> dirs;
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("Directory ", 0) == 0) dirs.emplace_back();
        const size_t open = line.find('<'), close = line.rfind('>');
        std::istringstream head(line.substr(0, open));
        const std::vector<std::string> w{std::istream_iterator<std::string>(head), {}};
        if (dirs.empty() || open == std::string::npos || close < open || w.size() < 5) continue;
        const uint32_t tag = std::stoul(isdigit(w[0][0]) ? w[0] : w[w.size() - 4].substr(1));
        dirs.back()[tag] = {uint32_t(std::stoul(w[w.size() - 2].substr(1))), uint32_t(std::stoul(w.back())),
                            line.substr(open + 1, close - open - 1)};
    }
    return dirs;
}

// A folder that even root cannot create files in (the immutable attribute)
// for the span of a scope.
class LockedFolder {
  public:
    explicit LockedFolder(const std::string& path) : path_(path) {
        locked_ = RunHostCommand("mkdir -p '" + path + "' && chattr +i '" + path + "'") == 0;
    }
    ~LockedFolder() { RunHostCommand("chattr -i '" + path_ + "'"); }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;
    bool locked() const { return locked_; }
    bool Empty() const { return RunHostCommand("test -z \"$(ls -A '" + path_ + "')\"") == 0; }

  private:
    std::string path_;
    bool locked_ = false;
};
