"""Markups drawn with the mouse in the desktop program on a virtual X screen
(tools/show-document): the drawing tools chosen by their commands, mouse
messages posted to the main view (press, drag and release; plain clicks and a
right click for the point chains), then the screen read back: every shape shows
in its own region of the view (dark outlines, the note's yellow), the insides
of the open shapes and the gaps between them stay white."""
import os
import subprocess
import sys

from program_peer import (IDOK, PREVIEW, WM_COMMAND, View, build, exit_with, probe, program_texts, show_document,
                          wait_for, with_numpy)

numpy, Image = with_numpy()
IDNO = 7
LINE, RECTANGLE, ELLIPSE, MULTI_LINE, POLYGON, NOTE = 564, 565, 566, 567, 568, 570
# Cells of the view's middle (fractions of its client size): x0, y0, x1, y1.
CELLS = {RECTANGLE: (0.26, 0.28, 0.40, 0.46), ELLIPSE: (0.43, 0.28, 0.57, 0.46), NOTE: (0.60, 0.28, 0.74, 0.46),
         LINE: (0.26, 0.54, 0.40, 0.72), MULTI_LINE: (0.43, 0.54, 0.57, 0.72), POLYGON: (0.60, 0.54, 0.74, 0.72)}
work = os.path.join(build, "scratch", "program-redlining-screenshot")


def visible_dialogs():
    return [w[0] for w in probe("windows", "#32770") if w[2] == "1"]


def close_properties():
    """A finished note opens its Properties sheet at once; OK closes it."""
    sheet = wait_for(lambda: next(iter(visible_dialogs()), None), 15)
    if not sheet:
        return "the note's Properties sheet did not open"
    probe("post", sheet, WM_COMMAND, IDOK, 0)
    return None if wait_for(lambda: not visible_dialogs(), 15) else "the Properties sheet did not close"


def draw(view):
    for command in (RECTANGLE, ELLIPSE, NOTE, LINE):
        if not view.choose(command):
            return "command %d did not choose its tool" % command
        x0, y0, x1, y1 = CELLS[command]
        view.drag(view.at(x0, y0), view.at(x1, y1))
        problem = close_properties() if command == NOTE else None
        if problem:
            return problem
    for command in (MULTI_LINE, POLYGON):
        if not view.choose(command):
            return "command %d did not choose its tool" % command
        x0, y0, x1, y1 = CELLS[command]
        view.clicks([view.at(x0, y0), view.at((x0 + x1) / 2, y1), view.at(x1, y0)])
    return None


def problems(view, screen):
    """What the screen does not show yet, or an empty list."""
    left, top, right, bottom = view.client

    def region(fx, fy, half=5):
        x = left + int((right - left) * fx)
        y = top + int((bottom - top) * fy)
        return screen[y - half:y + half + 1, x - half:x + half + 1]

    def dark(fx, fy):
        return (region(fx, fy).sum(axis=2) < 200).sum() >= 3

    def white(fx, fy):
        return (region(fx, fy).min(axis=2) > 240).all()

    found = []
    x0, y0, x1, y1 = CELLS[RECTANGLE]
    if not (dark(x0, (y0 + y1) / 2) and dark(x1, (y0 + y1) / 2) and dark((x0 + x1) / 2, y0)):
        found.append("the rectangle's outline")
    if not white((x0 + x1) / 2, (y0 + y1) / 2):
        found.append("the rectangle's white inside")
    x0, y0, x1, y1 = CELLS[ELLIPSE]
    if not (dark(x0, (y0 + y1) / 2) and dark((x0 + x1) / 2, y1)) or dark(x0, y0):
        found.append("the ellipse (outline on its sides, not in the box's corner)")
    x0, y0, x1, y1 = CELLS[NOTE]
    middle = region((x0 + x1) / 2, (y0 + y1) / 2)
    if not ((middle[..., 0] > 200) & (middle[..., 1] > 200) & (middle[..., 2] < 80)).all():
        found.append("the note's yellow")
    x0, y0, x1, y1 = CELLS[LINE]
    if not (dark((x0 + x1) / 2, (y0 + y1) / 2) and white(x1, y0)):
        found.append("the line's diagonal")
    for command, name in ((MULTI_LINE, "multi-line"), (POLYGON, "polygon")):
        x0, y0, x1, y1 = CELLS[command]
        if not (dark(x0, y0) and dark((x0 + x1) / 2, y1) and dark(x1, y0)):
            found.append("the corners of the " + name)
        # The polygon closes its top side; the multi-line stays open there.
        if dark((x0 + x1) / 2, y0) != (command == POLYGON):
            found.append("the top side of the " + name)
    if not white(0.5, 0.5) or not white(0.415, 0.37):
        found.append("white gaps between the shapes")
    if not preview_shows_polygon(view, screen):
        found.append("the polygon in the preview")
    return found


def preview_shows_polygon(view, screen):
    """The preview shows the last shape drawn too: dark pixels where the
    polygon lies on the page, inside the blue frame round the fitted page."""
    pane = next((c for c in probe("children", view.frame) if c[1] == PREVIEW and c[3] == "1"), None)
    if not pane:
        return False
    left, top, right, bottom = (int(v) for v in pane[4:8])
    preview = screen[top:bottom, left:right]
    rows, columns = numpy.where((preview[..., 2] > 200) & (preview[..., 0] < 80) & (preview[..., 1] < 80))
    if len(rows) < 40:
        return False
    y0, y1, x0, x1 = rows.min(), rows.max(), columns.min(), columns.max()
    # The polygon's cell as a part of the page the main view shows fitted to its width.
    part = preview[int(y0 + (y1 - y0) * 0.55):int(y0 + (y1 - y0) * 0.85),
                   int(x0 + (x1 - x0) * 0.60):int(x0 + (x1 - x0) * 0.80)]
    return (part.sum(axis=2) < 200).sum() >= 10


def while_shown():
    view = View(os.environ["SHOW_FRAME"])
    problem = draw(view)
    if problem:
        return problem
    shot = os.path.join(work, "markups.png")
    last = []

    def shown():
        nonlocal last
        if subprocess.run(["import", "-window", "root", shot], capture_output=True).returncode != 0:
            return False
        last = problems(view, numpy.asarray(Image.open(shot).convert("RGB"), dtype=numpy.int32))
        return not last
    if not wait_for(shown, 20):
        return "the screen (%s) does not show %s" % (shot, ", ".join(last))
    return give_up(view)


def give_up(view):
    """Exit (508) asks about the drawn markups; No lets the program end."""
    unsaved = [text.split("%")[0] for text in program_texts("kRedlineUnsavedChanges")]
    probe("post", view.frame, WM_COMMAND, 508, 0)
    box = wait_for(lambda: next((w for w in visible_dialogs() if any(
        t in c[-1] for t in unsaved for c in probe("children", w))), None), 15)
    if not box:
        return "Exit does not ask about the drawn markups"
    probe("post", box, WM_COMMAND, IDNO, 0)
    return None


def run():
    os.makedirs(work, exist_ok=True)
    page = os.path.join(work, "page.tif")
    subprocess.run(["convert", "-size", "1600x1100", "xc:white", "-density", "200", "-units", "PixelsPerInch",
                    "-compress", "Group4", page], check=True)
    code, output = show_document(__file__, page, os.path.join(work, "page.png"),
                                 "SHOW_HAIRCROSS=0 REDLINING_ACTIVE=1 REDLINING_OBJECTNUMBERS=3")
    return None if code == 0 and "markups shown" in output else "show-document failed"


if sys.argv[1:] == ["--while-shown"]:
    exit_with(while_shown(), "markups shown")
exit_with(run())
