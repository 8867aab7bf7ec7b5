#!/usr/bin/env python3
"""Draws the program icon: a small window holding a grid of three readings.

The image is made of the 16 standard colours only, plus transparency, at 32 x 32 and 16 x 16 pixels.
Run from anywhere; it writes zarare-16.png, zarare-32.png, zarare.ico and zarare.svg (the 32-pixel
image as squares, for desktops that scale icons) beside itself. The ICO holds
both sizes as 4-bit (16-colour) bitmaps with a transparency mask; the PNGs hold a 16-colour palette and
one transparent entry.
"""
import os
import struct
import zlib

# The 16 standard colours.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]
BLACK, NAVY, SILVER, GREY, RED, LIME, YELLOW, WHITE = 0, 4, 7, 8, 9, 10, 11, 15
CLEAR = None


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[CLEAR] * size for _ in range(size)]

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle from (x0, y0) to (x1, y1), both corners included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.pixels[y][x] = colour

    def outline(self, x0, y0, x1, y1, colour):
        self.fill(x0, y0, x1, y0, colour)
        self.fill(x0, y1, x1, y1, colour)
        self.fill(x0, y0, x0, y1, colour)
        self.fill(x1, y0, x1, y1, colour)


def draw(size):
    """A window with a navy title bar; below it three rows, each a host cell on the left and a reading
    on a dark display on the right, drawn as a bar in green, yellow and red."""
    c = Canvas(size)
    if size == 32:
        left, top, right, bottom = 1, 2, 30, 29
        title_bottom, title_mark = 7, (4, 5, 14, 5)
        row_lines = [8, 15, 22]
        split = 11
        host_mark = (4, 8)
        bar_left, bar_ends = 14, [25, 21, 27]
        bar_height = 2
    else:
        left, top, right, bottom = 0, 1, 15, 14
        title_bottom, title_mark = 4, (2, 3, 7, 3)
        row_lines = [5, 8, 11]
        split = 5
        host_mark = (2, 3)
        bar_left, bar_ends = 7, [12, 10, 13]
        bar_height = 1
    c.fill(left, top, right, bottom, SILVER)
    c.fill(left + 1, top + 1, right - 1, title_bottom, NAVY)
    c.fill(*title_mark, WHITE)
    c.fill(split + 1, row_lines[0], right - 1, bottom - 1, BLACK)
    for y in row_lines:
        c.fill(left, y, split, y, BLACK)
        if y != row_lines[0]:
            c.fill(split + 1, y, right - 1, y, GREY)
    c.fill(split, row_lines[0], split, bottom, BLACK)
    row_bottoms = row_lines[1:] + [bottom]
    for y_line, y_next, bar_end, colour in zip(row_lines, row_bottoms, bar_ends, [LIME, YELLOW, RED]):
        first = y_line + (y_next - y_line - bar_height + 1) // 2
        c.fill(host_mark[0], first, host_mark[1], first + bar_height - 1, GREY)
        c.fill(bar_left, first, bar_end, first + bar_height - 1, colour)
    c.outline(left, top, right, bottom, BLACK)
    return c


def png(canvas):
    """An 8-bit palette PNG: the 16 colours and, last, a fully transparent entry."""
    transparent = len(PALETTE)
    raw = b"".join(
        b"\x00" + bytes(transparent if p is CLEAR else p for p in row) for row in canvas.pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    size = canvas.size
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(rgb) for rgb in PALETTE) + b"\x00\x00\x00")
            + chunk(b"tRNS", b"\xff" * len(PALETTE) + b"\x00")
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico_image(canvas):
    """One ICO entry: a 4-bit bitmap (rows bottom up, padded to 4 bytes) and its 1-bit mask."""
    size = canvas.size
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    colour_rows, mask_rows = [], []
    for row in reversed(canvas.pixels):
        indexes = [0 if p is CLEAR else p for p in row]
        line = bytes((indexes[i] << 4) | indexes[i + 1] for i in range(0, size, 2))
        colour_rows.append(line + b"\x00" * (-len(line) % 4))
        bits = 0
        mask = bytearray()
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is CLEAR else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        mask_rows.append(bytes(mask) + b"\x00" * (-len(mask) % 4))
    return header + palette + b"".join(colour_rows) + b"".join(mask_rows)


def ico(canvases):
    images = [ico_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.size, c.size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def svg(canvas):
    """The image as one square per pixel, runs of a colour within a row merged, crisp at any size."""
    size = canvas.size
    rects = []
    for y, row in enumerate(canvas.pixels):
        x = 0
        while x < size:
            p = row[x]
            run = 1
            while x + run < size and row[x + run] == p:
                run += 1
            if p is not CLEAR:
                r, g, b = PALETTE[p]
                rects.append('<rect x="%d" y="%d" width="%d" height="1" fill="#%02x%02x%02x"/>' % (x, y, run, r, g, b))
            x += run
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d" '
            'shape-rendering="crispEdges">\n%s\n</svg>\n' % (size, size, size, size, "\n".join(rects)))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    canvases = [draw(32), draw(16)]
    for c in canvases:
        with open(os.path.join(here, "zarare-%d.png" % c.size), "wb") as f:
            f.write(png(c))
    with open(os.path.join(here, "zarare.ico"), "wb") as f:
        f.write(ico(canvases))
    with open(os.path.join(here, "zarare.svg"), "w") as f:
        f.write(svg(canvases[0]))
    for c in canvases:
        print("\n".join("".join("." if p is CLEAR else "0123456789ABCDEF"[p] for p in row)
                        for row in c.pixels))
        print()


if __name__ == "__main__":
    main()
