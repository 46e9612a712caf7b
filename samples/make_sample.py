#!/usr/bin/env python3
"""Writes sample.bmp: a 96x64 8-bit palette picture (sky gradient, sun, hills,
a house) used by the README's first conversion. Run once; the BMP is committed."""
import math
import struct

W, H = 96, 64
palette = []


def colour(r, g, b):
    entry = (r, g, b)
    if entry not in palette:
        palette.append(entry)
    return palette.index(entry)


pixels = [[0] * W for _ in range(H)]
for y in range(H):
    t = y / (H - 1)
    sky = colour(int(40 + 120 * t), int(90 + 110 * t), int(200 + 50 * t))
    for x in range(W):
        pixels[y][x] = sky

sun = colour(255, 214, 64)
glow = colour(255, 236, 150)
for y in range(H):
    for x in range(W):
        d = math.hypot(x - 74, y - 14)
        if d < 8:
            pixels[y][x] = sun
        elif d < 10:
            pixels[y][x] = glow

for y in range(H):
    for x in range(W):
        far = 40 + 6 * math.sin(x / 9.0)
        near = 48 + 5 * math.sin(x / 13.0 + 2.0)
        if y > near:
            shade = int((y - near) * 3)
            pixels[y][x] = colour(40, max(90, 150 - shade), 50)
        elif y > far:
            pixels[y][x] = colour(90, 140, 90)

wall, roof, door, window = colour(220, 200, 170), colour(170, 50, 40), colour(110, 70, 40), colour(120, 190, 230)
for y in range(36, 52):
    for x in range(18, 40):
        pixels[y][x] = wall
for y in range(24, 36):
    half = (y - 24) + 1
    for x in range(29 - half, 29 + half):
        pixels[y][x] = roof
for y in range(43, 52):
    for x in range(26, 31):
        pixels[y][x] = door
for y in range(39, 44):
    for x in range(33, 38):
        pixels[y][x] = window

assert len(palette) <= 256
row_bytes = W
data = bytearray()
for y in reversed(range(H)):
    data.extend(pixels[y])
pal = bytearray()
for r, g, b in palette + [(0, 0, 0)] * (256 - len(palette)):
    pal.extend((b, g, r, 0))
offset = 14 + 40 + len(pal)
header = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
info = struct.pack('<IiiHHIIiiII', 40, W, H, 1, 8, 0, len(data), 2835, 2835, 256, 0)
with open('sample.bmp', 'wb') as f:
    f.write(header + info + pal + data)
print(len(palette), 'colours,', offset + len(data), 'bytes')
