#!/usr/bin/env python3
"""Draws the program's icon (Vetrin.ico, 16 and 32 pixels) and the tool bar bitmap
(Toolbar.bmp, eight 16 x 15 buttons: new, open, save, cut, copy, paste, print, about) from the
pixel pictures below. Standard library only; run it from any directory after changing a picture.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Light grey is the tool bar's transparent colour: the tool bar shows the button face there.
PALETTE = {
    '.': (192, 192, 192),
    'k': (0, 0, 0),
    'w': (255, 255, 255),
    'g': (128, 128, 128),
    'y': (255, 255, 0),
    'o': (128, 128, 0),
    'b': (0, 0, 128),
    'B': (0, 0, 255),
    'r': (192, 0, 0),
    'c': (0, 128, 128),
}

BUTTONS = [
    # new: a page with a folded corner
    """
................
...kkkkkkk......
...kwwwwwkk.....
...kwwwwwkwk....
...kwwwwwkkkk...
...kwwwwwwwwk...
...kwwwwwwwwk...
...kwwwwwwwwk...
...kwwwwwwwwk...
...kwwwwwwwwk...
...kwwwwwwwwk...
...kwwwwwwwwk...
...kwwwwwwwwk...
...kkkkkkkkkk...
................
""",
    # open: a folder
    """
................
................
..........kkk...
.........k...k.k
..............kk
.kkk.........kkk
kyyykkkkkkk.....
kywyyyyyyyk.....
kywykkkkkkkkkk..
kyykgoooooooook.
kywkgooooooook..
kykgoooooooook..
kkgoooooooook...
kkkkkkkkkkkk....
................
""",
    # save: a diskette
    """
................
.kkkkkkkkkkkkkk.
.kbbkwwwwwwkbbk.
.kbbkwwwwwwkbbk.
.kbbkwwwwwwkbbk.
.kbbkwwwwwwkbbk.
.kbbbkkkkkkbbbk.
.kbbbbbbbbbbbbk.
.kbbkkkkkkkkbbk.
.kbbkggggkgkbbk.
.kbbkggggkgkbbk.
.kbbkggggkgkbbk.
..kkkkkkkkkkkkk.
................
................
""",
    # cut: scissors
    """
................
....k.....k.....
....k.....k.....
....k.....k.....
....kk...kk.....
.....k...k......
.....kk.kk......
......kkk.......
.......k........
......bkb.......
....bbb.bbb.....
...b..b.b..b....
...b..b.b..b....
...b..b.b..b....
....bb...bb.....
""",
    # copy: two pages
    """
................
kkkkkk..........
kwwwwkk.........
kwkkwkwk........
kwwwwkkkkkkkk...
kwkkkkwwwwwkkk..
kwwwwkwkkkwkwk..
kwkkkkwwwwwkkkk.
kwwwwkwkkkkkkwk.
kkkkkkwwwwwwwwk.
.....kwkkkkkkwk.
.....kwwwwwwwwk.
.....kwkkkkkkwk.
.....kwwwwwwwwk.
.....kkkkkkkkkk.
""",
    # paste: a clipboard with a page
    """
................
.....kkkk.......
.kkkkyyyykkkk...
koookykkykooook.
kookkkkkkkkkook.
kookwwwwwwwwkok.
kookwkkkkkkwkok.
kookwwwwwwwwkok.
kookwkkkkkkwkok.
kookwwwwwwwwkok.
kookwkkkkwwwkok.
kookwwwwwwwwkok.
kookkkkkkkkkkok.
.kkkkkkkkkkkkk..
................
""",
    # print: a printer with a page
    """
................
....kkkkkkkk....
....kwwwwwwk....
....kwkkkkwk....
....kwwwwwwk....
..kkkkkkkkkkkk..
.kggggggggggggk.
.kgggggggggyygk.
.kggggggggggggk.
.kkkkkkkkkkkkkk.
.kggkwwwwwwkggk.
..kkkwkkkkwkkk..
....kwwwwwwk....
....kkkkkkkk....
................
""",
    # about: a question mark in a speech balloon
    """
