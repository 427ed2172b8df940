#!/usr/bin/env python3
"""Draws the program's bitmaps and icons into res/art/.

The files are committed; run this script again after changing a drawing:
    python3 res/tools/make_art.py
Only the standard library is used. Every picture is described as a grid of colour indices so
that a reader can see the drawing in the code.
"""
import os
import struct

ART = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "art")

# --- file writers -----------------------------------------------------------------------

def bmp_info_header(width, height, bits, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, 0, 2835, 2835, colours, 0)


def pack_rows_4bit(pixels, width, height):
    """Bottom-up rows of 4-bit indices, each row padded to 4 bytes."""
    out = bytearray()
    stride = ((width * 4 + 31) // 32) * 4
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(0, width, 2):
            hi = pixels[y][x]
            lo = pixels[y][x + 1] if x + 1 < width else 0
            row.append((hi << 4) | lo)
        row.extend(b"\0" * (stride - len(row)))
        out += row
    return bytes(out)


def palette_bytes(palette):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)


def write_bmp_4bit(path, pixels, palette):
    height, width = len(pixels), len(pixels[0])
    body = palette_bytes(palette) + pack_rows_4bit(pixels, width, height)
    info = bmp_info_header(width, height, 4, 16)
    offset = 14 + len(info) + 16 * 4
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(body), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + body)


def write_bmp_24bit(path, rgb_rows):
    height, width = len(rgb_rows), len(rgb_rows[0])
    stride = (width * 3 + 3) // 4 * 4
    body = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for (r, g, b) in rgb_rows[y]:
            row += bytes((b, g, r))
        row.extend(b"\0" * (stride - len(row)))
        body += row
    info = bmp_info_header(width, height, 24, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(body), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + bytes(body))


def icon_image(pixels, palette, transparent):
    """One 16-colour image of an .ico file: header, palette, colour bits, mask bits."""
    size = len(pixels)
    info = bmp_info_header(size, size * 2, 4, 16)
    colour = pack_rows_4bit([[0 if p == transparent else p for p in row] for row in pixels],
                            size, size)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(mask_stride)
        for x in range(size):
            if pixels[y][x] == transparent:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return info + palette_bytes(palette) + colour + bytes(mask)


def write_ico(path, images, palette, transparent):
    blobs = [icon_image(px, palette, transparent) for px in images]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for px, blob in zip(images, blobs):
        size = len(px)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


def canvas(width, height, fill):
    return [[fill] * width for _ in range(height)]


