#!/usr/bin/env python3
"""Draws the toolbar strip and the application icons of app/res.

The images are kept as text so that they can be reviewed and changed in a
diff; run this script again after editing a picture and commit its output.
"""

import os
import struct
import sys

# One character per pixel.  '.' is the toolbar's button face (light grey),
# which CreateToolbarEx maps to the system button colour; in icons it is
# transparent.
PALETTE = {
    '.': (192, 192, 192),
    'k': (0, 0, 0),
    'g': (128, 128, 128),
    's': (160, 160, 164),
    'w': (255, 255, 255),
    'r': (255, 0, 0),
    'R': (128, 0, 0),
    'b': (0, 0, 255),
    'B': (0, 0, 128),
    'y': (255, 255, 0),
    'Y': (128, 128, 0),
    'l': (0, 255, 0),
    'G': (0, 128, 0),
    'c': (0, 255, 255),
    'C': (0, 128, 128),
    'p': (255, 160, 200),
    'o': (255, 128, 0),
}

TOOLBAR = [
    # 0: IEEE1284 connect - cable into a 25-pin parallel plug
    [
        "................",
        "......kkkk......",
        "......kggk......",
        "......kggk......",
        "....kkkkkkkk....",
        "....kwwwwwsk....",
        "kkkkkkkkkkkkkkkk",
        "kwwwwwwwwwwwwwsk",
        "kwykykykykykykgk",
        ".kwwwwwwwwwwwsk.",
        ".kwykykykykykgk.",
        "..kwwwwwwwwwsk..",
        "..kgggggggggsk..",
        "...kkkkkkkkkk...",
        "................",
        "................",
    ],
    # 1: USB connect - the trident
    [
        ".......B........",
        "......BBB.......",
        ".....BBBBB......",
        ".......B........",
        ".BB....B...BBB..",
        "BBBB...B...BBB..",
        "BBBB...B...BBB..",
        ".BB....B....B...",
        "..B....B....B...",
        "...B...B...B....",
        "....B..B..B.....",
        ".....BBBBB......",
        ".......B........",
        "......BBB.......",
        ".....BBBBB......",
        "......BBB.......",
    ],
    # 2: TCP/IP connect - globe
    [
        "................",
        ".....kkkkkk.....",
        "...kkbbGbbbkk...",
        "..kbbGGGbbbbbk..",
        "..kbGGGGGbbGGk..",
        ".kbbbGGGGbGGGbk.",
        ".kbbbbGGbbbGGbk.",
        ".kbbbbbGbbbbGbk.",
        ".kbbbbbGGGbbbbk.",
        ".kbbbbbbGGGbbbk.",
        ".kbbbbbbGGbbbbk.",
        "..kbbbbbGbbbbk..",
        "..kbbbbbbbbbbk..",
        "...kkbbbbbbkk...",
        ".....kkkkkk.....",
        "................",
    ],
    # 3: IEEE1394 connect - three arms meeting in one node
    [
        "................",
        ".RRR........RRR.",
        ".RrR........RrR.",
        ".RRRR......RRRR.",
        "....RR....RR....",
        ".....RR..RR.....",
        "......RRRR......",
        "......RrrR......",
        "......RrrR......",
        "......RRRR......",
        ".......RR.......",
        ".......RR.......",
        ".......RR.......",
        "......RRRR......",
        "......RrrR......",
        "......RRRR......",
    ],
    # 4: RS232C connect - 9-pin D-sub face
    [
        "................",
        "................",
        "................",
        "kkkkkkkkkkkkkkkk",
        "kwwwwwwwwwwwwwsk",
        "kwkwwkwwkwwkwwsk",
        "kwkykkykkykkykgk",
        "kwskwwwwwwwwwsgk",
        ".kwwwkwwkwwkwsk.",
        ".kwwykkykkykwgk.",
        "..kwwwwwwwwwsk..",
        "..kggggggggggk..",
        "...kkkkkkkkkk...",
        "................",
        "................",
        "................",
    ],
    # 5: disconnect - plug and socket pulled apart
    [
        "................",
        "..........r.....",
        "...........r....",
        ".....r......r...",
        "kk....r.........",
        "kk.kkkk.........",
        "kkkwwwwkk.......",
        "kkkwwwwkkkk.kkkk",
        "kkkwwwwkkkk.kkkk",
        "kkkwwwwkk.......",
        "kk.kkkk..kkkkkkk",
        "kk.......ggggggk",
        "......r..kkkkkkk",
        ".....r.....r....",
        "....r.......r...",
        ".............r..",
    ],
    # 6: copy - two overlapping pages
    [
        "kkkkkkk.........",
        "kwwwwwkk........",
        "kwkkkwkwk.......",
        "kwwwwwkkkk......",
        "kwkkkkwkkkkkkk..",
        "kwwwwwkwwwwwkkk.",
        "kwkkkkkwkkkwkwwk",
        "kwwwwwkwwwwwkkkk",
        "kwkkkkkwkkkkkwwk",
        "kwwwwwkwwwwwwwwk",
        "kkkkkkkwkkkkkkwk",
        "......kwwwwwwwwk",
        "......kwkkkkkkwk",
        "......kwwwwwwwwk",
        "......kkkkkkkkkk",
        "................",
    ],
    # 7: screen clear - eraser wiping a line
    [
        "................",
        "................",
        "........kkkkk...",
        ".......kpppppk..",
        "......kpppppkk..",
        ".....kpppppkbk..",
        "....kpppppkbbk..",
        "...kkkkkkkbbk...",
        "...kwwwwwkbk....",
        "...kwwwwwkk.....",
        "...kkkkkkk......",
        "................",
        "kkkkk...........",
        "................",
        "................",
        "................",
    ],
    # 8: preservation start - disk with a red dot
    [
        "kkkkkkkkkkkkkk..",
        "kBkwwwwwwwwkBk..",
        "kBkwwwwwwwwkBk..",
        "kBkwwwwwwwwkBk..",
        "kBkwwwwwwwwkBk..",
        "kBBkkkkkkkkBBk..",
        "kBBBBBBBBBBBBk..",
        "kBBssssssssBBk..",
        "kBBskkssrrrrB...",
        "kBBskksrrrrrrr..",
        "kBBskksrrrrrrr..",
        "kkkkkkkrrrrrrr..",
        ".......rrrrrrr..",
        "........rrrrr...",
        "................",
        "................",
    ],
    # 9: preservation end - disk with a square
    [
        "kkkkkkkkkkkkkk..",
        "kBkwwwwwwwwkBk..",
        "kBkwwwwwwwwkBk..",
        "kBkwwwwwwwwkBk..",
        "kBkwwwwwwwwkBk..",
        "kBBkkkkkkkkBBk..",
        "kBBBBBBBBBBBBk..",
        "kBBssssssssBBk..",
        "kBBskkskkkkkkkk.",
        "kBBskkskkkkkkkk.",
        "kBBskkskkkkkkkk.",
        "kkkkkkkkkkkkkkk.",
        "........kkkkkkk.",
        "........kkkkkkk.",
        "................",
        "................",
    ],
    # 10: stop sending - red octagon
    [
        "................",
        ".....kkkkkk.....",
        "....krrrrrrk....",
        "...krrrrrrrrk...",
        "..krrrrrrrrrrk..",
        ".krrrrrrrrrrrrk.",
        ".krrrrrrrrrrrrk.",
        ".krrwwwwwwwwrrk.",
        ".krrwwwwwwwwrrk.",
        ".krrrrrrrrrrrrk.",
        ".krrrrrrrrrrrrk.",
        "..krrrrrrrrrrk..",
        "...krrrrrrrrk...",
        "....krrrrrrk....",
        ".....kkkkkk.....",
        "................",
    ],
    # 11: USB job cancel - page struck out with a red cross
    [
        "..kkkkkkkk......",
        "..kwwwwwwkk.....",
        "..kwkkkkwkwk....",
        "..kwwwwwwkkkk...",
        "..kwkkkkkkkwk...",
        "..kwwwwwwwwwk...",
        "rr.wkkkkkkkw.rr.",
        ".rrwwwwwwwwwrr..",
        "..rrkkkkkkkrr...",
        "..krrwwwwwrrk...",
        "..kwkrrkrrkwk...",
        "..kwwwrrrwwwk...",
        "..kwkrrkrrkwk...",
        "..kwrrwwwrrwk...",
        "..krrkkkkkrrk...",
        ".rr.........rr..",
    ],
    # 12: file transfer - page with an arrow leaving it
    [
        "kkkkkkkk........",
        "kwwwwwwkk.......",
        "kwkkkkwkwk......",
        "kwwwwwwkkkk.....",
        "kwkkkkkkkwk.....",
        "kwwwwwwwwwk.....",
        "kwkkkkkkkwk.G...",
        "kwwwwwwwwwk.GG..",
        "kwkkkkGGGGGGGlG.",
        "kwwwwwGllllllllG",
        "kwkkkkGGGGGGGlG.",
        "kwwwwwwwwwk.GG..",
        "kwkkkkkkkwk.G...",
        "kwwwwwwwwwk.....",
        "kkkkkkkkkkk.....",
        "................",
    ],
    # 13: key input - keyboard
    [
        "................",
        "................",
        "................",
        "................",
        "kkkkkkkkkkkkkkkk",
        "kssssssssssssssk",
        "kswkwkwkwkwkwksk",
        "ksssssssssssssgk",
        "kswkwkwkwkwkwksk",
        "ksssssssssssssgk",
        "kswkwwwwwwwkwksk",
        "ksssssssssssssgk",
        "kggggggggggggggk",
        "kkkkkkkkkkkkkkkk",
        "................",
        "................",
    ],
    # 14: SCSI command - command chevron sent into a drive
    [
        "................",
        "..G.............",
        "..GG............",
        "..GlG...........",
        "..GllG..........",
        "..GlG...........",
        "..GG.....kkkkk..",
        "..G.....kGGGGGk.",
        "........kkkkkkk.",
        "kkkkkkkkkkkkkkkk",
        "kssssssssssssssk",
        "kswwwwwwwwwwwssk",
        "ksssssssssssslsk",
        "kggggggggggggggk",
        "kkkkkkkkkkkkkkkk",
        "................",
    ],
    # 15: spare - a small printer, the application's own glyph
    None,
]

