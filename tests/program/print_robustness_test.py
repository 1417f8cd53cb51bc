"""Robustness of printing, seen from outside the running desktop program:
print jobs through the test printer (CUPS queue PlovexTest, tools/setup)
while the queue takes them, is disabled, rejects jobs or is removed, of
documents whose pages print or cannot be rendered, in one or several
copies, cancelled at random points from the status dialog; and jobs through
print plug-ins that fail, take far longer than a user waits, or answer
garbage (2^31 printers, printable areas of NaN and infinities, names
without an end and 65535 papers), each loaded by a copy of the program in
a folder of its own (tests/tools/plp_probe_plugin.c, behaviour by name).

The judge, after every case: the program answers GetProcessID (the shared
robustness judge; a plug-in that holds the program past the bound counts as
slow, not as a failure); the status dialog has gone, so the print thread
ended; a job that the program could not print (a plug-in refused it, no page
could be rendered) said so in a box whose text the window probe reads, and
no box came where all went well; the test printer's file is absent or a
whole PostScript document; nothing is left in the temporary folder or the
scratch folder (what Wine's spooler leaves in its own folder is counted
apart); and at the end the program holds the handles, GDI and USER objects
of its start, within a margin. Under Wine a queue that is disabled, rejects
jobs or is removed takes the job as far as the program can see.

Run it under `flock /tmp/plovex-printer.lock`: it changes the shared queue.
Every way out enables the queue, lets it accept jobs, adds it again as
tools/setup does when it is gone and cancels what it left queued.

PRINT_ROBUSTNESS_COUNT queue cases (default 8; a plug-in case per kind of
plug-in besides), _SEED (1), _LOG=1 prints every case."""
import contextlib
import os
import pathlib
import random
import shutil
import signal
import subprocess
import sys
import time

from program_peer import (WM_COMMAND, begin, build, make_tiff, probe, program_texts, wait_for,
                          windows_path, windows_temp)
from robustness_judge import HANG_SECONDS, Judge, execute, request, setting
from markup_files import bilevel_tiff

COUNT, SEED = setting("PRINT_ROBUSTNESS", "COUNT", 8), setting("PRINT_ROBUSTNESS", "SEED", 1)
LOG = setting("PRINT_ROBUSTNESS", "LOG", "") == "1"
QUEUE, OUTPUT = "PlovexTest", "/var/spool/plovex/PlovexTest.ps"
SOURCE = pathlib.Path(__file__).resolve().parents[2]
PRINT, FIRST_PRINTER, ALL_PAGES, COPIES, CANCEL, IDOK, IDCANCEL = 503, 800, 1005, 1415, 1010, 1, 2
PLUGINS = ["fail", "hang", "countless", "nanarea", "noise"]
QUIET_SECONDS = 4
PLUGIN_HOLD_SECONDS = 35  # the "hang" plug-in's time over a job
rnd, wine_leftovers = random.Random(SEED), []


DIALOG_TITLES = program_texts("kPrintDialogTitle")
STATUS_TITLE = "Druckstatus"
# What a job that printed nothing may say.
FAILURES = program_texts("kPrinterUnreachable", "kCannotPrint")


# ---- the queue


def cups(*args):
    return subprocess.run(list(args), stdin=subprocess.DEVNULL, capture_output=True, timeout=60).returncode


def queue(state):
    if state == "disabled":
        cups("cupsdisable", QUEUE)
    elif state == "rejecting":
        cups("cupsreject", QUEUE)
    elif state == "removed":
        cups("lpadmin", "-x", QUEUE)


def restore_queue():
    """The queue as tools/setup leaves it: present, default, enabled, accepting, empty."""
    # What a disabled queue held goes before the queue prints again.
    cups("cancel", "-a", QUEUE)
    if cups("lpstat", "-v", QUEUE) != 0:
        cups("lpadmin", "-p", QUEUE, "-E", "-v", "file://" + OUTPUT, "-P", str(SOURCE / "tools/printer/plovex-test.ppd"))
        cups("lpadmin", "-d", QUEUE)
    cups("cupsenable", QUEUE)
    cups("cupsaccept", QUEUE)


def printed():
    """The test printer's file: None when absent, else whether it is a whole document."""
    try:
        data = pathlib.Path(OUTPUT).read_bytes()
    except OSError:
        return None
    return data.startswith(b"%!") and b"%%EOF" in data[-200:]


# ---- the program's windows


def said(children, candidates):
    return any(text and text in child for text in candidates for child in children)


