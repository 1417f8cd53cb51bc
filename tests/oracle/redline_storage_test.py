#!/usr/bin/python3
"""The markup store judged from outside: companion files written by the
probe (tests/tools/redline_probe.cpp) are taken apart with GNU tar, Python's
tarfile and zlib and compared byte for byte with the text an independent
writer here makes; TIFF copies with markups are checked with tiffdump,
tiffcmp and Pillow; payloads, archives and TIFFs made here probe the reader's
edge cases; failed saves must leave the old file as it was."""
import io
import os
import struct
import subprocess
import tarfile
import tempfile
import zlib

from imgprobe_driver import build, check, failures, finish, require_tools

from PIL import Image

require_tools("wine", "tar", "tiffdump", "tiffcmp")
exe = os.path.join(build, "bin", "redline_probe.exe")
if not os.path.exists(exe):
    raise SystemExit("FAILED: %s is not built: nothing was checked" % exe)
work = tempfile.mkdtemp(prefix="redline-storage-", dir=build)
HEADER = bytes([0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0x0B])
NAMESPACE = "http://www.plovex.com/xml/redline.dtd"


def path(name):
    return os.path.join(work, name)


def windows(p):
    return "Z:" + os.path.abspath(p).replace("/", "\\")


def probe(*args):
    """(exit code, output lines); paths are given as Linux paths."""
    words = [windows(a) if a.startswith("/") else a for a in args]
    done = subprocess.run(["wine", exe, *words], capture_output=True, stdin=subprocess.DEVNULL, timeout=120)
    if not done.stdout:
        # Nothing at all: the probe crashed or Wine did not start it; say which.
        print("probe %s: exit code %d, no output; %s" % (" ".join(args), done.returncode,
                                                         done.stderr.decode("utf-8", "replace")[-400:]), flush=True)
    return done.returncode, done.stdout.decode("utf-8", "replace").splitlines()


# ---- An independent writer of the page text --------------------------------

def fixed(*values):
    return ":".join("%f" % v for v in values)


def line_form(transparent, colour, style, width):
    return "%d:%d:%d:%f" % (transparent, colour, style, width)


def text_form(lines, encoding="cp1252"):
    """Length prefixes counted on the text as the code page holds it."""
    written = [l.encode(encoding, "replace").decode(encoding) for l in lines]
    return "%d:" % len(written) + "".join("%d:%s" % (len(l), l) for l in written)


# Pages: objects (id, type, geometry, [(kind, form)]) in id order.
PAGES = [
    [(1, 2, fixed(10, 20, 110.5, 220.25), [(0, line_form(0, 255, 1, 0.5)), (6, "1:0")]),
     (2, 5, "3:" + fixed(0, 0, 10, 0, 5, 8), [(0, line_form(0, 0xFF0000, 0, 0.35)), (1, "1:65280:0")])],
    [(1, 7, fixed(1, 2, 30, 40), [(4, text_form(["Hello", "World"]))])],
    [],
]


def golden_text(objects):
    out = ['<?xml encoding="iso-8859-1"?>', "<?version=3?>",
           '<r:document xmlns:r="%s" r:version="4.3">' % NAMESPACE, '<r:layer r:version="4.3">', "<r:id>1</r:id>"]
    for oid, otype, geometry, attributes in objects:
        out += ['<r:object r:version="4.3">', "<r:id>%d</r:id>" % oid, "<r:type>%d</r:type>" % otype]
        for kind, form in sorted(attributes):
            out += ['<r:attribute r:version="4.3">', "<r:type>%d</r:type>" % kind, "<r:data>%s</r:data>" % form,
                    "</r:attribute>"]
        out += ["<r:data>%s</r:data>" % geometry, "</r:object>"]
    out += ["</r:layer>", "</r:document>"]
    return ("\r\n".join(out) + "\r\n").encode("cp1252")


def write_markup_list(name, pages):
    with open(path(name), "w", encoding="utf-8") as markup_list:
        for objects in pages:
            markup_list.write("page\n")
            for oid, otype, geometry, attributes in objects:
                markup_list.write("object %d %d %s\n" % (oid, otype, geometry))
                for kind, form in attributes:
                    markup_list.write("attr %d %s\n" % (kind, form))
    return path(name)


