#include "viewer/dialogs/open_dialog.h"

#include <windows.h>
// after windows.h, which it needs
#include <commdlg.h>

#include <vector>

#include "foundation/variant.h"
#include "resources/text_ids.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_request.h"
#include "viewer/core/path_utils.h"
#include "viewer/core/viewer_context.h"

namespace {

struct FilterPair {
    uint32_t text_id;
    const wchar_t* pattern;
};

constexpr FilterPair kFilters[] = {
    {text::kFilterAllSupported,
     L"*.LST;*.TIFF;*.TIF;*.TTF;*.GIF;*.JFIF;*.JPG;*.JPEG;*.CAL;*.CALS;*.BMP;*.RLE"},
    {text::kFilterAllFiles, L"*.*"},
    {text::kFilterListFiles, L"*.LST"},
    {text::kFilterTiff, L"*.TIF;*.TIFF;*.TTF"},
    {text::kFilterGif, L"*.GIF"},
    {text::kFilterJpeg, L"*.JPG;*.JPEG;*.JFIF"},
    {text::kFilterCals, L"*.CAL;*.CALS"},
    {text::kFilterBmp, L"*.BMP;*.RLE"},
};
// 50,000 characters and the terminator: room for a long multiple selection.
constexpr uint32_t kFileBufferCharacters = 50000;
constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
                             OFN_EXPLORER | OFN_DONTADDTORECENT;

}  // namespace

WString& OpenDialogFilterText(ViewerContext* context, WString& out) {
    WStrClear(out);
    for (const FilterPair& pair : kFilters) {
        WStrAppendChars(out, ViewerGetText(context, pair.text_id));
        WStrAppendChar(out, L'\t');
        WStrAppendChars(out, pair.pattern);
        WStrAppendChar(out, L'\t');
    }
    return out;
}

bool RunOpenDialog(ViewerContext* context) {
    if (!context) return false;
    WString filter_text;
    OpenDialogFilterText(context, filter_text);
    // The filter's pairs are NUL-separated and end with an empty string.
    std::vector<wchar_t> filter(WStrCStr(filter_text), WStrCStr(filter_text) + WStrLength(filter_text));
    for (wchar_t& c : filter) {
        if (c == L'\t') c = 0;
    }
    filter.push_back(0);
    std::vector<wchar_t> buffer(kFileBufferCharacters + 1, 0);

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = ViewerGetFrameHwnd(context);
    dialog.lpstrFilter = filter.data();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = kFileBufferCharacters;
    dialog.lpstrTitle = ViewerGetText(context, text::kOpenDialogTitle);
    dialog.Flags = kOpenFlags;
    if (!GetOpenFileNameW(&dialog)) return false;

    WString paths;
    JoinMultiSelect(buffer.data(), paths);
    Variant argument;
    VariantInitObject(argument, OpenRequestCreate(paths, kOpenInteractive).get());
    ViewerSendActionArg(context, event::kOpenRequest, argument);
    return true;
}

namespace {

class OpenDialogModule : public DialogModule {
  public:
    bool Run(ViewerContext* context) override { return RunOpenDialog(context); }
};

}  // namespace

Ref<DialogModule> OpenDialogModuleCreate() {
    Ref<DialogModule> module = MakeRef<OpenDialogModule>();
    module->name = WString(kOpenDialogModuleName);
    return module;
}
