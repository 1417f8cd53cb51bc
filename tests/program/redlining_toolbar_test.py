"""The redlining tool window as another program sees it: hidden in view mode,
shown by "Select objects" (563) with that button pressed (TB_ISBUTTONPRESSED),
the Polygon button (568) pressed and Text (569) released after choosing them in
turn, and its close box switching to view mode: the window hidden with nothing
pressed, and the same window shown again by the edit command (561)."""
import os

from program_peer import (WM_COMMAND, check, make_tiff, probe, quit_program, run_check, start, wait_for,
                          wait_for_active_file, wait_for_frame)

TOOLBAR_CLASS = "PLOVEX_RLTOOLBAR"
WM_CLOSE = 16
EDIT, SELECT, POLYGON, TEXT = 561, 563, 568, 569
BUTTONS = list(range(562, 571))
SETTINGS = {"REDLINING_ACTIVE": None, "RESTRICTIONS": None}


def tool_window(pid):
    """(hwnd, visible) of the program's tool window, or None."""
    own = [w for w in probe("windows", TOOLBAR_CLASS) if w[1] == pid]
    return (own[0][0], own[0][2] == "1") if own else None


def pressed(window):
    bar = next((c[0] for c in probe("children", window) if c[1] == "ToolbarWindow32"), None)
    if not bar:
        return None
    return [int(line[0]) for line in probe("buttons", bar, *BUTTONS) if line[3] == "1"]


def expect(pid, visible, buttons, what):
    """Waits, bounded, for the tool window's visibility and pressed buttons."""
    def state():
        window = tool_window(pid)
        if not window or window[1] != visible:
            return None
        now = pressed(window[0])
        return window if now == buttons else None
    seen = wait_for(state, 10)
    window = tool_window(pid)
    check(seen, "%s: visible %r pressed %r, wanted %r %r" % (
        what, window and window[1], window and pressed(window[0]), visible, buttons))
    return seen


def main(work):
    path = make_tiff(os.path.join(work, "plan.tif"), ["800x600"])
    viewer = start(path)
    frame = wait_for_frame("plan.tif")
    if not check(frame and wait_for_active_file("plan.tif"), "a frame shows plan.tif"):
        return
    pid = frame[1]
    check(not (tool_window(pid) or (None, False))[1], "no tool window is shown in view mode")

    probe("post", frame[0], WM_COMMAND, SELECT, 0)
    shown = expect(pid, True, [SELECT], "select mode")
    probe("post", frame[0], WM_COMMAND, TEXT, 0)
    expect(pid, True, [TEXT], "the text tool")
    probe("post", frame[0], WM_COMMAND, POLYGON, 0)
    expect(pid, True, [POLYGON], "the polygon tool after the text tool")

    if shown:
        probe("post", shown[0], WM_CLOSE, 0, 0)
        hidden = expect(pid, False, [], "closed by its caption")
        check(hidden and hidden[0] == shown[0], "closing hides the tool window rather than destroying it")
        probe("post", frame[0], WM_COMMAND, EDIT, 0)
        again = expect(pid, True, [SELECT], "the edit command from view mode")
        check(again and again[0] == shown[0], "the same tool window comes back")
    check(quit_program(viewer), "Quit ends the viewer")


run_check("program-redlining-toolbar", main, SETTINGS)
