#!/usr/bin/env python3
"""Writes the monitor's icons as 16-colour .ico files, reproducibly.

monitor.ico (group 106): 32x32 and 16x16, a screen with a rising load graph.
gauge00.ico .. gauge11.ico (groups 108..119): 16x16, a bar gauge whose level
rises from empty (00) to full (11).
Run: python3 resources/icons/make_icons.py  (writes beside this script)
"""
import os
import struct

# The standard 16-colour palette (B, G, R, 0), indices used below.
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
    (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0),
    (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
BLACK, DARK_GREEN, SILVER, GREY, GREEN, WHITE = 0, 2, 7, 8, 10, 15
TRANSPARENT = None


def dib(pixels):
    """A 4-bit BMP image (header, palette, XOR rows, AND rows) for an icon entry."""
    size = len(pixels)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(packed.ljust((len(packed) + 3) // 4 * 4, b'\0'))
        bits = 0
        for x, p in enumerate(row):
            if p is TRANSPARENT:
                bits |= 1 << (size - 1 - x)
        mask = bits.to_bytes(size // 8, 'big')
        and_rows.append(mask.ljust((len(mask) + 3) // 4 * 4, b'\0'))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def ico(images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for pixels in images:
        blob = dib(pixels)
        size = len(pixels)
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b''.join(blobs)


def monitor(size):
    """A framed screen showing a green load line over a dark green baseline."""
    px = [[TRANSPARENT] * size for _ in range(size)]
    edge = size // 16
    bottom = size - 3 * edge
    for y in range(edge, bottom):
        for x in range(edge, size - edge):
            frame = y < 2 * edge or y >= bottom - edge or x < 2 * edge or x >= size - 2 * edge
            px[y][x] = SILVER if frame else BLACK
    for x in range(size // 4, size - size // 4):  # the stand
        for y in range(bottom, size - edge):
            px[y][x] = GREY if y < size - 2 * edge else SILVER
    inner_l, inner_r = 2 * edge + 1, size - 2 * edge - 1
    inner_t, inner_b = 2 * edge + 1, bottom - edge - 1
    height = inner_b - inner_t
    for x in range(inner_l, inner_r):
        px[inner_b][x] = DARK_GREEN
        t = (x - inner_l) / max(1, inner_r - inner_l - 1)
        level = 0.15 + 0.7 * t + 0.15 * (1 if (x // max(1, size // 8)) % 2 else -1) * t
        y = inner_b - int(height * min(1.0, max(0.0, level)))
        px[max(inner_t, y)][x] = GREEN
    return px


def gauge(level):
    """16x16: black face, dark green trough, bright green level of level/11."""
    px = [[BLACK] * 16 for _ in range(16)]
    for y in range(16):
        px[y][0] = px[y][15] = GREY
    for x in range(16):
        px[0][x] = px[15][x] = GREY
    top, bottom = 2, 14
    filled = round((bottom - top) * level / 11)
    for y in range(top, bottom):
        for x in range(4, 12):
            px[y][x] = GREEN if y >= bottom - filled else DARK_GREEN
    return px


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, 'monitor.ico'), 'wb') as f:
        f.write(ico([monitor(32), monitor(16)]))
    for level in range(12):
        with open(os.path.join(here, 'gauge%02d.ico' % level), 'wb') as f:
            f.write(ico([gauge(level)]))


if __name__ == '__main__':
    main()