PRINTER_16 = [
    "................",
    "....kkkkkkk.....",
    "....kwwwwwkk....",
    "....kwkkkwwk....",
    "....kwwwwwwk....",
    "..kkkkkkkkkkkk..",
    ".kssssssssssssk.",
    ".kwwwwwwwwwwwsk.",
    ".kssssssssGlssk.",
    ".ksssssssssssgk.",
    ".kgkkkkkkkkkkgk.",
    ".kgkwwwwwwwwkgk.",
    ".kkkwkkkkkwwkkk.",
    "....kwwwwwwwk...",
    "....kkkkkkkkk...",
    "................",
]
TOOLBAR[15] = PRINTER_16


def printer_32():
    """The 32x32 icon, drawn from rectangles so its proportions stay simple."""
    img = [['.'] * 32 for _ in range(32)]

    def rect(x0, y0, x1, y1, ch):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                img[y][x] = ch

    def frame(x0, y0, x1, y1, fill, edge='k'):
        rect(x0, y0, x1, y1, edge)
        rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)

    # Paper waiting in the feeder, with a few lines of text.
    frame(8, 1, 23, 12, 'w')
    for y in (4, 6, 8):
        rect(11, y, 20, y, 'g')
    # Body: top shade, front, lower shade.
    frame(2, 11, 29, 25, 's')
    rect(3, 12, 28, 13, 'w')
    rect(3, 22, 28, 24, 'g')
    rect(28, 12, 28, 24, 'g')
    # Paper slot and the printed sheet coming out of it.
    rect(6, 20, 25, 21, 'k')
    frame(8, 21, 23, 30, 'w')
    for y in (24, 26, 28):
        rect(11, y, 20, y, 'B')
    # Power lamp and buttons.
    rect(23, 15, 24, 16, 'l')
    rect(23, 17, 24, 17, 'G')
    rect(19, 15, 20, 16, 'k')
    return [''.join(row) for row in img]


