#include "control/registrar.h"

#include <olectl.h>

#include <initializer_list>

#include "control/class_objects.h"
#include "control/com/com_module.h"
#include "control/com/type_library.h"
#include "foundation/dll_handle.h"
#include "foundation/registry.h"
#include "plovex_idl.h"
#include "resources/resource_ids.h"

namespace {

// "{xxxxxxxx-...}" and its terminator.
constexpr int kGuidTextCapacity = 39;
constexpr WORD kTypeLibMajor = 1;
constexpr WORD kTypeLibMinor = 0;
constexpr LCID kTypeLibLocale = 0x409;
#ifdef _WIN64
constexpr SYSKIND kTypeLibSystem = SYS_WIN64;
#else
constexpr SYSKIND kTypeLibSystem = SYS_WIN32;
#endif

// A MIME type that the control shows full-page, with its file extension.
struct FullPageType {
    const wchar_t* content_type;
    const wchar_t* extension;
};
constexpr FullPageType kFullPageTypes[] = {{L"image/tiff", L".tif"}, {L"application/plovex-list", L".lst"}};
constexpr const wchar_t* kContentTypeRoot = L"MIME\\Database\\Content Type\\";
// The control's empty marker keys under its CLSID.
constexpr const wchar_t* kControlMarkers[] = {L"Programmable", L"Control", L"Insertable"};
constexpr const wchar_t* kMiscStatus = L"0";
// Set-client-site-first, inside-out, activate-when-visible,
// cannot-link-inside and recompose-on-resize.
constexpr const wchar_t* kMiscStatusContent = L"131473";
constexpr const wchar_t* kControlVersion = L"5.29";

WString GuidText(REFGUID guid) {
    wchar_t text[kGuidTextCapacity];
    if (StringFromGUID2(guid, text, kGuidTextCapacity) == 0) return WString();
    return WString(text);
}

WString KeyPath(std::initializer_list<const wchar_t*> parts) {
    WString path;
    for (const wchar_t* part : parts) {
        if (WStrLength(path) > 0) WStrAppendChar(path, L'\\');
        WStrAppendChars(path, part);
    }
    return path;
}

// Creates the key (and its parents); with a value, sets it (null name: the
// default value).
bool Write(const WString& path, const wchar_t* name = nullptr, const WString* value = nullptr) {
    RegKey key = RegOpen(HKEY_CLASSES_ROOT, WStrCStr(path), false);
    if (!key) return false;
    return !value || RegSetString(key.get(), name, *value);
}

bool WriteText(const WString& path, const wchar_t* name, const wchar_t* value) {
    const WString text(value);
    return Write(path, name, &text);
}

bool DeleteTree(const WString& path) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, WStrCStr(path));
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

WString VersionedProgId(const ControlClass& entry) {
    WString prog_id = entry.prog_id;
    return WStrAppendChars(prog_id, kProgIdVersionSuffix);
}

WString MimeKey(const FullPageType& type) {
    WString key = kContentTypeRoot;
    return WStrAppendChars(key, type.content_type);
}

bool RegisterProgIds(const ControlClass& entry, const WString& class_id) {
    const WString versioned = VersionedProgId(entry);
    const WString independent = entry.prog_id;
    bool ok = WriteText(versioned, nullptr, entry.description);
    ok = Write(KeyPath({WStrCStr(versioned), L"CLSID"}), nullptr, &class_id) && ok;
    ok = WriteText(independent, nullptr, entry.description) && ok;
    ok = Write(KeyPath({WStrCStr(independent), L"CLSID"}), nullptr, &class_id) && ok;
    return Write(KeyPath({WStrCStr(independent), L"CurVer"}), nullptr, &versioned) && ok;
}

bool RegisterControlKeys(const WString& class_key, const WString& module_path) {
    bool ok = true;
    for (const wchar_t* marker : kControlMarkers) ok = Write(KeyPath({WStrCStr(class_key), marker})) && ok;
    // "path, number": the bitmap resource of the module.
    WString bitmap = module_path;
    WStrAppendChars(bitmap, L", ");
    WStrAppendInt(bitmap, IDB_CONTROL_TOOLBOX);
    ok = Write(KeyPath({WStrCStr(class_key), L"ToolboxBitmap32"}), nullptr, &bitmap) && ok;
    const WString misc_status = KeyPath({WStrCStr(class_key), L"MiscStatus"});
    ok = WriteText(misc_status, nullptr, kMiscStatus) && ok;
    ok = WriteText(KeyPath({WStrCStr(misc_status), L"1"}), nullptr, kMiscStatusContent) && ok;
    ok = WriteText(KeyPath({WStrCStr(class_key), L"Version"}), nullptr, kControlVersion) && ok;
    for (const FullPageType& type : kFullPageTypes) {
        ok = Write(KeyPath({WStrCStr(class_key), L"EnableFullPage", type.extension})) && ok;
    }
    return ok;
}

