#!/usr/bin/env python3
"""Draws the program's icon, resources/XConv.ico: a 16x16 and a 32x32 image
in the 16 standard colours, a sheet of paper with a folded corner and a blue
X on it, and a yellow arrow for the path put in front.

    scripts/make-icon.py        (rewrites resources/XConv.ico)
"""
import os
import struct

# The 16 standard colours, in the order Windows gives them.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, SILVER, BLUE, YELLOW, OLIVE, WHITE = 0, 7, 12, 11, 3, 15
CLEAR = None


def draw(size):
    """Returns rows top to bottom of palette indices, CLEAR for transparent."""
    k = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]

    def s(v):
        return int(round(v * k))

    left, top, right, bottom, fold = s(5), s(1), s(26), s(30), s(7)
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x - (right - fold) > y - top:  # cut off by the folded corner
                continue
            edge = x in (left, right) or y in (top, bottom) or x - (right - fold) == y - top
            px[y][x] = BLACK if edge else WHITE
    for i in range(1, fold):  # the folded-over corner
        for x in range(right - fold + 1, right - fold + i):
            px[top + i][x] = SILVER
    for y in range(top, top + fold + 1):
        px[y][right - fold] = BLACK
    for x in range(right - fold, right + 1):
        px[top + fold][x] = BLACK

    # The X: two thick strokes.
    lo, hi, w = s(9), s(21), max(2, s(3))
    for t in range(lo, hi + 1):
        for d in range(w):
            y = t + s(1)
            for x in (t + d, lo + hi - t + d):
                if left < x < right and top < y < bottom:
                    px[y][x] = BLUE

    # The arrow along the bottom, pointing into the sheet.
    ay, head = s(26), max(2, s(4))
    for x in range(s(1), s(14)):
        px[ay][x] = YELLOW
        if size > 16:
            px[ay - 1][x] = px[ay + 1][x] = YELLOW
    for i in range(head + 1):
        for y in range(ay - head + i, ay + head - i + 1):
            x = s(14) + i
            px[y][x] = OLIVE if i == head or abs(y - ay) == head - i else YELLOW
    return px


def image(size):
    """A DIB as an icon holds it: header, palette, colour bits, mask bits,
    rows bottom up, each padded to four bytes."""
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    colour, mask = b'', b''
    for row in reversed(px):
        bits = bytes(((row[x] or 0) << 4) | (row[x + 1] or 0) for x in range(0, size, 2))
        colour += bits + b'\0' * (-len(bits) % 4)
        m = 0
        for v in row:
            m = (m << 1) | (v is CLEAR)
        bits = m.to_bytes(size // 8, 'big')
        mask += bits + b'\0' * (-len(bits) % 4)
    return header + palette + colour + mask


def main():
    images = [image(16), image(32)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'resources', 'XConv.ico')
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
