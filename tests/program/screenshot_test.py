"""The desktop program on a virtual X screen (tools/show-document): the main
view shows the page fitted, its pixels within a small grey-level tolerance
of ImageMagick's rendering of the same page at the size shown; the preview
shows the page with its blue cut-out frame and the tree its document's name;
Alt and a menu letter typed on the X keyboard (xdotool) open that menu."""
import os
import re
import subprocess
import sys

from program_peer import build, exit_with, probe, show_document, wait_for, with_numpy

numpy, Image = with_numpy()

# 1600 by 1100 pixels at 200 dpi: a thick frame whose outer edge lies at
# FRAME (inclusive), a disc and a box.
PAGE, FRAME, DARK = (1600, 1100), (68, 68, 1531, 1031), 100 / 255
work = os.path.join(build, "scratch", "program-screenshot")
page, shot, expected_path = (os.path.join(work, name) for name in ("page.tif", "screen.png", "expected.png"))


def failure():
    os.makedirs(work, exist_ok=True)
    subprocess.run(["convert", "-size", "%dx%d" % PAGE, "xc:white", "-fill", "none", "-stroke", "black",
                    "-strokewidth", "24", "-draw", "rectangle 80,80 1519,1019", "-fill", "black", "-stroke", "none",
                    "-draw", "circle 500,550 500,800", "-draw", "rectangle 900,300 1300,800", "-monochrome",
                    "-density", "200", "-units", "PixelsPerInch", "-compress", "Group4", page], check=True)
    code, output = show_document(__file__, page, shot, "SHOW_HAIRCROSS=0")
    view = re.search(r"^main view: (\d+) (\d+) (\d+) (\d+)$", output, re.M)
    if code != 0 or not view or not os.path.exists(shot):
        return "show-document failed"
    left, top, right, bottom = (int(v) for v in view.groups())
    screen = numpy.asarray(Image.open(shot).convert("L"), dtype=numpy.float64) / 255
    # The frame's edge, away from the view's border (the scroll bars' arrows).
    inner = screen[top + 20:bottom - 20, left + 20:right - 20] < DARK
    rows, columns = numpy.where(inner.any(axis=1))[0], numpy.where(inner.any(axis=0))[0]
    if len(rows) == 0 or len(columns) == 0:
        return "the main view shows no dark pixels"
    y0, y1, x0, x1 = top + 20 + rows[0], top + 20 + rows[-1], left + 20 + columns[0], left + 20 + columns[-1]
    width, height = x1 - x0 + 1, y1 - y0 + 1
    frame_width, frame_height = FRAME[2] - FRAME[0] + 1, FRAME[3] - FRAME[1] + 1
    scale = width / frame_width
    # Fitted: the page fills the view's width or height less the scroll bars.
    if abs(width / height - frame_width / frame_height) > 0.02 or (
            PAGE[0] * scale < right - left - 45 and PAGE[1] * scale < bottom - top - 45):
        return "the page is not fitted in its shape: %dx%d in a view of %dx%d" % (width, height, right - left,
                                                                                  bottom - top)
    subprocess.run(["convert", page, "-crop", "%dx%d+%d+%d" % (frame_width, frame_height, FRAME[0], FRAME[1]),
                    "+repage", "-filter", "box", "-resize", "%dx%d!" % (width, height), "-colorspace", "gray",
                    expected_path], check=True)
    expected = numpy.asarray(Image.open(expected_path).convert("L"), dtype=numpy.float64) / 255
    difference = numpy.abs(screen[y0:y1 + 1, x0:x1 + 1] - expected)
    print("page shown at %d,%d, %dx%d; mean difference %.4f" % (x0, y0, width, height, difference.mean()))
    if difference.mean() >= 0.04 or (difference > 0.5).mean() >= 0.02:
        return "grey levels differ: mean %.4f, far off %.4f" % (difference.mean(), (difference > 0.5).mean())
    return None


def panes_and_menu():
    """Run by show-document while the viewer is shown: the panes on the
    screen, then the File menu ("&Datei") opened from the keyboard."""
    frame = os.environ["SHOW_FRAME"]
    panes = {c[1]: [int(v) for v in c[4:8]] for c in probe("children", frame) if c[3] == "1"}
    subprocess.run(["import", "-window", "root", os.path.join(work, "panes.png")], check=True)
    screen = numpy.asarray(Image.open(os.path.join(work, "panes.png")).convert("RGB"), dtype=numpy.int32)
    left, top, right, bottom = panes.get("Plovex50Voransicht", [0, 0, 0, 0])
    preview = screen[top:bottom, left:right]
    blue = ((preview[..., 2] > 200) & (preview[..., 0] < 80) & (preview[..., 1] < 80)).sum()
    dark = (preview.sum(axis=2) < 150).sum()
    if blue < 40 or dark < 40:
        return "the preview shows %d blue and %d dark pixels, not the page in its frame" % (blue, dark)
    left, top, right, bottom = panes.get("SysTreeView32", [0, 0, 0, 0])
    if (screen[top:bottom, left:right].sum(axis=2) < 200).sum() < 20:
        return "the tree shows no text"

    # Keys go to the window under the pointer: the frame's main view.
    left, top, right, bottom = panes["Plovex50Hauptansicht"]
    subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2)], check=True)
    subprocess.run(["xdotool", "key", "alt+d"], check=True)
    if not wait_for(lambda: [m for m in probe("windows", "#32768") if m[2] == "1"], 15):
        return "Alt+D opened no menu"
    subprocess.run(["import", "-window", "root", os.path.join(work, "menu.png")], check=True)
    subprocess.run(["xdotool", "key", "Escape", "Escape"], check=True)
    return None


if sys.argv[1:] == ["--while-shown"]:
    exit_with(panes_and_menu(), "panes and menu shown")
exit_with(failure())
