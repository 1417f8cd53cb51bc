#!/usr/bin/python3
"""Markups round trip through the desktop program: a document opened with a
companion file made here (tarfile, zlib) is saved into a new TIFF by the
save command (WM_COMMAND 562 from the window probe, its file dialog filled
the same way); each page's tag 40000, found by a struct walker of the TIFF,
must inflate to the very text that went into the companion file.

Then a line drawn with the mouse: File > Exit (508), the session's end and
DDE's Quit ask the unsaved-markups question (texts 2791), Cancel keeps the
program running and No ends it with the companion file as it was."""
import os
import pathlib
import sys
import threading

from markup_files import HEADER, companion, deflated, inflated, page_text, tag_payloads
from program_peer import (MAIN, WM_COMMAND, begin, check, dde, fill_file_dialog, finish, make_tiff, probe,
                          program_boxes, program_texts, quit_program, reg_set, start, wait_for, wait_for_frame,
                          windows_path)

REDLINE_SAVE, EXIT, LINE_TOOL = 562, 508, 564
IDCANCEL, IDNO, WM_QUERYENDSESSION = 2, 7, 0x11
WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON = 0x200, 0x201, 0x202, 1
UNSAVED = [text.split("%FILENAME%")[0] for text in program_texts("kRedlineUnsavedChanges")]


def draw_line(frame):
    """A line dragged across the main view once the tool bar shows the line tool pressed."""
    probe("post", frame, WM_COMMAND, LINE_TOOL, 0)
    bar = wait_for(lambda: next((c[0] for w in probe("windows", "PLOVEX_RLTOOLBAR")
                                 for c in probe("children", w[0]) if c[1] == "ToolbarWindow32"), None), 15)
    if not bar or not wait_for(lambda: probe("buttons", bar, LINE_TOOL)[0][3] == "1", 15):
        return False
    view = next(c[0] for c in probe("children", frame) if c[1] == MAIN)
    for message, keys, (x, y) in ((WM_LBUTTONDOWN, MK_LBUTTON, (100, 100)), (WM_MOUSEMOVE, MK_LBUTTON, (200, 150)),
                                  (WM_MOUSEMOVE, MK_LBUTTON, (300, 200)), (WM_LBUTTONUP, 0, (300, 200))):
        probe("post", view, message, keys, (y << 16) | x)
    return True


def question(pid):
    """The unsaved-markups box of the program, or None."""
    return next((box for box, _, texts in program_boxes(pid) if any(t.startswith(tuple(UNSAVED)) for t in texts)),
                None)


work = begin("redline-round-trip")
document = os.path.join(work, "plan.tif")
make_tiff(document, ["800x600", "640x480"])
texts = [page_text([(1, 2, "10.000000:20.000000:300.500000:400.250000", [(0, "0:255:1:0.500000"), (6, "1:0")]),
                    (2, 3, "5.000000:6.000000:50.000000:60.000000", [(0, "0:0:0:0.350000"), (1, "1:65280:0")])]),
         page_text([(1, 7, "1.000000:2.000000:30.000000:40.000000", [(4, "2:5:Hello5:World")])])]
with open(os.path.join(work, "plan.PLR"), "wb") as file:
    file.write(companion([deflated(text) for text in texts]))

reg_set({"REDLINING_ACTIVE": "1"})
target = os.path.join(work, "with-markups.tif")
try:
    viewer = start(windows_path(document))
    frame = wait_for_frame("plan.tif")
    if check(frame, "a frame shows plan.tif"):
        probe("post", frame[0], WM_COMMAND, REDLINE_SAVE, 0)
        dialog = wait_for(lambda: probe("windows", "#32770"), 20)
        if check(dialog, "the save command shows its file dialog"):
            fill_file_dialog(dialog[0][0], target)
            check(wait_for(lambda: os.path.exists(target) and not probe("windows", "#32770"), 30),
                  "the TIFF with markups was written and no box asks anything")
    payloads = tag_payloads(target) if os.path.exists(target) else None
    check(payloads is not None and len(payloads) == 2, "two directories: %r" % (payloads and len(payloads)))
    for index, payload in enumerate(payloads or []):
        check(payload is not None and payload[:10] == HEADER and inflated(payload) == texts[index],
              "page %d: the tag holds the companion file's text:\n%r" % (index, payload and inflated(payload)))
    check(quit_program(viewer), "Quit ends the viewer without asking")

    # Changed markups: every way out asks, and Cancel keeps them.
    source = pathlib.Path(work, "plan.PLR").read_bytes()
    viewer = start(windows_path(document))
    frame = wait_for_frame("plan.tif")
    if check(frame and draw_line(frame[0]), "a line drawn with the mouse"):
        pid = frame[1]
        for way, message, wparam in (("File > Exit", WM_COMMAND, EXIT), ("the session's end", WM_QUERYENDSESSION, 0)):
            probe("post", frame[0], message, wparam, 0)
            box = wait_for(lambda: question(pid), 20)
            if check(box, "%s asks about the changed markups" % way):
                probe("post", box, WM_COMMAND, IDCANCEL, 0)
                check(wait_for(lambda: not question(pid), 15) and viewer.poll() is None,
                      "Cancel keeps the program running")
        quitting = threading.Thread(target=dde, args=("x\tQuit",))
        quitting.start()
        box = wait_for(lambda: question(pid), 20)
        if check(box, "DDE's Quit asks about the changed markups"):
            probe("post", box, WM_COMMAND, IDNO, 0)
            check(wait_for(lambda: viewer.poll() is not None, 30), "No ends the program")
        quitting.join(60)
    check(pathlib.Path(work, "plan.PLR").read_bytes() == source, "the companion file is as it was")
    if viewer.poll() is None:
        viewer.kill()
finally:
    reg_set({"REDLINING_ACTIVE": None})
sys.exit(finish())
