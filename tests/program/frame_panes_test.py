"""The frame's controls as another program sees them: the command tool bar's
enabled and pressed buttons (TB_ISBUTTONENABLED, TB_ISBUTTONPRESSED) after
opening with -nosave and -noprint, mirroring and turning (by commands and by
keys through the program's accelerators), on a comparison page and with a
fixed zoom factor; the preview's drag and click read back with GetCutOut3
over DDE, and refused under restrictions 256 and 512; the recent-file list
the program leaves in the registry."""
import os

from program_peer import (PREVIEW, SETTINGS_KEY, WM_COMMAND, check, cut_out, dde, make_tiff, probe, quit_program,
                          reg_set, reg_values, request, run_check, start, wait_for, wait_for_active_file,
                          wait_for_frame)

RECENT_KEY = SETTINGS_KEY + r"\RecentFiles"
SETTINGS = {"RESTRICTIONS": None, "FIXED_ZOOMFACTOR": None, "LENGTH_RECENT_FILES_LIST": "20",
            "VIEWMODE_PREVIEW": None, "HEIGHT_PREVIEW": "200"}
OLD_FILES = {"FILE_%d" % n: r"C:\old\plan%d.tif" % n for n in range(20)}
WM_KEYDOWN, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, VK_END = 0x100, 0x200, 0x201, 0x202, 1, 0x23
SAVE_AS, PRINT, ZOOM_IN, ZOOM_OUT, ZOOM_ALL, STANDARD_VIEW = 501, 503, 511, 512, 513, 504
MIRROR_V, MIRROR_H, ROTATE_LEFT, ROTATE_RIGHT, INVERT, FIRST, PREVIOUS, NEXT, LAST = range(521, 530)
COMPARE = 539
PAGE_MM = (101.6, 76.2)  # 800 x 600 pixels at 200 dpi


def command_tool_bar(frame):
    """The tool bar that holds the Open button (the other one is the menu bar)."""
    bars = [c[0] for c in probe("children", frame[0]) if c[1] == "ToolbarWindow32"]
    return next((bar for bar in bars if probe("buttons", bar, 500)[0][1] != "-1"), None)


def buttons(bar, *ids):
    """{id: (enabled, pressed)} of the tool bar's buttons."""
    return {int(line[0]): (line[2] == "1", line[3] == "1") for line in probe("buttons", bar, *ids)}


def expect_buttons(bar, expected, what, column):
    """Waits, bounded, until every button shows the expected state in the
    column (0 enabled, 1 pressed); a mismatch that stays is one failure."""
    ids = sorted(expected)
    seen = wait_for(lambda: (lambda b: b if all(b.get(i, (None, None))[column] == expected[i] for i in ids)
                             else None)(buttons(bar, *ids)), 10)
    check(seen, "%s: %s %r, not %r" % (what, ("enabled", "pressed")[column], buttons(bar, *ids), expected))


def post_command(frame, command):
    probe("post", frame[0], WM_COMMAND, command, 0)


def preview_client(frame):
    """The preview's client rectangle in screen pixels."""
    pane = next(c[0] for c in probe("children", frame[0]) if c[1] == PREVIEW)
    return pane, [int(v) for v in probe("rect", pane)[1]]


def drag(pane, points):
    """Presses the left button at the first point, moves through the rest and
    lets go at the last (client pixels)."""
    for message, keys, (x, y) in ([(WM_LBUTTONDOWN, MK_LBUTTON, points[0])] +
                                  [(WM_MOUSEMOVE, MK_LBUTTON, p) for p in points[1:]] +
                                  [(WM_LBUTTONUP, 0, points[-1])]):
        probe("post", pane, message, keys, (y << 16) | x)


def item_named(file_name, name):
    """The first item answering GetWindowInfo3 with the file and name, or None."""
    return next((i for i in map(lambda n: request("GetWindowInfo3(%d)" % n), range(1, 20))
                 if i and i[1:3] == [file_name, name]), None)


def tool_bar_states(frame, win):
    bar = command_tool_bar(frame)
    if not check(bar, "the frame has a command tool bar"):
        return
    expect_buttons(bar, {500: True, SAVE_AS: False, PRINT: True, ZOOM_IN: True, ZOOM_OUT: True, FIRST: False,
                         PREVIOUS: False, NEXT: True, LAST: True, MIRROR_V: True, ROTATE_RIGHT: True,
                         STANDARD_VIEW: True}, "three pages, -nosave", 0)
    # Keys go through the accelerators of the program's loop.
    probe("post", frame[0], WM_KEYDOWN, VK_END, 1)
    expect_buttons(bar, {FIRST: True, PREVIOUS: True, NEXT: False, LAST: False}, "last page", 0)

    # A quarter turn shows the stored vertical flag on the horizontal button.
    probe("post", frame[0], WM_KEYDOWN, ord("V"), 1)
    probe("post", frame[0], WM_KEYDOWN, ord("I"), 1)
    expect_buttons(bar, {MIRROR_V: True, MIRROR_H: False, INVERT: True}, "mirrored and inverted", 1)
    post_command(frame, ROTATE_LEFT)
    expect_buttons(bar, {MIRROR_V: False, MIRROR_H: True, INVERT: True}, "turned by 90", 1)
    post_command(frame, ROTATE_LEFT)
    expect_buttons(bar, {MIRROR_V: True, MIRROR_H: False}, "turned by 180", 1)

    # The pages of all documents are one sequence.
    check(dde('x\tFileOpen("%s", "", "-noprint")' % win["noprint.tif"]) == "ack"
          and wait_for_active_file("noprint.tif"), "FileOpen noprint.tif -noprint")
    expect_buttons(bar, {SAVE_AS: True, PRINT: False, FIRST: True, LAST: False}, "fourth page, -noprint", 0)
    expect_buttons(bar, {MIRROR_V: False, MIRROR_H: False, INVERT: False}, "a page of its own", 1)

    # A page added to a comparison cannot be turned or mirrored there.
    post_command(frame, COMPARE)
    compared = wait_for(lambda: item_named("noprint.tif", "noprint.tif"), 20)
    if check(compared and dde("x\tSetActPage(%s)" % compared[0]) == "ack", "a comparison page is shown"):
        expect_buttons(bar, {ZOOM_IN: True, INVERT: True, MIRROR_V: False, MIRROR_H: False, ROTATE_LEFT: False,
                             ROTATE_RIGHT: False, STANDARD_VIEW: False}, "comparison page", 0)