def inflate(member_bytes):
    """The text of a payload and whether the stream ended with nothing after it."""
    inflater = zlib.decompressobj(-15)
    text = inflater.decompress(member_bytes[10:])
    return text, inflater.eof and not inflater.unused_data


def payload(text, header=HEADER):
    deflater = zlib.compressobj(9, zlib.DEFLATED, -15)
    return header + deflater.compress(text) + deflater.flush()


def listing(lines):
    """{page: [(id, type, z)]} from a probe listing, and its status line."""
    pages, current = {}, None
    for line in lines[1:]:
        words = line.split()
        if words[0] == "page":
            current = int(words[1])
            pages[current] = None if len(words) > 2 else []
        elif words[0] == "object":
            pages[current].append((int(words[1]), int(words[2]), int(words[3])))
    return (lines[0] if lines else ""), pages


# ---- Companion files written -------------------------------------------------

markup_list = write_markup_list("doc.markups", PAGES)
plr = path("doc.PLR")
code, out = probe("write-plr", markup_list, plr)
check(code == 0 and out and out[0].startswith("written"), "companion file written: %s" % out)
tar_list = subprocess.run(["tar", "-tvf", plr], capture_output=True, text=True)
check(tar_list.returncode == 0, "GNU tar reads the companion file: %s" % tar_list.stderr)
check([l.split()[-1] for l in tar_list.stdout.splitlines()] == ["0", "1", "2"], "members 0, 1, 2: %s" % tar_list.stdout)
with tarfile.open(plr) as archive:
    members = archive.getmembers()
    for index, member in enumerate(members):
        data = archive.extractfile(member).read()
        check(data[:10] == HEADER, "member %d header: %s" % (index, data[:10].hex()))
        text, ended = inflate(data)
        check(ended, "member %d: a raw deflate stream without trailer" % index)
        check(text == golden_text(PAGES[index]), "member %d text:\n%r\n%r" % (index, text, golden_text(PAGES[index])))

# Read back: z 0, 10, 20 in file order, nothing modified.
code, out = probe("load-plr", plr, "3")
status, pages = listing(out)
check(status == "loaded" and pages[0] == [(1, 2, 0), (2, 5, 10)] and pages[1] == [(1, 7, 0)] and pages[2] == [],
      "companion file read back: %s" % out)
check(out[-1] == "modified 0", "markups are clean after a load: %s" % out[-1])

# Characters outside the code page: the prefixes count what is written, so the
# page reads back whole, and the save reports the replacement.
wide = [[(1, 7, fixed(1, 2, 30, 40), [(4, "2:4:A\U0001F600B2:\u03a9z")])]]
code, out = probe("write-plr", write_markup_list("wide.markups", wide), path("wide.PLR"))
check(code == 0 and "replaced=" in out[0] and "replaced=0" not in out[0], "replacement reported: %s" % out)
with tarfile.open(path("wide.PLR")) as archive:
    text, _ = inflate(archive.extractfile(archive.getmembers()[0]).read())
data_lines = [l for l in text.split(b"\r\n") if l.startswith(b"<r:data>") and b"</r:data>" in l]
form = data_lines[0][8:-9].decode("cp1252")
count, rest = form.split(":", 1)
lengths_ok = True
for _ in range(int(count)):
    length, rest = rest.split(":", 1)
    lengths_ok = lengths_ok and len(rest) >= int(length)
    rest = rest[int(length):]
check(lengths_ok and rest == "", "length prefixes match the written text: %r" % form)
code, out = probe("load-plr", path("wide.PLR"), "1")
check(listing(out)[1].get(0) == [(1, 7, 0)] and "attr 4 " + form in out and form.startswith("2:") and form.endswith("z"),
      "a text with replaced characters reads back as written: %r %s" % (form, out))

# ---- Payloads made here ------------------------------------------------------

def page_text(*body, first='<?xml encoding="iso-8859-1"?>', version="<?version=3?>", end="\r\n"):
    lines = [first, version, '<r:document xmlns:r="%s" r:version="4.3">' % NAMESPACE, *body, "</r:document>"]
    return end.join(lines).encode("cp1252") + end.encode()


def layer(*objects, lid=1):
    return ['<r:layer r:version="4.3">', "<r:id>%d</r:id>" % lid, *[l for o in objects for l in o], "</r:layer>"]


