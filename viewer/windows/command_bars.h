// Stand-in: an empty rebar of the bars' height; no menus, tool bars, command states, tool tips or menu keys.
// The frame's menus and tool bars: a menu-bar tool bar and a command tool
// bar, two bands of one rebar at the top of the frame.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "viewer/windows/control_handle.h"

class EventHub;
class ViewerContext;

// The height one band takes in the rebar.
inline constexpr int32_t kCommandBandHeight = 27;

class CommandBars : public RefCounted {
  public:
    ControlHandle rebar;
    bool shown = false;
};

// Null without a frame window or module.
Ref<CommandBars> CommandBarsCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                   EventHub* hub);
// Both modes 0 hide the rebar; otherwise it shows the menu band for a menu
// mode other than 0 and the command band for a tool-bar mode other than 0,
// across the top of `client`.
void CommandBarsLayout(CommandBars* bars, int32_t menu_mode, int32_t toolbar_mode, HWND frame_window,
                       const RectI& client);
// The rebar's window height while shown, else 0.
int32_t CommandBarsGetHeight(CommandBars* bars);
HWND CommandBarsGetWindow(CommandBars* bars);
