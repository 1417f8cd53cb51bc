#!/usr/bin/env python3
"""Draws the bitmaps of the menus, the command tool bar and the navigation
tree as 16 by 16 bitmaps with 16 colours, and writes a resource script
fragment that names each under its number.
Usage: make_tool_bitmaps.py OUT.rc
The bitmaps go to the folder tool_bitmaps beside OUT.rc, which the fragment
names relative to its own folder (an include folder of the resource build).

The loader makes the colour of the first stored pixel (the bottom-left one)
transparent (the image lists mask it out) and maps the 3-D greys 128, 192
and 223 to the system's colours, so every picture keeps its corners in the
background colour and the drawing colours stay off those greys. All
pictures share one colour table (the hot pictures a brighter one), in the
same order."""
import os
import struct
import sys

# Letter of the pictures -> colour (red, green, blue). Index 0 is the
# background that the loader replaces.
COLOURS = [
    (".", (255, 0, 255)),  # background
    ("k", (0, 0, 0)),
    ("w", (255, 255, 255)),
    ("d", (88, 88, 88)),
    ("g", (150, 150, 150)),
    ("l", (210, 210, 210)),
    ("B", (0, 40, 140)),
    ("b", (40, 100, 215)),
    ("c", (185, 225, 255)),
    ("Y", (255, 210, 70)),
    ("y", (200, 140, 20)),
    ("R", (210, 20, 20)),
    ("G", (20, 150, 40)),
    ("n", (10, 90, 25)),
    ("o", (255, 150, 40)),
    ("p", (250, 200, 200)),
]
GREYS_THE_LOADER_MAPS = {(128, 128, 128), (192, 192, 192), (223, 223, 223)}


