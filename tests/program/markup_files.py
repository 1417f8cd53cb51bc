"""Markup files made and read from outside, with Python's zlib and tarfile
and a struct walker of TIFF directories: the page text as the program
writes it, its payload (fixed header, raw deflate), companion files (a tar
member per page) and tag 40000 of a TIFF's directories."""
import io
import struct
import tarfile
import zlib

HEADER = bytes([0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0x0B])
MARKUP_TAG = 40000


def element(tag, value):
    return "<r:%s>%s</r:%s>" % (tag, value, tag)


def page_text(objects):
    """The stored text of a page: objects as (id, type, geometry, [(kind, form)])."""
    lines = ['<?xml encoding="iso-8859-1"?>', "<?version=3?>",
             '<r:document xmlns:r="http://www.plovex.com/xml/redline.dtd" r:version="4.3">',
             '<r:layer r:version="4.3">', element("id", 1)]
    for oid, otype, geometry, attributes in objects:
        lines += ['<r:object r:version="4.3">', element("id", oid), element("type", otype)]
        for kind, form in attributes:
            lines += ['<r:attribute r:version="4.3">', element("type", kind), element("data", form), "</r:attribute>"]
        lines += [element("data", geometry), "</r:object>"]
    return ("\r\n".join(lines + ["</r:layer>", "</r:document>"]) + "\r\n").encode("cp1252")


def deflated(text):
    deflater = zlib.compressobj(9, zlib.DEFLATED, -15)
    return HEADER + deflater.compress(text) + deflater.flush()


def inflated(payload):
    """The text of a payload, or None when its header or stream is damaged."""
    if payload is None or len(payload) < 11 or payload[:2] != HEADER[:2]:
        return None
    inflater = zlib.decompressobj(-15)
    try:
        text = inflater.decompress(payload[10:])
    except zlib.error:
        return None
    return text if inflater.eof else None


def companion(payloads):
    """A companion file of one member per payload, named by its position."""
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w", format=tarfile.USTAR_FORMAT) as archive:
        for index, payload in enumerate(payloads):
            info = tarfile.TarInfo(str(index))
            info.size = len(payload)
            archive.addfile(info, io.BytesIO(payload))
    return out.getvalue()


def members(data):
    """The members of a ustar archive up to its end block or the first damage
    (a checksum or size that does not hold): ([bytes...], complete)."""
    found, at = [], 0
    while at + 512 <= len(data):
        header = data[at:at + 512]
        if header == bytes(512):
            return found, True
        try:
            stored = int(header[148:156].split(b"\0")[0].strip() or b"x", 8)
            size = int(header[124:136].split(b"\0")[0].strip() or b"0", 8)
        except ValueError:
            return found, False
        if stored != sum(header[:148]) + 8 * 32 + sum(header[156:]) or at + 512 + size > len(data):
            return found, False
        found.append(data[at + 512:at + 512 + size])
        at += 512 + (size + 511) // 512 * 512
    return found, False


def tag_payloads(path):
    """Tag 40000 of every directory of a little-endian TIFF, in file order."""
    data = open(path, "rb").read()
    if data[:4] != b"II*\x00":
        return None
    payloads, offset = [], struct.unpack_from("<I", data, 4)[0]
    while offset:
        count = struct.unpack_from("<H", data, offset)[0]
        found = None
        for i in range(count):
            tag, ftype, n, value = struct.unpack_from("<HHII", data, offset + 2 + 12 * i)
            if tag == MARKUP_TAG and ftype == 1:
                found = data[offset + 10 + 12 * i:offset + 10 + 12 * i + n] if n <= 4 else data[value:value + n]
        payloads.append(found)
        offset = struct.unpack_from("<I", data, offset + 2 + 12 * count)[0]
    return payloads


def bilevel_tiff(pages, tags=None):
    """A little-endian TIFF of white uncompressed bilevel pages ((width,
    height) at 100 dpi), page i carrying tags[i] as tag 40000 when given: the
    payload bytes, or (field type, count, bytes) for a damaged entry (the
    bytes then stand at the offset the entry names, whatever the count)."""
    out = bytearray(b"II*\0\0\0\0\0")
    link = 4
    for index, (width, height) in enumerate(pages):
        strip_at = len(out)
        out += bytes((width + 7) // 8 * height)
        resolution_at = len(out)
        out += struct.pack("<IIII", 100, 1, 100, 1)
        entries = [(256, 3, 1, width), (257, 3, 1, height), (258, 3, 1, 1), (259, 3, 1, 1), (262, 3, 1, 0),
                   (273, 4, 1, strip_at), (277, 3, 1, 1), (278, 3, 1, height),
                   (279, 4, 1, (width + 7) // 8 * height), (282, 5, 1, resolution_at),
                   (283, 5, 1, resolution_at + 8), (296, 3, 1, 2)]
        tag = (tags or {}).get(index) if isinstance(tags, dict) else (tags[index] if tags else None)
        if tag is not None:
            field_type, count, payload = tag if isinstance(tag, tuple) else (1, len(tag), tag)
            payload_at = len(out)
            out += payload + b"\0" * (len(payload) & 1)
            entries.append((MARKUP_TAG, field_type, count, payload_at))
        struct.pack_into("<I", out, link, len(out))
        out += struct.pack("<H", len(entries))
        for tag_number, field_type, count, value in entries:
            if field_type == 3 and count == 1:
                out += struct.pack("<HHIHH", tag_number, field_type, count, value, 0)
            else:
                out += struct.pack("<HHII", tag_number, field_type, count, value)
        link = len(out)
        out += b"\0\0\0\0"
    return bytes(out)
