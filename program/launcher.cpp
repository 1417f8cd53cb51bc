#include "program/launcher.h"

#include "program/file_type_association.h"
#include "program/hand_over.h"
#include "program/program_menus.h"
#include "program/session_list.h"
#include "printing/printing_layer.h"
#include "redlining/redline_markups.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/command_line.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dde/dde_server.h"

Launcher::~Launcher() { LauncherExit(*this); }

std::unique_ptr<Launcher> LauncherCreate(const WString& command_line) {
    auto launcher = std::make_unique<Launcher>();
    launcher->cmd_line = CmdLineCreate(WStrCStr(command_line));
    return launcher;
}

bool LauncherCheckRunning(Launcher& launcher) {
    if (launcher.mutex) return false;
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName);
    const DWORD error = GetLastError();
    // Held in every case: the first instance owns the name for its lifetime.
    launcher.mutex.Reset(mutex);
    return mutex && error == ERROR_ALREADY_EXISTS;
}

namespace {

constexpr uint16_t kFallbackLanguage = 1;  // English, when no settings were read

}  // namespace

LauncherStartResult LauncherStart(Launcher& launcher, HWND parent, HINSTANCE instance) {
    if (LauncherCheckRunning(launcher) && CmdLineGetHandOver(launcher.cmd_line.get())) {
        WString command;
        WString service;
        DdeServiceName(nullptr, service);
        // A command line that no form carries intact is opened here instead.
        if (HandOverBuildCommand(CmdLineGetText(launcher.cmd_line.get()), command) &&
            HandOverSend(service, command)) {
            return LauncherStartResult::kHandedOver;
        }
    }

    PrintingLayerInstall();
    launcher.root = AppCreate(instance, launcher.cmd_line.get());
    if (!launcher.root) return LauncherStartResult::kFailed;
    ProgramHooks hooks;
    hooks.settings_saved = FileTypesRegister;
    hooks.build_file_menu = FileMenuBuild;
    hooks.build_help_menu = HelpMenuBuild;
    AppSetProgramHooks(launcher.root.get(), hooks);
    AppSetMarkups(launcher.root.get(), RedlineMarkupsCreate().get());

    launcher.context = ViewerContextConstruct(launcher.root.get());
    if (!launcher.context) return LauncherStartResult::kFailed;
    launcher.session = SessionListCreate(launcher.context.get());

    return AppCreateWindow(launcher.root.get(), launcher.context.get(), instance, parent, true)
               ? LauncherStartResult::kRunning
               : LauncherStartResult::kFailed;
}

void LauncherShowStartFailure(Launcher& launcher, HINSTANCE instance) {
    Ref<AppTextTable> own_texts;
    const wchar_t* text = nullptr;
    const wchar_t* caption = nullptr;
    if (launcher.context) {
        text = ViewerGetText(launcher.context.get(), text::kStartFailed);
        caption = ViewerGetText(launcher.context.get(), text::kProductName);
    } else {
        own_texts = AppTextTableCreate(instance, kFallbackLanguage);
        text = AppTextTableGet(own_texts.get(), kFallbackLanguage, text::kStartFailed);
        caption = AppTextTableGet(own_texts.get(), kFallbackLanguage, text::kProductName);
    }
    // No owner: the frame is what failed.
    MessageBoxW(nullptr, text ? text : L"", caption ? caption : L"", MB_OK | MB_ICONHAND | MB_SETFOREGROUND);
}

void LauncherRunLoop(Launcher& launcher, int show_command) {
    const HWND frame = AppGetFrameHwnd(launcher.root.get());
    if (!frame) return;
    ShowWindow(frame, show_command);
    UpdateWindow(frame);
    MSG message;
    // GetMessageW answers -1 on failure, which must end the loop too.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The commands of the accelerators are the frame's, whichever of its
        // windows has the focus: a tree-view control would drop them.
        const HACCEL table = AppGetAccelerators(launcher.root.get());
        if (table && TranslateAcceleratorW(frame, table, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void LauncherExit(Launcher& launcher) {
    // First, so that the list names the documents that were open when the
    // frame closed.
    if (launcher.context && launcher.session)
        SessionListWrite(launcher.context.get(), launcher.session->path);
    if (launcher.root) {
        AppStop(launcher.root.get());
        AppCloseAll(launcher.root.get(), launcher.context.get());
        AppBroadcast(launcher.root.get(), event::kAppEnding);
    }
    if (launcher.session) {
        SessionListDetach(launcher.session.get());
        launcher.session.Reset();
    }
    if (launcher.context) {
        // The root and the document tree go now, while the root still runs
        // its shutdown below; the context's last reference may be held longer.
        ViewerReleaseMembers(launcher.context.get());
        launcher.context.Reset();
    }
    launcher.cmd_line.Reset();
    if (launcher.root) {
        AppShutdown(launcher.root.get());
        launcher.root.Reset();
    }
    launcher.mutex.Reset();
}
