#include "program/file_type_association.h"

#include <windows.h>

#include "foundation/handles.h"
#include "foundation/registry.h"
#include "viewer/core/settings.h"

namespace {

constexpr wchar_t kUserChoiceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr DWORD kLongPathCapacity = 32768;

bool IsAcceptedPart(const WString& part) {
    const uint32_t length = WStrLength(part);
    bool only_dots = true;
    for (uint32_t i = 0; i < length; ++i) {
        const wchar_t c = WStrCharAt(part, i);
        if (c == L'\\' || c == L'/' || c == L'*' || c == L'?' || c == L' ' || c < 0x20 || c == 0x7F)
            return false;
        if (c != L'.') only_dots = false;
    }
    return length > 0 && !only_dots;
}

bool SetClassDefault(const wchar_t* sub_key, const WString& value) {
    RegKey key = RegOpen(HKEY_CLASSES_ROOT, sub_key, false);
    return key && RegSetString(key.get(), nullptr, value);
}

// Both values may be missing; only a value that stays is a failure.
bool RemoveUserChoice(const WString& extension) {
    WString path = kUserChoiceKey;
    WStrAppend(path, extension);
    RegKey key;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, WStrCStr(path), 0, KEY_SET_VALUE, key.Put());
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    bool ok = true;
    for (const wchar_t* name : {L"Progid", L"Application"}) {
        const LONG result = RegDeleteValueW(key.get(), name);
        ok &= result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    return ok;
}

// The program's full path; empty when the system cannot tell it whole.
WString ProgramPath() {
    std::vector<wchar_t> buffer(kLongPathCapacity);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kLongPathCapacity);
    if (length == 0 || length >= kLongPathCapacity) return WString();
    return WString(buffer.data());
}

}  // namespace

std::vector<WString> FileTypesParseList(const WString& list) {
    std::vector<WString> extensions;
    const uint32_t length = WStrLength(list);
    uint32_t start = 0;
    while (start <= length) {
        int32_t comma = WStrFindChar(list, L',', start);
        const uint32_t end = comma < 0 ? length : static_cast<uint32_t>(comma);
        WString part;
        WStrMid(list, start, static_cast<int32_t>(end - start), part);
        start = end + 1;
        WStrTrim(part);
        if (!IsAcceptedPart(part)) continue;
        WString extension;
        if (WStrCharAt(part, 0) != L'.') extension = L".";
        WStrAppend(extension, part);
        bool known = false;
        for (const WString& seen : extensions) known |= WStrEqualsNoCaseStr(seen, extension);
        if (!known) extensions.push_back(extension);
    }
    return extensions;
}

bool FileTypesRegister(Settings* settings) {
    if (!settings) return false;
    const uint32_t workaround = SettingsGetWorkaround(settings);
    if (workaround & kWorkaroundNoFileTypes) return true;

    bool ok = true;
    for (const WString& extension : FileTypesParseList(SettingsGetExtensionList(settings))) {
        ok &= SetClassDefault(WStrCStr(extension), kDocumentClassName);
        if (workaround & kWorkaroundResetUserChoice) ok &= RemoveUserChoice(extension);
    }
    ok &= SetClassDefault(kDocumentClassName, kDocumentClassText);

    const WString program = ProgramPath();
    if (WStrLength(program) == 0) return false;
    WString quoted = L"\"";
    WStrAppend(quoted, program);
    WStrAppendChar(quoted, L'"');

    WString icon = quoted;
    WStrAppendChars(icon, L", -");
    WStrAppendInt(icon, static_cast<int32_t>(kProgramIconResource));
    WString icon_key = kDocumentClassName;
    WStrAppendChars(icon_key, L"\\DefaultIcon");
    ok &= SetClassDefault(WStrCStr(icon_key), icon);

    WString command = quoted;
    WStrAppendChars(command, L" -s \"%1\"");
    WString command_key = kDocumentClassName;
    WStrAppendChars(command_key, L"\\shell\\open\\command");
    ok &= SetClassDefault(WStrCStr(command_key), command);
    return ok;
}
