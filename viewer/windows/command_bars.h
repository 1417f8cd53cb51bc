// The frame's menus and tool bars: a menu-bar tool bar whose buttons open
// the popups of a main menu built in code (never attached to the frame),
// and a command tool bar with bitmaps, two bands of one rebar at the top of
// the frame. They keep the enabled, checked and pressed states of the
// commands in step with the active item, the settings and the
// restrictions.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/handles.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "viewer/core/event_hub.h"
#include "viewer/windows/control_handle.h"

class CommandBars;
class EventHub;
class RecentFiles;
class ViewerContext;

inline constexpr UINT kCommandBarsRebarId = 100;
inline constexpr UINT kCommandBandId = 102;
inline constexpr uint32_t kMaxExtensionPopups = 5;

// Follows the active item, the view of the page, the restrictions, the
// fixed zoom factor and the redlining mode into the states; lets go of the
// bars on 1.
class CommandBarsListener : public HubListener {
  public:
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;
    Ref<CommandBars> Bars();
    void ForgetBars();

  private:
    friend Ref<CommandBars> CommandBarsCreate(ViewerContext*, HWND, HINSTANCE, EventHub*);
    CriticalSection lock_;
    CommandBars* bars_ = nullptr;  // borrowed: the bars detach their listener before they go
};

class CommandBars : public RefCounted {
  public:
    // Removes the rebar's subclass, destroys the windows and the menus,
    // releases the listener and the context.
    ~CommandBars() override;

    ControlHandle rebar;  // first: its children go before it
    ControlHandle menu_bar;
    ControlHandle tool_bar;
    HWND frame_window = nullptr;
    HINSTANCE instance = nullptr;
    MenuHandle main_menu;  // owns the popups
    ImageListHandle normal_images;
    ImageListHandle hot_images;
    bool redlining = false;  // REDLINING_ACTIVE when the bars were made
    // Menu-bar tracking.
    HWND focus_before = nullptr;
    bool keyboard_mode = false;
    HMENU tracked_popup = nullptr;
    bool tracking = false;
    bool select_first = false;
    bool track_again = false;
    bool return_to_keyboard_mode = false;
    int32_t current_button = -1;

    bool shown = false;
    // The enabled state each tool-bar button was last given, by command: a
    // button is only told again when it changes (the hub's notifications
    // after an open or a page change repeat most states, and every message
    // to the control costs a tenth of a millisecond under Wine). Only these
    // calls change it; a click changes the pressed state alone, which is
    // therefore always given.
    std::map<uint32_t, bool> enabled_given;
    Ref<CommandBarsListener> listener;
    Ref<ViewerContext> context;
};

// One command's state as the tables give it.
struct CommandState {
    uint32_t id;
    bool on;
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
HWND CommandBarsGetToolBar(CommandBars* bars);
HWND CommandBarsGetMenuBar(CommandBars* bars);
// The popup that the menu-bar button with this id opens, or null.
HMENU CommandBarsGetPopup(CommandBars* bars, uint32_t popup_id);

// The enabled states of the commands for the active item, the settings and
// the restrictions, and the pressed states of the command tool bar.
std::vector<CommandState> CommandBarsEnabledStates(ViewerContext* context, bool redlining);
std::vector<CommandState> CommandBarsPressedStates(ViewerContext* context, bool redlining);
// Applies them to the tool bar and the popups.
void CommandBarsUpdateCommandStates(CommandBars* bars);
void CommandBarsUpdatePressedStates(CommandBars* bars);
// Sets the check marks of the Window and Tools popups.
void CommandBarsUpdateCheckMarks(CommandBars* bars);
// Replaces the File popup's recent part with the list's entries.
void CommandBarsRebuildRecentFiles(CommandBars* bars, RecentFiles* list);
// Opens the popup of the menu-bar button, its first item selected with
// `select_first`, and keeps the menu bar in keyboard mode while it is open.
void CommandBarsTrackPopup(CommandBars* bars, int32_t button_id, bool select_first);
