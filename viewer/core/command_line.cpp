#include "viewer/core/command_line.h"

#include <cmath>
#include <cwchar>
#include <vector>

namespace {

// One file name of a command line.
class CmdLineFile : public RefCounted {
  public:
    WString name;
};

bool EndsToken(wchar_t c) { return c == L' ' || c == L',' || c == L'\t' || c == L'\r' || c == L'\n'; }

// The tokens as a list, so that a quoted TAB stays inside its token.
std::vector<WString> SplitTokens(const WString& text) {
    std::vector<WString> tokens;
    const wchar_t* chars = WStrCStr(text);
    const uint32_t length = WStrLength(text);
    bool in_double = false;
    bool in_single = false;
    int64_t start = -1;
    auto finish = [&](uint32_t end) {
        if (start < 0) return;
        WString token;
        WStrAssignN(token, chars + start, end - static_cast<uint32_t>(start));
        StripQuotes(token, token);
        tokens.push_back(token);
        start = -1;
    };
    for (uint32_t i = 0; i < length; ++i) {
        const wchar_t c = chars[i];
        if (!in_double && !in_single && EndsToken(c)) {
            finish(i);
            continue;
        }
        if (start < 0) start = i;
        // A quote of the other kind inside quotes is an ordinary character
        // ("O'Neil.tif" in double quotes stays one token).
        if (c == L'"' && !in_single) in_double = !in_double;
        if (c == L'\'' && !in_double) in_single = !in_single;
    }
    finish(length);
    return tokens;
}

// A switch that takes a value: its name ends in ':' and the value follows.
bool TakeValue(const WString& name, const wchar_t* prefix, WString& value) {
    const uint32_t n = static_cast<uint32_t>(wcslen(prefix));
    WString head;
    WStrLeft(name, n, head);
    if (WStrLength(head) != n || !WStrEqualsNoCase(head, prefix)) return false;
    WStrMid(name, n, -1, value);
    return true;
}

// A whole decimal number after trimming (nothing else in the text).
bool ParseDecimal(const WString& text, double& value) {
    WString trimmed = text;
    WStrTrim(trimmed);
    if (WStrLength(trimmed) == 0) return false;
    const wchar_t* chars = WStrCStr(trimmed);
    wchar_t* end = nullptr;
    value = wcstod(chars, &end);
    return end == chars + WStrLength(trimmed) && std::isfinite(value);
}

// An optionally signed whole number that fits an i32.
bool ParseInt(const WString& text, int32_t& value) {
    WString trimmed = text;
    WStrTrim(trimmed);
    const wchar_t* chars = WStrCStr(trimmed);
    const uint32_t length = WStrLength(trimmed);
    uint32_t i = 0;
    bool negative = false;
    if (i < length && (chars[i] == L'-' || chars[i] == L'+')) negative = chars[i++] == L'-';
    if (i == length) return false;
    int64_t number = 0;
    for (; i < length; ++i) {
        if (chars[i] < L'0' || chars[i] > L'9') return false;
        number = number * 10 + (chars[i] - L'0');
        if (number > 2147483648LL) return false;
    }
    if (negative) number = -number;
    if (number > INT32_MAX) return false;
    value = static_cast<int32_t>(number);
    return true;
}

void ParseRotation(OpenParams* params, const WString& value) {
    int32_t degrees = 0;
    if (!ParseInt(value, degrees)) return;
    const int32_t turned = ((degrees % 360) + 360) % 360;
    if (turned % 90 == 0) OpenParamsSetRotation(params, turned);
}

// Seconds, digits only; the milliseconds saturate instead of wrapping.
void ParseLoadingLimit(OpenParams* params, const WString& value) {
    WString trimmed = value;
    WStrTrim(trimmed);
    if (!WStrIsDigits(trimmed)) return;
    const wchar_t* chars = WStrCStr(trimmed);
    uint64_t milliseconds = 0;
    for (uint32_t i = 0; i < WStrLength(trimmed) && milliseconds <= UINT32_MAX; ++i) {
        milliseconds = milliseconds * 10 + static_cast<uint32_t>(chars[i] - L'0') * 1000u;
    }
    OpenParamsSetMaxLoadingTime(params,
                                milliseconds > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(milliseconds));
}

void ParseAutoInvert(OpenParams* params, const WString& value) {
    int32_t mode = 0;
    if (!ParseInt(value, mode) || mode < 0 || mode > 2) mode = 0;
    OpenParamsSetAutoInvert(params, static_cast<uint32_t>(mode));
}

// Commas end tokens, so "-c:0,0,100,50" arrives as "-c:0" and three more
// tokens. The numbers that follow are taken back into the value until it has
// four parts; a cut-out needs exactly four.
void ParseCutOut(OpenParams* params, const WString& value, const std::vector<WString>& tokens,
                 size_t& index) {
    std::vector<WString> parts;
    WString trimmed = value;
    WStrTrim(trimmed);
    if (WStrLength(trimmed) != 0) {
        uint32_t start = 0;
        const uint32_t length = WStrLength(value);
        for (uint32_t i = 0; i <= length; ++i) {
            if (i < length && WStrCharAt(value, i) != L',') continue;
            WString part;
            WStrMid(value, start, static_cast<int32_t>(i - start), part);
            parts.push_back(part);
            start = i + 1;
        }
    }
    double number = 0.0;
    while (parts.size() < 4 && index + 1 < tokens.size() && ParseDecimal(tokens[index + 1], number)) {
        parts.push_back(tokens[++index]);
    }
    if (parts.size() != 4) return;
    double corners[4];
    for (int i = 0; i < 4; ++i) {
        if (!ParseDecimal(parts[i], corners[i])) return;
    }
    const double x1 = corners[0], y1 = corners[1], x2 = corners[2], y2 = corners[3];
    if (!(0.0 <= x1 && x1 < x2 && 0.0 <= y1 && y1 < y2)) return;
    RectD cut_out;
    cut_out.origin = {x1, y1};
    cut_out.size = {x2 - x1, y2 - y1};
    OpenParamsSetCutOut(params, cut_out);
}

WString StrippedAndTrimmed(const WString& value) {
    WString text;
    StripQuotes(value, text);
    return WStrTrim(text);
}

// One switch, the token without its '-' or '/'. Flags match only as whole
// words: "sc:1:50" must not pass for "s".
void ParseSwitch(CmdLine* command_line, const WString& name, const std::vector<WString>& tokens,
                 size_t& index) {
    OpenParams* params = command_line->params.get();
    if (WStrEqualsNoCase(name, L"s")) {
        command_line->hand_over = true;
    } else if (WStrEqualsNoCase(name, L"n")) {
        OpenParamsSetInverted(params, true);
    } else if (WStrEqualsNoCase(name, L"fh")) {
        OpenParamsSetMirrorH(params, true);
    } else if (WStrEqualsNoCase(name, L"fv")) {
        OpenParamsSetMirrorV(params, true);
    } else if (WStrEqualsNoCase(name, L"dde_logging")) {
        command_line->dde_logging = true;
    } else if (WStrEqualsNoCase(name, L"nosave")) {
        OpenParamsSetAllowSave(params, false);
    } else if (WStrEqualsNoCase(name, L"noprint")) {
        OpenParamsSetAllowPrint(params, false);
    } else {
        WString value;
        if (TakeValue(name, L"r:", value)) {
            ParseRotation(params, value);
        } else if (TakeValue(name, L"c:", value)) {
            ParseCutOut(params, value, tokens, index);
        } else if (TakeValue(name, L"ti:", value)) {
            OpenParamsSetTitle(params, StrippedAndTrimmed(value));
        } else if (TakeValue(name, L"fn:", value)) {
            OpenParamsSetName(params, StrippedAndTrimmed(value));
        } else if (TakeValue(name, L"uid:", value)) {
            OpenParamsSetUserId(params, value);
        } else if (TakeValue(name, L"ml:", value)) {
            ParseLoadingLimit(params, value);
        } else if (TakeValue(name, L"pwd:", value)) {
            OpenParamsSetPassword(params, value);
        } else if (TakeValue(name, L"cookie:", value)) {
            OpenParamsSetCookie(params, value);
        } else if (TakeValue(name, L"ai:", value)) {
            ParseAutoInvert(params, value);
        } else if (TakeValue(name, L"sc:", value)) {
            if (Ref<Scale> scale = ParseScale(value)) OpenParamsSetScale(params, scale.get());
        }
        // Any other switch is ignored.
    }
}

void AddFileName(CmdLine* command_line, const WString& token) {
    // Unexpanded variables and wildcards name no file.
    if (WStrLength(token) == 0 || WStrCharAt(token, 0) == L'%' || WStrFindAnyOf(token, L"<>*?") >= 0) return;
    Ref<CmdLineFile> file = MakeRef<CmdLineFile>();
    file->name = token;
    PtrArrayAdd(command_line->files, file.get());
}

void ParseInto(CmdLine* command_line, const WString& text) {
    const std::vector<WString> tokens = SplitTokens(text);
    for (size_t i = 0; i < tokens.size(); ++i) {
        const WString& token = tokens[i];
        const wchar_t first = WStrCharAt(token, 0);
        if (first == L'-' || first == L'/') {
            WString name;
            WStrMid(token, 1, -1, name);
            ParseSwitch(command_line, name, tokens, i);
        } else {
            AddFileName(command_line, token);
        }
    }
}

}  // namespace