def preview_drag(frame, page, what, allowed):
    """A drag across the middle of the preview, then a click."""
    pane, client = preview_client(frame)
    width, height = client[2] - client[0], client[3] - client[1]
    start_point, end_point = (width * 3 // 10, height * 3 // 10), (width * 7 // 10, height - height * 3 // 10)
    whole = [0.0, 0.0, PAGE_MM[0], PAGE_MM[1]]
    drag(pane, [start_point, (width // 2, height // 2), end_point])
    if allowed:
        # The page fitted into the preview and centred; the cut-out grows
        # about the dragged box's centre to the main view's shape.
        scale = min(width / PAGE_MM[0], height / PAGE_MM[1])
        corner = [((width, height)[i] - PAGE_MM[i] * scale) / 2 for i in (0, 1)]
        box = [[(p[i] - corner[i]) / scale for i in (0, 1)] for p in (start_point, end_point)]
        size = [box[1][i] - box[0][i] for i in (0, 1)]
        got = wait_for(lambda: (lambda c: c if c and c != whole else None)(cut_out(page)), 10)
        near = lambda a, b: abs(a - b) <= 2.5 / scale
        check(got and all(near(got[i] + got[i + 2] / 2, box[0][i] + size[i] / 2) and got[i + 2] > size[i] - 0.1
                          for i in (0, 1)) and (near(got[2], size[0]) or near(got[3], size[1])),
              "%s: the drag cut out %r around the box %r" % (what, got, box))
        drag(pane, [(width // 2, height // 2)])
        check(wait_for(lambda: cut_out(page) == whole, 10), "%s: a click shows the whole page again (%r)"
              % (what, cut_out(page)))
    else:
        # Posted in order: once the inversion that follows shows, the drag
        # has been handled.
        bar = command_tool_bar(frame)
        post_command(frame, INVERT)
        expect_buttons(bar, {INVERT: True}, what + ": inverted after the drag", 1)
        check(cut_out(page) == whole, "%s: the drag is refused (%r)" % (what, cut_out(page)))


def open_by_dialog(frame, path):
    """Command 500's open dialog, given the path and OK."""
    post_command(frame, 500)
    box = wait_for(lambda: probe("windows", "#32770"), 20)
    edit = box and next((c[0] for c in probe("children", box[0][0]) if c[1] == "Edit" and c[2] == "1148"), None)
    if check(edit, "the open dialog has its file name field"):
        probe("text", edit, path)
        probe("post", box[0][0], WM_COMMAND, 1, 0)


def main(work):
    win = {name: make_tiff(os.path.join(work, name), sizes) for name, sizes in (
        ("three.tif", ["800x600"] * 3), ("noprint.tif", ["400x300"]), ("one.tif", ["800x600"]),
        ("four.tif", ["400x300"]))}
    recent = dict(OLD_FILES, FILE_5=win["one.tif"])
    reg_set(recent, RECENT_KEY)

    viewer = start("-nosave", win["three.tif"])
    frame = wait_for_frame("three.tif")
    if check(frame, "a frame shows three.tif"):
        tool_bar_states(frame, win)
        # The file from the command line comes to the top, then the seventh
        # (the sixth before it), then a new one from the open dialog pushes
        # the oldest out.
        post_command(frame, 606)
        page = wait_for_active_file("one.tif")
        if check(page, "the recent-file command opens one.tif"):
            preview_drag(frame, page, "preview", True)
        open_by_dialog(frame, win["four.tif"])
        check(wait_for_active_file("four.tif"), "the open dialog opens four.tif")
    check(quit_program(viewer), "Quit ends the first viewer")
    order = [win["four.tif"], win["one.tif"], win["three.tif"]] + [recent["FILE_%d" % n] for n in range(18) if n != 5]
    got = reg_values(RECENT_KEY)
    check(got == {"FILE_%d" % n: path for n, path in enumerate(order)}, "the recent files %r" % got)

    # A fixed zoom factor leaves zoom all alone; the preview may not be dragged.
    reg_set({"FIXED_ZOOMFACTOR": "0.5", "RESTRICTIONS": "768"})
    viewer = start(win["one.tif"])
    frame = wait_for_frame("one.tif")
    page = wait_for_active_file("one.tif")
    if check(frame and page, "a frame shows one.tif"):
        bar = command_tool_bar(frame)
        expect_buttons(bar, {ZOOM_IN: False, ZOOM_OUT: False, ZOOM_ALL: True}, "FIXED_ZOOMFACTOR", 0)
        preview_drag(frame, page, "RESTRICTIONS 768", False)
    check(quit_program(viewer), "Quit ends the second viewer")


run_check("program-panes", main, SETTINGS, lambda: reg_set({name: None for name in OLD_FILES}, RECENT_KEY))
