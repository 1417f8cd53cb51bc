#include "program/session_list.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "foundation/file_handle.h"
#include "foundation/ptr_array.h"
#include "foundation/variant.h"
#include "resources/text_ids.h"
#include "viewer/app/action_listener.h"
#include "viewer/app/app_root.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/documents/list_file.h"
#include "viewer/model/cut_out_state.h"

namespace {

// Texts of the reopening's message boxes.

constexpr uint32_t kWrittenTypes = doc_type::kUnshowable | doc_type::kImage | doc_type::kList;

// The text in the ANSI code page, or false when a character has no place
// there: a path written with '?' in its stead would name another file.
bool ToAnsiExactly(const WString& text, AString& out) {
    AStrClear(out);
    const int units = static_cast<int>(WStrLength(text));
    if (units == 0) return true;
    BOOL lossy = FALSE;
    const int bytes =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, WStrCStr(text), units, nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy) return false;
    std::vector<char> buffer(static_cast<size_t>(bytes));
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, WStrCStr(text), units, buffer.data(), bytes,
                            nullptr, &lossy) != bytes ||
        lossy) {
        return false;
    }
    AStrAssignN(out, buffer.data(), static_cast<uint32_t>(bytes));
    return AStrLength(out) == static_cast<uint32_t>(bytes);
}

