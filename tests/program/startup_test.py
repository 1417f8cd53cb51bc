"""The desktop program started on a one-page TIFF (also one whose name the
ANSI code page cannot hold), a three-page TIFF and a list: its frame's title
and navigation tree as a second process reads them,
and the frame's place, stored at exit and taken again at the next start."""
import os

import program_driver as d


def tree_items(frame):
    """The tree's (count, [(depth, text)]) read through the probe."""
    tree = [line.split("\t")[0] for line in d.probe("children", frame[0])[1] if "\tSysTreeView32\t" in line]
    if not d.check(len(tree) == 1, "the frame has one tree-view control"):
        return 0, []
    lines = d.probe("tree", tree[0])[1]
    count = int(lines[0].split("\t")[1]) if lines and lines[0].startswith("count\t") else -1
    items = [(int(line.split("\t")[1]), line.split("\t")[2]) for line in lines[1:] if line.startswith("item\t")]
    return count, items


def run(args, title, expected_items, what):
    program = d.Program(*args)
    frame = d.wait_for_frame(30, title)
    if d.check(frame is not None, "%s: a frame titled %r appears (frames: %r)" % (what, title, d.frames())):
        # The tree fills while the documents load.
        counted = d.wait_for(lambda: (lambda t: t if t[1] == expected_items else None)(tree_items(frame)), 20)
        d.check(counted is not None and counted[0] == len(expected_items),
                "%s: the tree shows %r (it shows %r)" % (what, expected_items, tree_items(frame)))
    d.check(d.quit_program(program), "%s: Quit over DDE ends the program" % what)
    return frame


def main():
    d.require_build()
    work = d.scratch_dir("startup")
    one = os.path.join(work, "one.tif")
    three = os.path.join(work, "three.tif")
    d.make_tiff(one, [(600, 400)])
    d.make_tiff(three, [(300, 200), (310, 200), (320, 200)])
    # A name that the ANSI code page cannot hold: only the wide command line keeps it.
    greek = os.path.join(work, "\u03a9mega \u03c0lan.tif")
    d.make_tiff(greek, [(400, 300)])
    listing = os.path.join(work, "drawings.lst")
    with open(listing, "w", newline="") as f:
        f.write("; drawings\r\n%s\tFirst plan\r\nthree.tif\r\n" % d.windows_path(one))

    d.prepare_settings()
    try:
        run([d.windows_path(one)], "Plovex - one.tif", [(0, "one.tif")], "one page")
        run([d.windows_path(greek)], "Plovex - \u03a9mega \u03c0lan.tif", [(0, "\u03a9mega \u03c0lan.tif")],
            "a name outside the code page")
        run([d.windows_path(three)], "Plovex - three.tif",
            [(0, "three.tif"), (1, "Seite 1"), (1, "Seite 2"), (1, "Seite 3")], "three pages")
        frame = run([d.windows_path(listing)], "Plovex - First plan",
                    [(0, "drawings.lst"), (1, "First plan"), (1, "three.tif"), (2, "Seite 1"), (2, "Seite 2"),
                     (2, "Seite 3")], "list")

        # The frame's place: moved by another process, stored at exit,
        # taken again at the next start.
        program = d.Program(d.windows_path(one))
        frame = d.wait_for_frame(30, "one.tif")
        if d.check(frame is not None, "the frame appears again"):
            d.probe("move", frame[0], 30, 40, 700, 500)
            d.check(d.probe("rect", frame[0])[1][:1] == ["30\t40\t730\t540"], "the probe moved the frame")
        d.check(d.quit_program(program), "Quit ends the program")
        d.check(d.reg_query(d.SETTINGS_KEY, "RECT_MAINWINDOW") == "30;40;700;500",
                "RECT_MAINWINDOW holds the moved frame (%r)" % d.reg_query(d.SETTINGS_KEY, "RECT_MAINWINDOW"))
        program = d.Program()
        frame = d.wait_for_frame(30)
        d.check(frame is not None and d.probe("rect", frame[0])[1][:1] == ["30\t40\t730\t540"],
                "the next start puts the frame where it was")
        d.check(d.quit_program(program), "Quit ends the program")
    finally:
        d.restore_settings()
    d.finish()


main()
