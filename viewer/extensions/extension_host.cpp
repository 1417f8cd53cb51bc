#include "viewer/extensions/extension_host.h"

#include "foundation/file_search.h"
#include "foundation/string_split.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

namespace {

constexpr wchar_t kSearchAll[] = L"*";
constexpr wchar_t kLibraryPattern[] = L"pxe_*.dll";
constexpr int32_t kInterfaceVersion = 1;

template <class Proc>
Proc Resolve(const DllHandle& library, const wchar_t* name) {
    // Through void*: a FARPROC's own type says nothing about the entry's.
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(DllGetProc(library, name)));
}

// A plug-in may fill a buffer to its last byte without a terminator: the
// text ends at the first NUL or at the buffer's end, whichever comes first.
WString& TextFromBuffer(const char* buffer, uint32_t size, WString& out) {
    AString ansi;
    AStrAssignN(ansi, buffer, size);
    return WStrFromAnsi(out, ansi);
}

WString& FolderOf(const WString& directory, WString& out) {
    out = directory;
    const wchar_t last = WStrCharAt(out, WStrLength(out) - 1);
    if (last != L'\\' && last != L'/') WStrAppendChar(out, L'\\');
    return out;
}

bool IsFull(const ExtensionHost& host) { return PtrArrayCount(host.extensions) >= kMaxExtensions; }

void LoadInto(ExtensionHost& host, uint16_t language, const WString& path) {
    if (Ref<Extension> extension = ExtensionLoad(language, path))
        PtrArrayAdd(host.extensions, extension.get());
}

void LoadMatchingFiles(ExtensionHost& host, uint16_t language, const WString& folder) {
    ForEachMatchingFile(
        folder, kLibraryPattern, [&](const WString& path) { LoadInto(host, language, path); },
        [&] { return !IsFull(host); });
}

void LoadListedFiles(ExtensionHost& host, uint16_t language, const WString& folder, const WString& list) {
    WStrSplit* names = WStrSplitChar(list, L',', true);
    if (!names) return;
    for (uint32_t i = 0; i < names->count && !IsFull(host); ++i) {
        WString name;
        WStrSplitGet(*names, i, name);
        WStrReplaceChar(name, L'/', L'\\');
        // A name with a separator is a path of its own (absolute, or relative
        // to the current directory); a bare name lives beside the module.
        WString path;
        if (WStrFindChar(name, L'\\') < 0) {
            WStrConcat(folder, name, path);
        } else {
            path = name;
        }
        LoadInto(host, language, path);
    }
    StrSplitFree(names);
}

void ReadLibraryInfo(Extension& extension) {
    char texts[kExtensionInfoTexts][PXE_INFO_TEXT_SIZE] = {};
    int32_t numbers[kExtensionInfoNumbers] = {};
    extension.lib_info(texts[0], texts[1], texts[2], &numbers[0], &numbers[1]);
    for (uint32_t i = 0; i < kExtensionInfoTexts; ++i)
        TextFromBuffer(texts[i], PXE_INFO_TEXT_SIZE, extension.info[i]);
    for (uint32_t i = 0; i < kExtensionInfoNumbers; ++i) extension.numbers[i] = numbers[i];
}

void ReadMenu(Extension& extension) {
    if (!extension.get_menu_info || !extension.get_menu_entry_info) return;
    char name[PXE_MENU_TEXT_SIZE] = {};
    int32_t count = 0;
    if (extension.get_menu_info(extension.handle, name, &count) != 0) return;
    extension.has_menu = true;
    TextFromBuffer(name, PXE_MENU_TEXT_SIZE, extension.menu_name);

    const int32_t asked = count < int32_t(kMaxExtensionEntries) ? count : int32_t(kMaxExtensionEntries);
    for (int32_t index = 0; index < asked; ++index) {
        char text[PXE_MENU_TEXT_SIZE] = {};
        char help[PXE_MENU_TEXT_SIZE] = {};
        HBITMAP bitmap = nullptr;
        int32_t flags = 0;
        if (extension.get_menu_entry_info(extension.handle, index, text, help, PXE_BITMAP_SIDE,
                                          PXE_BITMAP_SIDE, &bitmap, &flags) != 0) {
            continue;
        }
        Ref<ExtMenuEntry> entry = MakeRef<ExtMenuEntry>();
        entry->bitmap.Reset(bitmap);
        TextFromBuffer(text, PXE_MENU_TEXT_SIZE, entry->text);
        TextFromBuffer(help, PXE_MENU_TEXT_SIZE, entry->help);
        entry->flags = uint32_t(flags);
        entry->index = index;
        PtrArrayAdd(extension.entries, entry.get());
    }
}

