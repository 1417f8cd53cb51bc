#include "viewer/dialogs/about_dialog.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "foundation/dll_handle.h"
#include "foundation/handles.h"
#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/core/app_utils.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/dialog_kit.h"

namespace {

constexpr int kClientWidth = 370;
constexpr int kClientHeight = 260;
constexpr int kFontDivisor = 20;  // font height: client height / 20
constexpr COLORREF kLabelColour = 0x960000;
constexpr COLORREF kTextColour = 0x000000;
constexpr wchar_t kVersionPrefix[] = L"Version 5.2.9.";
constexpr wchar_t kBuildNumber[] = L"1024";
constexpr wchar_t kStringTable[] = L"\\StringFileInfo\\040704b0\\";
constexpr DWORD kModulePathCapacity = 32768;
// The close button, in client pixels from the bottom right corner.
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kButtonMargin = 8;

// The version functions live in version.dll, which the viewer loads only
// for the box rather than linking it into every program.
using VersionInfoSizeProc = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using VersionInfoProc = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using VersionQueryProc = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

template <class Proc>
Proc GetProc(const DllHandle& library, const wchar_t* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(DllGetProc(library, WString(name))));
}

struct VersionField {
    const wchar_t* key;
    WString AboutTexts::*text;
};

constexpr VersionField kFields[] = {
    {L"CompanyName", &AboutTexts::company},
    {L"Address1", &AboutTexts::address1},
    {L"Address2", &AboutTexts::address2},
    {L"Phone", &AboutTexts::phone},
    {L"Fax", &AboutTexts::fax},
    {L"EMail", &AboutTexts::email},
};

struct ContactLine {
    uint32_t label_text;
    WString AboutTexts::*value;
};

constexpr ContactLine kContactLines[] = {
    {text::kAboutPhone, &AboutTexts::phone},
    {text::kAboutFax, &AboutTexts::fax},
    {text::kAboutEmail, &AboutTexts::email},
};

struct AboutState {
    ViewerContext* context;  // borrowed for the span of the box
    AboutTexts texts;
};

int TextWidth(HDC dc, const wchar_t* text) {
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, int(wcslen(text)), &size);
    return size.cx;
}

void DrawLine(HDC dc, ScopedTextState& state, int x, int y, const WString& text, COLORREF colour) {
    state.Colour(colour);
    TextOutW(dc, x, y, WStrCStr(text), int(WStrLength(text)));
}

void DrawPicture(HDC dc, const RECT& client, HINSTANCE instance) {
    GdiBitmap picture(
        static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(IDB_ABOUT), IMAGE_BITMAP, 0, 0, 0)));
    BITMAP info = {};
    if (!picture || !GetObjectW(picture.get(), sizeof(info), &info)) return;
    MemoryDC memory(dc);
    if (!memory) return;
    ScopedSelect selected(memory.get(), picture.get());
    BitBlt(dc, client.left, client.top, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
}