def check(picture, size, name):
    if len(picture) != size or any(len(row) != size for row in picture):
        sys.exit(f"{name}: picture is not {size}x{size}")
    for row in picture:
        for ch in row:
            if ch not in PALETTE:
                sys.exit(f"{name}: unknown colour {ch!r}")


def write_bmp(path, rows):
    """8-bit bottom-up BMP with a colour table; rows are strings of PALETTE
    keys.  The toolbar maps colour-table entries (light grey to the button
    face and so on) to the system colours, which it cannot do for a
    bitmap without a colour table."""
    height = len(rows)
    width = len(rows[0])
    keys = list(PALETTE)
    index = {k: i for i, k in enumerate(keys)}
    table = bytearray()
    for k in keys:
        r, g, b = PALETTE[k]
        table += bytes((b, g, r, 0))
    stride = (width + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytes(index[ch] for ch in row)
        pixels += line + b'\0' * (stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 0,
                       len(pixels), 2835, 2835, len(keys), 0)
    offset = 14 + len(info) + len(table)
    head = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    with open(path, 'wb') as f:
        f.write(head + info + table + pixels)


def icon_image(picture):
    """One 32-bit icon image (header, colour and AND mask) of a picture."""
    size = len(picture)
    colour = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(picture):
        bits = 0
        for x, ch in enumerate(row):
            r, g, b = PALETTE[ch]
            if ch == '.':
                colour += bytes((0, 0, 0, 0))
                bits |= 1 << (size - 1 - x)
            else:
                colour += bytes((b, g, r, 255))
        line = bits.to_bytes((size + 7) // 8, 'big')
        mask += line + b'\0' * (mask_stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0,
                       len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + mask


def write_ico(path, pictures):
    images = [icon_image(p) for p in pictures]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for picture, data in zip(pictures, images):
        size = len(picture)
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32,
                           len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    res = os.path.join(top, 'app', 'res')
    os.makedirs(res, exist_ok=True)

    for i, picture in enumerate(TOOLBAR):
        check(picture, 16, f"toolbar image {i}")
    strip = []
    for y in range(16):
        strip.append(''.join(picture[y] for picture in TOOLBAR))
    write_bmp(os.path.join(res, 'toolbar.bmp'), strip)

    big = printer_32()
    check(big, 32, "icon 32")
    check(PRINTER_16, 16, "icon 16")
    write_ico(os.path.join(res, 'tarvex.ico'), [big, PRINTER_16])
    write_ico(os.path.join(res, 'tarvex_small.ico'), [PRINTER_16])


if __name__ == '__main__':
    main()
