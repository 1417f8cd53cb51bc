#!/usr/bin/python3
"""Markups round trip through the desktop program: a document opened with a
companion file made here (tarfile, zlib) is saved into a new TIFF by the
save command (WM_COMMAND 562 from the window probe, its file dialog filled
the same way); each page's tag 40000, found by a struct walker of the TIFF,
must inflate to the very text that went into the companion file. Then a
rectangle and a polygon drawn with posted mouse messages over the markups
read in and saved into a new companion file come last in the page's drawing
order, the polygon ended by Esc and the polyline left unfinished at the save
with the points clicked and no more."""
import os
import re
import sys

from markup_files import HEADER, companion, deflated, inflated, members, page_text, tag_payloads
from program_peer import (MAIN, WM_COMMAND, begin, check, fill_file_dialog, finish, make_tiff, probe, quit_program,
                          reg_set, start, wait_for, wait_for_frame, windows_path)

REDLINE_SAVE, RECTANGLE, POLYGON, POLYLINE = 562, 565, 568, 567
WM_KEYDOWN, WM_KEYUP, VK_ESCAPE = 0x100, 0x101, 0x1B
WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON = 0x200, 0x201, 0x202, 1


def save_as(frame, path):
    probe("post", frame, WM_COMMAND, REDLINE_SAVE, 0)
    dialog = wait_for(lambda: probe("windows", "#32770"), 20)
    if check(dialog, "the save command shows its file dialog"):
        fill_file_dialog(dialog[0][0], path)
        check(wait_for(lambda: os.path.exists(path) and not probe("windows", "#32770"), 30),
              "%s was written and no box asks anything" % os.path.basename(path))


def choose(frame, tool):
    """The tool, once the tool bar shows it pressed (the view has bound its page by then)."""
    probe("post", frame, WM_COMMAND, tool, 0)
    bar = wait_for(lambda: next((c[0] for w in probe("windows", "PLOVEX_RLTOOLBAR") if w[2] == "1"
                                 for c in probe("children", w[0]) if c[1] == "ToolbarWindow32"), None), 15)
    return check(bar and wait_for(lambda: probe("buttons", bar, tool)[0][3] == "1", 15), "tool %d chosen" % tool)


def draw(frame):
    """Over the first page's markups: a rectangle dragged, a polygon of three clicks
    ended by Esc with the pointer at a fourth place, a polyline of two clicks still
    being drawn."""
    view = next(c[0] for c in probe("children", frame) if c[1] == MAIN)
    steps = {RECTANGLE: ((WM_MOUSEMOVE, 0, (60, 60)), (WM_LBUTTONDOWN, MK_LBUTTON, (60, 60)),
                         (WM_MOUSEMOVE, MK_LBUTTON, (120, 100)), (WM_MOUSEMOVE, MK_LBUTTON, (180, 140)),
                         (WM_LBUTTONUP, 0, (180, 140))),
             POLYGON: tuple(step for point in ((70, 150), (150, 160), (110, 200))
                            for step in ((WM_LBUTTONDOWN, MK_LBUTTON, point), (WM_LBUTTONUP, 0, point))) +
             ((WM_MOUSEMOVE, 0, (40, 220)), (WM_KEYDOWN, VK_ESCAPE, None), (WM_KEYUP, VK_ESCAPE, None)),
             POLYLINE: tuple(step for point in ((200, 60), (260, 90)) for step in
                             ((WM_LBUTTONDOWN, MK_LBUTTON, point), (WM_LBUTTONUP, 0, point))) +
             ((WM_MOUSEMOVE, 0, (300, 200)),)}
    for tool in (RECTANGLE, POLYGON, POLYLINE):
        if not choose(frame, tool):
            return
        for message, keys, point in steps[tool]:
            probe("post", view, message, keys, (point[1] << 16) | point[0] if point else 1)


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
        save_as(frame[0], target)
    payloads = tag_payloads(target) if os.path.exists(target) else None
    check(payloads is not None and len(payloads) == 2, "two directories: %r" % (payloads and len(payloads)))
    for index, payload in enumerate(payloads or []):
        check(payload is not None and payload[:10] == HEADER and inflated(payload) == texts[index],
              "page %d: the tag holds the companion file's text:\n%r" % (index, payload and inflated(payload)))
    drawn = os.path.join(work, "drawn.PLR")
    if frame:
        draw(frame[0])
        save_as(frame[0], drawn)
    found = members(open(drawn, "rb").read())[0] if os.path.exists(drawn) else []
    text = inflated(found[0]) or b"" if found else b""
    order = re.findall(rb"<r:object [^>]*>\r\n<r:id>(\d+)</r:id>\r\n<r:type>(\d+)", text)
    check(order[2:] == [(b"3", b"3"), (b"4", b"5"), (b"5", b"6")], "the new shapes are drawn last: %r" % order)
    points = re.findall(rb"<r:data>([^<]*)</r:data>\r\n</r:object>", text)[-2:]
    check([p.split(b":")[0] for p in points] == [b"3", b"2"], "Esc and the save kept the points clicked: %r" % points)
    check(quit_program(viewer), "Quit ends the viewer without asking")

finally:
    reg_set({"REDLINING_ACTIVE": None})
sys.exit(finish())
