"""The desktop program from outside (tests/tools' window probe and DDE client),
in as few starts as the checks allow: title, tree and panes on a one-page TIFF,
a three-page one and a list in three display modes; hand-over by -s; the
frame's place; the session list written at quit and reopened by command 509 (a
missing one is no error); files from the command line in the recent list; the
file types registered at exit."""
import os
import pathlib
import re

from program_peer import (FRAME, IDOK, MAIN, PREVIEW, PROGRAM, SETTINGS_KEY, TREE, WM_COMMAND, build, check, cut_out,
                          dde, make_tiff, probe, program_texts, quit_program, reg_query, reg_set, reg_values, request,
                          run_check, start, wait_for, wait_for_active_file, wait_for_frame, windows_path, windows_temp,
                          wine)

DDE_LOG = os.path.join(os.environ.get("WINEPREFIX", os.path.join(build, "wineprefix")), "drive_c", "plovexdde.log")
# Scratch extensions, so that the prefix's real types stay free; the parts
# that would name other keys must be left out.
SETTINGS = {"SUPPORTED_FILETYPES": " plxbb-a, .PLXBB-B,,.plxbb-c\\shell\\open\\command, *.plxbb-d, plxbb-a",
            "WIDTH_NAVIFRAME": "200", "HEIGHT_PREVIEW": "150", "RECT_MAINWINDOW": None,
            "VIEWMODE_PREVIEW": None, "VIEWMODE_NAVIGATION": None}
REOPEN_SESSION = 509
GREEK = "\u03a9mega \u03c0lan.tif"
PAGES = [(1, "Seite 1"), (1, "Seite 2"), (1, "Seite 3")]


def tree(frame):
    """(TVM_GETCOUNT, [(depth, text)]) of the one tree-view control, docked or floating."""
    hosts = [frame[0]] + [w[0] for w in probe("windows", TREE)]
    controls = [c[0] for host in hosts for c in probe("children", host) if c[1] == "SysTreeView32"]
    if not check(len(controls) == 1, "one tree-view control (%r)" % controls):
        return None
    lines = probe("tree", controls[0])
    return int(lines[0][1]), [(int(line[1]), line[2]) for line in lines[1:]]


def shows(frame, title, items, what):
    got = wait_for(lambda: (lambda t: t if t and t[1] == items else None)(tree(frame)), 20)
    check(got and got[0] == len(items), "%s: the tree shows %r (%r)" % (what, items, tree(frame)))
    check(wait_for(lambda: [f for f in probe("windows", FRAME) if f[3] == title], 10),
          "%s: title %r (%r)" % (what, title, probe("windows", FRAME)))


def layout(frame, tree_mode, preview_mode, what):
    """The docked panes as the modes place them: a column of 200 at the
    client's left, split 3 wide from the main view and from the preview
    (150 high) below the tree, all between the bars and the status bar."""
    left, top, right, bottom = (int(v) for v in probe("rect", frame[0])[1])
    shown = {c[1]: [int(v) for v in c[4:8]] for c in probe("children", frame[0]) if c[3] == "1"}
    area = shown.get(MAIN, [0, top, 0, bottom])[1::2]
    check(top < area[0] and area[1] < bottom, "%s: panes %r below the bars, above the status bar" % (what, area))
    expected = {MAIN: [left + 203, area[0], right, area[1]]}
    if tree_mode == 1:
        expected[TREE] = [left, area[0], left + 200, area[1] - 153 if preview_mode == 1 else area[1]]
    if preview_mode == 1:
        expected[PREVIEW] = [left, area[1] - 150 if tree_mode == 1 else area[0], left + 200, area[1]]
    for pane in (MAIN, TREE, PREVIEW):
        check(shown.get(pane) == expected.get(pane), "%s: %s at %r, not %r" % (what, pane, shown.get(pane),
                                                                              expected.get(pane)))


def hand_over(path, frame):
    """A second start with -s hands the file to the running viewer and ends."""
    name = os.path.basename(path)
    second = start("-s", windows_path(path))
    check(wait_for(lambda: second.poll() is not None, 10), "%s: the second process ends soon" % name)
    check(wait_for_frame("Plovex - " + name, 20), "%s: the running viewer shows it" % name)
    shown = probe("windows", FRAME)
    check([f[0] for f in shown] == [frame[0]], "%s: one frame, the running viewer's (%r)" % (name, shown))
    log = pathlib.Path(DDE_LOG).read_bytes().decode("cp1252", "replace") if os.path.exists(DDE_LOG) else ""
    logged = [line for line in log.splitlines() if "\tFileOpenCmdLine(" in line]
    check(any(windows_path(path) in line and "\tOK\t" in line for line in logged),
          "%s: the log shows the whole name handed over (%r)" % (name, logged[-1:]))


