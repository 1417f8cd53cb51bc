"""Printing seen from outside: the File menu's print command (503) opens the
print dialog, found by its title (text 2020, German or English), and its OK
prints through the test printer (CUPS queue PlovexTest, tools/setup) a
spooler document named after the file; a document opened with -noprint
gets the program's refusal instead of the dialog, and no PostScript is
written."""
import os
import sys

from program_peer import (FRAME, IDOK, WM_COMMAND, begin, check, finish, make_tiff, probe, quit_program, start,
                          wait_for, wait_for_active_file, wait_for_frame)

PRINT_COMMAND = 503
OUTPUT = "/var/spool/plovex/PlovexTest.ps"
TITLES = ("Plovex Drucken", "Plovex Printing")
REFUSALS = ("Dieses Dokument kann nicht gedruckt werden!", "You can't print this document!")


def print_dialog():
    return next((w for w in probe("windows", "#32770") if w[3] in TITLES), None)


def printed():
    try:
        with open(OUTPUT, "rb") as file:
            text = file.read()
        return text if b"%%EOF" in text else None
    except OSError:
        return None


def run(work, switches, name):
    document = make_tiff(os.path.join(work, name), ["800x1100"])
    process = start(*switches, document)
    try:
        frame = wait_for_frame()
        if not check(frame, "%s: a frame window" % name) or not check(
                wait_for_active_file(name) is not None, "%s: the document is open" % name):
            return None
        if os.path.exists(OUTPUT):
            os.remove(OUTPUT)
        probe("post", frame[0], WM_COMMAND, PRINT_COMMAND, 0)
        return process, frame
    except Exception:
        process.kill()
        raise


def main():
    work = begin("print")
    started = run(work, [], "printable.tif")
    if started:
        process, frame = started
        dialog = wait_for(print_dialog, 30)
        if check(dialog, "the print command opens the print dialog (%r)" % probe("windows", "#32770")):
            probe("post", dialog[0], WM_COMMAND, IDOK, 0)
            text = wait_for(printed, 60)
            if check(text, "OK prints to the test queue's file"):
                check(b"%%Title: Plovex 5.0 - printable.tif" in text, "the spooler document is named after the file")
                check(text.count(b"%%Page: ") == 1, "one page")
        check(quit_program(process), "the program ends")

    started = run(work, ["-noprint"], "forbidden.tif")
    if started:
        process, frame = started
        box = wait_for(lambda: next((w for w in probe("windows", "#32770") if w[3] not in TITLES and any(
            c[-1] in REFUSALS for c in probe("children", w[0]))), None), 30)
        check(box, "-noprint: the program says it cannot print")
        check(not print_dialog(), "-noprint: no print dialog")
        if box:
            probe("post", box[0], WM_COMMAND, IDOK, 0)
        # Once the program has ended nothing of it can print any more.
        check(quit_program(process), "the program ends")
        check(not os.path.exists(OUTPUT), "-noprint writes no PostScript")
    return finish()


if __name__ == "__main__":
    sys.exit(main())
