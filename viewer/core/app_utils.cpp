#include "viewer/core/app_utils.h"

#include <cstdio>
#include <cstring>

#include "foundation/shell_open.h"
#include "resources/text_ids.h"
#include "viewer/core/frame_messages.h"
#include "viewer/core/open_params.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"

namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

WString TextWithFileName(ViewerContext* context, uint32_t number, const WString& path) {
    WString message = ViewerGetText(context, number);
    WStrReplaceAll(message, L"%FILENAME%", WStrCStr(path), true);
    return message;
}

WString& GetAppDisplayName(Settings* settings, WString& out) {
    const int32_t mode = settings ? SettingsGetFileOpenMode(settings) : 1;
    WStrClear(out);
    switch (mode) {
        case 1:
            out = L"PLX-VAX";
            return WStrAppendInt(out, static_cast<int32_t>(GetCurrentProcessId()));
        case 2:
            out = L"PLX-VAX";
            return out;
        case 3:
            out = L"Plovex";
            return out;
        default:
            return out;
    }
}

bool BuildDateDigits(const char* date_text, WString& out) {
    WStrClear(out);
    if (!date_text || strlen(date_text) != 11) return false;
    int month = 0;
    for (int i = 0; i < 12; ++i) {
        if (strncmp(date_text, kMonths[i], 3) == 0) month = i + 1;
    }
    // The day is space-padded ("Jan  5 2024").
    const int day = atoi(date_text + 4);
    const int year = atoi(date_text + 7);
    if (month == 0 || day < 1 || day > 31 || year < 1000) return false;
    wchar_t digits[8];
    swprintf(digits, 8, L"%02d%02d%02d", year % 100, month, day);
    out = digits;
    return true;
}

bool GetBuildDate(WString& out) { return BuildDateDigits(__DATE__, out); }

bool OpenUrlInBrowser(ViewerContext* context, const WString& url) {
    if (ShellOpenDocument(L"open", url, L"html", WString(), nullptr)) return true;
    const DWORD error = GetLastError();
    if (HWND frame = ViewerGetFrameHwnd(context)) {
        PostMessageW(frame, kFrameShellErrorMessage, 0, static_cast<LPARAM>(error));
    }
    return false;
}

bool BringWindowToFront(HWND window) {
    if (!IsWindow(window)) return false;
    if (IsIconic(window)) ShowWindow(window, SW_SHOWNORMAL);
    return SetForegroundWindow(window) != FALSE;
}

bool CheckSaveTargetNotOpen(ViewerContext* context, HWND owner, const WString& path) {
    if (GetFileAttributesW(WStrCStr(path)) == INVALID_FILE_ATTRIBUTES) return true;
    if (ViewerFindItemByName(context, path)) {
        const WString message = TextWithFileName(context, text::kSaveTargetOpen, path);
        MessageBoxW(owner, WStrCStr(message), ViewerGetText(context, text::kWarning), MB_ICONEXCLAMATION);
        return false;
    }
    const WString question = TextWithFileName(context, text::kConfirmOverwrite, path);
    return MessageBoxW(owner, WStrCStr(question), ViewerGetText(context, text::kWarning),
                       MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

Ref<OpenParams> OpenParamsForOpen(ViewerContext* context, const OpenParams* given) {
    Ref<Settings> settings = ViewerGetSettings(context);
    Ref<OpenParams> defaults = settings ? SettingsGetOpenParams(settings.get()) : nullptr;
    if (given) return OpenParamsCloneWithDefaults(given, defaults.get());
    return defaults ? OpenParamsClone(defaults.get()) : OpenParamsCreate();
}
