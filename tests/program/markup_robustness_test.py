"""Robustness of the markup files, seen from outside the running desktop
program: damaged ".PLR" companion files (tar headers and sizes, the payload
header, the deflate stream, the page text: counts, lengths, numbers out of
range, "inf", lines missing or repeated) and TIFF pages whose tag 40000 is
damaged are opened over DDE with redlining on, paged through and painted,
exported as a bitmap with their markups (Screen Copy and its file dialog,
driven by the window probe) and saved by the save command (562), once to a
new file and once over the file they came from.

The judge, after every case: the program answers GetProcessID (the shared
robustness judge); the new file, read back with tarfile, zlib and a TIFF
walker, holds every page that was not damaged exactly as it was written (a
damaged page's markups may be dropped); a save over the companion file the
markups came from leaves it byte for byte as it was whenever the program
could not read all of it (a page unreadable, markups dropped, the archive
cut or holding more pages than the document); nothing is written but the
files the case asked for.

MARKUP_ROBUSTNESS_COUNT cases of each family (default 4), _SEED (1),
_LOG=1 prints every case. A failing case's steps are saved under the
scratch folder's failures/; the recipes in KNOWN_BAD, which once found a
fault, run first every time."""
import os
import pathlib
import random
import re
import sys
import time
import zlib

from markup_files import HEADER, bilevel_tiff, companion, deflated, inflated, members, page_text, tag_payloads
from program_peer import (FRAME, WM_COMMAND, begin, fill_file_dialog, probe, program_texts,
                          reg_set, settings_kept, wait_for, windows_path)
from robustness_judge import Judge, execute, request, setting

COUNT, SEED = setting("MARKUP_ROBUSTNESS", "COUNT", 4), setting("MARKUP_ROBUSTNESS", "SEED", 1)
LOG = setting("MARKUP_ROBUSTNESS", "LOG", "") == "1"
SAVE_MARKUPS, BITMAP_EXPORT, ZOOM_IN, ROTATE = 562, 537, 511, 524
EXPORT_MARKUPS, EXPORT_FILE, BM_SETCHECK, IDYES, IDCANCEL = 1743, 1746, 0xF1, 6, 2
PAGES = [(400, 300), (300, 420), (500, 200)]
rnd = random.Random(SEED)

LINE, FILL, ENDS, NOTE = (0, "0:255:1:0.500000"), (1, "1:65280:0"), (6, "1:0"), (4, "2:5:Hello5:World")
SEED_TEXTS = [
    page_text([(1, 2, "10.000000:20.000000:90.500000:70.250000", [LINE, ENDS]),
               (2, 3, "5.000000:6.000000:50.000000:60.000000", [(0, "0:0:0:0.350000"), FILL]),
               (3, 5, "3:1.000000:1.000000:40.000000:5.000000:20.000000:30.000000", [LINE, FILL])]),
    page_text([(1, 7, "1.000000:2.000000:30.000000:40.000000", [NOTE]),
               (2, 6, "4:0.000000:0.000000:10.000000:10.000000:20.000000:0.000000:30.000000:10.000000", [LINE, ENDS]),
               (3, 4, "20.000000:20.000000:60.000000:45.000000", [LINE, FILL])]),
    page_text([(1, 3, "1.000000:1.000000:2.000000:2.000000", [LINE, FILL])]),
]


SAVE_ERROR, OVERWRITE = program_texts("kRedlineSaveError"), program_texts("kConfirmOverwrite")
UNREAD = program_texts("kRedlineUnreadCompanion")


# ---- the generators: what a case damages, and which pages it leaves intact


def pick(*choices):
    return rnd.choice(choices)


NUMBERS = ["99999999999999999999", "-1", "2147483648", "-2147483649", "inf", "-inf", "nan", "1e309", "1e-400", "",
           "0x10", "-0", "4294967295", " ", "1e308", "NaN", "9" * 400]