CmdLine::CmdLine() : params(OpenParamsCreate()), files(2, true) {}

CmdLine::~CmdLine() = default;

Ref<CmdLine> CmdLineCreate(const wchar_t* text) {
    Ref<CmdLine> command_line = MakeRef<CmdLine>();
    command_line->text = text;
    ParseInto(command_line.get(), command_line->text);
    return command_line;
}

Ref<CmdLine> CmdLineParse(const wchar_t* text) { return CmdLineCreate(text); }

Ref<OpenParams> CmdLineGetOpenParams(const CmdLine* command_line) {
    return command_line ? command_line->params : nullptr;
}

Ref<OpenParams> CmdLineOpenParamsFor(const WString& options, const WString& title) {
    Ref<OpenParams> params;
    if (WStrLength(options) > 0) params = CmdLineGetOpenParams(CmdLineCreate(WStrCStr(options)).get());
    if (WStrLength(title) > 0) {
        if (!params) params = OpenParamsCreate();
        OpenParamsSetTitle(params.get(), title);
    }
    return params;
}

uint32_t CmdLineGetFileCount(const CmdLine* command_line) {
    return command_line ? PtrArrayCount(command_line->files) : 0;
}

WString CmdLineGetFileName(const CmdLine* command_line, uint32_t index) {
    if (!command_line) return WString();
    Ref<CmdLineFile> file = PtrArrayGetAs<CmdLineFile>(command_line->files, index);
    return file ? file->name : WString();
}

bool CmdLineGetHandOver(const CmdLine* command_line) { return command_line && command_line->hand_over; }
bool CmdLineGetDdeLogging(const CmdLine* command_line) { return command_line && command_line->dde_logging; }
WString CmdLineGetText(const CmdLine* command_line) { return command_line ? command_line->text : WString(); }

WString& TokenizeCommandLine(const WString& text, WString& out) {
    WString joined;
    bool first = true;
    for (const WString& token : SplitTokens(text)) {
        if (!first) WStrAppendChar(joined, L'\t');
        WStrAppend(joined, token);
        first = false;
    }
    return WStrAssign(out, joined);
}

WString& StripQuotes(const WString& text, WString& out) {
    const wchar_t first = WStrCharAt(text, 0);
    if (first != L'"' && first != L'\'') return WStrAssign(out, text);
    WString rest;
    WStrMid(text, 1, -1, rest);
    const uint32_t length = WStrLength(rest);
    if (length > 0 && WStrCharAt(rest, length - 1) == first) WStrTruncate(rest, length - 1);
    return WStrAssign(out, rest);
}
