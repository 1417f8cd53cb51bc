#!/usr/bin/python3
"""JPEG files from cjpeg and Pillow opened and rendered through imgprobe
(format dispatch, JPEG reader, sinks), judged against djpeg of the same
libjpeg-turbo version: 1:1 renders bit for bit, turned and mirrored renders
as numpy turns djpeg's pixels, densities as Pillow wrote them."""
import io
import os
import shutil
import subprocess
import tempfile

from imgprobe_driver import check, finish, info, render, require_probe, require_tools

import numpy as np
from PIL import Image

require_probe()
require_tools("cjpeg", "djpeg")


def djpeg(path):
    return np.asarray(Image.open(io.BytesIO(subprocess.run(["djpeg", "-pnm", path], capture_output=True).stdout)))


def pixels(path):
    return np.asarray(Image.open(path))


work = tempfile.mkdtemp(prefix="jpeg-oracle-", dir=os.environ.get("TEST_BINARY_DIR"))
source = os.path.join(work, "source.ppm")
rng = np.random.default_rng(4)
base = np.linspace(0, 255, 157 * 113 * 3).reshape(113, 157, 3)
Image.fromarray(np.clip(base + rng.normal(0, 30, base.shape), 0, 255).astype(np.uint8)).save(source)

cases = {
    "grey": ["-grayscale"],
    "colour": [],
    "progressive": ["-progressive", "-sample", "2x1"],
    "restarts": ["-restart", "2B", "-sample", "1x1"],
}
for name, options in cases.items():
    jpg = os.path.join(work, name + ".jpg")
    subprocess.run(["cjpeg", *options, "-outfile", jpg, source], check=True)
    expect = djpeg(jpg)
    fields = info(jpg)
    check(fields.get("format") == "3" and fields.get("pages") == "1", name + " info " + str(fields))
    check(fields.get("width") == "157" and fields.get("height") == "113", name + " size " + str(fields))
    check(fields.get("bits") == ("8" if expect.ndim == 2 else "24"), name + " bits " + str(fields))
    out = os.path.join(work, name + ".pnm")
    code, status = render(jpg, out)
    check(code == 0 and status == "status=0,0", name + " render " + status)
    check(code == 0 and np.array_equal(pixels(out), expect), name + " pixels differ from djpeg")
    code, status = render(jpg, out, "--rotate", "90", "--mirror-x")
    # The page is mirrored first, then turned (as PagePlacementPageToPixel maps it).
    turned = np.rot90(np.fliplr(expect), -1)
    check(code == 0 and np.array_equal(pixels(out), turned), name + " turned and mirrored")

# Densities: Pillow writes JFIF unit 1 for dpi.
jpg = os.path.join(work, "dpi.jpg")
Image.open(source).save(jpg, dpi=(300, 150))
fields = info(jpg)
check(float(fields.get("dpix", 0)) == 300 and float(fields.get("dpiy", 0)) == 150, "densities " + str(fields))

# A truncated file renders as djpeg decodes it; a tables-only one is refused.
whole = open(os.path.join(work, "colour.jpg"), "rb").read()
cut = os.path.join(work, "cut.jpg")
open(cut, "wb").write(whole[: len(whole) * 2 // 3])
out = os.path.join(work, "cut.pnm")
code, status = render(cut, out)
check(code == 0 and status == "status=0,0", "truncated render " + status)
check(code == 0 and np.array_equal(pixels(out), djpeg(cut)), "truncated pixels differ from djpeg")
sof = whole.index(b"\xff\xc0")
tables = os.path.join(work, "tables.jpg")
open(tables, "wb").write(whole[:sof] + b"\xff\xd9" + bytes(200))
check(info(tables).get("status") == "2,2005", "tables-only " + str(info(tables)))

shutil.rmtree(work, ignore_errors=True)
finish()