def line_object(oid, otype=2, geometry=fixed(1, 2, 3, 4), attributes=((0, line_form(0, 0, 0, 1)),)):
    lines = ['<r:object r:version="4.3">', "<r:id>%d</r:id>" % oid, "<r:type>%d</r:type>" % otype]
    for kind, form in attributes:
        lines += ['<r:attribute r:version="4.3">', "<r:type>%d</r:type>" % kind, "<r:data>%s</r:data>" % form,
                  "</r:attribute>"]
    return lines + ["<r:data>%s</r:data>" % geometry, "</r:object>"]


def parse(name, data):
    with open(path(name), "wb") as f:
        f.write(data)
    code, out = probe("parse", path(name))
    return listing(out)


ONE = page_text(*layer(line_object(1)))
CASES = [
    # name, payload, expected objects of page 0 (None: refused)
    ("plain", payload(ONE), [(1, 2, 0)]),
    ("ten-bytes", HEADER, None),
    ("wrong-magic", payload(ONE, bytes([0x1F, 0x8C]) + HEADER[2:]), None),
    ("other-header-bytes", payload(ONE, bytes([0x1F, 0x8B]) + b"\xff" * 8), [(1, 2, 0)]),
    ("any-xml-first-line", payload(page_text(*layer(line_object(1)), first="<?xmlwhatever")), [(1, 2, 0)]),
    ("blank-first-line", payload(b"\r\n" + ONE), None),
    ("version-7", payload(page_text(*layer(line_object(1)), version="<?version=7?>")), [(1, 2, 0)]),
    ("lf-cr-endings", payload(page_text(*layer(line_object(1)), end="\n\r")), [(1, 2, 0)]),
    ("cr-endings", payload(page_text(*layer(line_object(1)), end="\r")), [(1, 2, 0)]),
    ("file-order-z", payload(page_text(*layer(line_object(3), line_object(1), line_object(2)))),
     [(3, 2, 0), (1, 2, 10), (2, 2, 20)]),
    ("second-layer-dropped", payload(page_text(*layer(line_object(1)), *layer(line_object(2), lid=2))), [(1, 2, 0)]),
    ("layer-in-layer", payload(page_text('<r:layer r:version="4.3">', *layer(line_object(1)))), None),
    ("unknown-type-dropped", payload(page_text(*layer(line_object(1, otype=9), line_object(2)))), [(2, 2, 0)]),
    ("bad-attribute", payload(page_text(*layer(line_object(1, attributes=((0, "x:y"),))))), None),
    ("negative-id", payload(page_text(*layer(line_object(-1)))), None),
    ("no-layer", payload(page_text()), None),
    ("truncated-stream", payload(ONE)[:-8], None),
]
for name, data, expected in CASES:
    status, pages = parse(name + ".bin", data)
    if expected is None:
        check(status == "refused" and pages.get(0) is None, "payload %s refused: %s %s" % (name, status, pages))
    else:
        check(status == "loaded" and pages.get(0) == expected, "payload %s: %s %s" % (name, status, pages))

# Past the inflate cap: a few kilobytes that would fill 31 MB.
bomb = payload(ONE[:-len("</r:document>\r\n")] + b" " * 31000000 + b"\r\n</r:document>\r\n")
check(len(bomb) < 100000, "the bomb is small")
status, _ = parse("bomb.bin", bomb)
check(status == "refused", "a payload inflating past the cap is refused: %s" % status)

# ---- Companion files made here ----------------------------------------------

def archive_file(name, members, cut=None):
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.USTAR_FORMAT) as archive:
        for member_name, data in members:
            info = tarfile.TarInfo(member_name)
            info.size = len(data)
            archive.addfile(info, io.BytesIO(data))
    data = buffer.getvalue()
    with open(path(name), "wb") as f:
        f.write(data[:cut] if cut else data)
    return path(name)


two = page_text(*layer(line_object(1), line_object(2)))
by_position = archive_file("by-position.PLR", [("5", payload(ONE)), ("6", payload(two))])
status, pages = listing(probe("load-plr", by_position, "3")[1])
check(status == "loaded" and pages == {0: [(1, 2, 0)], 1: [(1, 2, 0), (2, 2, 10)], 2: []},
      "members taken by position, a missing one empty: %s %s" % (status, pages))
