#include "viewer/dde/dde_command_parser.h"

#include <cmath>
#include <cwchar>

#include "foundation/string_split.h"
#include "viewer/core/command_line.h"

namespace {

bool EndsName(wchar_t c) { return c == L'(' || c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// An optional '-' and 1 to 10 digits whose value fits an int32.
bool ReadInt(const wchar_t* chars, uint32_t length, int32_t& out) {
    uint32_t i = chars[0] == L'-' ? 1 : 0;
    if (i == length || length - i > 10) return false;
    int64_t value = 0;
    for (; i < length; ++i) {
        if (!IsDigit(chars[i])) return false;
        value = value * 10 + (chars[i] - L'0');
    }
    if (chars[0] == L'-') value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    out = static_cast<int32_t>(value);
    return true;
}

// An optional '-', digits, one decimal point (`point`), digits; at least one
// digit in all. Read with wcstod after the point became '.'.
bool ReadDecimal(const wchar_t* chars, uint32_t length, wchar_t point, double& out) {
    uint32_t digits = 0;
    uint32_t points = 0;
    WString normal;
    for (uint32_t k = 0; k < length; ++k) {
        const wchar_t c = chars[k];
        if (IsDigit(c)) {
            ++digits;
        } else if (c == point) {
            ++points;
        } else if (k != 0 || c != L'-') {
            return false;
        }
        WStrAppendChar(normal, c == point ? L'.' : c);
    }
    if (digits == 0 || points > 1) return false;
    const wchar_t* start = WStrCStr(normal);
    wchar_t* end = nullptr;
    const double value = wcstod(start, &end);
    if (end != start + WStrLength(normal) || !std::isfinite(value)) return false;
    out = value;
    return true;
}

void Classify(const WString& part, Variant& arg) {
    const wchar_t* chars = WStrCStr(part);
    const uint32_t length = WStrLength(part);
    if (length == 0) return;
    int32_t number = 0;
    double decimal = 0;
    if (ReadInt(chars, length, number)) {
        VariantSetInt(arg, number);
    } else if (WStrFindChar(part, L',') >= 0 && ReadDecimal(chars, length, L',', decimal)) {
        VariantSetDouble(arg, decimal);
    } else {
        // Digits that overflow an int32 stay text, so that no command takes
        // a wrapped number for an id or a page.
        VariantSetString(arg, part);
    }
}

}  // namespace

int32_t DdeParseCommand(const WString& text, WString& name, Variant* args, uint32_t max_args,
                        WString* texts) {
    WStrClear(name);
    for (uint32_t i = 0; i < max_args; ++i) {
        VariantClear(args[i]);
        if (texts) WStrClear(texts[i]);
    }
    // Clients end their commands with CR LF or blanks now and then; the
    // closing parenthesis is looked for before them.
    WString command = text;
    WStrTrim(command);
    const uint32_t length = WStrLength(command);
    if (length == 0 || length > kDdeMaxCommandLength) return -1;

    const wchar_t* chars = WStrCStr(command);
    uint32_t name_end = 0;
    while (name_end < length && !EndsName(chars[name_end])) ++name_end;
    WStrLeft(command, name_end, name);
    WStrTrim(name);
    if (WStrLength(name) == 0) return -1;

    // "Name (args)" is read as "Name(args)"; a name ended by white space
    // without a parenthesis takes the rest of the text as its argument text.
    uint32_t rest = name_end;
    while (rest < length && chars[rest] != L'(' && EndsName(chars[rest])) ++rest;
    WString argument_text;
    if (rest < length && chars[rest] == L'(') {
        // Clients that leave out the closing parenthesis are served as if
        // it were there.
        const uint32_t close = chars[length - 1] == L')' && length - 1 > rest ? 1 : 0;
        WStrMid(command, rest + 1, static_cast<int32_t>(length - rest - 1 - close), argument_text);
    } else if (rest < length) {
        WStrMid(command, rest, -1, argument_text);
    }

    WString tokens;
    TokenizeCommandLine(argument_text, tokens);
    if (WStrLength(tokens) == 0) return 0;
    WStrSplit* parts = WStrSplitChar(tokens, L'\t', false);
    if (!parts) return -1;
    // Arguments past the last one a command may take are ignored.
    const uint32_t count = parts->count < max_args ? parts->count : max_args;
    for (uint32_t i = 0; i < count; ++i) {
        WString part;
        WStrSplitGet(*parts, i, part);
        WStrTrim(part);
        Classify(part, args[i]);
        if (texts) texts[i] = part;
    }
    StrSplitFree(parts);
    return static_cast<int32_t>(count);
}

bool DdeArgInt(const Variant& arg, int32_t& out) {
    if (arg.tag != kVariantInt32) return false;
    out = arg.payload.int32;
    return true;
}

bool DdeArgNumber(const Variant& arg, double& out) {
    switch (arg.tag) {
        case kVariantInt32:
            out = arg.payload.int32;
            return true;
        case kVariantDouble:
            if (!std::isfinite(arg.payload.f64)) return false;
            out = arg.payload.f64;
            return true;
        case kVariantText: {
            if (!arg.payload.text || WStrLength(*arg.payload.text) == 0) return false;
            const wchar_t* chars = WStrCStr(*arg.payload.text);
            const uint32_t length = WStrLength(*arg.payload.text);
            return ReadDecimal(chars, length, L'.', out) || ReadDecimal(chars, length, L',', out);
        }
        default:
            return false;
    }
}

bool DdeArgIsEmpty(const Variant& arg) {
    return arg.tag == kVariantEmpty ||
           (arg.tag == kVariantText && (!arg.payload.text || WStrLength(*arg.payload.text) == 0));
}
