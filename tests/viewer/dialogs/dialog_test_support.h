// What the dialog tests share: a script that works the modal dialogs of the
// test's thread as a user would, with a deadline, and readers of controls.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which they need
#include <commctrl.h>
#include <dlgs.h>
#include <prsht.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

// While it lives, a thread timer offers every visible dialog of this thread
// (message boxes and property sheets too) to `step` every 50 ms, until the
// step answers that window by returning true. Past the deadline every
// dialog still open is cancelled and ended, and the test fails: a script
// that never finds its control, or a dialog that ignores its answer, ends
// in a failure instead of a hang under a driver that shows nothing.
class ModalScript {
  public:
    using Step = std::function<bool(HWND)>;
    explicit ModalScript(Step step, DWORD deadline_ms = 20000)
        : step_(std::move(step)), deadline_(GetTickCount() + deadline_ms), outer_(current_) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 50, Tick);
    }
    ~ModalScript() {
        KillTimer(nullptr, timer_);
        current_ = outer_;
        EXPECT_FALSE(timed_out) << "a dialog was still open at the deadline and was cancelled";
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    int answered = 0;  // windows the step answered
    bool timed_out = false;

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (current_) EnumThreadWindows(GetCurrentThreadId(), Visit, 0);
    }
    static BOOL CALLBACK Visit(HWND window, LPARAM) {
        ModalScript* script = current_;
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (!script || std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
        if (LONG(GetTickCount() - script->deadline_) >= 0) {
            script->timed_out = true;
            if (PropSheet_GetTabControl(window)) {
                PostMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            } else {
                EndDialog(window, 0);  // also ends a message box or a file dialog
            }
            return TRUE;
        }
        if (!script->done_.count(window) && script->step_(window)) {
            script->done_.insert(window);
            ++script->answered;
        }
        return TRUE;
    }

    Step step_;
    DWORD deadline_;
    ModalScript* outer_;
    UINT_PTR timer_ = 0;
    std::set<HWND> done_;
    static inline ModalScript* current_ = nullptr;
};

inline std::wstring ItemText(HWND dialog, int item) {
    wchar_t text[2100] = {};
    GetDlgItemTextW(dialog, item, text, 2100);
    return text;
}
inline std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}
inline bool Enabled(HWND dialog, int item) { return IsWindowEnabled(GetDlgItem(dialog, item)) != FALSE; }
inline bool Checked(HWND dialog, int item) { return IsDlgButtonChecked(dialog, item) == BST_CHECKED; }
inline void Click(HWND dialog, int item) { SendDlgItemMessageW(dialog, item, BM_CLICK, 0, 0); }
inline void Post(HWND dialog, int command) { PostMessageW(dialog, WM_COMMAND, WPARAM(command), 0); }
// Characters as the keyboard sends them, one WM_CHAR each.
inline void Type(HWND dialog, int item, const wchar_t* characters) {
    for (const wchar_t* c = characters; *c; ++c) SendDlgItemMessageW(dialog, item, WM_CHAR, *c, 1);
}
// A property sheet's page at `index`, made current.
inline HWND ShowPage(HWND sheet, int index) {
    PropSheet_SetCurSel(sheet, nullptr, index);
    return PropSheet_IndexToHwnd(sheet, index);
}
// A property sheet's tab titles, in order.
inline std::vector<std::wstring> Tabs(HWND sheet) {
    HWND tabs = PropSheet_GetTabControl(sheet);
    std::vector<std::wstring> titles;
    for (int i = 0; i < TabCtrl_GetItemCount(tabs); ++i) {
        wchar_t text[64] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        TabCtrl_GetItem(tabs, i, &item);
        titles.push_back(text);
    }
    return titles;
}
// A control's rectangle in its dialog's client coordinates.
inline RECT ItemRect(HWND dialog, int item) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, item), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
// The static text of a message box.
inline std::wstring BoxText(HWND box) { return ItemText(box, 0xFFFF); }
// Types the name into a file dialog of either style and confirms.
inline bool IsFileDialog(HWND dialog) { return GetDlgItem(dialog, cmb13) || GetDlgItem(dialog, edt1); }
inline void ChooseFileName(HWND dialog, const std::wstring& name) {
    SetDlgItemTextW(dialog, cmb13, name.c_str());
    SetDlgItemTextW(dialog, edt1, name.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

// The texts of a dialog's labels, buttons, boxes and frames that do not fit
// their control in its own font, one line each ("id: text"): a label that
// wraps is measured on the width it has, the others on one line beside
// their check mark or inside their frame.
inline std::vector<std::wstring> ClippedTexts(HWND dialog) {
    std::vector<std::wstring> clipped;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring text = WindowText(child);
        if (text.empty() || !IsWindowVisible(child)) continue;
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        const std::wstring type = name;
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        RECT client = {};
        GetClientRect(child, &client);
        HDC dc = GetDC(child);
        if (!dc) continue;
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        SIZE line = {};
        GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &line);
        bool fits = true;
        if (_wcsicmp(name, L"Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT) {
            RECT needed = {0, 0, client.right, 0};
            DrawTextW(dc, text.c_str(), int(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            fits = needed.right <= client.right && needed.bottom <= client.bottom;
        } else if (_wcsicmp(name, L"Button") == 0) {
            const LONG kind = style & BS_TYPEMASK;
            const bool mark = kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_RADIOBUTTON ||
                              kind == BS_AUTORADIOBUTTON || kind == BS_3STATE || kind == BS_AUTO3STATE;
            // The check mark and its gap; a frame's corner and the gaps around its title.
            const int room = client.right - (mark                  ? GetSystemMetrics(SM_CXMENUCHECK) + 4
                                             : kind == BS_GROUPBOX ? 16
                                                                   : 6);
            RECT needed = {0, 0, room, 0};
            if (style & BS_MULTILINE) {
                DrawTextW(dc, text.c_str(), int(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK);
                fits = needed.right <= room && needed.bottom <= client.bottom;
            } else {
                RECT single = {0, 0, 0, 0};
                DrawTextW(dc, text.c_str(), int(text.size()), &single, DT_CALCRECT | DT_SINGLELINE);
                fits = single.right <= room && (kind == BS_GROUPBOX || single.bottom <= client.bottom);
            }
        }
        SelectObject(dc, old);
        ReleaseDC(child, dc);
        if (!fits) clipped.push_back(std::to_wstring(GetDlgCtrlID(child)) + L": " + text);
    }
    return clipped;
}
