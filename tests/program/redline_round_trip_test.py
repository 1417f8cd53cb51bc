#!/usr/bin/python3
"""Markups round trip through the desktop program: a document opened with a
companion file made here (tarfile, zlib) is saved into a new TIFF by the
save command (WM_COMMAND 562 from the window probe, its file dialog filled
the same way); each page's tag 40000, found by a struct walker of the TIFF,
must inflate to the very text that went into the companion file."""
import os
import sys

from markup_files import HEADER, companion, deflated, inflated, page_text, tag_payloads
from program_peer import (WM_COMMAND, begin, check, fill_file_dialog, finish, make_tiff, probe, quit_program, reg_set,
                          start, wait_for, wait_for_frame, windows_path)

REDLINE_SAVE = 562


work = begin("redline-round-trip")
document = os.path.join(work, "plan.tif")
make_tiff(document, ["800x600", "640x480"])
texts = [page_text([(1, 2, "10.000000:20.000000:300.500000:400.250000", [(0, "0:255:1:0.500000"), (6, "1:0")]),
                    (2, 3, "5.000000:6.000000:50.000000:60.000000", [(0, "0:0:0:0.350000"), (1, "1:65280:0")])]),
         page_text([(1, 7, "1.000000:2.000000:30.000000:40.000000", [(4, "2:5:Hello5:World")])])]
with open(os.path.join(work, "plan.PLR"), "wb") as file:
    file.write(companion([deflated(text) for text in texts]))

reg_set({"REDLINING_ACTIVE": "1"})
target = os.path.join(work, "with-markups.tif")
try:
    viewer = start(windows_path(document))
    frame = wait_for_frame("plan.tif")
    if check(frame, "a frame shows plan.tif"):
        probe("post", frame[0], WM_COMMAND, REDLINE_SAVE, 0)
        dialog = wait_for(lambda: probe("windows", "#32770"), 20)
        if check(dialog, "the save command shows its file dialog"):
            fill_file_dialog(dialog[0][0], target)
            check(wait_for(lambda: os.path.exists(target) and not probe("windows", "#32770"), 30),
                  "the TIFF with markups was written and no box asks anything")
    payloads = tag_payloads(target) if os.path.exists(target) else None
    check(payloads is not None and len(payloads) == 2, "two directories: %r" % (payloads and len(payloads)))
    for index, payload in enumerate(payloads or []):
        check(payload is not None and payload[:10] == HEADER and inflated(payload) == texts[index],
              "page %d: the tag holds the companion file's text:\n%r" % (index, payload and inflated(payload)))
    check(quit_program(viewer), "Quit ends the viewer without asking")
finally:
    reg_set({"REDLINING_ACTIVE": None})
sys.exit(finish())
