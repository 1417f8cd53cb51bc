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
    if (launcher) {
        if (LauncherStart(*launcher, nullptr, instance)) {
            LauncherRunLoop(*launcher, show_command);
            LauncherExit(*launcher);
        }
        LauncherExit(*launcher);
    }
    return 0;
}
