"""The desktop program on a virtual X screen (tools/show-document: Xvfb,
Wine's desktop window, a screenshot once the page is painted, Quit over
DDE): the main view shows the page fitted, and its pixels match
ImageMagick's rendering of the same page at the size shown, within a small
tolerance for the grey levels of the reduction."""
import os
import re
import subprocess
import sys

try:
    import numpy
    from PIL import Image
except ImportError:
    # ctest may find another Python first; Debian's has Pillow and numpy.
    if os.path.realpath(sys.executable) == os.path.realpath("/usr/bin/python3"):
        sys.exit("FAILED: /usr/bin/python3 has no numpy or Pillow (tools/setup installs them)")
    os.execv("/usr/bin/python3", ["/usr/bin/python3", os.path.abspath(sys.argv[0])])

import program_driver as d

# The page: 1600 by 1100 pixels at 200 dpi, a thick frame whose outer edge
# lies at FRAME (left, top, right, bottom, inclusive), a disc and a box.
PAGE = (1600, 1100)
FRAME = (68, 68, 1531, 1031)
DARK = 100


def make_page(path):
    subprocess.run(["convert", "-size", "%dx%d" % PAGE, "xc:white", "-fill", "none", "-stroke", "black",
                    "-strokewidth", "24", "-draw", "rectangle 80,80 1519,1019", "-fill", "black", "-stroke", "none",
                    "-draw", "circle 500,550 500,800", "-draw", "rectangle 900,300 1300,800", "-monochrome",
                    "-density", "200", "-units", "PixelsPerInch", "-compress", "Group4", path],
                   check=True, capture_output=True, stdin=subprocess.DEVNULL)


def main():
    d.require_build()
    work = d.scratch_dir("screenshot")
    page = os.path.join(work, "page.tif")
    shot = os.path.join(work, "screen.png")
    make_page(page)
    environment = dict(os.environ, SCREEN_SIZE="800x600", SHOW_SETTINGS="SHOW_HAIRCROSS=0")
    environment.pop("DISPLAY", None)
    done = subprocess.run([os.path.join(d.top, "tools", "show-document"), d.build, page, shot], env=environment,
                          capture_output=True, stdin=subprocess.DEVNULL, timeout=300)
    output = done.stdout.decode() + done.stderr.decode()
    view = re.search(r"^main view: (\d+) (\d+) (\d+) (\d+)$", output, re.M)
    if not d.check(done.returncode == 0 and view and os.path.exists(shot), "show-document ran: %s" % output):
        d.finish()
    left, top, right, bottom = (int(v) for v in view.groups())
    screen = numpy.asarray(Image.open(shot).convert("L"), dtype=numpy.float64) / 255
    # The frame's outer edge, looked for away from the view's border (where
    # the scroll bars draw their arrows).
    inner = screen[top + 20:bottom - 20, left + 20:right - 20]
    rows = numpy.where((inner < DARK / 255).any(axis=1))[0]
    columns = numpy.where((inner < DARK / 255).any(axis=0))[0]
    if not d.check(len(rows) > 0 and len(columns) > 0, "the main view shows dark pixels"):
        d.finish()
    y0, y1 = top + 20 + rows[0], top + 20 + rows[-1]
    x0, x1 = left + 20 + columns[0], left + 20 + columns[-1]
    shown_width, shown_height = x1 - x0 + 1, y1 - y0 + 1
    frame_width, frame_height = FRAME[2] - FRAME[0] + 1, FRAME[3] - FRAME[1] + 1
    d.check(abs(shown_width / shown_height - frame_width / frame_height) < 0.02,
            "the page keeps its shape: %dx%d shown" % (shown_width, shown_height))
    # Fitted: the page fills the view's width or its height (less the scroll
    # bars, at most 20 pixels each).
    scale = shown_width / frame_width
    d.check(PAGE[0] * scale > right - left - 45 or PAGE[1] * scale > bottom - top - 45,
            "the page is fitted into the view (scale %.3f, view %dx%d)" % (scale, right - left, bottom - top))

    expected_path = os.path.join(work, "expected.png")
    subprocess.run(["convert", page, "-crop", "%dx%d+%d+%d" % (frame_width, frame_height, FRAME[0], FRAME[1]),
                    "+repage", "-filter", "box", "-resize", "%dx%d!" % (shown_width, shown_height),
                    "-colorspace", "gray", expected_path], check=True, capture_output=True, stdin=subprocess.DEVNULL)
    expected = numpy.asarray(Image.open(expected_path).convert("L"), dtype=numpy.float64) / 255
    shown = screen[y0:y1 + 1, x0:x1 + 1]
    difference = numpy.abs(shown - expected)
    print("page shown at %d,%d, %dx%d; mean difference %.4f" % (x0, y0, shown_width, shown_height,
                                                              difference.mean()))
    d.check(difference.mean() < 0.04, "mean grey-level difference %.4f" % difference.mean())
    d.check((difference > 0.5).mean() < 0.02, "pixels far off: %.4f" % (difference > 0.5).mean())
    d.finish()


main()
