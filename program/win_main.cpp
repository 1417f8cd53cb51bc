// The entry point of the desktop program PLXEX529.
#include <windows.h>

#include "program/launcher.h"
#include "program/program_arguments.h"

// The ANSI command line that Windows passes here loses every character
// outside the code page (a Greek or Chinese file name becomes '?'), so the
// launcher parses the wide one instead.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*ansi_command_line*/,
                   int show_command) {
    std::unique_ptr<Launcher> launcher = LauncherCreate(ProcessArguments());
    if (!launcher) return kLauncherStartFailedExitCode;
    int exit_code = 0;
    switch (LauncherStart(*launcher, nullptr, instance)) {
        case LauncherStartResult::kRunning:
            LauncherRunLoop(*launcher, show_command);
            break;
        case LauncherStartResult::kFailed:
            LauncherShowStartFailure(*launcher, instance);
            exit_code = kLauncherStartFailedExitCode;
            break;
        case LauncherStartResult::kHandedOver:
            break;
    }
    LauncherExit(*launcher);
    return exit_code;
}
