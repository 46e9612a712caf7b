#!/usr/bin/env python3
"""Draws the desktop program's icon and colour-picking cursor.

Writes app/res/tolvarinx.ico (16, 32 and 48 pixels, 32-bit with alpha) and
app/res/picker.cur (32 x 32 monochrome pipette, hot spot at its tip). The
output is deterministic; run it again after changing a shape and commit both
files.

Usage: python3 scripts/make_app_icons.py [output folder]
"""

import math
import os
import struct
import sys

# ---------------------------------------------------------------- geometry


def segment_distance(px, py, ax, ay, bx, by):
    """Distance from point p to the segment a-b."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    qx, qy = ax + t * dx, ay + t * dy
    return math.hypot(px - qx, py - qy)


def rounded_rect_inside(px, py, x0, y0, x1, y1, r):
    cx = min(max(px, x0 + r), x1 - r)
    cy = min(max(py, y0 + r), y1 - r)
    return math.hypot(px - cx, py - cy) <= r


def triangle_inside(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    p = (px, py)
    d1, d2, d3 = side(p, a, b), side(p, b, c), side(p, c, a)
    has_neg = d1 < 0 or d2 < 0 or d3 < 0
    has_pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (has_neg and has_pos)

# ---------------------------------------------------------------- the icon

# Colours as (red, green, blue).
TILE_TOP = (32, 128, 160)
TILE_BOTTOM = (16, 84, 120)
FRAME = (250, 250, 246)
SKY = (196, 232, 248)
SUN = (255, 200, 40)
HILL_BACK = (92, 172, 96)
HILL_FRONT = (48, 132, 64)
ARROW = (240, 112, 32)


def icon_colour(u, v):
    """Colour (r, g, b, a) of the icon at unit coordinates (u, v), 0..1 from the top-left."""
    if not rounded_rect_inside(u, v, 0.03, 0.03, 0.97, 0.97, 0.18):
        return (0, 0, 0, 0)
    # The arrow in the lower right: "smaller".
    if triangle_inside(u, v, (0.56, 0.62), (0.96, 0.62), (0.76, 0.94)):
        return ARROW + (255,)
    if 0.69 <= u <= 0.83 and 0.36 <= v <= 0.63:
        return ARROW + (255,)
    # The picture: a white frame holding sky, sun and two hills.
    if 0.14 <= u <= 0.70 and 0.16 <= v <= 0.64:
        if not (0.19 <= u <= 0.65 and 0.21 <= v <= 0.59):
            return FRAME + (255,)
        if v > 0.59 - 0.30 * math.exp(-((u - 0.52) / 0.10) ** 2):
            return HILL_FRONT + (255,)
        if v > 0.59 - 0.22 * math.exp(-((u - 0.30) / 0.12) ** 2):
            return HILL_BACK + (255,)
        if math.hypot(u - 0.31, v - 0.32) <= 0.06:
            return SUN + (255,)
        return SKY + (255,)
    t = v
    tile = tuple(round(TILE_TOP[i] * (1 - t) + TILE_BOTTOM[i] * t) for i in range(3))
    return tile + (255,)


def render_icon(size, samples=4):
    """Rows from the top of (r, g, b, a), box-filtered from samples x samples points."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    u = (x + (sx + 0.5) / samples) / size
                    v = (y + (sy + 0.5) / samples) / size
                    r, g, b, a = icon_colour(u, v)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(acc[i] / acc[3]) for i in range(3)) + (round(alpha),))
        rows.append(row)
    return rows


def and_mask(rows, transparent):
    """1-bit AND mask, bottom-up, rows padded to 4 bytes; bit set where transparent(pixel)."""
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, pixel in enumerate(row):
            if transparent(pixel):
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def icon_image(size):
    rows = render_icon(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    return header + bytes(pixels) + and_mask(rows, lambda p: p[3] < 128)


def write_icon(path, sizes=(16, 32, 48)):
    images = [icon_image(s) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)

# ---------------------------------------------------------------- the cursor

CURSOR_SIZE = 32
HOTSPOT = (2, 29)   # the pipette's tip, bottom left


def cursor_regions(x, y):
    """'dark', 'light' or None for the pipette at pixel centre (x + .5, y + .5)."""
    px, py = x + 0.5, y + 0.5
    # Rubber bulb at the top right, and the collar below it.
    if math.hypot(px - 25.0, py - 6.5) <= 4.8:
        return "dark"
    if segment_distance(px, py, 17.0, 10.0, 22.0, 15.0) <= 1.9:
        return "dark"
    if segment_distance(px, py, 19.5, 12.5, 24.0, 8.0) <= 1.8:
        return "dark"
    # Glass tube from the collar down to the tip.
    if segment_distance(px, py, 3.2, 28.8, 19.5, 12.5) <= 2.1:
        return "light"
    return None


def write_cursor(path):
    size = CURSOR_SIZE
    base = [[cursor_regions(x, y) for x in range(size)] for y in range(size)]
    # A one-pixel dark outline round the light tube keeps it visible on white.
    shape = [row[:] for row in base]
    for y in range(size):
        for x in range(size):
            if base[y][x] is not None:
                continue
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    nx, ny = x + dx, y + dy
                    if 0 <= nx < size and 0 <= ny < size and base[ny][nx] == "light":
                        shape[y][x] = "dark"
    # The tip pixel itself is dark so the hot spot is visible.
    shape[HOTSPOT[1]][HOTSPOT[0]] = "dark"

    # XOR bit 1 = white, AND bit 1 = transparent.
    stride = 4
    xor_bits = bytearray()
    for row in reversed(shape):
        line = bytearray(stride)
        for x, kind in enumerate(row):
            if kind == "light":
                line[x // 8] |= 0x80 >> (x % 8)
        xor_bits += line
    mask = and_mask(shape, lambda kind: kind is None)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    data = header + palette + bytes(xor_bits) + mask
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", size, size, 2, 0, HOTSPOT[0], HOTSPOT[1], len(data), 6 + 16)
    with open(path, "wb") as f:
        f.write(out + data)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "app", "res")
    os.makedirs(folder, exist_ok=True)
    write_icon(os.path.join(folder, "tolvarinx.ico"))
    write_cursor(os.path.join(folder, "picker.cur"))


if __name__ == "__main__":
    main()
