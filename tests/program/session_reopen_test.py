"""The session list and the file-type association, from outside: a program
quit with documents open (turned, cut out, opened without saving or
printing) leaves a list whose lines are checked one by one; a new program
reopens it on command 509 with the same cut-outs and restrictions; a session
without documents leaves no list, and reopening then says so. At exit the
program registers the scratch file types, read back with `wine reg query`."""
import os
import re

import program_driver as d

TEXT_LIST_UNREADABLE = "Die Liste der zuletzt ge\u00f6ffneten Dokumente kann nicht gelesen werden"
COMMAND_REOPEN_SESSION = 509
IDOK = 1


def cut_out(page_id):
    """GetCutOut3's left, top, width, height of the page in millimetres, or None."""
    answer = d.request("GetCutOut3(%d)" % page_id)
    fields = [f.strip().strip('"') for f in answer.split(",")] if answer else []
    if len(fields) != 7 or fields[0] != str(page_id):
        return None
    return [int(v) / 1000.0 for v in fields[1:5]]


def list_lines(path):
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        text = f.read().decode("cp1252")
    d.check(text.endswith("\r\n") and "\n" not in text.replace("\r\n", ""), "the list's lines end with CR LF")
    return text.split("\r\n")[:-1]


def reopen_by_command(frame):
    d.probe("post", frame[0], d.WM_COMMAND, COMMAND_REOPEN_SESSION, 0)


def check_header(lines, what):
    d.check(lines is not None and len(lines) >= 3, "%s: a list was written" % what)
    if not lines:
        return
    d.check(lines[0] == "; Plovex LST File", "%s: first line %r" % (what, lines[0]))
    d.check(re.fullmatch(r"; Persisted Session automatically created  \d{4}/\d\d/\d\d \d\d:\d\d:\d\d", lines[1]),
            "%s: second line %r" % (what, lines[1]))
    d.check(lines[2] == "", "%s: third line empty" % what)


def empty_session(session_list):
    """No documents: no list; reopening it shows text 1017 over the frame."""
    program = d.Program()
    d.check(d.wait_for_frame(30) is not None, "an empty viewer starts")
    d.check(d.quit_program(program), "Quit ends the empty viewer")
    d.check(not os.path.exists(session_list), "a session without documents leaves no list")

    program = d.Program()
    frame = d.wait_for_frame(30)
    if d.check(frame is not None, "the viewer starts again"):
        reopen_by_command(frame)
        box = d.wait_for(lambda: (lambda w: w[0] if w else None)(d.probe("windows", d.MESSAGE_BOX_CLASS)[1]), 20)
        if d.check(box is not None, "reopening a missing list shows a message box"):
            box_window = int(box.split("\t")[0])
            texts = [line.split("\t")[-1] for line in d.probe("children", box_window)[1]]
            d.check(TEXT_LIST_UNREADABLE in texts, "the box says the list cannot be read (%r)" % texts)
            d.check(box.split("\t")[3] == "Warnung", "the box is captioned text 1013 (%r)" % box)
            d.probe("post", box_window, d.WM_COMMAND, IDOK, 0)
            d.check(d.probe("gone", box_window, 10000)[0] == 0, "OK closes the box")
    d.check(d.quit_program(program), "Quit ends the viewer")