// Keeps the client area at its fixed size, centred where the box was.
void ResizeClient(HWND dialog) {
    RECT window = {};
    RECT wanted = {0, 0, kClientWidth, kClientHeight};
    if (!GetWindowRect(dialog, &window)) return;
    const DWORD style = DWORD(GetWindowLongPtrW(dialog, GWL_STYLE));
    const DWORD ex_style = DWORD(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    if (!AdjustWindowRectEx(&wanted, style, FALSE, ex_style)) return;
    const int width = wanted.right - wanted.left;
    const int height = wanted.bottom - wanted.top;
    const int centre_x = (window.left + window.right) / 2;
    const int centre_y = (window.top + window.bottom) / 2;
    SetWindowPos(dialog, nullptr, centre_x - width / 2, centre_y - height / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Over the picture's bottom right corner, where it hides none of the texts.
void PlaceCloseButton(HWND dialog, ViewerContext* context) {
    const HWND button = GetDlgItem(dialog, IDCANCEL);
    RECT client = {};
    if (!button || !GetClientRect(dialog, &client)) return;
    if (const wchar_t* text = ViewerGetText(context, text::kClose)) SetWindowTextW(button, text);
    SetWindowPos(button, HWND_TOP, client.right - kButtonMargin - kButtonWidth,
                 client.bottom - kButtonMargin - kButtonHeight, kButtonWidth, kButtonHeight, SWP_NOACTIVATE);
}

void InitAbout(HWND dialog, AboutState* state) {
    DlgSetUserData(dialog, state);
    ResizeClient(dialog);
    PlaceCloseButton(dialog, state->context);
    WString title;
    SetWindowTextW(dialog, WStrCStr(AboutTitle(title)));
}

void PaintAbout(HWND dialog, HDC dc) {
    auto* state = static_cast<AboutState*>(DlgGetUserData(dialog));
    RECT client = {};
    if (!state || !GetClientRect(dialog, &client)) return;
    AboutPaint(dc, client, state->texts, state->context);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            InitAbout(dialog, reinterpret_cast<AboutState*>(lparam));
            return TRUE;
        case WM_PAINT: {
            PaintDC paint(dialog);
            if (paint) PaintAbout(dialog, paint.get());
            return TRUE;
        }
        case WM_PRINTCLIENT:
            PaintAbout(dialog, reinterpret_cast<HDC>(wparam));
            return TRUE;
        case WM_LBUTTONDOWN:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) != IDCANCEL) return FALSE;
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool AboutReadVersionTexts(const wchar_t* module_path, AboutTexts& out) {
    out = AboutTexts();
    DllHandle library;
    if (!module_path || !DllLoad(library, WString(L"version.dll"))) return false;
    auto info_size = GetProc<VersionInfoSizeProc>(library, L"GetFileVersionInfoSizeW");
    auto info = GetProc<VersionInfoProc>(library, L"GetFileVersionInfoW");
    auto query = GetProc<VersionQueryProc>(library, L"VerQueryValueW");
    if (!info_size || !info || !query) return false;
    DWORD ignored = 0;
    const DWORD size = info_size(module_path, &ignored);
    if (size == 0) return false;
    std::vector<BYTE> block(size);
    if (!info(module_path, 0, size, block.data())) return false;
    for (const VersionField& field : kFields) {
        WString key(kStringTable);
        WStrAppendChars(key, field.key);
        void* value = nullptr;
        UINT length = 0;
        if (!query(block.data(), WStrCStr(key), &value, &length) || !value || length == 0) continue;
        // The length counts characters, the terminator included when present.
        WStrAssignN(out.*field.text, static_cast<const wchar_t*>(value), length);
    }
    return true;
}

WString& AboutTitle(WString& out) {
    out = kVersionPrefix;
    WStrAppendChars(out, kBuildNumber);
    WStrAppendChars(out, L" Win32 (");
    WString date;
    GetBuildDate(date);
    WStrAppend(out, date);
    return WStrAppendChar(out, L')');
}

void AboutPaint(HDC dc, const RECT& client, const AboutTexts& texts, ViewerContext* context) {
    DrawPicture(dc, client, ViewerGetInstance(context));
    const int font_height = (client.bottom - client.top) / kFontDivisor;
    GdiFont font(CreateFontW(font_height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                             L"Arial"));
    {
        ScopedSelect selected(dc, font.get());
        ScopedTextState state(dc, kTextColour);
        const int x = client.left + 2 * font_height;
        const int line = font_height * 3 / 2;
        int y = (client.top + client.bottom) / 2;
        for (const WString* text : {&texts.company, &texts.address1, &texts.address2}) {
            DrawLine(dc, state, x, y, *text, kTextColour);
            y += line;
        }
        y += line / 2;
        int label_width = 0;
        for (const ContactLine& contact : kContactLines) {
            const wchar_t* label = ViewerGetText(context, contact.label_text);
            if (label && WStrLength(texts.*contact.value) > 0)
                label_width = std::max(label_width, TextWidth(dc, label));
        }
        for (const ContactLine& contact : kContactLines) {
            const WString& value = texts.*contact.value;
            if (WStrLength(value) == 0) continue;
            DrawLine(dc, state, x, y, WString(ViewerGetText(context, contact.label_text)), kLabelColour);
            DrawLine(dc, state, x + label_width + font_height, y, value, kTextColour);
            y += line;
        }
    }
}

bool AboutShow(ViewerContext* context, HWND owner) {
    const HINSTANCE instance = ViewerGetInstance(context);
    std::vector<wchar_t> path(kModulePathCapacity, L'\0');
    AboutState state{context, AboutTexts()};
    const DWORD length = GetModuleFileNameW(instance, path.data(), kModulePathCapacity);
    // Without its version block the box shows its picture and no texts.
    if (length > 0 && length < kModulePathCapacity) AboutReadVersionTexts(path.data(), state.texts);
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc,
                           reinterpret_cast<LPARAM>(&state)) != -1;
}
