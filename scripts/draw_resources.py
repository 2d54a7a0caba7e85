#!/usr/bin/env python3
"""Draws the program's own bitmaps. Usage: draw_resources.py OUTPUT_DIR

lumeva.ico: a print with a white border, a blue sky, a sun and green hills, at 16x16 and 32x32.
"""
import struct
import sys
from pathlib import Path


def icon_pixel(x, y, size):
    """RGBA of the icon at (x, y), y counted from the top, in a size x size square."""
    u = (x + 0.5) / size
    v = (y + 0.5) / size
    border = 2.0 / 32
    if u < border or v < border or u > 1 - border or v > 1 - border:
        return (90, 70, 50, 255)           # the print's dark edge
    if u < 4.0 / 32 or v < 4.0 / 32 or u > 28.0 / 32 or v > 28.0 / 32:
        return (250, 250, 245, 255)        # white border of the print
    hill1 = 0.70 - 0.18 * (1 - ((u - 0.35) / 0.45) ** 2)
    hill2 = 0.78 - 0.12 * (1 - ((u - 0.78) / 0.30) ** 2)
    if v > hill2:
        return (46, 125, 50, 255)
    if v > hill1:
        return (102, 187, 106, 255)
    if (u - 0.70) ** 2 + (v - 0.32) ** 2 < 0.11 ** 2:
        return (255, 193, 7, 255)          # sun
    t = (v - 4.0 / 32) / 0.6
    return (int(100 + 80 * t), int(160 + 60 * t), 240, 255)


def icon_image(size):
    """One ICO image: BITMAPINFOHEADER, 32-bit BGRA rows bottom-up, then the AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = icon_pixel(x, y, size)
            rows += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)
    return header + bytes(rows) + mask


def write_icon(path, sizes):
    images = [icon_image(s) for s in sizes]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    path.write_bytes(bytes(out))


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    write_icon(out / 'lumeva.ico', [16, 32])


if __name__ == '__main__':
    main()