bad_member = archive_file("bad-member.PLR", [("0", b"\x1f\x8cnonsense"), ("1", payload(ONE)), ("2", b"")])
status, pages = listing(probe("load-plr", bad_member, "3")[1])
check(status == "loaded" and pages == {0: [], 1: [(1, 2, 0)], 2: []}, "unreadable members empty: %s" % pages)
truncated = archive_file("truncated.PLR", [("0", payload(ONE) * 40)], cut=700)
status, pages = listing(probe("load-plr", truncated, "1")[1])
check(status == "refused" and not pages, "a truncated member fails the file: %s %s" % (status, pages))

# ---- TIFF pages --------------------------------------------------------------

source = path("source.tif")
first_page = Image.new("1", (800, 600), 1)
first_page.paste(0, (100, 100, 300, 200))
second_page = Image.new("1", (640, 480), 0)
first_page.save(source, save_all=True, append_images=[second_page], compression="group4", dpi=(200, 200))
saved = path("saved.tif")
code, out = probe("save-tiff", write_markup_list("tiff.markups", PAGES[:2]), source, saved)
check(code == 0 and out[0].startswith("written"), "TIFF with markups written: %s" % out)


def directories(file):
    """tiffdump's directories as {tag: (type, text)}."""
    dump = subprocess.run(["tiffdump", "-m", "100000", file], capture_output=True, text=True).stdout
    dirs = []
    for line in dump.splitlines():
        if line.startswith("Directory "):
            dirs.append({})
        elif dirs and " (" in line and "<" in line:
            head, _, value = line.partition("<")
            words = head.split()
            tag = int(words[1].strip("()")) if words[0].isalpha() else int(words[0])
            dirs[-1][tag] = (head, value.rstrip(">"))
    return dirs


def tag_bytes(value):
    return bytes(int(v, 0) for v in value.split())


dirs = directories(saved)
check(len(dirs) == 2, "two directories: %d" % len(dirs))
for index, directory in enumerate(dirs[:2]):
    entry = directory.get(40000)
    check(entry is not None and "BYTE (1)" in entry[0], "page %d: tag 40000 BYTE in its first directory" % index)
    if entry:
        text, ended = inflate(tag_bytes(entry[1]))
        check(ended and text == golden_text(PAGES[index]), "page %d tag text:\n%r" % (index, text))
    check(305 in directory and "Plovex 5.2.9" in directory[305][1], "page %d Software tag" % index)
compare = subprocess.run(["tiffcmp", source, saved], capture_output=True, text=True)
check(compare.returncode == 0, "tiffcmp: image data unchanged: %s" % compare.stdout)
with Image.open(saved) as image:
    frames = []
    for frame in range(image.n_frames):
        image.seek(frame)
        frames.append(image.convert("L").tobytes())
with Image.open(source) as image:
    originals = []
    for frame in range(image.n_frames):
        image.seek(frame)
        originals.append(image.convert("L").tobytes())
check(frames == originals, "Pillow reads the same pages")
status, pages = listing(probe("load-tiff", saved)[1])
check(status == "loaded" and pages == {0: [(1, 2, 0), (2, 5, 10)], 1: [(1, 7, 0)]}, "tags read back: %s" % pages)