void AppendFormatted(AString& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendFormatted(AString& out, const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    const int n = vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    if (n > 0) AStrAppendUpTo(out, text, sizeof(text));
}

// The only page of a document, or null when it has none or several.
Ref<DocItem> OnlyPage(DocItem* document) {
    Ref<DocItem> page;
    const uint32_t children = DocItemGetChildCount(document);
    for (uint32_t i = 0; i < children; ++i) {
        Ref<DocItem> child = DocItemGetChild(document, i);
        if (DocItemGetType(child.get()) != doc_type::kPage) continue;
        if (page) return nullptr;
        page = child;
    }
    return page;
}

// The command-line switches of the page's view: mirrors, inversion, a
// quarter turn and the cut-out (left, top, right, bottom in millimetres,
// which the parser takes back whole although commas end its tokens).
void AppendViewSwitches(DocItem* page, AString& out) {
    Ref<CutOutState> state = page->GetCutOut();
    if (!state) return;
    if (CutOutGetMirrorHorizontal(state.get())) AStrAppendChars(out, " -fh");
    if (CutOutGetMirrorVertical(state.get())) AStrAppendChars(out, " -fv");
    if (CutOutGetInvert(state.get())) AStrAppendChars(out, " -n");
    if (const uint32_t rotation = CutOutGetRotation(state.get())) AppendFormatted(out, " -r:%u", rotation);
    RectD rect;
    CutOutGetRect(state.get(), rect);
    AppendFormatted(out, " -c:%f,%f,%f,%f", rect.origin.x, rect.origin.y, rect.origin.x + rect.size.width,
                    rect.origin.y + rect.size.height);
}

// What the document was opened without: a reopened session must not lift it.
void AppendRestrictions(DocItem* document, AString& out) {
    Ref<OpenParams> params = document->GetOpenParams();
    if (!params) return;
    if (!OpenParamsGetAllowSave(params.get())) AStrAppendChars(out, " -nosave");
    if (!OpenParamsGetAllowPrint(params.get())) AStrAppendChars(out, " -noprint");
}

// A TAB or a line end inside the name would start another field or line.
WString& FieldText(const WString& text, WString& out) {
    WString field = text;
    WStrReplaceChar(field, L'\t', L' ');
    WStrReplaceChar(field, L'\r', L' ');
    WStrReplaceChar(field, L'\n', L' ');
    return WStrAssign(out, field);
}

bool ReadWholeFile(const WString& path, std::vector<uint8_t>& bytes) {
    FileHandle file(
        CreateFileW(WStrCStr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) >= kListFileMaxBytes) {
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() ||
           (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
            read == bytes.size());
}

bool FileCanBeRead(const WString& path) {
    if (WStrLength(path) == 0) return false;
    FileHandle file(
        CreateFileW(WStrCStr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.valid();
}

void ShowReopenMessage(ViewerContext* context, uint32_t text, uint32_t caption, UINT icon) {
    const wchar_t* message = ViewerGetText(context, text);
    const wchar_t* title = ViewerGetText(context, caption);
    MessageBoxW(ViewerGetFrameHwnd(context), message ? message : L"", title ? title : L"", MB_OK | icon);
}

}  // namespace

HubAnswer SessionList::Notify(RefCounted* sender, HubEvent* event) {
    if (!event) return HubAnswer::kContinue;
    if (event->code == event::kAppEnding) {
        SessionListDetach(this);
        return HubAnswer::kContinue;
    }
    // The control build has no such action: the number is another one there.
    if constexpr (!kViewerProgramBuild) return HubAnswer::kContinue;
    if (event->code != event::kReopenSessionList) return HubAnswer::kContinue;
    SessionListReopen(this, false);
    return HubAnswer::kHandled;
}

Ref<SessionList> SessionListCreate(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    if (!app) return nullptr;
    WString path;
    // The temporary directory is fixed when the root is made.
    if (WStrLength(app->temp_directory) > 0) WStrConcatChars(app->temp_directory, kSessionListName, path);
    Ref<SessionList> session = MakeRef<SessionList>(path);
    session->context = Ref<ViewerContext>(context);
    session->exists = FileCanBeRead(path);
    if (Ref<EventHub> hub = AppGetEventHub(app.get())) ListenerConstruct(session.get(), hub.get());
    return session;
}

void SessionListDetach(SessionList* session) {
    if (!session) return;
    ListenerDetach(session);
    Ref<ViewerContext> released;
    ScopedLock hold(session->lock);
    released = std::move(session->context);
}

bool SessionListExists(SessionList* session) {
    if (!session) return false;
    ScopedLock hold(session->lock);
    return session->exists;
}

bool SessionListFormatLine(ViewerContext* context, DocItem* document, AString& line) {
    AStrClear(line);
    Ref<DocumentSource> source = document ? document->GetSource() : nullptr;
    if (!source) return false;
    WString path;
    SourceGetPath(source.get(), path);
    AString ansi_path;
    if (WStrLength(path) == 0 || WStrFindAnyOf(path, L"\t\r\n") >= 0 || !ToAnsiExactly(path, ansi_path)) {
        return false;
    }
    WString name;
    FieldText(DocItemGetName(document, name), name);
    AString ansi_name;
    // A name that the code page cannot hold is left out; the reopened
    // document is then named after its file.
    if (!ToAnsiExactly(name, ansi_name)) AStrClear(ansi_name);

    AString switches;
    if (Ref<DocItem> page = OnlyPage(document)) AppendViewSwitches(page.get(), switches);
    AppendRestrictions(document, switches);

    line = ansi_path;
    AStrAppendChars(line, "\t");
    AStrAppendChars(line, AStrCStr(ansi_name));
    if (AStrLength(switches) > 0) {
        AStrAppendChars(line, "\t");
        AStrAppendChars(line, AStrCStr(switches));
    }
    return true;
}

bool SessionListWrite(ViewerContext* context, const WString& path) {
    if (!context || WStrLength(path) == 0) return false;
    Ref<DocItem> root = ViewerGetRootItem(context);
    const uint32_t children = DocItemGetChildCount(root.get());
    if (children == 0) {
        DeleteFileW(WStrCStr(path));
        return true;
    }

    SYSTEMTIME now;
    GetLocalTime(&now);
    AString text = "; Plovex LST File\r\n";
    AppendFormatted(text,
                    "; Persisted Session automatically created  %04hd/%02hd/%02hd %02hd:%02hd:%02hd\r\n",
                    now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    AStrAppendChars(text, "\r\n");
    for (uint32_t i = 0; i < children; ++i) {
        Ref<DocItem> child = DocItemGetChild(root.get(), i);
        if (!(DocItemGetType(child.get()) & kWrittenTypes)) continue;
        AString line;
        if (!SessionListFormatLine(context, child.get(), line)) continue;
        AStrAppendChars(text, AStrCStr(line));
        AStrAppendChars(text, "\r\n");
    }
    return WriteNewFile(WStrCStr(path), AStrCStr(text), AStrLength(text), FILE_ATTRIBUTE_NORMAL);
}

bool SessionListReopen(SessionList* session, bool silent) {
    if (!session) return false;
    Ref<ViewerContext> context;
    {
        ScopedLock hold(session->lock);
        context = session->context;
    }
    if (!context) return false;

    std::vector<uint8_t> bytes;
    PtrArray entries(8, true);
    ListFileInfo info;
    // No list yet (a first start) or an empty one holds no documents; only a
    // list that is there and cannot be read is an error.
    const bool read = ReadWholeFile(session->path, bytes);
    const bool none =
        read ? bytes.empty() : GetFileAttributesW(WStrCStr(session->path)) == INVALID_FILE_ATTRIBUTES;
    const bool parsed = read && !bytes.empty() &&
                        ListFileParseText(context.get(), bytes.data(), static_cast<uint32_t>(bytes.size()),
                                          session->path, entries, info);
    uint32_t opened = 0;
    if (parsed) {
        Ref<DocItem> root = ViewerGetRootItem(context.get());
        opened = ListFileApplyEntries(context.get(), root.get(), entries);
        if (opened > 0) {
            Variant first_page;
            VariantInitInt(first_page, 0);
            ViewerPostActionArg(context.get(), event::kGoToPage, first_page);
        }
    }
    {
        ScopedLock hold(session->lock);
        session->exists = false;
    }
    if (!silent) {
        if (!parsed && !none) {
            ShowReopenMessage(context.get(), text::kRecentListUnreadable, text::kWarning, MB_ICONERROR);
        } else if (opened == 0) {
            ShowReopenMessage(context.get(), text::kNoDocumentsToOpen, text::kInformation,
                              MB_ICONINFORMATION);
        }
    }
    return parsed || none;
}