// The file the plug-in is to read: the data's own file, made first for a
// download kept in memory; without data yet, the document's path.
WString& DocumentPathOf(DocItem* item, ViewerContext* context, WString& out) {
    WStrClear(out);
    Ref<DocumentSource> source = item->GetSource();
    if (!source) return out;
    if (SourceSaveDataToTemp(source.get(), context)) return SourceGetLocalFileName(source.get(), out);
    return SourceGetPath(source.get(), out);
}

}  // namespace

Extension::~Extension() {
    if (uninitialize) uninitialize(handle);
    PtrArrayClear(entries);
    DllFree(library);
}

Ref<Extension> ExtensionLoad(uint16_t language, const WString& path) {
    Ref<Extension> extension = MakeRef<Extension>();
    if (!DllLoad(extension->library, path)) return nullptr;
    // A library without PXE_LibInfo is no extension: it is freed before any
    // other entry point is even looked up, so none of them runs.
    extension->lib_info = Resolve<PxeLibInfoProc>(extension->library, L"PXE_LibInfo");
    if (!extension->lib_info) return nullptr;
    extension->initialize = Resolve<PxeInitializeProc>(extension->library, L"PXE_Initialize");
    extension->uninitialize = Resolve<PxeUnInitializeProc>(extension->library, L"PXE_UnInitialize");
    extension->get_menu_info = Resolve<PxeGetExtMenuInfoProc>(extension->library, L"PXE_GetExtMenuInfo");
    extension->get_menu_entry_info =
        Resolve<PxeGetExtMenuEntryInfoProc>(extension->library, L"PXE_GetExtMenuEntryInfo");
    extension->menu_handler = Resolve<PxeMenuHandlerProc>(extension->library, L"PXE_MenuHandler");

    ReadLibraryInfo(*extension);
    if (extension->initialize) extension->handle = extension->initialize(kInterfaceVersion, language);
    ReadMenu(*extension);
    return extension;
}

Ref<ExtensionHost> ExtensionHostConstruct(uint16_t language, const WString& directory, const WString& list) {
    Ref<ExtensionHost> host = MakeRef<ExtensionHost>();
    if (WStrLength(directory) == 0 || WStrLength(list) == 0) return host;
    WString folder;
    FolderOf(directory, folder);
    if (WStrEqualsChars(list, kSearchAll)) {
        LoadMatchingFiles(*host, language, folder);
    } else {
        LoadListedFiles(*host, language, folder, list);
    }
    return host;
}

uint32_t ExtensionHostCount(const ExtensionHost* host) { return host ? PtrArrayCount(host->extensions) : 0; }

Ref<Extension> ExtensionHostGet(const ExtensionHost* host, uint32_t index) {
    return host ? PtrArrayGetAs<Extension>(host->extensions, index) : nullptr;
}

uint32_t ExtensionEntryCount(const Extension* extension) {
    return extension ? PtrArrayCount(extension->entries) : 0;
}

Ref<ExtMenuEntry> ExtensionGetEntry(const Extension* extension, uint32_t position) {
    return extension ? PtrArrayGetAs<ExtMenuEntry>(extension->entries, position) : nullptr;
}

bool ExtensionRunCommand(Extension* extension, ViewerContext* context, HWND owner, DocItem* item,
                         uint32_t position) {
    if (!extension || !item || !extension->menu_handler) return false;
    Ref<ExtMenuEntry> entry = ExtensionGetEntry(extension, position);
    if (!entry) return false;

    WString name, path;
    DocItemGetName(item, name);
    DocumentPathOf(item, context, path);
    const int32_t page_index = DocItemGetType(item) == doc_type::kPage ? int32_t(item->GetPageIndex()) : 0;
    AString ansi_name, ansi_path;
    AStrFromWide(ansi_name, name);
    AStrFromWide(ansi_path, path);
    return extension->menu_handler(extension->handle, entry->index, AStrCStr(ansi_name), AStrCStr(ansi_path),
                                   page_index, owner) == 0;
}

bool ExtensionHostRunCommand(ExtensionHost* host, ViewerContext* context, HWND owner, DocItem* item,
                             uint32_t group, uint32_t position) {
    Ref<Extension> extension = ExtensionHostGet(host, group);
    return ExtensionRunCommand(extension.get(), context, owner, item, position);
}
