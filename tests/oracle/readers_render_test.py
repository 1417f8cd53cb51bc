#!/usr/bin/python3
"""GIF, BMP and CALS files from ImageMagick, Pillow and netpbm (and such
files with bytes changed, as tests/data/make-reader-data.py makes them)
opened and rendered through imgprobe: the format dispatch must recognise
each by its content, files of under 128 bytes included, and the page must
show the sizes and densities the file states and, pixel for pixel, the
tools' decode. (The reader tests judge every case of the script, in parts,
turned and damaged, below the dispatch.)"""
import os
import shutil
import subprocess
import tempfile

from imgprobe_driver import check, finish, info, render, require_probe, require_tools, top

import numpy as np
from PIL import Image

require_probe()
require_tools("convert", "ppmtobmp")


def rgb(path):
    return np.asarray(Image.open(path).convert("RGB"))


def meta(stem):
    with open(stem + ".meta") as f:
        return {k: int(v) for k, v in (line.split() for line in f if line.strip())}


work = tempfile.mkdtemp(prefix="readers-oracle-", dir=os.environ.get("TEST_BINARY_DIR"))
maker = os.path.join(top, "tests", "data", "make-reader-data.py")
ordinals = {"gif": "2", "bmp": "1", "cals": "4"}
# im_spacer, im_tiny and im_bmp3_tiny are files of under 128 bytes, which the
# format dispatch must recognise from the bytes they have.
picked = {
    "gif": ["im_4_interlaced", "pil_87a", "im_spacer", "im_tiny"],
    "bmp": ["im_rle8", "top_down_8", "im_bmp3_tiny"],
    "cals": ["im_200", "capital_keys"],
}
for kind, names in picked.items():
    folder = os.path.join(work, kind)
    subprocess.run(["/usr/bin/python3", maker, kind, folder], check=True)
    for name in names:
        stem = os.path.join(folder, name)
        data = stem + "." + kind
        os.rename(stem + ".data", data)
        fields = info(data)
        expected = meta(stem)
        if expected["status"]:
            check(fields.get("status") == "2,%d" % expected["status"], "%s status %s" % (name, fields))
            continue
        check(fields.get("format") == ordinals[kind] and fields.get("pages") == "1", "%s info %s" % (name, fields))
        check(fields.get("width") == str(expected["width"]) and fields.get("height") == str(expected["height"]),
              "%s size %s" % (name, fields))
        if kind == "cals":
            density = expected["dpi"]
            check(float(fields.get("dpix", "nan")) == density and float(fields.get("dpiy", "nan")) == density,
                  "%s density %s" % (name, fields))
        elif kind == "bmp":
            check(abs(float(fields.get("dpix", "nan")) - expected["dpix1000"] / 1000) < 1e-3,
                  "%s dpix %s" % (name, fields))
        out = stem + ".pnm"
        code, status = render(data, out)
        expect = rgb(stem + ".expect")
        check(code == 0 and status == "status=0,0", "%s render %s" % (name, status))
        check(code == 0 and np.array_equal(rgb(out), expect), name + " pixels differ from the tool's decode")

# Negative detection leaves a CALS drawing alone: a CALS page is never judged.
stem = os.path.join(work, "cals", "im_200")
code, status = render(stem + ".cals", stem + "-negative.pnm", "--negative", "2")
check(code == 0 and np.array_equal(rgb(stem + "-negative.pnm"), rgb(stem + ".expect")), "CALS with negative mode 2")

shutil.rmtree(work, ignore_errors=True)
finish()