def damaged_text(text):
    """The page text with a fault: a number out of range, a count or a length
    that lies, lines missing, repeated, swapped or cut, bytes no text has."""
    lines = text.split(b"\r\n")[:-1]
    at = rnd.randrange(len(lines))
    how = pick("number", "number", "number", "count", "length", "drop", "repeat", "swap", "cut", "bytes", "long",
               "layer", "end")
    if how == "number":
        at = rnd.choice([k for k, line in enumerate(lines) if re.search(rb"\d", line)])
        m = rnd.choice(list(re.finditer(rb"-?\d+(\.\d+)?", lines[at])))
        lines[at] = lines[at][:m.start()] + rnd.choice(NUMBERS).encode() + lines[at][m.end():]
    elif how == "count":  # the point count of a polygon or multi-line
        data = [k for k, line in enumerate(lines) if re.match(rb"<r:data>\d+:", line)] or [at]
        at = rnd.choice(data)
        lines[at] = re.sub(rb"^<r:data>\d*", b"<r:data>" + pick(b"0", b"1", b"2", b"99", b"1073741824",
                                                                 b"2147483647", b"-3", b"inf"), lines[at])
    elif how == "length":  # the length prefixes of a note's text
        notes = [k for k, line in enumerate(lines) if line.startswith(b"<r:data>2:")] or [at]
        at = rnd.choice(notes)
        lines[at] = lines[at].replace(b":5:", pick(b":50:", b":0:", b":-5:", b":99999:", b":2147483647:", b":x:"), 1)
    elif how == "drop":
        del lines[at:at + pick(1, 1, 2, 5)]
    elif how == "repeat":
        lines.insert(at, lines[at])
    elif how == "swap":
        other = rnd.randrange(len(lines))
        lines[at], lines[other] = lines[other], lines[at]
    elif how == "cut":
        return b"\r\n".join(lines)[:rnd.randrange(len(text))]
    elif how == "bytes":
        lines[at] = lines[at][:3] + pick(b"\0", b"\xff\xfe", b"\x81\x8d", b"\r", b"\n\r\n") + lines[at][3:]
    elif how == "long":
        lines[at] = lines[at][:8] + b"7" * pick(1000, 70000, 300000) + lines[at][8:]
    elif how == "layer":
        lines.insert(at, pick(b'<r:layer r:version="4.3">', b"</r:layer>", b"<r:object>", b"</r:object>",
                              b"<r:attribute>", b"</r:attribute>"))
    else:
        lines = lines[:at]
    return b"\r\n".join(lines) + pick(b"\r\n", b"", b"\n", b"\r")


def damaged_payload(text):
    """A payload with a fault in its header or its deflate stream, or a sound
    payload of a damaged text; (payload, what)."""
    payload = deflated(text)
    how = pick("text", "text", "text", "header", "stream", "stream", "short", "empty")
    if how == "text":
        return deflated(damaged_text(text)), "text"
    if how == "header":
        at = pick(0, 1, rnd.randrange(2, 10))
        return payload[:at] + bytes([payload[at] ^ (1 << rnd.randrange(8))]) + payload[at + 1:], "header %d" % at
    if how == "stream":
        at = rnd.randrange(10, len(payload))
        return pick(payload[:at] + bytes([payload[at] ^ (1 << rnd.randrange(8))]) + payload[at + 1:],
                    payload[:at], payload + bytes(rnd.randrange(256) for _ in range(pick(1, 40))),
                    payload[:at] + bytes(rnd.randrange(256) for _ in range(len(payload) - at)),
                    HEADER + zlib.compress(text)), "stream at %d" % at
    if how == "short":
        return payload[:pick(0, 1, 2, 9, 10, 11)], "short"
    return b"", "empty"


def with_checksum(header):
    header = bytearray(header)
    header[148:156] = b" " * 8
    header[148:156] = b"%06o\0 " % sum(header)
    return bytes(header)