................
....kkkkkkk.....
...kwwwwwwwk....
..kwwwbbbwwwk...
.kwwwbbwbbwwwk..
.kwwwwwwbbwwwk..
.kwwwwwbbwwwwk..
.kwwwwbbwwwwwk..
..kwwwbbwwwwk...
...kwwwwwwwk....
....kkwbbkk.....
.....kwbbk......
.....kwk........
.....kk.........
................
""",
]

# The icon: a dark teal tile with a white V and a Morse dot and dash.
ICON_32 = """
................................
..cccccccccccccccccccccccccccc..
.cccccccccccccccccccccccccccccc.
.cccccccccccccccccccccccccccccc.
.cccwwwwcccccccccccccccccwwwwccc
.cccwwwwcccccccccccccccccwwwwccc
.ccccwwwwcccccccccccccccwwwwcccc
.ccccwwwwcccccccccccccccwwwwcccc
.cccccwwwwcccccccccccccwwwwccccc
.cccccwwwwcccccccccccccwwwwccccc
.ccccccwwwwcccccccccccwwwwcccccc
.ccccccwwwwcccccccccccwwwwcccccc
.cccccccwwwwcccccccccwwwwccccccc
.cccccccwwwwcccccccccwwwwccccccc
.ccccccccwwwwcccccccwwwwcccccccc
.ccccccccwwwwcccccccwwwwcccccccc
.cccccccccwwwwcccccwwwwccccccccc
.cccccccccwwwwcccccwwwwccccccccc
.ccccccccccwwwwcccwwwwcccccccccc
.ccccccccccwwwwcccwwwwcccccccccc
.cccccccccccwwwwwwwwwccccccccccc
.ccccccccccccwwwwwwwcccccccccccc
.cccccccccccccwwwwwccccccccccccc
.cccccccccccccccccccccccccccccc.
.cccccccccccccccccccccccccccccc.
.ccccyyyyccccyyyyyyyyyyyyyyycccc
.ccccyyyyccccyyyyyyyyyyyyyyycccc
.ccccyyyyccccyyyyyyyyyyyyyyycccc
.cccccccccccccccccccccccccccccc.
.cccccccccccccccccccccccccccccc.
..cccccccccccccccccccccccccccc..
................................
"""

ICON_16 = """
................
.cccccccccccccc.
.cwwcccccccwwcc.
.ccwwcccccwwccc.
.ccwwcccccwwccc.
.cccwwcccwwcccc.
.cccwwcccwwcccc.
.ccccwwcwwccccc.
.ccccwwwwwccccc.
.cccccwwwcccccc.
.cccccccccccccc.
.cyycccyyyyyycc.
.cyycccyyyyyycc.
.cccccccccccccc.
.cccccccccccccc.
................
"""


def rows(picture):
    lines = [line for line in picture.strip('\n').split('\n')]
    return lines


def toolbar_bmp():
    pictures = [rows(p) for p in BUTTONS]
    width, height = 16 * len(pictures), 15
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up
        line = bytearray()
        for picture in pictures:
            for ch in picture[y].ljust(16, '.')[:16]:
                r, g, b = PALETTE[ch]
                line += bytes((b, g, r))
        line += b'\0' * (stride - len(line))
        pixels += line
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack('<2sIHHI', b'BM', 14 + len(header) + len(pixels), 0, 0,
                              14 + len(header))
    return file_header + header + pixels


def icon_image(picture, size):
    lines = rows(picture)
    assert len(lines) == size, (len(lines), size)
    xor = bytearray()
    and_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        bits = 0
        mask_line = bytearray(and_stride)
        for x, ch in enumerate(lines[y].ljust(size, '.')[:size]):
            if ch == '.':
                xor += bytes((0, 0, 0, 0))
                mask_line[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = PALETTE[ch]
                xor += bytes((b, g, r, 255))
        mask += mask_line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0,
                         0, 0)
    return header + xor + mask


def icon_file():
    images = [(32, icon_image(ICON_32, 32)), (16, icon_image(ICON_16, 16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return out


if __name__ == '__main__':
    with open(os.path.join(HERE, 'Toolbar.bmp'), 'wb') as f:
        f.write(toolbar_bmp())
    with open(os.path.join(HERE, 'Vetrin.ico'), 'wb') as f:
        f.write(icon_file())