def case_run(case):
    """Drives one print: the boxes that came, as [(title, texts)]."""
    what, seen = case["what"], []
    judge.run_client([execute('FileOpen("%s")' % case["document"])], [])
    wait_for(lambda: judge.run_client([request("GetPageCount(%s)" % case["name"])], [])[:1] == [
        "data\t2\t1\t%d" % case["pages"]], 20)
    probe("post", judge.frame(), WM_COMMAND, case["command"], 0)
    dialog = wait_for(lambda: next(iter(judge.boxes()), None), HANG_SECONDS)
    if dialog and dialog[1] in DIALOG_TITLES:
        if case["all"]:
            probe("post", dialog[0], WM_COMMAND, ALL_PAGES, 0)
        if case["copies"] != 1:
            copies = next((c for c in probe("children", dialog[0]) if c[2] == str(COPIES)), None)
            if copies:
                probe("text", copies[0], str(case["copies"]))
        probe("post", dialog[0], WM_COMMAND, IDOK, 0)
        if case["cancel"] is not None:
            status = wait_for(lambda: next((b for b in judge.boxes() if b[1] == STATUS_TITLE), None), 20)
            time.sleep(case["cancel"])
            if status:
                probe("post", status[0], WM_COMMAND, CANCEL, 0)
    elif dialog:
        seen.append((dialog[1], dialog[2]))
        probe("post", dialog[0], WM_COMMAND, IDCANCEL, 0)
    else:
        judge.fail("hangs", "%s: the print command shows no dialog" % what)
    # The job runs under its status dialog; every box after it is answered,
    # until none has come for a while (a failure's box follows the job).
    end, quiet = time.monotonic() + 2 * HANG_SECONDS, None
    while time.monotonic() < end:
        found = judge.boxes()
        if found:
            quiet = None
        elif quiet is None:
            quiet = time.monotonic() + QUIET_SECONDS
        elif time.monotonic() > quiet:
            break
        for hwnd, title, children in found:
            # A box still being made has no title yet: it is read once it has.
            if title in (STATUS_TITLE, *DIALOG_TITLES) or not (title or any(children)):
                continue
            seen.append((title, children))
            probe("post", hwnd, WM_COMMAND, IDOK, 0)
            probe("post", hwnd, WM_COMMAND, IDCANCEL, 0)
        time.sleep(0.3)
    else:
        judge.fail("hangs", "%s: the status dialog or a box never went: %r" % (what, [b[1] for b in judge.boxes()]))
        for hwnd, title, _ in judge.boxes():
            probe("post", hwnd, WM_COMMAND, CANCEL if title == STATUS_TITLE else IDCANCEL, 0)
    judge.run_client([execute("FileClose(%s)" % case["name"])], [])
    return seen


def judge_case(case, seen, output):
    what = case["what"]
    failed = [t for t, children in seen if said(children, FAILURES)]
    others = [(t, c[:4]) for t, c in seen if not said(c, FAILURES)]
    if others:
        judge.fail("messages", "%s: boxes of no print failure: %r" % (what, others))
    if output is False:
        judge.fail("writes", "%s: the printer's file is no whole document" % what)
    expect_print = case["state"] == "sound" and case["cancel"] is None and case["renders"] and not case["plugin"]
    if expect_print and (output is not True or failed):
        judge.fail("messages", "%s: a sound job printed %r and said %r" % (what, output, failed))
    # Wine's spooler takes a job that CUPS then refuses (a queue rejecting
    # jobs, or removed: Wine keeps the printers it listed at the start) and
    # reports success, since EndDocPrinter ignores the refusal: no program
    # under Wine can tell. What the program itself could not print it says.
    nothing = output is None and case["cancel"] is None and (case["plugin"] or not case["renders"])
    if nothing and not failed and case["plugin"] not in ("hang", "countless", "nanarea", "noise"):
        judge.fail("messages", "%s: nothing was printed and nothing said so" % what)


# ---- the cases


def queue_case(index):
    """Every state of the queue in turn, most of them with pages that print."""
    renders = index % 3 != 2
    return {"what": "queue case %d" % index, "state": ("sound", "disabled", "rejecting", "removed")[index % 4],
            "renders": renders, "document": documents[renders][0], "name": documents[renders][1],
            "pages": documents[renders][2], "cancel": rnd.choice([None, None, 0, 0.3, 1.0, 2.5]),
            "copies": rnd.choice([1, 1, 3]), "all": rnd.random() < 0.5, "plugin": None, "command": PRINT}


def plugin_case(variant):
    return {"what": "plug-in %s" % variant, "state": "sound", "renders": True, "document": documents[True][0],
            "name": documents[True][1], "pages": documents[True][2], "cancel": None, "copies": 1, "all": False,
            "plugin": variant, "command": FIRST_PRINTER + 1}