# A reduced image ahead of its page's full one: the tag still goes into the
# directory written first, the one readers look at.
def struct_tiff(name, images):
    """Little-endian uncompressed 8-bit TIFF; images: (width, height, subfile kind, extra entries)."""
    out = bytearray(b"II*\x00\x00\x00\x00\x00")
    offsets = []
    for width, height, kind, extra in images:
        strip = len(out)
        out += bytes([200]) * (width * height)
        entries = [(254, 4, 1, kind), (256, 3, 1, width), (257, 3, 1, height), (258, 3, 1, 8), (259, 3, 1, 1),
                   (262, 3, 1, 1), (273, 4, 1, strip), (277, 3, 1, 1), (278, 3, 1, height),
                   (279, 4, 1, width * height)] + extra
        blobs = bytearray()
        if len(out) % 2:
            out += b"\x00"
        ifd = len(out)
        offsets.append(ifd)
        out += struct.pack("<H", len(entries))
        value_area = ifd + 2 + 12 * len(entries) + 4
        for tag, ftype, count, value in sorted(entries, key=lambda e: e[0]):
            if isinstance(value, bytes) and len(value) > 4:
                out += struct.pack("<HHII", tag, ftype, count, value_area + len(blobs))
                blobs += value
            elif isinstance(value, bytes):
                out += struct.pack("<HHI", tag, ftype, count) + value.ljust(4, b"\x00")
            elif ftype == 3:
                out += struct.pack("<HHIHH", tag, ftype, count, value, 0)
            else:
                out += struct.pack("<HHII", tag, ftype, count, value)
        out += b"\x00\x00\x00\x00"
        out += blobs
    struct.pack_into("<I", out, 4, offsets[0])
    for previous, following in zip(offsets, offsets[1:]):
        count = struct.unpack_from("<H", out, previous)[0]
        struct.pack_into("<I", out, previous + 2 + 12 * count, following)
    with open(path(name), "wb") as f:
        f.write(out)
    return path(name)


tagged = struct_tiff("tagged.tif", [(64, 48, 0, [(40000, 1, len(payload(ONE)), payload(ONE))]), (32, 24, 0, [])])
status, pages = listing(probe("load-tiff", tagged)[1])
check(status == "loaded" and pages == {0: [(1, 2, 0)], 1: []}, "a later page without the tag is empty: %s" % pages)
untagged_first = struct_tiff("untagged-first.tif", [(64, 48, 0, []), (32, 24, 0, [(40000, 1, len(two), payload(two))])])
status, _ = listing(probe("load-tiff", untagged_first)[1])
check(status == "refused", "no tag on the first page: nothing read: %s" % status)
reduced = struct_tiff("reduced.tif", [(64, 48, 0, []), (32, 24, 1, [])])
code, out = probe("save-tiff", write_markup_list("one.markups", PAGES[:1]), reduced, path("reduced-saved.tif"))
dirs = directories(path("reduced-saved.tif"))
check(code == 0 and dirs and 40000 in dirs[0], "tag in the first-written directory: %s" % out)
status, pages = listing(probe("load-tiff", path("reduced-saved.tif"))[1])
check(status == "loaded" and pages.get(0) == [(1, 2, 0), (2, 5, 10)], "reduced file read back: %s" % pages)

# ---- Failed saves leave the old file ----------------------------------------

def unchanged_after(target, *args):
    with open(target, "rb") as f:
        before = f.read()
    code, out = probe(*args)
    with open(target, "rb") as f:
        after = f.read()
    return code != 0 and out and out[0].startswith("failed") and before == after, out


read_only = path("read-only.PLR")
with open(read_only, "wb") as f:
    f.write(b"the old markups")
os.chmod(read_only, 0o444)
ok, out = unchanged_after(read_only, "write-plr", markup_list, read_only)
check(ok, "a read-only companion file stays: %s" % out)
read_only_tiff = path("read-only.tif")
with open(read_only_tiff, "wb") as f:
    f.write(b"the old TIFF")
os.chmod(read_only_tiff, 0o444)
ok, out = unchanged_after(read_only_tiff, "save-tiff", markup_list, source, read_only_tiff)
check(ok, "a read-only TIFF target stays: %s" % out)
for spelling in (source.upper().replace(work.upper(), work), "\\\\?\\" + windows(source)):
    words = [windows(markup_list), windows(source), spelling if spelling.startswith("\\") else windows(spelling)]
    with open(source, "rb") as f:
        before = f.read()
    done = subprocess.run(["wine", exe, "save-tiff", *words], capture_output=True, stdin=subprocess.DEVNULL,
                          timeout=120)
    with open(source, "rb") as f:
        after = f.read()
    check(done.returncode != 0 and before == after, "the source under the spelling %s stays: %s" %
          (words[2], done.stdout))
missing_folder = path("no-such-folder/out.tif")
code, out = probe("save-tiff", markup_list, source, missing_folder)
check(code != 0 and not os.path.exists(missing_folder), "a failing write reports failure: %s" % out)
check(not [n for n in os.listdir(work) if n.endswith(".tmp")], "no partial files left: %s" % os.listdir(work))

finish()
