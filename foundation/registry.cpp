#include "foundation/registry.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "foundation/pool.h"
#include "foundation/string_split.h"

namespace {

constexpr uint32_t kRectParts = 4;

const wchar_t* ValueName(const wchar_t* name) { return name && *name ? name : nullptr; }

bool SetText(HKEY key, const wchar_t* name, const wchar_t* text, uint32_t length) {
    if (!key || length >= kRegMaxStringLength) return false;
    const DWORD bytes = (length + 1) * sizeof(wchar_t);
    return RegSetValueExW(key, ValueName(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
           ERROR_SUCCESS;
}

// The value's text, false for an empty one (the numeric readers need digits).
bool GetNonEmpty(HKEY key, const wchar_t* name, WString& text) {
    return RegGetString(key, name, text) && WStrLength(text) > 0;
}

int32_t NonNegative(int32_t value) {
    if (value >= 0) return value;
    return value == INT32_MIN ? INT32_MAX : -value;
}

// Splits "x;y;w;h" into exactly four non-empty numbers.
bool ParseRect(const WString& text, int32_t (&numbers)[kRectParts]) {
    WStrSplit* parts = WStrSplitChar(text, L';', false);
    bool ok = parts && parts->count == kRectParts;
    for (uint32_t i = 0; ok && i < kRectParts; ++i) {
        WString part;
        WStrSplitGet(*parts, i, part);
        ok = WStrLength(part) > 0;
        numbers[i] = WStrToInt(part);
    }
    if (parts) StrSplitFree(parts);
    return ok;
}

}  // namespace

RegKey RegOpen(HKEY root, const wchar_t* sub_key, bool open_only) {
    HKEY key = nullptr;
    LONG result;
    if (open_only) {
        result = RegOpenKeyExW(root, sub_key, 0, KEY_QUERY_VALUE, &key);
    } else {
        result =
            RegCreateKeyExW(root, sub_key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &key, nullptr);
    }
    return RegKey(result == ERROR_SUCCESS ? key : nullptr);
}

void RegClose(RegKey& key) { key.Reset(); }

bool RegSetString(HKEY key, const wchar_t* name, const WString& value) {
    return SetText(key, name, WStrCStr(value), WStrLength(value));
}

bool RegGetString(HKEY key, const wchar_t* name, WString& value) {
    WStrClear(value);
    if (!key) return false;
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, ValueName(name), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
        return false;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes >= kRegMaxValueBytes) return false;
    if (bytes < 3) return true;
    // Spare zero bytes, so that a value stored without its terminator (or
    // with an odd size) still ends; the text stops at its first NUL.
    wchar_t* buffer = static_cast<wchar_t*>(PoolAlloc(bytes + 2 * sizeof(wchar_t), kPoolZero, 0));
    if (!buffer) return false;
    DWORD got = bytes;
    const LONG result =
        RegQueryValueExW(key, ValueName(name), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &got);
    const bool ok = result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
    if (ok) WStrAssignN(value, buffer, got / sizeof(wchar_t));
    PoolFree(buffer);
    return ok;
}

bool RegSetInt(HKEY key, const wchar_t* name, int32_t value) {
    wchar_t text[16];
    swprintf(text, 16, L"%ld", static_cast<long>(value));
    return SetText(key, name, text, static_cast<uint32_t>(wcslen(text)));
}

bool RegGetInt(HKEY key, const wchar_t* name, int32_t& value) {
    WString text;
    if (!GetNonEmpty(key, name, text)) return false;
    value = WStrToInt(text);
    return true;
}

bool RegSetBool(HKEY key, const wchar_t* name, bool value) { return RegSetInt(key, name, value ? 1 : 0); }

bool RegGetBool(HKEY key, const wchar_t* name, bool& value) {
    int32_t number = 0;
    if (!RegGetInt(key, name, number)) return false;
    value = number != 0;
    return true;
}

bool RegSetDouble(HKEY key, const wchar_t* name, double value) {
    // "%f" of the largest doubles has over 300 digits.
    wchar_t text[400];
    const int length = swprintf(text, 400, L"%f", value);
    return length > 0 && SetText(key, name, text, static_cast<uint32_t>(length));
}

bool RegGetDouble(HKEY key, const wchar_t* name, double& value) {
    WString text;
    if (!GetNonEmpty(key, name, text)) return false;
    value = wcstod(WStrCStr(text), nullptr);
    return true;
}

bool RegSetRect(HKEY key, const wchar_t* name, const RectI& rect) {
    wchar_t text[64];
    const int length = swprintf(text, 64, L"%ld;%ld;%ld;%ld", static_cast<long>(rect.origin.x),
                                static_cast<long>(rect.origin.y), static_cast<long>(rect.size.width),
                                static_cast<long>(rect.size.height));
    return length > 0 && SetText(key, name, text, static_cast<uint32_t>(length));
}

bool RegGetRect(HKEY key, const wchar_t* name, RectI& rect) {
    WString text;
    int32_t numbers[kRectParts];
    if (!GetNonEmpty(key, name, text) || !ParseRect(text, numbers)) return false;
    RectISet(rect, numbers[0], numbers[1], NonNegative(numbers[2]), NonNegative(numbers[3]));
    return true;
}

bool RegDeleteValue(HKEY key, const wchar_t* name) {
    return key && RegDeleteValueW(key, ValueName(name)) == ERROR_SUCCESS;
}

bool RegGetClassDefault(const wchar_t* sub_key, WString& value) {
    WStrClear(value);
    RegKey key = RegOpen(HKEY_CLASSES_ROOT, sub_key, true);
    return key && RegGetString(key.get(), nullptr, value);
}
