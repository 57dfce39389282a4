#!/usr/bin/env python3
"""Draws the QP-R60 Utility icon, a receipt printer with a receipt coming out of it, as a
256x256 PNG with an alpha channel (standard library only).

    python3 packaging/make_icon.py packaging/qp60util.png
"""
import struct
import sys
import zlib

SIZE = 256
SAMPLES = 4  # samples per pixel along each axis, for smooth edges


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def receipt(x0, x1, y_top, y_bottom, tooth):
    # Paper with a torn, saw-toothed top edge.
    def inside(x, y):
        if not (x0 <= x <= x1 and y <= y_bottom):
            return False
        phase = ((x - x0) % (2 * tooth)) / tooth
        edge = y_top + tooth * (phase if phase <= 1 else 2 - phase)
        return y >= edge
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


# Shapes painted in order, later ones on top: (test, RGBA).
SHAPES = [
    (rounded_rect(28, 112, 228, 226, 22), (0x37, 0x3d, 0x48, 255)),   # body
    (rounded_rect(28, 112, 228, 150, 22), (0x55, 0x5d, 0x6b, 255)),   # top cover
    (rect(28, 136, 228, 150), (0x55, 0x5d, 0x6b, 255)),
    (rect(60, 126, 196, 134), (0x1b, 0x1f, 0x26, 255)),               # paper slot
    (receipt(70, 186, 18, 130, 8), (0xfb, 0xfb, 0xf7, 255)),          # receipt
    (rect(84, 48, 172, 54), (0x9a, 0xa3, 0xb0, 255)),                 # printed lines
    (rect(84, 66, 152, 72), (0x9a, 0xa3, 0xb0, 255)),
    (rect(84, 84, 164, 90), (0x9a, 0xa3, 0xb0, 255)),
    (rect(84, 102, 128, 108), (0x9a, 0xa3, 0xb0, 255)),
    (rect(140, 102, 172, 108), (0x35, 0x35, 0x35, 255)),
    (rect(60, 176, 150, 184), (0x4b, 0x52, 0x5e, 255)),               # front panel
    (rect(60, 194, 130, 202), (0x4b, 0x52, 0x5e, 255)),
    (circle(196, 190, 11), (0x1f, 0x2a, 0x22, 255)),                  # status lamp
    (circle(196, 190, 8), (0x3c, 0xd0, 0x6a, 255)),
]


def pixel(px, py):
    total = [0.0, 0.0, 0.0, 0.0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = px + (sx + 0.5) / SAMPLES
            y = py + (sy + 0.5) / SAMPLES
            colour = (0, 0, 0, 0)
            for inside, rgba in SHAPES:
                if inside(x, y):
                    colour = rgba
            alpha = colour[3] / 255.0
            total[0] += colour[0] * alpha
            total[1] += colour[1] * alpha
            total[2] += colour[2] * alpha
            total[3] += alpha
    n = SAMPLES * SAMPLES
    a = total[3] / n
    if a == 0:
        return (0, 0, 0, 0)
    return tuple(round(c / total[3]) for c in total[:3]) + (round(a * 255),)


def png(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py <output.png>")
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    with open(sys.argv[1], "wb") as out:
        out.write(png(rows))


if __name__ == "__main__":
    main()