def list_lines(path):
    """The session list's lines after its header, which is checked."""
    if not check(os.path.exists(path), "a session list was written"):
        return []
    text = pathlib.Path(path).read_bytes().decode("cp1252")
    lines = text.split("\r\n")
    check(lines[0] == "; Plovex LST File" and lines[2] == lines[-1] == "" and "\n" not in "".join(lines)
          and re.fullmatch(r"; Persisted Session automatically created  \d{4}(/\d\d){2} \d\d(:\d\d){2}", lines[1]),
          "the list's header and CR LF line ends: %r" % text[:120])
    return lines[3:-1]


def main(work, session_list):
    os.makedirs(os.path.join(work, "my plans"))
    win = {}
    for name, sizes in (("one.tif", ["600x400"]), ("three.tif", ["300x200", "310x200", "320x200"]),
                        ("plan.tif", ["800x600"]), (GREEK, ["400x300"]), ("O'Neil plan.tif", ["400x300"]),
                        ("my plans/it's.tif", ["400x300"])):
        win[name] = make_tiff(os.path.join(work, name), sizes)
    pathlib.Path(work, "drawings.lst").write_bytes(b"; drawings\r\n%s\tFirst plan\r\nthree.tif\r\n"
                                                   % win["one.tif"].encode())

    # One page, every pane docked; second starts hand over to it.
    viewer = start("-dde_logging", win["one.tif"])
    frame = wait_for_frame("Plovex - one.tif")
    if check(frame, "a frame shows one.tif (%r)" % probe("windows", FRAME)):
        shows(frame, "Plovex - one.tif", [(0, "one.tif")], "one page")
        layout(frame, 1, 1, "all docked")
        hand_over(os.path.join(work, "O'Neil plan.tif"), frame)
        hand_over(os.path.join(work, "my plans/it's.tif"), frame)
        probe("move", frame[0], 30, 40, 700, 500)  # kept at exit for the next start
    check(quit_program(viewer), "Quit over DDE ends the first viewer")
    check(reg_query(SETTINGS_KEY, "RECT_MAINWINDOW") == "30;40;700;500", "RECT_MAINWINDOW %r"
          % reg_query(SETTINGS_KEY, "RECT_MAINWINDOW"))

    # Three pages and a name only the wide command line keeps; no preview.
    reg_set({"VIEWMODE_PREVIEW": "0"})
    viewer = start(win["three.tif"], win[GREEK])
    frame = wait_for_frame("three.tif")
    if check(frame, "a frame shows three.tif (%r)" % probe("windows", FRAME)):
        check(probe("rect", frame[0])[:1] == [["30", "40", "730", "540"]], "the frame is where it was")
        shows(frame, "Plovex - three.tif / Seite 1", [(0, "three.tif")] + PAGES + [(0, GREEK)], "three pages")
        layout(frame, 1, 0, "no preview")
        # Command 509 without a list, as on a first start: no documents to
        # open, and no warning.
        if os.path.exists(session_list):
            os.remove(session_list)
        probe("post", frame[0], WM_COMMAND, REOPEN_SESSION, 0)
        box = wait_for(lambda: probe("windows", "#32770"), 20)
        if check(box, "reopening a missing list shows a message box"):
            texts = [line[-1] for line in probe("children", box[0][0])]
            check(box[0][3] == "Information" and program_texts("kNoDocumentsToOpen")[0] in texts,
                  "the box %r says there are no documents to open (%r)" % (box[0][3], texts))
            probe("post", box[0][0], WM_COMMAND, IDOK, 0)
            check(wait_for(lambda: not probe("windows", "#32770"), 10), "OK closes the box")
    check(quit_program(viewer), "Quit ends the second viewer")
    recent = reg_values(SETTINGS_KEY + r"\RecentFiles")
    check(win["three.tif"] in recent.values(), "three.tif from the command line is in the recent list %r" % recent)
    check(list_lines(session_list) == [win["three.tif"] + "\tthree.tif"],
          "a path the code page cannot hold is left out of the list")

    # A list, its tree made floating by command 549.
    reg_set({"VIEWMODE_PREVIEW": None})
    viewer = start(windows_path(os.path.join(work, "drawings.lst")))
    frame = wait_for_frame("First plan")
    if check(frame, "a frame shows the list's first entry (%r)" % probe("windows", FRAME)):
        probe("post", frame[0], WM_COMMAND, 549, 0)
        check(wait_for(lambda: probe("windows", TREE), 10), "command 549 makes the tree float")
        shows(frame, "Plovex - First plan", [(0, "drawings.lst"), (1, "First plan"), (1, "three.tif")]
              + [(2, text) for _, text in PAGES], "list")
        layout(frame, 2, 1, "floating tree")
    check(quit_program(viewer), "Quit ends the third viewer")
    reg_set({"VIEWMODE_NAVIGATION": None})

    # A session turned and not to be saved, not to be printed, cut out;
    # -s with no viewer to take it: this process becomes the viewer.
    viewer = start("-s", "-r:90", "-nosave", win["one.tif"])
    check(wait_for_active_file("one.tif", 60), "with nobody to hand to, -s opens one.tif itself")
    check(dde('x\tFileOpen("%s", "", "-noprint")' % win["three.tif"]) == "ack" and wait_for_active_file("three.tif"),
          "FileOpen three.tif")
    check(dde('x\tFileOpen("%s")' % win["plan.tif"]) == "ack", "FileOpen plan.tif")
    plan_page = wait_for_active_file("plan.tif")
    check(plan_page and dde("x\tSetCutOut3(%d, 5000, 4000, 40000, 30000)" % plan_page) == "ack", "SetCutOut3")
    plan_cut = cut_out(plan_page) if plan_page else None
    check(plan_cut and plan_cut != [0, 0, 101.6, 76.2], "plan.tif is cut out (%r)" % plan_cut)
    check(quit_program(viewer), "Quit ends the session")
    lines = list_lines(session_list)
    patterns = [re.escape(win["one.tif"]) + r"\tone\.tif\t -r:90 -c:0\.000000,0\.000000,76\.200000,50\.800000 -nosave",
                re.escape(win["three.tif"]) + r"\tthree\.tif\t -noprint",
                re.escape(win["plan.tif"]) + r"\tplan\.tif\t -c:([0-9.]+),([0-9.]+),([0-9.]+),([0-9.]+)"]
    matches = [re.fullmatch(pattern, line) for pattern, line in zip(patterns, lines)]
    if check(len(lines) == 3 and all(matches), "the session's lines %r" % lines) and plan_cut:
        x1, y1, x2, y2 = (float(v) for v in matches[2].groups())
        check(all(abs(a - b) < 0.0006 for a, b in zip([x1, y1, x2 - x1, y2 - y1], plan_cut)),
              "plan.tif's cut-out %r is GetCutOut3's %r" % (matches[2].groups(), plan_cut))

    # Reopened by command 509: the same cut-out and restrictions.
    viewer = start()
    frame = wait_for_frame()
    if check(frame, "an empty viewer starts"):
        probe("post", frame[0], WM_COMMAND, REOPEN_SESSION, 0)
        # The list's entries are items 2, 3 and 4, in its order.
        plan = wait_for(lambda: (lambda i: i if i and i[1] == "plan.tif" else None)(request("GetWindowInfo3(4)")), 30)
        again = cut_out(int(plan[0])) if plan else None
        check(again and plan_cut and all(abs(a - b) < 0.0015 for a, b in zip(again, plan_cut)),
              "GetCutOut3 after reopening %r, before %r" % (again, plan_cut))
    check(quit_program(viewer), "Quit ends the reopened session")
    check(list_lines(session_list) == lines, "the reopened session keeps turn, cut-outs and restrictions")

    # The association written at exit, for the scratch types' clean parts only.
    program = windows_path(PROGRAM)
    for key, value in ((r"Plovex.Document\shell\open\command", '"%s" -s "%%1"' % program),
                       (r"Plovex.Document\DefaultIcon", '"%s", -100' % program), ("Plovex.Document", "Plovex Document"),
                       (".plxbb-a", "Plovex.Document"), (".PLXBB-B", "Plovex.Document")):
        check(reg_query("HKCR\\" + key) == value, "HKCR\\%s: %r" % (key, reg_query("HKCR\\" + key)))
    for key in (r".plxbb-c\shell\open\command", ".plxbb-c", ".plxbb-d", "*.plxbb-d"):
        check(wine("reg", "query", "HKCR\\" + key)[0] != 0, "no key %s" % key)


def cleanup():
    for key in (".plxbb-a", ".PLXBB-B", ".plxbb-c", "Plovex.Document"):
        wine("reg", "delete", "HKCR\\" + key, "/f")
    if os.path.exists(session_list):
        os.remove(session_list)


session_list = os.path.join(windows_temp(), "plxpers.lst")
if os.path.exists(DDE_LOG):
    os.remove(DDE_LOG)
run_check("program-desktop", lambda work: main(work, session_list), SETTINGS, cleanup)
