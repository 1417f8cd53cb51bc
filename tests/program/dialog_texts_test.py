"""The settings sheet, the print dialog and the redlining Properties sheets of
the desktop program on a virtual X screen (tools/show-document), in German and
in English: every page and dialog is shown, saved as a screenshot, and each of
its labels, buttons and frames is measured in its font against its control's
rectangle through the window probe ("fits"); a text cut off fails, and so do
two controls of the print dialog that overlap. The print dialog's screenshot
must show the dialog's colour inside its group boxes (a real screen showed
them black) and the page, white on its paper, with the markups drawn for the
Properties sheets, in the preview box."""
import os
import subprocess
import sys
import time

from program_peer import PROBE, View, build, exit_with, probe, show_document, wait_for, wine, with_numpy

numpy, Image = with_numpy()
work = os.path.join(build, "scratch", "program-dialog-texts")
WM_COMMAND, COMMAND_SETTINGS, COMMAND_PRINT = 273, 535, 503
COMMAND_MARKUP_PROPERTIES = 575
SELECT_TOOL, LINE_TOOL, TEXT_TOOL = 563, 564, 569
PSM_SETCURSEL, IDCANCEL = 1125, 2
SETTINGS_PAGES = 5
# A text of the first page that tells the language.
LANGUAGE_MARK = {"0": "Dateitypen", "1": "Filetypes"}
PRINT_TITLE = {"0": "Plovex Drucken", "1": "Plovex Printing"}
PRINT_GROUPS = {"1407", "1012", "1419", "1013", "1425"}
PREVIEW_BOX = "1080"


def shoot(name):
    path = os.path.join(work, name + ".png")
    subprocess.run(["import", "-window", "root", path], check=True)
    return path


def unfitting(window, what, texts=None, textless=False):
    """The texts of the window's controls that their controls cut off."""
    lines = [line.split("\t") for line in wine(PROBE, "fits", window)[1].splitlines() if line]
    if not lines and not textless:
        return ["%s: the probe measured no text" % what]
    if texts is not None:
        texts.extend(fields[7] for fields in lines)
    return ["%s, item %s: %r needs %sx%s, has %sx%s" % (what, f[1], f[7], f[3], f[4], f[5], f[6])
            for f in lines if f[2] != "1"]


def visible_pages(sheet):
    return [c for c in probe("children", sheet) if c[1] == "#32770" and c[3] == "1"]


def sheet_pages(sheet, what, count, language, texts=None, textless=()):
    """Shows each page of the property sheet in turn and measures it (those
    listed as textless show only pictures); the sheet is cancelled."""
    problems = []
    for index in range(count):
        wine(PROBE, "post", sheet, PSM_SETCURSEL, index, 0)
        # The page shown is the one whose texts the probe then reads.
        page = wait_for(lambda: (lambda shown: shown[0][0] if len(shown) == 1 else None)(visible_pages(sheet)), 10)
        if not page:
            problems.append("%s: page %d did not show" % (what, index))
            continue
        time.sleep(0.3)  # let X draw it before the screenshot
        shoot("%s-%s-%d" % (what, language, index))
        problems += unfitting(page, "%s page %d" % (what, index), texts, index in textless)
    wine(PROBE, "post", sheet, WM_COMMAND, IDCANCEL, 0)
    if not wait_for(lambda: wine(PROBE, "rect", sheet)[0] != 0, 15):
        problems.append("%s: the sheet did not close" % what)
    return problems


def shown_dialog(title=None):
    return wait_for(lambda: next((w[0] for w in probe("windows", "#32770")
                                  if w[2] == "1" and (title is None or w[3] == title)), None), 30)


def settings_sheet(frame, language):
    wine(PROBE, "post", frame, WM_COMMAND, COMMAND_SETTINGS, 0)
    sheet = shown_dialog()
    if not sheet:
        return ["the settings sheet did not open"]
    texts = []
    problems = sheet_pages(sheet, "settings", SETTINGS_PAGES, language, texts)
    if not any(LANGUAGE_MARK[language] in text for text in texts):
        problems.append("the sheet is not in language %s (no %r)" % (language, LANGUAGE_MARK[language]))
    return problems


