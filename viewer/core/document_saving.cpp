#include "viewer/core/document_saving.h"

#include <windows.h>
// after windows.h, which it needs
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "foundation/data_reader.h"
#include "foundation/temp_files.h"
#include "resources/text_ids.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/app_utils.h"
#include "viewer/core/frame_messages.h"
#include "viewer/core/open_params.h"
#include "viewer/core/restrictions.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

namespace {
// A filter description this long no longer fits the dialog's list.
constexpr uint32_t kMaxFilterDescription = 70;
// The dialogs' name buffers: 260 characters with the terminator.
constexpr uint32_t kNameBufferCharacters = 260;
// The markup dialog's proposal fills its buffer at most, terminator
// included.
constexpr uint32_t kRedlineMaxName = kNameBufferCharacters - 1;
constexpr uint32_t kRedlineFilterTiff = 2;

void ShowTargetOpen(ViewerContext* context, HWND owner, const WString& path) {
    const WString message = TextWithFileName(context, text::kSaveTargetOpen, path);
    MessageBoxW(owner, WStrCStr(message), ViewerGetText(context, text::kWarning), MB_ICONEXCLAMATION);
}

// The file name the user may write to: not one the viewer shows (refused
// with a message), and an existing file only when the user agrees.
bool ConfirmSaveTarget(ViewerContext* context, HWND owner, const WString& path) {
    if (ViewerIsPathOpen(context, path)) {
        ShowTargetOpen(context, owner, path);
        return false;
    }
    return CheckSaveTargetNotOpen(context, owner, path);
}

// "description\0pattern\0...\0\0" from TAB-separated pairs.
std::vector<wchar_t> FilterBuffer(const WString& pairs) {
    std::vector<wchar_t> filter(WStrCStr(pairs), WStrCStr(pairs) + WStrLength(pairs));
    for (wchar_t& c : filter) {
        if (c == L'\t') c = 0;
    }
    filter.push_back(0);
    filter.push_back(0);
    return filter;
}

std::vector<wchar_t> NameBuffer(const WString& proposed) {
    std::vector<wchar_t> buffer(kNameBufferCharacters + 1, 0);
    const uint32_t n = std::min(WStrLength(proposed), kNameBufferCharacters - 1);
    for (uint32_t i = 0; i < n; ++i) buffer[i] = WStrCharAt(proposed, i);
    return buffer;
}

class WaitCursor {
  public:
    WaitCursor() { SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }
    ~WaitCursor() { SetCursor(LoadCursorW(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

bool HasExtension(const WString& name) {
    WString extension;
    return WStrLength(WStrGetExtension(name, extension)) > 0;
}

}  // namespace

bool ViewerIsPathOpen(ViewerContext* context, const WString& path) {
    if (WStrLength(path) == 0) return false;
    if (ViewerFindItemByName(context, path)) return true;
    // Items are named after titles and file names; the path of the data
    // they show is what must not be overwritten.
    Ref<DocItem> root = ViewerGetRootItem(context);
    return root && DocItemFindBySourcePath(root.get(), true, doc_type::kAll, path);
}

void SaveAsPropose(ViewerContext* context, const WString& file_name, SaveAsProposal& out) {
    out.name = file_name;
    WStrReplaceChar(out.name, L'/', L'\\');
    WStrTruncate(out.name, kSaveAsMaxName);
    WStrGetExtension(out.name, out.extension);
    WStrTruncate(out.extension, kSaveAsMaxExtension);
    WString pattern = L"*.";
    WStrAppend(pattern, out.extension);
    WString description = pattern;
    WStrAppendChar(description, L' ');
    WStrAppendChars(description, ViewerGetText(context, text::kFile));
    if (WStrLength(description) >= kMaxFilterDescription) {
        WStrClear(out.filter_description);
        WStrClear(out.filter_pattern);
        return;
    }
    out.filter_description = description;
    out.filter_pattern = pattern;
}

WString& SaveAsCompleteName(const WString& chosen, const WString& extension, WString& out) {
    WString name = chosen;
    if (!HasExtension(name) && WStrLength(extension) > 0) {
        WStrAppendChar(name, L'.');
        WStrAppend(name, extension);
    }
    out = name;
    return out;
}

bool ViewerSaveAs(ViewerContext* context) {
    Ref<DocItem> item = ViewerGetActiveItem(context);
    if (!item) return false;
    Ref<OpenParams> params = item->GetOpenParams();
    if (params && !OpenParamsGetAllowSave(params.get())) return false;
    if (!ViewerIsAllowed(context, 0, restriction::kSave)) return false;
    Ref<DocumentSource> source = item->GetSource();
    if (!source) return false;

    WString file_name;
    SaveAsProposal proposal;
    SaveAsPropose(context, SourceGetFileName(source.get(), file_name), proposal);
    WString pairs;
    if (WStrLength(proposal.filter_description) > 0) {
        WStrAppend(pairs, proposal.filter_description);
        WStrAppendChar(pairs, L'\t');
        WStrAppend(pairs, proposal.filter_pattern);
    }
    std::vector<wchar_t> filter = FilterBuffer(pairs);
    std::vector<wchar_t> buffer = NameBuffer(proposal.name);

    const HWND owner = ViewerGetFrameHwnd(context);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = WStrLength(pairs) > 0 ? filter.data() : nullptr;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = kNameBufferCharacters;
    dialog.lpstrTitle = WStrCStr(proposal.name);
    dialog.Flags = OFN_EXPLORER;
    if (!GetSaveFileNameW(&dialog)) return false;

    WString target;
    SaveAsCompleteName(WString(buffer.data()), proposal.extension, target);
    if (!ConfirmSaveTarget(context, owner, target)) return false;

    WaitCursor wait;
    bool changed = false;
    Ref<DataReader> reader = SourceOpenReader(source.get(), changed);
    return reader && DataSourceSaveAs(reader.get(), target);
}

RedlineTarget RedlineTargetForName(const WString& chosen, uint32_t filter_index, WString& out_name) {
    WString name = chosen;
    WString extension;
    if (WStrLength(WStrGetExtension(name, extension)) == 0) {
        WStrAppendChars(name, filter_index == kRedlineFilterTiff ? L".tif" : L".plr");
        WStrGetExtension(name, extension);
    }
    out_name = name;
    const bool tiff = WStrEqualsNoCase(extension, L"tif") || WStrEqualsNoCase(extension, L"tiff");
    return tiff ? kRedlineTargetTiff : kRedlineTargetFile;
}

WString& RedlineProposedName(const WString& companion, const WString& local_file, WString& out) {
    const WString& base = WStrLength(companion) > 0 ? companion : local_file;
    WString name;
    WStrStripExtension(base, name);
    WStrTruncate(name, kRedlineMaxName);
    out = name;
    return out;
}

bool ViewerSaveRedlining(ViewerContext* context, DocItem* item) {
    Ref<DocItem> chosen = item ? Ref<DocItem>(item) : ViewerGetActiveItem(context);
    Ref<DocItem> document = DocItemFindDocument(chosen.get(), context);
    Ref<DocumentSource> source = document ? document->GetSource() : nullptr;
    Ref<MarkupDocument> redlining = DocItemGetRedlining(document.get());
    if (!source || !redlining) return false;
    // The point that follows the pointer of a shape still being drawn was
    // never placed: the shape is ended first, as Esc ends it.
    SendMessageW(ViewerGetFrameHwnd(context), kFrameEndMarkupCreationMessage, 0, 0);

    // Markups read from a companion file propose that file, others the
    // document's own file.
    Ref<MarkupProvider> markups = ViewerGetMarkups(context);
    WString companion, local_file, proposed;
    markups->GetCompanionFile(redlining.get(), companion);
    RedlineProposedName(companion, SourceGetLocalFileName(source.get(), local_file), proposed);
    WString directory;
    if (!source->announced.load()) {
        WString path;
        WStrGetDirectory(SourceGetPath(source.get(), path), directory);
    }

    WString pairs = ViewerGetText(context, text::kRedlineFilterFile);
    WStrAppendChars(pairs, L"\t*.PLR\t");
    WStrAppendChars(pairs, ViewerGetText(context, text::kRedlineFilterTiff));
    WStrAppendChars(pairs, L"\t*.TIF");
    std::vector<wchar_t> filter = FilterBuffer(pairs);
    std::vector<wchar_t> buffer = NameBuffer(proposed);

    const HWND owner = ViewerGetFrameHwnd(context);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.data();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = kNameBufferCharacters;
    dialog.lpstrInitialDir = WStrLength(directory) > 0 ? WStrCStr(directory) : nullptr;
    dialog.lpstrTitle = ViewerGetText(context, text::kRedlineSaveTitle);
    dialog.Flags = 0;
    WString unread, target;
    markups->GetUnreadFile(redlining.get(), unread);
    for (;;) {
        if (!GetSaveFileNameW(&dialog)) return false;
        RedlineTargetForName(WString(buffer.data()), dialog.nFilterIndex, target);
        // The companion file that could not be read whole is never replaced:
        // the user learns why and may choose another name.
        if (WStrLength(unread) == 0 || !IsSameFile(unread, target)) break;
        const WString message = TextWithFileName(context, text::kRedlineUnreadCompanion, unread);
        if (MessageBoxW(owner, WStrCStr(message), ViewerGetText(context, text::kWarning),
                        MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
            return false;
        }
    }

    bool written;
    if (RedlineTargetForName(WString(buffer.data()), dialog.nFilterIndex, target) == kRedlineTargetTiff) {
        if (ViewerIsPathOpen(context, target)) {
            ShowTargetOpen(context, owner, target);
            return true;
        }
        // A TIFF at that name is another document: replaced only when the
        // user agrees, as every other save target.
        if (!CheckSaveTargetNotOpen(context, owner, target)) return false;
        written = markups->SaveToTiff(source.get(), redlining.get(), target);
    } else {
        // The dialog asks nothing: an existing companion file (the markups of
        // another session, perhaps) is replaced only when the user agrees.
        if (!CheckSaveTargetNotOpen(context, owner, target)) return false;
        written = markups->SaveFile(redlining.get(), target);
    }
    if (!written) {
        MessageBoxW(owner, ViewerGetText(context, text::kRedlineSaveError),
                    ViewerGetText(context, text::kError), MB_ICONHAND);
    } else if (markups->ReplacedInLastSave(redlining.get()) > 0) {
        MessageBoxW(owner, ViewerGetText(context, text::kRedlineCharactersReplaced),
                    ViewerGetText(context, text::kWarning), MB_ICONEXCLAMATION);
    }
    return written;
}

namespace {

// False when the user cancelled; every document below `item` is asked about.
bool ConfirmMarkupsBelow(ViewerContext* context, MarkupProvider* markups, DocItem* item) {
    Ref<MarkupDocument> redlining = DocItemGetRedlining(item);
    if (redlining && markups->IsModified(redlining.get())) {
        WString name;
        DocItemGetDisplayName(item, context, name);
        const WString message = TextWithFileName(context, text::kRedlineUnsavedChanges, name);
        const int answer =
            MessageBoxW(ViewerGetFrameHwnd(context), WStrCStr(message),
                        ViewerGetText(context, text::kWarning), MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) return false;
        // A save the user abandons or that fails keeps the document open.
        if (answer == IDYES && !ViewerSaveRedlining(context, item)) return false;
    }
    const uint32_t children = DocItemGetChildCount(item);
    for (uint32_t i = 0; i < children; ++i) {
        Ref<DocItem> child = DocItemGetChild(item, i);
        if (child && !ConfirmMarkupsBelow(context, markups, child.get())) return false;
    }
    return true;
}

}  // namespace

bool ViewerConfirmMarkupsClose(ViewerContext* context, DocItem* item) {
    Ref<DocItem> top = item ? Ref<DocItem>(item) : ViewerGetRootItem(context);
    if (!top) return true;
    Ref<MarkupProvider> markups = ViewerGetMarkups(context);
    return ConfirmMarkupsBelow(context, markups.get(), top.get());
}
