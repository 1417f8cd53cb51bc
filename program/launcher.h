// The desktop program's shell around the viewer: it holds the single-
// instance mutex, hands a command line with the switch "s" to a viewer that
// runs already, or else makes the application root, the viewer context and
// the windows, runs the message loop and tears everything down in order.
#pragma once

#include <windows.h>

#include <memory>

#include "foundation/handles.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class AppRoot;
class CmdLine;
class SessionList;
class ViewerContext;

// Every instance creates it; the first one owns the name for its lifetime.
inline constexpr wchar_t kSingleInstanceMutexName[] = L"PLOVEX5_MUTEX_SINGLE_INSTANCE";

struct Launcher {
    ~Launcher();  // LauncherExit

    Ref<AppRoot> root;
    Ref<ViewerContext> context;
    Ref<CmdLine> cmd_line;  // never null
    UniqueHandle mutex;
    // What the program adds to the context: the session list's path and
    // whether one existed at start, and the action that reopens it.
    Ref<SessionList> session;
};

// What LauncherStart leaves the process to do.
enum class LauncherStartResult {
    kHandedOver,  // the command line went to another instance: end quietly
    kRunning,     // the frame exists: run the message loop
    kFailed,      // the root, the context or the frame could not be made
};

// The exit code of a start that failed.
inline constexpr int kLauncherStartFailedExitCode = 1;

// A launcher with the command line parsed.
std::unique_ptr<Launcher> LauncherCreate(const WString& command_line);
// Creates the mutex the first time; true when another instance had made it
// already. Later calls answer false.
bool LauncherCheckRunning(Launcher& launcher);
// Hands the command line over, or makes the root, the context and the
// windows.
LauncherStartResult LauncherStart(Launcher& launcher, HWND parent, HINSTANCE instance);
// Tells the user that the viewer could not start, in the language of the
// settings when the root was made (else in English).
void LauncherShowStartFailure(Launcher& launcher, HINSTANCE instance);
// Shows the frame and dispatches messages until WM_QUIT, translating the
// viewer's accelerators for the frame first; returns at once without a frame.
void LauncherRunLoop(Launcher& launcher, int show_command);
// Writes the session list, ends the viewer and releases everything in
// order; a second call does nothing.
void LauncherExit(Launcher& launcher);