def properties_sheets(frame, language):
    """A line, selected with a click, opens the sheet by the Properties
    command (Line and Line endings); a text made with its tool opens it at
    once (Text, Font and Filling)."""
    view = View(frame)
    problems = []
    # The line endings page (the line's second) shows its styles as pictures.
    for tool, pages, textless in ((LINE_TOOL, 2, {1}), (TEXT_TOOL, 3, set())):
        if not view.choose(tool):
            return problems + ["command %d did not choose its tool" % tool]
        view.drag(view.at(0.3, 0.4), view.at(0.6, 0.6))
        if tool == LINE_TOOL:
            if not view.choose(SELECT_TOOL):
                return problems + ["the select tool was not chosen"]
            view.click(view.at(0.45, 0.5))  # the line's middle
            wine(PROBE, "post", frame, WM_COMMAND, COMMAND_MARKUP_PROPERTIES, 0)
        sheet = shown_dialog()
        if not sheet:
            return problems + ["the Properties sheet of tool %d did not open" % tool]
        problems += sheet_pages(sheet, "properties-%d" % tool, pages, language, textless=textless)
    return problems


def rects(dialog):
    """{id: (left, top, right, bottom)} of the dialog's visible controls, and the preview box's."""
    return {c[2]: tuple(int(v) for v in c[4:8]) for c in probe("children", dialog)
            if c[3] == "1" or c[2] == PREVIEW_BOX}


def overlapping(controls):
    plain = sorted((i, r) for i, r in controls.items() if i not in PRINT_GROUPS and i != PREVIEW_BOX)
    return ["print dialog: items %s and %s overlap" % (a, b) for n, (a, ra) in enumerate(plain)
            for b, rb in plain[n + 1:] if max(ra[0], rb[0]) < min(ra[2], rb[2]) and max(ra[1], rb[1]) < min(ra[3], rb[3])]


def unpainted(screen, controls):
    """What the screenshot of the print dialog does not show as it should."""
    found = []
    dark = screen.sum(axis=2) < 90
    for group in sorted(PRINT_GROUPS & controls.keys()):
        left, top, right, bottom = controls[group]
        free = numpy.zeros(dark.shape, bool)
        free[top + 8:bottom - 2, left + 2:right - 2] = True  # under the label and inside the frame
        for item, (l, t, r, b) in controls.items():
            if item != group and item not in PRINT_GROUPS:
                free[t:b, l:r] = False
        if free.any() and dark[free].mean() > 0.05:
            found.append("group box %s is %.0f%% black inside" % (group, 100 * dark[free].mean()))
    if PREVIEW_BOX not in controls:
        return found + ["no preview box"]
    left, top, right, bottom = controls[PREVIEW_BOX]
    white = (screen[top:bottom, left:right].min(axis=2) > 245).mean()
    black = dark[top:bottom, left:right].mean()
    # The white page on its paper, with the line and the text drawn on it.
    if white < 0.2 or black > 0.2 or dark[top:bottom, left:right].sum() < 30:
        found.append("the preview box is %.1f%% black (the markups) and %.0f%% white (the page)" % (
            100 * black, 100 * white))
    return found


def print_dialog(frame, language):
    wine(PROBE, "post", frame, WM_COMMAND, COMMAND_PRINT, 0)
    dialog = shown_dialog(PRINT_TITLE[language])
    if not dialog:
        return ["the print dialog did not open (%r)" % probe("windows", "#32770")]
    controls = rects(dialog)
    last = []

    def painted():
        nonlocal last
        last = unpainted(numpy.asarray(Image.open(shoot("print-%s" % language)).convert("RGB"), dtype=numpy.int32),
                         controls)
        return not last
    wait_for(painted, 15)
    problems = last + unfitting(dialog, "print dialog") + overlapping(controls)
    wine(PROBE, "post", dialog, WM_COMMAND, IDCANCEL, 0)
    if not wait_for(lambda: wine(PROBE, "rect", dialog)[0] != 0, 15):
        problems.append("the print dialog did not close")
    return problems


def while_shown():
    """Run by show-document while the viewer is shown."""
    language = os.environ["DIALOG_LANGUAGE"]
    frame = os.environ["SHOW_FRAME"]
    # The markups that the Properties sheets leave behind show in the print preview.
    return settings_sheet(frame, language) + properties_sheets(frame, language) + print_dialog(frame, language)


def main():
    os.makedirs(work, exist_ok=True)
    page = os.path.join(work, "page.tif")
    subprocess.run(["convert", "-size", "200x100", "xc:white", "-monochrome", "-compress", "Group4", page], check=True)
    failures = []
    for language in ("0", "1"):
        code, _ = show_document(__file__, page, os.path.join(work, "screen-%s.png" % language),
                                "SHOW_HAIRCROSS=0 REDLINING_ACTIVE=1 LANGUAGE=%s" % language, "1024x768",
                                DIALOG_LANGUAGE=language)
        if code != 0:
            failures.append("language %s: show-document ended with %d" % (language, code))
    return failures


if sys.argv[1:] == ["--while-shown"]:
    exit_with(while_shown(), "pages checked")
exit_with(main())
