// The two popups of the main menu that the desktop program builds itself:
// File, with exit (508) and the reopening of the last session (509), and
// "?", whose About entry carries the F1 hint unless the settings name a
// custom information box.
#pragma once

#include <windows.h>

class ViewerContext;

// New popups (the caller owns them until they are attached to a menu);
// null when the system refuses a menu. Installed as the application root's
// menu hooks.
HMENU FileMenuBuild(ViewerContext* context);
HMENU HelpMenuBuild(ViewerContext* context);