def brighter(colour):
    """A hot picture's colour: a quarter of the way to white; black and the
    dark outlines stay, so the picture keeps its shape."""
    if max(colour) < 100:
        return colour
    return tuple(c + (255 - c) // 4 for c in colour)


def overlay(base, top):
    """The base picture with the top one's pixels drawn over it (a space in
    the top picture keeps the base's pixel)."""
    return ["".join(t if t != " " else b for b, t in zip(brow, trow)) for brow, trow in zip(base, top)]


def mirror(rows):
    return [row[::-1] for row in rows]


def transpose(rows):
    return ["".join(row[x] for row in rows) for x in range(16)]


MAGNIFIER = [
    "................",
    "....kkkk........",
    "..kkcccckk......",
    "..kccccccck.....",
    ".kcccccccck.....",
    ".kcccccccck.....",
    ".kcccccccck.....",
    ".kcccccccck.....",
    "..kccccccck.....",
    "..kkcccckkk.....",
    "....kkkk.kdk....",
    "..........kddk..",
    "...........kddk.",
    "............kddk",
    ".............kdk",
    "..............k.",
]
SHEET = [
    "................",
    "..kkkkkkkk......",
    "..kwwwwwwkk.....",
    "..kwwwwwwklk....",
    "..kwwwwwwkllk...",
    "..kwwwwwwkkkkk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kwwwwwwwwwwk..",
    "..kkkkkkkkkkkk..",
    "................",
]
# A clockwise turn: over the top from the left, the head pointing down.
TURN_RIGHT = [
    "................",
    "................",
    ".....BBBB.......",
    "...BBBBBBBB.....",
    "..BBB....BBB....",
    "..BB......BB....",
    ".BB........BB...",
    ".BB........BB...",
    ".BB......BBBBBB.",
    ".BB.......BBBB..",
    "..BB.......BB...",
    "..BBB...........",
    "...BB...........",
    "................",
    "................",
    "................",
]
# Flipped left to right: the left one filled, the axis dashed.
FLIP_LEFT_RIGHT = [
    "................",
    ".......d........",
    ".......d........",
    ".....k.....k....",
    "....kk.d...kk...",
    "...kbk.d...kwk..",
    "..kbbk.....kwwk.",
    ".kbbbk.d...kwwwk",
    "..kbbk.d...kwwk.",
    "...kbk.....kwk..",
    "....kk.d...kk...",
    ".....k.d...k....",
    "................",
    ".......d........",
    ".......d........",
    "................",
]
FORWARD = [
    "................",
    "................",
    ".....B..........",
    ".....BB.........",
    ".....BbB........",
    ".....BbbB.......",
    ".....BbbbB......",
    ".....BbbbbB.....",
    ".....BbbbbB.....",
    ".....BbbbB......",
    ".....BbbB.......",
    ".....BbB........",
    ".....BB.........",
    ".....B..........",
    "................",
    "................",
]
TO_THE_END = overlay([row[2:] + ".." for row in FORWARD], [
    "                ",
    "                ",
    "          BB    ",
    "          BB    ",
    "          BB    ",
    "          BB    ",
    "          BB    ",
    "          BB    ",
    "          BB    ",
    "          BB    ",
    "          BB    ",
    "          BB    ",
    "          BB    ",
    "          BB    ",
    "                ",
    "                ",
])

PICTURES = {
    "open": [
        "................",
        "................",
        "................",
        ".kkkk...........",
        "kyyyyk..........",
        "kyyyyykkkkkkk...",
        "kyyyyyyyyyyyk...",
        "kyyykkkkkkkkkkkk",
        "kyykYYYYYYYYYYYk",
        "kyykYYYYYYYYYYk.",
        "kykYYYYYYYYYYYk.",
        "kykYYYYYYYYYYk..",
        "kkYYYYYYYYYYYk..",
        "kkYYYYYYYYYYk...",
        "kkkkkkkkkkkkk...",
        "................",
    ],
    "save_as": [
        "................",
        ".kkkkkkkkkkkkk..",
        ".kBkwwwwwwwwkBk.",
        ".kBkwwwwwwwwkBBk",
        ".kBkwddddddwkBBk",
        ".kBkwwwwwwwwkBBk",
        ".kBkwddddddwkBBk",
        ".kBkwwwwwwwwkBBk",
        ".kBBkkkkkkkkBBBk",
        ".kBBBBBBBBBBBBBk",
        ".kBBBkkkkkkkBBBk",
        ".kBBBklldllkBBBk",
        ".kBBBklldllkBBBk",
        ".kBBBklldllkBBBk",
        ".kkkkkkkkkkkkkkk",
        "................",
    ],
    "print": [
        "................",
        "....kkkkkkkk....",
        "....kwwwwwwk....",
        "....kwddddwk....",
        "....kwwwwwwk....",
        "..kkkkkkkkkkkk..",
        ".kllllllllllllk.",
        ".kllllllllllGlk.",
        ".kggggggggggggk.",
        ".kggkkkkkkkkggk.",
        ".kggkwwwwwwkggk.",
        ".kkkkwddddwkkkk.",
        "....kwwwwwwk....",
        "....kwddddwk....",
        "....kkkkkkkk....",
        "................",
    ],
    "zoom_in": overlay(MAGNIFIER, [
        "                ",
        "                ",
        "                ",
        "     kk         ",
        "     kk         ",
        "   kkkkkk       ",
        "   kkkkkk       ",
        "     kk         ",
        "     kk         ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
    ]),
    "zoom_out": overlay(MAGNIFIER, [
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "   kkkkkk       ",
        "   kkkkkk       ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
    ]),
    "zoom_all": overlay(MAGNIFIER, [
        "                ",
        "                ",
        "                ",
        "   BBBBBB       ",
        "   Bwwwwb       ",
        "   Bwwwwb       ",
        "   Bwwwwb       ",
        "   Bwwwwb       ",
        "   BBBBBB       ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
    ]),
    "rotate_right": TURN_RIGHT,
    "rotate_left": mirror(TURN_RIGHT),
    "mirror_horizontal": FLIP_LEFT_RIGHT,
    "mirror_vertical": transpose(FLIP_LEFT_RIGHT),
    "invert": [
        "................",
        "................",
        "......kkkk......",
        "....kkkkwwkk....",
        "...kkkkkwwwwk...",
        "...kkkkkwwwwk...",
        "..kkkkkkwwwwwk..",
        "..kkkkkkwwwwwk..",
        "..kkkkkkwwwwwk..",
        "..kkkkkkwwwwwk..",
        "...kkkkkwwwwk...",
        "...kkkkkwwwwk...",
        "....kkkkwwkk....",
        "......kkkk......",
        "................",
        "................",
    ],
    # The page as it first shows, turned back to that.
    "standard_view": overlay(SHEET, [
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "    gggggggg    ",
        "      B         ",
        "     BB         ",
        "    BBBBBBBB    ",
        "     BBBBBBBB   ",
        "      B    BB   ",
        "           BB   ",
        "         BBB    ",
        "                ",
        "                ",
    ]),
    "next_page": FORWARD,
    "previous_page": mirror(FORWARD),
    "last_page": TO_THE_END,
    "first_page": mirror(TO_THE_END),
    "edit_redlining": [
        "................",
        "............kk..",
        "...........kppk.",
        "..........kdppk.",
        ".........kYldkk.",
        "........kYYyk...",
        ".......kYYyk....",
        "......kYYyk.....",
        ".....kYYyk......",
        "....kwYyk.......",
        "...kwwyk........",
        "...kwwk.........",
        "..kdkk..........",
        "..kk............",
        ".RRRRRRRRRRR....",
        "................",
    ],
    "list_entry": overlay(SHEET, [
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "    gggggggg    ",
        "                ",
        "    gggggggg    ",
        "                ",
        "    gggggg      ",
        "                ",
        "                ",
        "                ",
        "                ",
    ]),
    "page": overlay(SHEET, [
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "   cccccccccc   ",
        "   cccccccYYc   ",
        "   cccccccYYc   ",
        "   cccncccccc   ",
        "   ccnGnccccc   ",
        "   cnGGGnbcbc   ",
        "   nGGGGGnbbb   ",
        "   GGGGGGGbbb   ",
        "                ",
        "                ",
    ]),
    "list_of_documents": overlay(SHEET, [
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "    BB bbbbb    ",
        "    BB          ",
        "    BB bbbbb    ",
        "    BB          ",
        "    BB bbbbb    ",
        "    BB          ",
        "                ",
        "                ",
        "                ",
    ]),
    "image_document": [
        "................",
        ".....kkkkkkkkkk.",
        ".....kwwwwwwwwk.",
        ".....kwwwwwwwwk.",
        ".kkkkkkkkkkkwwk.",
        ".kccccccYYckwwk.",
        ".kccccccYYckwwk.",
        ".kcccnccccckwwk.",
        ".kccnGncccckwwk.",
        ".kcnGGGnccckwwk.",
        ".knGGGGGnbbkwwk.",
        ".kGGGGGGGbbkkkk.",
        ".kGGGGGGGGGk....",
        ".kGGGGGGGGGk....",
        ".kkkkkkkkkkk....",
        "................",
    ],
    "comparison": [
        "................",
        ".kkkkkkkkkk.....",
        ".kwwwwwwwwk.....",
        ".kwRRRRRwwk.....",
        ".kwRwkkkkkkkkkk.",
        ".kwRwkwwwwwwwwk.",
        ".kwRwkwbbbbbbwk.",
        ".kwRwkwbwwwwbwk.",
        ".kwRwkwbwwwwbwk.",
        ".kwRwkwbbbbbbwk.",
        ".kwwwkwwwwwwwwk.",
        ".kkkkkwbbbbbbwk.",
        ".....kwwwwwwwwk.",
        ".....kwwwwwwwwk.",
        ".....kkkkkkkkkk.",
        "................",
    ],
    "load_failed": overlay(SHEET, [
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "                ",
        "   RR    RR     ",
        "    RR  RR      ",
        "     RRRR       ",
        "      RR        ",
        "     RRRR       ",
        "    RR  RR      ",
        "   RR    RR     ",
        "                ",
        "                ",
        "                ",
    ]),
}


# The redlining tool bar's pictures.
PICTURES["redline_line"] = [
    "................",
    "..............R.",
    ".............RR.",
    "............RR..",
    "...........RR...",
    "..........RR....",
    ".........RR.....",
    "........RR......",
    ".......RR.......",
    "......RR........",
    ".....RR.........",
    "....RR..........",
    "...RR...........",
    "..RR............",
    ".RR.............",
    "................",
]
PICTURES["redline_rectangle"] = [
    "................",
    "................",
    "................",
    ".RRRRRRRRRRRRRR.",
    ".R............R.",
    ".R............R.",
    ".R............R.",
    ".R............R.",
    ".R............R.",
    ".R............R.",
    ".R............R.",
    ".R............R.",
    ".RRRRRRRRRRRRRR.",
    "................",
    "................",
    "................",
]
PICTURES["redline_ellipse"] = [
    "................",
    "................",
    "................",
    ".....RRRRRR.....",
    "...RR......RR...",
    "..R..........R..",
    ".R............R.",
    ".R............R.",
    ".R............R.",
    ".R............R.",
    "..R..........R..",
    "...RR......RR...",
    ".....RRRRRR.....",
    "................",
    "................",
    "................",
]
PICTURES["redline_multi_line"] = [
    "................",
    "................",
    "..R.............",
    "..RR............",
    "...R.........R..",
    "...RR.......RR..",
    "....R......RR...",
    "....RR....RR....",
    ".....R...RR.....",
    ".....RR.RR......",
    "......RRR.......",
    "......RR........",
    "................",
    "................",
    "................",
    "................",
]
PICTURES["redline_polygon"] = [
    "................",
    "................",
    "......RRR.......",
    ".....RpppRR.....",
    "....RpppppRRR...",
    "...RpppppppppR..",
    "..RppppppppppR..",
    ".RppppppppppR...",
    ".RpppppppppR....",
    "..RppppppppR....",
    "...RpppppppR....",
    "....RppppppR....",
    ".....RRRRRRR....",
    "................",
    "................",
    "................",
]
PICTURES["redline_text"] = [
    "................",
    "................",
    "..RRRRRRRRRRRR..",
    "..RR...RR...RR..",
    "..R....RR....R..",
    ".......RR.......",
    ".......RR.......",
    ".......RR.......",
    ".......RR.......",
    ".......RR.......",
    ".......RR.......",
    ".......RR.......",
    "......RRRR......",
    "................",
    "................",
    "................",
]
PICTURES["redline_note"] = [
    "................",
    ".yyyyyyyyyyyyy..",
    ".yYYYYYYYYYYYy..",
    ".yYkkkkkkkkYYy..",
    ".yYYYYYYYYYYYy..",
    ".yYkkkkkkkYYYy..",
    ".yYYYYYYYYYYYy..",
    ".yYkkkkkkkkYYy..",
    ".yYYYYYYYYYYYy..",
    ".yYkkkkkYYYYyy..",
    ".yYYYYYYYYYyYy..",
    ".yYYYYYYYYyYYy..",
    ".yyyyyyyyyyyy...",
    "................",
    "................",
    "................",
]
PICTURES["redline_select"] = [
    "................",
    "..k.............",
    "..kk............",
    "..kwk...........",
    "..kwwk..........",
    "..kwwwk.........",
    "..kwwwwk........",
    "..kwwwwwk.......",
    "..kwwwwwwk......",
    "..kwwwwkkkk.....",
    "..kwkwwk........",
    "..kk.kwwk.......",
    "..k..kwwk.......",
    ".......kwwk.....",
    ".......kkk......",
    "................",
]
PICTURES["redline_save"] = [
    "................",
    ".kkkkkkkkkkkkk..",
    ".kBkwwwwwwwwkBk.",
    ".kBkwwwwwwwwkBBk",
    ".kBkwwRRwwwwkBBk",
    ".kBkwwwRRwwwkBBk",
    ".kBkwwwwRRwwkBBk",
    ".kBBkkkkkkkkBBBk",
    ".kBBBBBBBBBBBBBk",
    ".kBBkkkkkkkkkBBk",
    ".kBBkllllkwwkBBk",
    ".kBBkllllkwwkBBk",
    ".kBBkllllkwwkBBk",
    "..kkkkkkkkkkkkkk",
    "................",
    "................",
]


def check(name, rows):
    if len(rows) != 16 or any(len(row) != 16 for row in rows):
        sys.exit(f"make_tool_bitmaps: picture {name} is not 16 by 16")
    letters = {letter for letter, _ in COLOURS}
    if any(ch not in letters for row in rows for ch in row):
        sys.exit(f"make_tool_bitmaps: picture {name} uses an unknown letter")
    if rows[0][0] != "." or rows[15][0] != ".":
        sys.exit(f"make_tool_bitmaps: picture {name} must keep its left corners in the background")


def bitmap_bytes(rows, hot):
    """A 4-bit bitmap file, bottom row first."""
    index = {letter: i for i, (letter, _) in enumerate(COLOURS)}
    table = b""
    for i, (_, colour) in enumerate(COLOURS):
        r, g, b = brighter(colour) if hot and i else colour
        table += bytes((b, g, r, 0))
    pixels = b""
    for row in reversed(rows):
        for x in range(0, 16, 2):
            pixels += bytes(((index[row[x]] << 4) | index[row[x + 1]],))
    offset = 14 + 40 + len(table)
    info = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 4, 0, len(pixels), 2835, 2835, len(COLOURS), 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + table + pixels


# Number -> (picture, hot). The tool bar's pairs: normal, then hot.
BITMAPS = {}


def pair(normal, picture):
    BITMAPS[normal] = (picture, False)
    BITMAPS[normal + 1] = (picture, True)


def main():
    for _, colour in COLOURS[1:]:
        for c in (colour, brighter(colour)):
            if c in GREYS_THE_LOADER_MAPS:
                sys.exit(f"make_tool_bitmaps: colour {c} would be mapped to a system colour")
    for name, rows in PICTURES.items():
        check(name, rows)
    out = sys.argv[1]
    folder = os.path.join(os.path.dirname(os.path.abspath(out)), "tool_bitmaps")
    os.makedirs(folder, exist_ok=True)
    lines = ["// Made by resources/make_tool_bitmaps.py.\n"]
    for number in sorted(BITMAPS):
        picture, hot = BITMAPS[number]
        with open(os.path.join(folder, f"{number}.bmp"), "wb") as f:
            f.write(bitmap_bytes(PICTURES[picture], hot))
        lines.append(f'{number} BITMAP "tool_bitmaps/{number}.bmp"\n')
    # Written last: the resource build waits for this file only.
    with open(out, "w") as f:
        f.writelines(lines)


# The command tool bar's and the menus' pictures.
pair(301, "open")
pair(303, "save_as")
pair(305, "print")
pair(307, "zoom_in")
pair(309, "zoom_out")
pair(311, "invert")
pair(313, "mirror_vertical")
pair(315, "mirror_horizontal")
pair(317, "rotate_right")
pair(319, "rotate_left")
pair(328, "zoom_all")
pair(340, "next_page")
pair(342, "previous_page")
pair(344, "first_page")
pair(346, "last_page")
pair(348, "standard_view")
pair(360, "edit_redlining")
# The redlining tool bar's pictures.
pair(362, "redline_line")
pair(364, "redline_rectangle")
pair(366, "redline_ellipse")
pair(368, "redline_multi_line")
pair(370, "redline_polygon")
pair(372, "redline_text")
pair(374, "redline_save")
pair(376, "redline_select")
pair(378, "redline_note")
# The navigation tree's pictures.
BITMAPS[152] = ("list_of_documents", False)
BITMAPS[156] = ("load_failed", False)
BITMAPS[324] = ("list_entry", False)
BITMAPS[325] = ("page", False)
BITMAPS[326] = ("comparison", False)
BITMAPS[350] = ("image_document", False)
# The control library's picture in a form designer's toolbox (IDB_CONTROL_TOOLBOX,
# which its registration names).
BITMAPS[101] = ("image_document", False)

if __name__ == "__main__":
    main()
