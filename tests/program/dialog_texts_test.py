"""The settings sheet of the desktop program on a virtual X screen
(tools/show-document), in German and in English: every page is shown,
saved as a screenshot, and each of its labels, buttons and frames is
measured in its font against its control's rectangle through the window
probe ("fits"); a text cut off fails."""
import os
import subprocess
import sys
import time

from program_peer import PROBE, build, exit_with, probe, show_document, wait_for, wine

work = os.path.join(build, "scratch", "program-dialog-texts")
WM_COMMAND, COMMAND_SETTINGS = 273, 535
PSM_SETCURSEL, IDCANCEL = 1125, 2
PAGES = 5
# A text of the first page that tells the language.
LANGUAGE_MARK = {"0": "Dateitypen", "1": "Filetypes"}


def visible_pages(sheet):
    return [c for c in probe("children", sheet) if c[1] == "#32770" and c[3] == "1"]


def while_shown():
    """Run by show-document while the viewer is shown: the sheet's pages."""
    language = os.environ["DIALOG_LANGUAGE"]
    frame = os.environ["SHOW_FRAME"]
    wine(PROBE, "post", frame, WM_COMMAND, COMMAND_SETTINGS, 0)
    sheet = wait_for(lambda: next((w[0] for w in probe("windows", "#32770") if w[2] == "1"), None), 30)
    if not sheet:
        return ["the settings sheet did not open"]
    problems, seen_mark = [], False
    for index in range(PAGES):
        wine(PROBE, "post", sheet, PSM_SETCURSEL, index, 0)
        # The page shown is the one whose texts the probe then reads.
        page = wait_for(lambda: (lambda shown: shown[0][0] if len(shown) == 1 else None)(visible_pages(sheet)), 10)
        if not page:
            problems.append("page %d did not show" % index)
            continue
        time.sleep(0.3)  # let X draw it before the screenshot
        subprocess.run(["import", "-window", "root", os.path.join(work, "settings-%s-%d.png" % (language, index))],
                       check=True)
        lines = [line.split("\t") for line in wine(PROBE, "fits", page)[1].splitlines() if line]
        if not lines:
            problems.append("page %d: the probe measured no text" % index)
        for fields in lines:
            seen_mark = seen_mark or LANGUAGE_MARK[language] in fields[7]
            if fields[2] != "1":
                problems.append("page %d, item %s: %r needs %sx%s, has %sx%s" % (
                    index, fields[1], fields[7], fields[3], fields[4], fields[5], fields[6]))
    if not seen_mark:
        problems.append("the sheet is not in language %s (no %r)" % (language, LANGUAGE_MARK[language]))
    wine(PROBE, "post", sheet, WM_COMMAND, IDCANCEL, 0)
    if not wait_for(lambda: wine(PROBE, "rect", sheet)[0] != 0, 15):
        problems.append("the sheet did not close")
    return problems


def main():
    os.makedirs(work, exist_ok=True)
    page = os.path.join(work, "page.tif")
    subprocess.run(["convert", "-size", "200x100", "xc:white", "-monochrome", "-compress", "Group4", page], check=True)
    failures = []
    for language in ("0", "1"):
        code, _ = show_document(__file__, page, os.path.join(work, "screen-%s.png" % language),
                                "SHOW_HAIRCROSS=0 LANGUAGE=%s" % language, "1024x768", DIALOG_LANGUAGE=language)
        if code != 0:
            failures.append("language %s: show-document ended with %d" % (language, code))
    return failures


if sys.argv[1:] == ["--while-shown"]:
    exit_with(while_shown(), "pages checked")
exit_with(main())
