#!/usr/bin/env python3
"""Writes palvorine.ico: a registration card with a portrait and name lines.

One icon group, 32x32 and 16x16, both 4 bits per pixel over the standard
16-colour palette, with an AND mask for the transparent corners. The output
depends only on the maps below, so rerunning it reproduces the file byte for
byte. Python 3 standard library only.

    make_icon.py            rewrite palvorine.ico next to this script
    make_icon.py OUT        write to OUT instead
    make_icon.py --check    exit 1 if palvorine.ico differs from the maps
"""

import os
import struct
import sys

# The standard 16-colour palette, in its fixed index order, as (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# Map characters to palette indices; '.' is transparent (AND bit set, colour 0).
COLOURS = {
    'K': 0,   # black: outline, name line
    'n': 4,   # navy: header band, portrait
    't': 6,   # teal
    's': 7,   # silver
    'g': 8,   # gray: shadow, portrait frame, lesser lines
    'y': 11,  # yellow
    'b': 12,  # blue
    'a': 14,  # aqua: portrait background
    'W': 15,  # white: card face
}
TRANSPARENT = '.'

ICON_32 = [
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    ".KKKKKKKKKKKKKKKKKKKKKKKKKKKKK..",
    ".KnnnnnnnnnnnnnnnnnnnnnnnnnnnKg.",
    ".KnnWWWWWWWWnnnnnnnnnnnnnnnnnKg.",
    ".KnnnnnnnnnnnnnnnnnnnnnnnnnnnKg.",
    ".KWWWWWWWWWWWWWWWWWWWWWWWWWWWKg.",
    ".KWWWWWWWWWWWWWWWWWWWWWWWWWWWKg.",
    ".KWWgggggggggWWWWWWWWWWWWWWWWKg.",
    ".KWWgaaaaaaagWWWWWWWWWWWWWWWWKg.",
    ".KWWgaannnaagWWKKKKKKKKKKKKWWKg.",
    ".KWWgannnnnagWWKKKKKKKKKKKKWWKg.",
    ".KWWgannnnnagWWWWWWWWWWWWWWWWKg.",
    ".KWWgannnnnagWWWWWWWWWWWWWWWWKg.",
    ".KWWgaannnaagWWggggggggggggWWKg.",
    ".KWWgaaaaaaagWWWWWWWWWWWWWWWWKg.",
    ".KWWgannnnnagWWWWWWWWWWWWWWWWKg.",
    ".KWWgnnnnnnngWWggggggggggWWWWKg.",
    ".KWWgnnnnnnngWWWWWWWWWWWWWWWWKg.",
    ".KWWgggggggggWWWWWWWWWWWWWWWWKg.",
    ".KWWWWWWWWWWWWWWWWWWWWWWWWWWWKg.",
    ".KWWWWWWWWWWWWWWWWWWWWWWWWWWWKg.",
    ".KKKKKKKKKKKKKKKKKKKKKKKKKKKKKg.",
    "..ggggggggggggggggggggggggggggg.",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
]

ICON_16 = [
    "................",
    "................",
    "KKKKKKKKKKKKKKK.",
    "KnnnnnnnnnnnnnKg",
    "KWWWWWWWWWWWWWKg",
    "KWaaaaaWWWWWWWKg",
    "KWannnaWKKKKKWKg",
    "KWannnaWWWWWWWKg",
    "KWaaaaaWgggggWKg",
    "KWannnaWWWWWWWKg",
    "KWnnnnnWggggWWKg",
    "KWWWWWWWWWWWWWKg",
    "KKKKKKKKKKKKKKKg",
    ".ggggggggggggggg",
    "................",
    "................",
]


def check_map(rows, size):
    if len(rows) != size:
        sys.exit("%dx%d map has %d rows" % (size, size, len(rows)))
    for y, row in enumerate(rows):
        if len(row) != size:
            sys.exit("%dx%d map row %d is %d wide" % (size, size, y, len(row)))
        for x, ch in enumerate(row):
            if ch != TRANSPARENT and ch not in COLOURS:
                sys.exit("%dx%d map row %d col %d: unknown colour %r" % (size, size, y, x, ch))


def image_data(rows):
    """BITMAPINFOHEADER, palette, XOR bitmap and AND mask of one image."""
    size = len(rows)
    check_map(rows, size)

    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor_size = xor_stride * size
    and_size = and_stride * size

    header = struct.pack("<IiiHHIIiiII",
                         40,             # biSize
                         size,           # biWidth
                         size * 2,       # biHeight: XOR and AND stacked
                         1,              # biPlanes
                         4,              # biBitCount
                         0,              # biCompression: BI_RGB
                         xor_size + and_size,
                         0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)

    xor_rows = []
    and_rows = []
    for row in reversed(rows):  # bottom-up
        nibbles = [0 if ch == TRANSPARENT else COLOURS[ch] for ch in row]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(line.ljust(xor_stride, b"\0"))

        bits = 0
        for ch in row:
            bits = (bits << 1) | (1 if ch == TRANSPARENT else 0)
        line = bits.to_bytes(size // 8, "big")
        and_rows.append(line.ljust(and_stride, b"\0"))

    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def build_icon():
    images = [(32, image_data(ICON_32)), (16, image_data(ICON_16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main(argv):
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "palvorine.ico")
    data = build_icon()
    if argv[1:] == ["--check"]:
        with open(default, "rb") as f:
            if f.read() != data:
                print("%s is out of date: run make_icon.py" % default, file=sys.stderr)
                return 1
        return 0
    if len(argv) > 2:
        print("usage: make_icon.py [OUT | --check]", file=sys.stderr)
        return 2
    path = argv[1] if len(argv) == 2 else default
    with open(path, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
