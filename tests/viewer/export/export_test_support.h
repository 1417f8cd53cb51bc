// What the export tests share: image files opened without the document
// tree, pictures and tags read back by outside tools (ImageMagick, libtiff),
// English texts, and a folder in which nothing can be created.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "imaging/formats/image_format.h"
#include "tests/imaging/writers/pdf_test_support.h"
#include "tests/support/test_support.h"
#include "viewer/core/app_root.h"
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

// ImageMagick's decode of a page after the options, as a PNM of `kind`
// (pbm, ppm).
inline Pnm Magick(const std::string& file, int page, const std::string& options, const std::string& dir,
                  const std::string& kind = "pbm") {
    const std::string out = dir + "/magick." + kind;
    return PnmFrom(
        "convert '" + file + "[" + std::to_string(page) + "]' " + options + " " + kind + ":'" + out + "'",
        out);
}

inline bool SamePicture(const Pnm& a, const Pnm& b) {
    return a.kind == b.kind && a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// Each directory as tiffdump lists it: tag -> the text between < and >.
inline std::vector<std::map<uint32_t, std::string>> DumpTiff(const std::string& path,
                                                             const std::string& dir) {
    std::istringstream text(HostOutput("tiffdump '" + path + "'", dir));
    std::vector<std::map<uint32_t, std::string>> dirs;
    std::string line;
    while (std::getline(text, line)) {
        if (line.rfind("Directory ", 0) == 0) dirs.emplace_back();
        const size_t open = line.find(" ("), first = line.find('<'), last = line.rfind('>');
        if (dirs.empty() || open == std::string::npos || first == std::string::npos || last < first) continue;
        dirs.back()[std::stoul(line.substr(open + 2))] = line.substr(first + 1, last - first - 1);
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