def damaged_archive(payloads):
    """A companion file with a fault in its tar structure; (bytes, what, the
    pages it leaves intact)."""
    data = companion(payloads)
    starts, at = [], 0
    while at < len(data) and data[at:at + 512] != bytes(512):
        starts.append(at)
        size = int(data[at + 124:at + 135], 8)
        at += 512 + (size + 511) // 512 * 512
    k = rnd.randrange(len(starts))
    header = data[starts[k]:starts[k] + 512]
    how = pick("flip", "size", "size", "cut", "end", "tiny", "extra", "name")
    if how == "flip":  # the checksum no longer holds
        place = rnd.randrange(512)
        header = header[:place] + bytes([header[place] ^ (1 << rnd.randrange(8))]) + header[place + 1:]
        return data[:starts[k]] + header + data[starts[k] + 512:], "header %d flipped at %d" % (k, place), set(
            range(k))
    if how == "size":
        size = pick(b"77777777777", b"00000000000", b"0000000001x", b"-0000000001", b"           ",
                    b"%011o" % (int(header[124:135], 8) + pick(1, 511, 512, -1, 100000)), b"99999999999")
        header = with_checksum(header[:124] + size + header[135:])
        return data[:starts[k]] + header + data[starts[k] + 512:], "member %d size %r" % (k, size), set(range(k))
    if how == "cut":
        cut = rnd.randrange(starts[k], len(data))
        return data[:cut], "cut at %d" % cut, {i for i in range(len(starts)) if starts[i] + 512 + (
            len(payloads[i]) + 511) // 512 * 512 <= cut}
    if how == "end":
        return data[:at], "no end block", set(range(len(starts)))
    if how == "tiny":
        return data[:pick(0, 1, 100, 511)], "tiny", set()
    if how == "extra":  # more members than the document has pages
        more = companion(payloads + [deflated(SEED_TEXTS[0])] * pick(1, 3))
        return more, "extra members", set(range(len(starts)))
    name = pick(b"5", b"", b"\xff\xfe" * 40, b"../../x", b"0" * 99)
    header = with_checksum(name + b"\0" * (100 - len(name)) + header[100:])
    return data[:starts[k]] + header + data[starts[k] + 512:], "member %d named %r" % (k, name), set(range(
        len(starts)))


def companion_case(index, recipe=None):
    """A sound document beside a damaged companion file."""
    payloads = [deflated(text) for text in SEED_TEXTS]
    kind = recipe[0] if recipe else pick("page", "page", "archive", "missing")
    if kind == "page":
        k = recipe[1] if recipe else rnd.randrange(len(payloads))
        payloads[k], what = recipe[2](SEED_TEXTS[k]) if recipe else damaged_payload(SEED_TEXTS[k])
        data, intact, what = companion(payloads), set(range(len(payloads))) - {k}, "page %d %s" % (k, what)
    elif kind == "archive":
        data, what, intact = recipe[1](payloads) if recipe else damaged_archive(payloads)
    else:  # fewer members than pages, or members of no bytes
        n = rnd.randrange(len(payloads))
        empty = rnd.random() < 0.5
        data = companion(payloads[:n] + ([b""] * (len(payloads) - n) if empty else []))
        what, intact = "%d members%s" % (n, " and empty ones" if empty else ""), set(range(n))
    document, plr = os.path.join(work, "docs", "c%d.tif" % index), os.path.join(work, "docs", "c%d.PLR" % index)
    pathlib.Path(document).write_bytes(bilevel_tiff(PAGES))
    pathlib.Path(plr).write_bytes(data)
    # Half the cases, and every known one, save over the companion file as well.
    return {"what": "companion c%d: %s" % (index, what), "document": document, "source": plr, "intact": intact,
            "over": recipe is not None or rnd.random() < 0.5}


def tiff_case(index, recipe=None):
    """A document whose tag 40000 is damaged on one page."""
    payloads = [deflated(text) for text in SEED_TEXTS]
    k = recipe[0] if recipe else rnd.randrange(len(payloads))
    if recipe:
        tag, what = recipe[1](payloads[k], SEED_TEXTS[k])
    elif rnd.random() < 0.3:  # the entry itself: its type, its count, where it points
        tag, what = pick(((2, len(payloads[k]), payloads[k]), "type ASCII"),
                         ((7, len(payloads[k]), payloads[k]), "type UNDEFINED"),
                         ((1, 8, payloads[k]), "8 values"), ((1, 0, payloads[k]), "no values"),
                         ((1, 3, payloads[k]), "3 values"), ((1, 0x7FFFFFFF, payloads[k]), "2^31-1 values"),
                         ((1, len(payloads[k]) + 4096, payloads[k]), "past the end"))
    else:
        tag, what = damaged_payload(SEED_TEXTS[k])
    payloads[k] = tag
    document = os.path.join(work, "docs", "t%d.tif" % index)
    pathlib.Path(document).write_bytes(bilevel_tiff(PAGES, payloads))
    # An entry whose values lie past the end of the file is one the TIFF
    # reader drops: a first page without it is a file without markups.
    unreadable_entry = k == 0 and isinstance(tag, tuple) and tag[1] > len(tag[2])
    return {"what": "tiff t%d: page %d %s" % (index, k, what), "document": document, "source": None,
            "intact": set() if unreadable_entry else set(range(len(payloads))) - {k}}


def second_header_flipped(payloads):
    data = companion(payloads)
    at = 512 + (len(payloads[0]) + 511) // 512 * 512 + 1
    return data[:at] + bytes([data[at] ^ 1]) + data[at + 1:], "header 1 flipped", {0}


# Faults found by this run, replayed first: (family, recipe).
KNOWN_BAD = [
    # A header damaged after the first member: the members before it were lost.
    (companion_case, ("archive", second_header_flipped)),
    # A first page whose tag cannot be read: the markups of every page were lost.
    (tiff_case, (0, lambda payload, text: (payload[:1] + b"\0" + payload[2:], "header 1"))),
    # A page that cannot be read: saving over its companion file lost it.
    (companion_case, ("page", 1, lambda text: (deflated(text.replace(b"<r:type>6</r:type>", b"<r:type>99</r:type>")),
                                                 "an object of an unknown type"))),
    # An object whose closing line is broken: it was dropped unnoticed, and
    # saving over its companion file lost it.
    (companion_case, ("page", 2, lambda text: (deflated(text.replace(b"</r:object>", b"</r\r:object>")),
                                                 "an object that never ends"))),
]


# ---- driving the program


def close_boxes(what, expected=()):
    """Answers every box until none is left (Yes to the question whether to
    replace a file); a box whose text is not expected is a failure. The
    texts of the boxes answered."""
    seen = []
    end = time.monotonic() + 20
    while time.monotonic() < end and (found := judge.boxes()):
        for hwnd, title, children in found:
            if not any(text.split("%")[0] in child for text in expected for child in children):
                judge.fail("messages", "%s: an unexpected box %r %r" % (what, title, children[:6]))
            question = any(text.split("%")[0] in child for text in OVERWRITE for child in children)
            probe("post", hwnd, WM_COMMAND, IDYES if question else IDCANCEL, 0)
            seen += children
        time.sleep(0.3)
    return seen


def save(target, what):
    """Saves the markups under the target (the proposed name when None)."""
    probe("post", judge.frame(), WM_COMMAND, SAVE_MARKUPS, 0)
    dialog = wait_for(lambda: next(iter(judge.boxes()), None), 20)
    if not dialog:
        return judge.fail("hangs", "%s: no file dialog" % what)
    if target:
        fill_file_dialog(dialog[0], target)
    else:
        probe("post", dialog[0], WM_COMMAND, 1, 0)
    wait_for(lambda: not any(b[0] == dialog[0] for b in judge.boxes()), 20)
    # Replacing the file it came from may be refused, after the question.
    return close_boxes(what, [] if target else SAVE_ERROR + OVERWRITE + UNREAD)


def export_bitmap(target, what):
    """Screen Copy of the page with its markups into a BMP file."""
    probe("post", judge.frame(), WM_COMMAND, BITMAP_EXPORT, 0)
    dialog = wait_for(lambda: next((b for b in judge.boxes() if any(c[2] == str(EXPORT_FILE)
                                                              for c in probe("children", b[0]))), None), 20)
    if not dialog:
        return judge.fail("hangs", "%s: no Screen Copy dialog" % what)
    check = next((c for c in probe("children", dialog[0]) if c[2] == str(EXPORT_MARKUPS)), None)
    if check:
        probe("post", check[0], BM_SETCHECK, 1, 0)
    probe("post", dialog[0], WM_COMMAND, EXPORT_FILE, 0)
    chooser = wait_for(lambda: next((b for b in judge.boxes() if b[0] != dialog[0]), None), 20)
    if not chooser:
        return judge.fail("hangs", "%s: Screen Copy shows no file dialog" % what)
    fill_file_dialog(chooser[0], target)
    if not wait_for(lambda: not judge.boxes(), 30):
        close_boxes(what + " (Screen Copy)")
    if not os.path.isfile(target) or pathlib.Path(target).read_bytes()[:2] != b"BM":
        judge.fail("writes", "%s: Screen Copy wrote no bitmap" % what)


def saved_pages(path):
    """The page texts of a saved companion file or TIFF (None where unreadable)."""
    if not os.path.isfile(path):
        return None
    if path.endswith(".tif"):
        return [inflated(p) for p in tag_payloads(path) or []]
    found, _ = members(pathlib.Path(path).read_bytes())
    return [inflated(m) for m in found]


def objects(text):
    """The objects of a page text's first layer (a second one, or lines past
    the document's end, hold no markups of the page); None without a text."""
    if text is None:
        return None
    count, inside = 0, None
    for line in (line.strip() for line in text.replace(b"\r", b"\n").split(b"\n")):
        if line == b"</r:document>" or (inside and line == b"</r:layer>"):
            break
        inside = inside or line.startswith(b"<r:layer")
        count += bool(inside) and line.startswith(b"<r:object")
    return count


def lossless(source_bytes, saved):
    """True when the program held every markup of the companion file."""
    found, complete = members(source_bytes)
    if not complete or len(found) > len(saved):
        return False
    return all(not m or objects(inflated(m)) == objects(saved[i]) for i, m in enumerate(found))


def run_case(case, index):
    name = os.path.basename(case["document"])
    what, steps = case["what"], [execute('FileOpen("%s")' % windows_path(case["document"])),
                                 request("GetPageCount(%s)" % name)]
    if LOG:
        print("case", what, flush=True)
    before = judge.snapshot()
    judge.run_client(steps[:1], [])
    if not wait_for(lambda: judge.run_client(steps[1:], []) == ["data\t2\t1\t3"], 20):
        judge.fail("messages", "%s: the document does not show its 3 pages" % what)
    pages = [execute("SetActPage(%s, %d)" % (name, page + 1)) for page in range(len(PAGES))]
    judge.run_client(pages + ["post\t%s\t%d\t%d\t0" % (FRAME, WM_COMMAND, pick(ZOOM_IN, ROTATE))] + pages[:1], [])
    allowed = set()
    if index % 3 == 0:
        bitmap = os.path.join(work, "out", "b%d.bmp" % index)
        allowed.add(bitmap)
        export_bitmap(bitmap, what)
    fresh = os.path.join(work, "out", "s%d.%s" % (index, pick("PLR", "PLR", "tif")))
    allowed.add(fresh)
    save(fresh, what + " (saved anew)")
    saved = saved_pages(fresh)
    if saved is None or len(saved) != len(PAGES):
        judge.fail("writes", "%s: the save wrote %r pages to %s" % (what, saved and len(saved), fresh))
    else:
        for page in sorted(case["intact"]):
            if saved[page] != SEED_TEXTS[page]:
                judge.fail("lost", "%s: page %d was not damaged but was saved as %r" % (what, page, saved[page]))
    if case["source"] and saved and case["over"]:
        allowed.add(case["source"])
        source_bytes = pathlib.Path(case["source"]).read_bytes()
        seen = save(None, what + " (saved over its companion file)") or []
        after = pathlib.Path(case["source"]).read_bytes() if os.path.isfile(case["source"]) else None
        said = any(os.path.basename(case["source"]) in child and text.split("%")[2] in child
                   for text in UNREAD for child in seen)
        if after == source_bytes and not lossless(source_bytes, saved) and not said:
            judge.fail("messages", "%s: the refused save does not say that %s was not read whole: %r"
                       % (what, case["source"], seen[:6]))
        if after != source_bytes and not lossless(source_bytes, saved):
            judge.fail("lost", "%s: a save over the companion file that could not be read whole replaced it" % what)
        elif after != source_bytes and saved_pages(case["source"]) != saved:
            judge.fail("lost", "%s: the save over the companion file wrote other markups than it held" % what)
    judge.run_client([execute("FileClose(%s)" % name)], [])
    if judge.answered(what, steps):
        for path in judge.changed(before, allowed):
            judge.fail("writes", "%s: %s" % (what, path))
    close_boxes(what)


def main():
    global work, judge
    work = os.path.abspath(begin("markup-robustness"))
    judge = Judge(work, ["lost", "messages"])
    for folder in ("docs", "out"):
        os.makedirs(os.path.join(work, folder))
    began = time.monotonic()
    with settings_kept(work):
        reg_set({"REDLINING_ACTIVE": "1"})
        judge.start_answering()
        try:
            # The sound files first: what they hold must come back whole.
            run_case({"what": "sound companion file", "document": write_sound(), "source": None,
                      "intact": {0, 1, 2}}, 0)
            cases = [family(k + 1, recipe) for k, (family, recipe) in enumerate(KNOWN_BAD)]
            cases += [family(len(cases) + 1 + k) for k in range(COUNT) for family in (companion_case, tiff_case)]
            for index, case in enumerate(cases, 1):
                run_case(case, index)
            if not judge.stop(by_quit=True):
                judge.fail("hangs", "Quit did not end the program")
        finally:
            judge.stop()
    return judge.summary(began)


def write_sound():
    document = os.path.join(work, "docs", "sound.tif")
    pathlib.Path(document).write_bytes(bilevel_tiff(PAGES))
    pathlib.Path(work, "docs", "sound.PLR").write_bytes(companion([deflated(text) for text in SEED_TEXTS]))
    return document


if __name__ == "__main__":
    sys.exit(main())
