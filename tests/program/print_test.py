"""Printing seen from outside: the File menu's print command (503, Ctrl+P)
opens the print dialog, found by its title (text 2020, German or English),
and its OK prints through the test printer (CUPS queue PlovexTest,
tools/setup) a spooler document named after the file; a document opened
with -noprint gets the program's refusal instead of the dialog, and no
PostScript is written.

Large sheets: an A0 drawing scanned at 300 and at 600 dpi (Group 4 in one
strip, trimmed to the printable area of the A0 queue so that it lies at the
paper's centre whichever way the page is centred) printed 1:1 on the A0
queue (PlovexTestA0, 600 dpi) as a user does it: the printer chosen in the
dialog, "fit" unchecked, OK. Ghostscript rasterises the sheet at the
printer's 600 dpi: every mark at its place within two device pixels and its
size within one (a 100 mm bar measures 100 mm), unturned and unmirrored,
solid black, and nothing black besides."""
import os
import subprocess
import sys

from program_peer import (FRAME, IDOK, WM_COMMAND, begin, check, finish, make_tiff, probe, quit_program, start,
                          wait_for, wait_for_active_file, wait_for_frame, windows_path, with_numpy)

PRINT_COMMAND = 503
OUTPUT = "/var/spool/plovex/PlovexTest.ps"
TITLES = ("Plovex Drucken", "Plovex Printing")
REFUSALS = ("Dieses Dokument kann nicht gedruckt werden!", "You can't print this document!")


A0_QUEUE, A0_OUTPUT = "PlovexTestA0", "/var/spool/plovex/PlovexTestA0.ps"
PRINTER_COMBO, FIT_BOX, BM_SETCHECK, BN_CLICKED = 1408, 1042, 0x00F1, 0
DEVICE_DPI = 600
PAPER_MM = (2384 * 25.4 / 72, 3370 * 25.4 / 72)  # A0 as the PPD has it
SHEET_MM = (830, 1178)  # inside the printable area (the PPD's 12 pt margins)
# left, top, width, height in mm of the drawing, top to bottom
MARKS = (("bar", 50, 50, 100, 10), ("post", 700, 80, 10, 100), ("block", 60, 1100, 20, 20))


def print_dialog():
    return next((w for w in probe("windows", "#32770") if w[3] in TITLES), None)


def printed(output=OUTPUT):
    try:
        with open(output, "rb") as file:
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


def a0_drawing(path, dpi):
    numpy, Image = with_numpy()
    from PIL import ImageDraw
    px = lambda mm: int(round(mm / 25.4 * dpi))
    image = Image.new("1", (px(SHEET_MM[0]), px(SHEET_MM[1])), 1)
    draw = ImageDraw.Draw(image)
    for _, x, y, w, h in MARKS:
        draw.rectangle([px(x), px(y), px(x + w) - 1, px(y + h) - 1], fill=0)
    strips = path + ".strips.tif"
    image.save(strips, compression="group4", dpi=(dpi, dpi))
    # One strip, as scanners store their sheets.
    subprocess.run(["tiffcp", "-c", "g4", "-r", str(image.size[1]), strips, path], check=True)
    os.remove(strips)