def rect(px, x0, y0, x1, y1, c):
    """Fills x0..x1, y0..y1 inclusive."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            px[y][x] = c

# --- bitmap 133: liquid-crystal digits --------------------------------------------------

LCD_PALETTE = [(0, 0, 0)] * 16
LCD_GROUND, LCD_GHOST, LCD_LIT = 1, 2, 3
LCD_PALETTE[LCD_GROUND] = (150, 170, 140)   # grey-green ground
LCD_PALETTE[LCD_GHOST] = (136, 156, 126)    # unlit segment, just visible
LCD_PALETTE[LCD_LIT] = (30, 40, 30)         # dark lit segment

CELL_W, CELL_H = 10, 15
# Segment rectangles inside a cell (x0, y0, x1, y1), two pixels thick.
SEGMENTS = {
    "a": (3, 1, 6, 2), "b": (7, 2, 8, 6), "c": (7, 8, 8, 12), "d": (3, 12, 6, 13),
    "e": (1, 8, 2, 12), "f": (1, 2, 2, 6), "g": (3, 7, 6, 7),
}
DIGIT_SEGMENTS = ["abcdef", "bc", "abdeg", "abcdg", "bcfg", "acdfg", "acdefg", "abc",
                  "abcdefg", "abcdfg"]


def digit_strip():
    # Cell 0 blank, cells 1..10 the digits 0..9, cell 11 the minus sign.
    lit_sets = [""] + DIGIT_SEGMENTS + ["g"]
    px = canvas(CELL_W * len(lit_sets), CELL_H, LCD_GROUND)
    for cell, lit in enumerate(lit_sets):
        for name, (x0, y0, x1, y1) in SEGMENTS.items():
            colour = LCD_LIT if name in lit else LCD_GHOST
            rect(px, cell * CELL_W + x0, y0, cell * CELL_W + x1, y1, colour)
    return px

# --- bitmap 130: drop-down arrows -------------------------------------------------------

ARROW_HALF, ARROW_H = 11, 15
ARROW_DIM = (90, 110, 100)
ARROW_LIGHT = (170, 196, 184)


def arrow_strip():
    rows = [[(0, 0, 0)] * (2 * ARROW_HALF) for _ in range(ARROW_H)]
    for half, colour in ((0, ARROW_DIM), (1, ARROW_LIGHT)):
        centre = half * ARROW_HALF + ARROW_HALF // 2
        for step in range(5):                 # a down-pointing triangle, 9 pixels wide
            for x in range(centre - 4 + step, centre + 5 - step):
                rows[5 + step][x] = colour
    return rows

# --- icons 128 and 129 ------------------------------------------------------------------

ICON_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_CYAN, GREY, SILVER, WHITE, TEAL_LIGHT, YELLOW = 0, 6, 8, 7, 15, 14, 11
CLEAR = 5  # a colour the drawings never use marks transparent pixels


def keyboard_icon(size):
    """A small synthesizer: a dark cyan panel with a display above a row of keys."""
    s = size / 32
    px = canvas(size, size, CLEAR)
    rect(px, 0, int(6 * s), size - 1, size - int(5 * s), BLACK)             # outline
    rect(px, 1, int(7 * s), size - 2, size - int(6 * s), DARK_CYAN)         # panel
    rect(px, int(4 * s), int(9 * s), int(14 * s), int(12 * s), TEAL_LIGHT)  # display
    rect(px, int(18 * s), int(9 * s), int(20 * s), int(11 * s), YELLOW)     # knobs
    rect(px, int(24 * s), int(9 * s), int(26 * s), int(11 * s), YELLOW)
    top, bottom = int(15 * s), size - int(7 * s)
    rect(px, 2, top, size - 3, bottom, WHITE)                               # white keys
    key = max(2, int(4 * s))
    for x in range(2 + key, size - 3, key):
        rect(px, x, top, x, bottom, GREY)                                   # key gaps
    for i, x in enumerate(range(2 + key - 1, size - 4, key)):
        if i % 7 not in (2, 6):                                             # black keys
            rect(px, x, top, min(x + max(1, key // 2), size - 3), top + int(5 * s), BLACK)
    return px


def document_icon(size):
    """A sheet with a folded corner and a sine-like wave on it."""
    s = size / 32
    px = canvas(size, size, CLEAR)
    x0, x1, y0, y1 = int(6 * s), size - int(6 * s), 1, size - 2
    rect(px, x0, y0, x1, y1, BLACK)
    rect(px, x0 + 1, y0 + 1, x1 - 1, y1 - 1, WHITE)
    fold = int(6 * s)
    for i in range(fold):
        for x in range(x1 - fold + i + 1, x1 + 1):
            px[y0 + i][x] = CLEAR
        px[y0 + i][x1 - fold + i] = BLACK
    rect(px, x1 - fold, y0 + 1, x1 - fold, y0 + fold, SILVER)
    wave = [0, 1, 2, 2, 3, 3, 3, 2, 2, 1, 0, -1, -2, -2, -3, -3, -3, -2, -2, -1]
    mid = size // 2 + int(2 * s)
    for i, x in enumerate(range(x0 + 2, x1 - 1)):
        dy = round(wave[(i * 20 // max(1, x1 - x0 - 3)) % 20] * s * 1.5)
        px[mid - dy][x] = DARK_CYAN
    return px


def main():
    os.makedirs(ART, exist_ok=True)
    write_bmp_4bit(os.path.join(ART, "digits.bmp"), digit_strip(), LCD_PALETTE)
    write_bmp_24bit(os.path.join(ART, "arrows.bmp"), arrow_strip())
    write_ico(os.path.join(ART, "zumbrel.ico"), [keyboard_icon(32)], ICON_PALETTE, CLEAR)
    write_ico(os.path.join(ART, "document.ico"), [document_icon(32), document_icon(16)],
              ICON_PALETTE, CLEAR)


if __name__ == "__main__":
    main()