def run(cases):
    for case in cases:
        case["what"] += " (%s%s%s%s)" % (case["state"], "" if case["renders"] else ", pages that cannot render",
                                         ", %d copies" % case["copies"] if case["copies"] != 1 else "",
                                         ", cancelled after %s s" % case["cancel"] if case["cancel"] is not None else "")
        if LOG:
            print("case", case["what"], flush=True)
        with contextlib.suppress(OSError):
            os.remove(OUTPUT)
        before = judge.snapshot()
        queue(case["state"])
        try:
            seen = case_run(case)
        finally:
            restore_queue()
        judge_case(case, seen, printed())
        if case["plugin"] == "hang":
            # The plug-in's call holds the program (it is synchronous) until
            # it returns: slow, and a hang only when it never answers again.
            if judge.answers(PLUGIN_HOLD_SECONDS + HANG_SECONDS):
                judge.counts["slow"] += 1
        if judge.answered(case["what"]):
            for path in judge.changed(before):
                # Wine's spooler keeps the spool file of a document it could
                # not hand to CUPS or that was aborted (AbortPrinter does
                # nothing), and copies the printer's PPD there on first use:
                # its own folder, which the program has no handle to.
                if path.startswith(wine_spool):
                    wine_leftovers.append(path)
                    continue
                judge.fail("writes", "%s: left %s" % (case["what"], path))


def main():
    global work, judge, documents, wine_spool
    work = os.path.abspath(begin("print-robustness"))
    judge = Judge(work, ["messages"])
    prefix = os.environ.get("WINEPREFIX", os.path.join(build, "wineprefix"))
    temp_dir = windows_temp()
    wine_spool = os.path.join(prefix, "drive_c", "windows", "system32", "spool")
    judge.roots += [(temp_dir, True), (wine_spool, True)]
    # Plug-in logs beside the copies are theirs, not the program's.
    judge.own |= {os.path.join(work, "bin-" + v, "plp_%s.dll.log" % v) for v in PLUGINS}
    sound = make_tiff(os.path.join(work, "plan.tif"), ["2400x3300", "3300x2400", "1200x1600"], density=300)
    broken = bytearray(bilevel_tiff([(800, 600), (600, 800)]))
    # A compression no reader knows: the pages parse but never render.
    link = 4
    while (at := int.from_bytes(broken[link:link + 4], "little")):
        count = int.from_bytes(broken[at:at + 2], "little")
        for entry in range(at + 2, at + 2 + 12 * count, 12):
            if int.from_bytes(broken[entry:entry + 2], "little") == 259:
                broken[entry + 8:entry + 10] = (99).to_bytes(2, "little")
        link = at + 2 + 12 * count
    pathlib.Path(work, "broken.tif").write_bytes(broken)
    documents = {True: (sound, "plan.tif", 3), False: (windows_path(os.path.join(work, "broken.tif")), "broken.tif", 2)}
    for variant in PLUGINS:
        folder = os.path.join(work, "bin-" + variant)
        os.makedirs(folder)
        shutil.copy(os.path.join(build, "bin", "PLXEX529.exe"), folder)
        shutil.copy(os.path.join(build, "plugins", "plp_probe.dll"), os.path.join(folder, "plp_%s.dll" % variant))
    # A timeout of ctest ends the run by SIGTERM: the queue is restored all the same.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAILED: terminated"))
    began = time.monotonic()
    try:
        restore_queue()
        judge.start_answering()
        # The first job loads the spooler's and the printer driver's code.
        run([queue_case(0)])
        first = judge.holdings()
        run([queue_case(k) for k in range(1, COUNT)])
        final = judge.holdings()
        print("holdings at the start %r, at the end %r" % (first, final), flush=True)
        # Handles and window objects must come back; memory is only shown,
        # since it counts what Wine's printing code keeps between jobs too.
        judge.check_holdings(first, final, "over %d print jobs" % (COUNT - 1),
                             {"handles": 10, "gdi": 20, "user": 20})
        judge.stop(by_quit=True)
        for variant in PLUGINS:
            judge.start_answering(os.path.join(work, "bin-" + variant, "PLXEX529.exe"))
            run([plugin_case(variant)])
            if not judge.stop(by_quit=True):
                judge.fail("hangs", "Quit did not end the program beside plug-in %s" % variant)
    finally:
        if judge.program:
            judge.stop()
        restore_queue()
    return judge.summary(began, "; %d files left in Wine's spool folder" % len(wine_leftovers))


if __name__ == "__main__":
    sys.exit(main())