def main():
    d.require_build()
    work = d.scratch_dir("session")
    one, three, plan = (os.path.join(work, name) for name in ("one.tif", "three.tif", "plan.tif"))
    d.make_tiff(one, [(600, 400)])  # 76.2 by 50.8 mm at 200 dpi
    d.make_tiff(three, [(300, 200), (310, 200), (320, 200)])
    d.make_tiff(plan, [(800, 600)])
    session_list = os.path.join(d.temp_dir(), "plxpers.lst")
    if os.path.exists(session_list):
        os.remove(session_list)

    d.prepare_settings()
    try:
        empty_session(session_list)

        # A session: turned and not to be saved; not to be printed; cut out.
        program = d.Program("-r:90", "-nosave", d.windows_path(one))
        d.check(d.wait_for_active_file("one.tif") is not None, "one.tif opens from the command line")
        d.check(d.execute('FileOpen("%s", "", "-noprint")' % d.windows_path(three)), "FileOpen three.tif")
        d.check(d.wait_for_active_file("three.tif") is not None, "three.tif opens")
        d.check(d.execute('FileOpen("%s")' % d.windows_path(plan)), "FileOpen plan.tif")
        plan_page = d.wait_for_active_file("plan.tif")
        d.check(plan_page is not None and d.execute("SetCutOut3(%d, 5000, 4000, 40000, 30000)" % plan_page),
                "SetCutOut3 on plan.tif's page")
        plan_cut = cut_out(plan_page) if plan_page else None
        d.check(plan_cut is not None and plan_cut != [0, 0, 101.6, 76.2], "plan.tif is cut out (%r)" % plan_cut)
        d.check(d.quit_program(program), "Quit ends the session")

        lines = list_lines(session_list)
        check_header(lines, "first session")
        if lines and len(lines) == 6:
            d.check(lines[3] == "%s\tone.tif\t -r:90 -c:0.000000,0.000000,76.200000,50.800000 -nosave"
                    % d.windows_path(one), "one.tif's line %r" % lines[3])
            d.check(lines[4] == "%s\tthree.tif\t -noprint" % d.windows_path(three), "three.tif's line %r" % lines[4])
            match = re.fullmatch(re.escape(d.windows_path(plan)) + r"\tplan\.tif\t -c:([0-9.]+),([0-9.]+),([0-9.]+),([0-9.]+)",
                                 lines[5])
            if d.check(match is not None, "plan.tif's line %r" % lines[5]) and plan_cut:
                x1, y1, x2, y2 = (float(v) for v in match.groups())
                written = [x1, y1, x2 - x1, y2 - y1]
                d.check(all(abs(a - b) < 0.0006 for a, b in zip(written, plan_cut)),
                        "plan.tif's cut-out %r is GetCutOut3's %r" % (written, plan_cut))
        else:
            d.check(False, "the list has the header and three documents (%r)" % lines)

        # Reopened by command 509 in a new program.
        program = d.Program()
        frame = d.wait_for_frame(30)
        if d.check(frame is not None, "a new viewer starts"):
            reopen_by_command(frame)
            # The list's entries are items 2, 3 and 4, in its order.
            reopened = d.wait_for(lambda: (lambda i: i if i and i[1] == "plan.tif" else None)(d.window_info("4")), 30)
            d.check(reopened is not None, "the reopened list holds plan.tif as its third document")
            again = cut_out(int(reopened[0])) if reopened else None
            d.check(again is not None and plan_cut is not None and
                    all(abs(a - b) < 0.0015 for a, b in zip(again, plan_cut)),
                    "GetCutOut3 after reopening %r, before %r" % (again, plan_cut))
            d.check(d.wait_for(lambda: (lambda i: i and i[1] == "three.tif")(d.window_info("3")), 20),
                    "three.tif is back")
        d.check(d.quit_program(program), "Quit ends the reopened session")
        relisted = list_lines(session_list)
        check_header(relisted, "reopened session")
        d.check(relisted is not None and lines is not None and relisted[3:] == lines[3:],
                "the reopened session keeps turn, cut-outs and restrictions: %r, before %r"
                % (relisted and relisted[3:], lines and lines[3:]))

        # The association written at exit, for the scratch types only.
        command = d.reg_query(r"HKCR\Plovex.Document\shell\open\command")
        program_path = d.windows_path(d.PROGRAM)
        d.check(command == '"%s" -s "%%1"' % program_path, "the open command %r" % command)
        icon = d.reg_query(r"HKCR\Plovex.Document\DefaultIcon")
        d.check(icon == '"%s", -100' % program_path, "the icon %r" % icon)
        d.check(d.reg_query(r"HKCR\Plovex.Document") == "Plovex Document", "the class's name")
        for extension in (".plxbb-a", ".PLXBB-B"):
            d.check(d.reg_query("HKCR\\" + extension) == "Plovex.Document", "%s names the class" % extension)
        for key in (r".plxbb-c\shell\open\command", ".plxbb-c", ".plxbb-d", "*.plxbb-d"):
            d.check(not d.reg_key_exists("HKCR\\" + key), "no key %s" % key)
    finally:
        d.restore_settings()
        if os.path.exists(session_list):
            os.remove(session_list)
    d.finish()


main()