bool RegisterFullPageTypes(const WString& class_id) {
    bool ok = true;
    for (const FullPageType& type : kFullPageTypes) {
        const WString mime = MimeKey(type);
        ok = Write(mime, L"CLSID", &class_id) && ok;
        ok = WriteText(mime, L"Extension", type.extension) && ok;
        ok = WriteText(WString(type.extension), L"Content Type", type.content_type) && ok;
    }
    return ok;
}

bool RegisterClass(const ControlClass& entry, const WString& module_path, const WString& library_id) {
    const WString class_id = GuidText(*entry.class_id);
    if (WStrLength(class_id) == 0) return false;
    const WString class_key = KeyPath({L"CLSID", WStrCStr(class_id)});
    // A key left by an earlier registration is written afresh.
    bool ok = DeleteTree(class_key) && RegisterProgIds(entry, class_id);
    const WString versioned = VersionedProgId(entry);
    ok = WriteText(class_key, nullptr, entry.description) && ok;
    ok = Write(KeyPath({WStrCStr(class_key), L"ProgID"}), nullptr, &versioned) && ok;
    ok = WriteText(KeyPath({WStrCStr(class_key), L"VersionIndependentProgID"}), nullptr, entry.prog_id) && ok;
    const WString server = KeyPath({WStrCStr(class_key), L"InprocServer32"});
    ok = Write(server, nullptr, &module_path) && ok;
    ok = WriteText(server, L"ThreadingModel", entry.threading_model) && ok;
    ok = Write(KeyPath({WStrCStr(class_key), L"TypeLib"}), nullptr, &library_id) && ok;
    if (entry.is_control) {
        ok = RegisterControlKeys(class_key, module_path) && ok;
        ok = RegisterFullPageTypes(class_id) && ok;
    }
    return ok;
}

// Removes the CLSID value of a shared MIME key only while it names the
// control: another program may have taken the type over since.
bool UnregisterFullPageTypes(const WString& class_id) {
    bool ok = true;
    for (const FullPageType& type : kFullPageTypes) {
        const WString mime = MimeKey(type);
        RegKey key = RegOpen(HKEY_CLASSES_ROOT, WStrCStr(mime), true);
        WString named;
        if (!key || !RegGetString(key.get(), L"CLSID", named) || !WStrEqualsNoCaseStr(named, class_id))
            continue;
        key = RegOpen(HKEY_CLASSES_ROOT, WStrCStr(mime), false);
        ok = key && RegDeleteValue(key.get(), L"CLSID") && ok;
    }
    return ok;
}

bool UnregisterClass(const ControlClass& entry) {
    const WString class_id = GuidText(*entry.class_id);
    if (WStrLength(class_id) == 0) return false;
    const WString versioned = VersionedProgId(entry);
    bool ok = DeleteTree(versioned);
    ok = DeleteTree(WString(entry.prog_id)) && ok;
    ok = DeleteTree(KeyPath({L"CLSID", WStrCStr(class_id)})) && ok;
    if (entry.is_control) ok = UnregisterFullPageTypes(class_id) && ok;
    return ok;
}

}  // namespace

HRESULT RegistrarRegister() {
    WString module_path;
    if (!ModuleFileName(ComModuleInstance(), module_path)) return SELFREG_E_CLASS;
    ComPtr<ITypeLib> library;
    if (FAILED(ComLoadTypeLib(library.Put())) ||
        FAILED(RegisterTypeLib(library.get(), const_cast<wchar_t*>(WStrCStr(module_path)), nullptr))) {
        return SELFREG_E_TYPELIB;
    }
    const WString library_id = GuidText(LIBID_PLOVEXACTIVEXCTRLLib);
    bool ok = true;
    for (const ControlClass& entry : ControlClasses())
        ok = RegisterClass(entry, module_path, library_id) && ok;
    return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT RegistrarUnregister() {
    bool ok = true;
    for (const ControlClass& entry : ControlClasses()) ok = UnregisterClass(entry) && ok;
    // A library that is not registered (any more) is no failure of the removal.
    BSTR registered_path = nullptr;
    if (SUCCEEDED(QueryPathOfRegTypeLib(LIBID_PLOVEXACTIVEXCTRLLib, kTypeLibMajor, kTypeLibMinor,
                                        kTypeLibLocale, &registered_path))) {
        SysFreeString(registered_path);
        if (FAILED(UnRegisterTypeLib(LIBID_PLOVEXACTIVEXCTRLLib, kTypeLibMajor, kTypeLibMinor, kTypeLibLocale,
                                     kTypeLibSystem))) {
            return SELFREG_E_TYPELIB;
        }
    }
    return ok ? S_OK : SELFREG_E_CLASS;
}