def device_raster(postscript, work):
    """The sheet at the printer's resolution: rows of packed bits, 1 black."""
    numpy, _ = with_numpy()
    source, pbm = os.path.join(work, "a0.ps"), os.path.join(work, "a0.pbm")
    with open(source, "wb") as file:
        file.write(postscript)
    subprocess.run(["gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pbmraw", "-r%d" % DEVICE_DPI,
                    "-sOutputFile=" + pbm, source], check=True, timeout=300, capture_output=True)
    with open(pbm, "rb") as file:
        data = file.read()
    os.remove(pbm)
    fields, at = [], 0
    while len(fields) < 3:  # "P4", width, height, each after blanks and "#" comments
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    width, height = int(fields[1]), int(fields[2])
    return width, numpy.frombuffer(data, numpy.uint8, count=height * ((width + 7) // 8),
                                   offset=at + 1).reshape(height, (width + 7) // 8)


def runs(flags):
    """(first, last) of each run of true values."""
    numpy, _ = with_numpy()
    at = numpy.flatnonzero(flags)
    if not len(at):
        return []
    breaks = numpy.flatnonzero(numpy.diff(at) > 1)
    return list(zip(at[numpy.r_[0, breaks + 1]], at[numpy.r_[breaks, len(at) - 1]]))


def judge_a0(postscript, work, dpi):
    numpy, _ = with_numpy()
    width, rows = device_raster(postscript, work)
    ones = numpy.array([bin(i).count("1") for i in range(256)], numpy.uint8)
    pixel_mm = 25.4 / DEVICE_DPI
    # The drawing's centre lies on the paper's centre; its marks keep their
    # places around it.
    left = (PAPER_MM[0] - SHEET_MM[0]) / 2
    top = (PAPER_MM[1] - SHEET_MM[1]) / 2
    bands = runs(rows.any(axis=1))
    what = "%d dpi drawing on A0" % dpi
    if not check(len(bands) == len(MARKS), "%s: three marks one below the other, found %d" % (what, len(bands))):
        return
    black = 0
    for (name, x, y, w, h), (r0, r1) in zip(MARKS, bands):
        columns = runs(numpy.unpackbits(numpy.bitwise_or.reduce(rows[r0:r1 + 1], axis=0))[:width])
        if not check(len(columns) == 1, "%s: the %s is one mark (%d)" % (what, name, len(columns))):
            continue
        c0, c1 = columns[0]
        found = (c0 * pixel_mm, r0 * pixel_mm, (c1 + 1 - c0) * pixel_mm, (r1 + 1 - r0) * pixel_mm)
        wanted = (left + x, top + y, w, h)
        text = "%s: the %s at %.2f,%.2f mm, %.3f x %.3f mm (wanted %.2f,%.2f, %.3f x %.3f)" % (
            (what, name) + found + wanted)
        check(all(abs(f - e) <= 2 * pixel_mm for f, e in zip(found[:2], wanted[:2])), text + ": place")
        check(all(abs(f - e) <= pixel_mm for f, e in zip(found[2:], wanted[2:])), text + ": size")
        area = int(ones[rows[r0:r1 + 1]].sum(dtype=numpy.int64))
        check(area == (c1 + 1 - c0) * (r1 + 1 - r0), "%s: the %s is solid black (%d of %d pixels)" % (
            what, name, area, (c1 + 1 - c0) * (r1 + 1 - r0)))
        black += area
    everything = int(ones[rows].sum(dtype=numpy.int64))
    check(everything == black, "%s: nothing black but the marks (%d pixels besides)" % (what, everything - black))


def print_a0(work, dpi):
    name = "a0-%ddpi.tif" % dpi
    path = os.path.join(work, name)
    a0_drawing(path, dpi)
    process = start(windows_path(path))
    try:
        frame = wait_for_frame()
        if not check(frame and wait_for_active_file(name) is not None, "%s: the drawing is open" % name):
            return
        if os.path.exists(A0_OUTPUT):
            os.remove(A0_OUTPUT)
        probe("post", frame[0], WM_COMMAND, PRINT_COMMAND, 0)
        dialog = wait_for(print_dialog, 30)
        if not check(dialog, "%s: the print dialog" % name):
            return
        controls = {int(c[2]): c[0] for c in probe("children", dialog[0])}
        chosen = probe("choose", controls[PRINTER_COMBO], A0_QUEUE)
        check(chosen and chosen[0][0] != "-1", "%s: the A0 printer is in the dialog's list" % name)
        # "Fit" off: the ratio is then 1:1.
        probe("post", controls[FIT_BOX], BM_SETCHECK, 0, 0)
        probe("post", dialog[0], WM_COMMAND, FIT_BOX | BN_CLICKED << 16, controls[FIT_BOX])
        probe("post", dialog[0], WM_COMMAND, IDOK, 0)
        text = wait_for(lambda: printed(A0_OUTPUT), 120)
        if check(text, "%s: OK prints to the A0 queue's file" % name):
            check(text.count(b"%%Page: ") == 1, "%s: one sheet" % name)
            judge_a0(text, work, dpi)
        boxes = [w for w in probe("windows", "#32770") if w[3] not in TITLES]
        check(not boxes, "%s: no message (%r)" % (name, boxes))
        check(quit_program(process), "%s: the program ends" % name)
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

    for dpi in (300, 600):
        print_a0(work, dpi)
    return finish()


if __name__ == "__main__":
    sys.exit(main())
