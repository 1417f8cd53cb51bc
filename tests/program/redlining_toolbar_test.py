"""The redlining tool window as another program sees it: hidden in view mode,
shown by "Select objects" (563) with that button pressed (TB_ISBUTTONPRESSED),
the Polygon button (568) pressed and Text (569) released after choosing them in
turn, and its close box switching to view mode: the window hidden with nothing
pressed, and the same window shown again by the edit command (561). Then a line
drawn with posted mouse messages: the tool window, opened over the drawing
clear of the frame's tool bars, stays owned by the frame and
above it, and every way out (Exit 508, WM_CLOSE, the session's end, DDE Quit)
asks whether to save
the changed markups and keeps the program on Cancel."""
import os
import subprocess
import threading

from program_peer import (MAIN, WM_COMMAND, check, dde, make_tiff, probe, program_boxes, program_texts, quit_program,
                          run_check, start, wait_for, wait_for_active_file, wait_for_frame)
from program_peer import View, build, exit_with, show_document, with_numpy

TOOLBAR_CLASS = "PLOVEX_RLTOOLBAR"
WM_CLOSE, WM_QUERYENDSESSION = 16, 0x11
EDIT, SELECT, LINE, POLYGON, TEXT, EXIT = 561, 563, 564, 568, 569, 508
WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON = 0x200, 0x201, 0x202, 1
IDCANCEL, IDNO = 2, 7
UNSAVED = [text.split("%")[0] for text in program_texts("kRedlineUnsavedChanges")]
BUTTONS = list(range(562, 571))
RECTANGLE, ABOUT, TOOLS_RED = 565, 557, (210, 20, 20)
Image = with_numpy()[1]
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
    if shown:
        # It opens over the drawing, clear of the frame's own tool bars.
        view = next(c[0] for c in probe("children", frame[0]) if c[1] == MAIN)
        tool, area = [int(v) for v in probe("rect", shown[0])[0]], [int(v) for v in probe("rect", view)[0]]
        check(area[0] <= tool[0] and area[1] <= tool[1] and tool[2] <= area[2] and tool[3] <= area[3],
              "the tool window %r opens inside the drawing %r" % (tool, area))
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
        draw_line(frame[0], pid)
        check(probe("order", again[0], frame[0]) == [["owner", frame[0], "above", "1"]],
              "after a click in the drawing the tool window is owned by the frame and above it: %r"
              % probe("order", again[0], frame[0]))
        ways_out(viewer, frame[0], pid)
    check(viewer.poll() is not None or quit_program(viewer), "Quit ends the viewer")
    code, out = show_document(__file__, os.path.join(work, "plan.tif"), work + "/screen.png", "REDLINING_ACTIVE=1")
    check("tool window kept" in out and code == 1 and 'shows a box "' in out, "on a screen (below)")


def draw_line(frame, pid):
    view = next(c[0] for c in probe("children", frame) if c[1] == MAIN)
    probe("post", frame, WM_COMMAND, LINE, 0)
    expect(pid, True, [LINE], "the line tool")
    for message, keys, x, y in ((WM_LBUTTONDOWN, MK_LBUTTON, 60, 60), (WM_MOUSEMOVE, MK_LBUTTON, 120, 90),
                                (WM_MOUSEMOVE, MK_LBUTTON, 180, 120), (WM_LBUTTONUP, 0, 180, 120)):
        probe("post", view, message, keys, (y << 16) | x)


def question(pid):
    return wait_for(lambda: next((box for box, _, children in program_boxes(pid)
                                  if any(t in c for t in UNSAVED for c in children)), None), 15)


def answer(pid, box, button):
    probe("post", box, WM_COMMAND, button, 0)
    return wait_for(lambda: all(b != box for b, _, _ in program_boxes(pid)), 15)


def ways_out(viewer, frame, pid):
    """Each way out asks about the changed markups; Cancel keeps the program."""
    quitting = threading.Thread(target=dde, args=("x\tQuit",))
    for what, leave in (("Exit (508)", lambda: probe("post", frame, WM_COMMAND, EXIT, 0)),
                        ("WM_CLOSE", lambda: probe("post", frame, WM_CLOSE, 0, 0)),
                        ("the session's end", lambda: probe("post", frame, WM_QUERYENDSESSION, 0, 0)),
                        ("DDE Quit", quitting.start)):
        leave()
        box = question(pid)
        if check(box, "%s asks whether to save the changed markups" % what):
            check(answer(pid, box, IDCANCEL), "%s: Cancel closes the question" % what)
        check(viewer.poll() is None and wait_for_frame("plan.tif", 5), "%s: Cancel keeps the program" % what)
    quitting.join(60)
    # Given up, the markups no longer hold the program.
    probe("post", frame, WM_COMMAND, EXIT, 0)
    box = question(pid)
    check(box and answer(pid, box, IDNO) and wait_for(lambda: viewer.poll() is not None, 30),
          "No to the question ends the program")


def on_screen():
    """Run by show-document: real clicks drag a rectangle in the drawing, then click the tree and the frame's tool
    bar; the tool window stays above the frame, its icons on the screen. The About box is left for show-document."""
    view, shot = View(os.environ["SHOW_FRAME"]), os.path.join(build, "scratch", "tool-window.png")
    tool = view.choose(RECTANGLE) and probe("windows", TOOLBAR_CLASS)[0][0]
    x, y, right = view.client[:3]
    clicks = (f"mousemove {x + 30} {y + 60} mousedown 1 mousemove {x + 90} {y + 120} mouseup 1 "
              f"mousemove {x - 30} {y + 10} click 1 mousemove {right - 10} {y - 12} click 1")
    subprocess.run(["xdotool", *clicks.split()])

    def kept():
        if not tool or subprocess.run(["import", "-window", "root", shot]).returncode != 0:
            return False
        screen = Image.open(shot).convert("RGB")
        drawn = min(map(sum, screen.crop((x + 28, y + 80, x + 33, y + 100)).getdata())) < 200
        icons = TOOLS_RED in screen.crop([int(v) for v in probe("rect", tool)[1]]).getdata()
        return drawn and icons and probe("order", tool, view.frame) == [["owner", view.frame, "above", "1"]]
    ok = wait_for(kept, 20)
    probe("post", view.frame, WM_COMMAND, ABOUT, 0)
    wait_for(lambda: [w for w in probe("windows", "#32770") if w[2] == "1"], 15)
    exit_with(None if ok else "real clicks put the tool window behind the frame (%s)" % shot, "tool window kept")


if "SHOW_FRAME" in os.environ:
    on_screen()
run_check("program-redlining-toolbar", main, SETTINGS)
