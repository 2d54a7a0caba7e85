#!/usr/bin/env python3
"""Draws the program's own bitmaps. Usage: draw_resources.py OUTPUT_DIR

lumeva.ico: a print with a white border, a blue sky, a sun and green hills, at 16x16 and 32x32.
toolbar.bmp: 25 cells of 32x32 glyphs on magenta (the transparent colour of the image lists).
splash.bmp: the 448x189 start-up picture.
product.bmp, maker.bmp: the two link pictures at the bottom of the toolbar (138x61, 138x46).

Shapes are drawn at several samples per pixel and averaged; in the toolbar strip a pixel that a
shape covers only in part is blended with a light grey, one it does not cover stays magenta.
"""
import math
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



# ---- a small supersampling canvas -------------------------------------------------------------

class Canvas:
    """width x height pixels of `samples` x `samples` sub-pixels; None where nothing is drawn."""

    def __init__(self, width, height, samples=4, background=None):
        self.width, self.height, self.s = width, height, samples
        self.sub = [[background] * (width * samples) for _ in range(height * samples)]

    def fill(self, x0, y0, x1, y1, inside, colour):
        """Paints the sub-pixels of the box (pixel units) whose centre satisfies inside(x, y);
        colour is an (r, g, b) or a function of (x, y)."""
        s = self.s
        sx0, sy0 = max(int(math.floor(x0 * s)), 0), max(int(math.floor(y0 * s)), 0)
        sx1 = min(int(math.ceil(x1 * s)), self.width * s)
        sy1 = min(int(math.ceil(y1 * s)), self.height * s)
        painter = colour if callable(colour) else None
        for sy in range(sy0, sy1):
            y = (sy + 0.5) / s
            row = self.sub[sy]
            for sx in range(sx0, sx1):
                x = (sx + 0.5) / s
                if inside(x, y):
                    row[sx] = painter(x, y) if painter else colour

    # Shapes, in pixel coordinates.
    def rect(self, x0, y0, x1, y1, colour):
        self.fill(x0, y0, x1, y1, lambda x, y: True, colour)

    def round_rect(self, x0, y0, x1, y1, r, colour):
        def inside(x, y):
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self.fill(x0, y0, x1, y1, inside, colour)

    def frame(self, x0, y0, x1, y1, w, colour, r=0.0):
        def inside(x, y):
            if r > 0:
                cx = min(max(x, x0 + r), x1 - r)
                cy = min(max(y, y0 + r), y1 - r)
                d = math.hypot(x - cx, y - cy)
                if (x < x0 + r or x > x1 - r) and (y < y0 + r or y > y1 - r):
                    return r - w <= d <= r
            return x <= x0 + w or x >= x1 - w or y <= y0 + w or y >= y1 - w
        self.fill(x0, y0, x1, y1, inside, colour)

    def circle(self, cx, cy, r, colour):
        self.fill(cx - r, cy - r, cx + r, cy + r, lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def ring(self, cx, cy, r, w, colour):
        lo, hi = (r - w / 2) ** 2, (r + w / 2) ** 2
        self.fill(cx - r - w, cy - r - w, cx + r + w, cy + r + w,
                  lambda x, y: lo <= (x - cx) ** 2 + (y - cy) ** 2 <= hi, colour)

    def line(self, x0, y0, x1, y1, w, colour):
        dx, dy = x1 - x0, y1 - y0
        length2 = dx * dx + dy * dy or 1e-9
        half2 = (w / 2) ** 2

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
            return (x - x0 - t * dx) ** 2 + (y - y0 - t * dy) ** 2 <= half2
        self.fill(min(x0, x1) - w, min(y0, y1) - w, max(x0, x1) + w, max(y0, y1) + w, inside, colour)

    def polyline(self, points, w, colour):
        for a, b in zip(points, points[1:]):
            self.line(a[0], a[1], b[0], b[1], w, colour)

    def arc(self, cx, cy, r, start, end, w, colour):
        """Degrees, counter-clockwise from the right with y up, from start to end."""
        lo, hi = (r - w / 2) ** 2, (r + w / 2) ** 2
        span = (end - start) % 360 or 360

        def inside(x, y):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if not lo <= d2 <= hi:
                return False
            a = math.degrees(math.atan2(cy - y, x - cx))
            return (a - start) % 360 <= span
        self.fill(cx - r - w, cy - r - w, cx + r + w, cy + r + w, inside, colour)

    def polygon(self, points, colour):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]

        def inside(x, y):
            c = False
            j = len(points) - 1
            for i in range(len(points)):
                xi, yi = points[i]
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        self.fill(min(xs), min(ys), max(xs), max(ys), inside, colour)

    def arrow_head(self, tip, direction, size, colour):
        """A filled triangle pointing along `direction` (degrees, y up) with its tip at `tip`."""
        a = math.radians(direction)
        ux, uy = math.cos(a), -math.sin(a)
        bx, by = tip[0] - ux * size, tip[1] - uy * size
        px, py = -uy * size * 0.6, ux * size * 0.6
        self.polygon([tip, (bx + px, by + py), (bx - px, by - py)], colour)

    def text(self, x, y, string, height, w, colour, spacing=0.18):
        """Stroke letters of STROKES, `height` pixels for a capital, starting at (x, y) top-left."""
        for ch in string:
            strokes, advance = STROKES.get(ch, ([], 0.5))
            for stroke in strokes:
                if stroke[0] == 'arc':
                    _, cx, cy, r, a0, a1 = stroke
                    self.arc(x + cx * height, y + cy * height, r * height, a0, a1, w, colour)
                else:
                    self.polyline([(x + px * height, y + py * height) for px, py in stroke], w, colour)
            x += (advance + spacing) * height
        return x

    def pixels(self, transparent=None, halo=(232, 232, 232), threshold=0.2):
        """Rows of (r, g, b): the average of the sub-pixels; with `transparent`, pixels covered
        less than `threshold` take that colour and the others are blended with `halo`."""
        s = self.s
        out = []
        for py in range(self.height):
            row = []
            for px in range(self.width):
                r = g = b = n = 0
                for sy in range(py * s, py * s + s):
                    for c in self.sub[sy][px * s:px * s + s]:
                        if c is not None:
                            r += c[0]; g += c[1]; b += c[2]; n += 1
                total = s * s
                if n == 0 or (transparent is not None and n < threshold * total):
                    row.append(transparent if transparent is not None else (0, 0, 0))
                    continue
                rest = total - n
                base = halo if transparent is not None else (0, 0, 0)
                row.append(tuple(int(round((v + base[k] * rest) / total)) for k, v in enumerate((r, g, b))))
            out.append(row)
        return out


def write_bmp(path, rows):
    """A 24-bit bottom-up Windows bitmap."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        data += line
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    path.write_bytes(header + info + bytes(data))


# Stroke letters: unit = capital height, y down; ('arc', cx, cy, r, start, end) or point lists.
STROKES = {
    'L': ([[(0, 0), (0, 1), (0.55, 1)]], 0.55),
    'D': ([[(0, 0), (0, 1)], [(0, 0), (0.25, 0)], [(0, 1), (0.25, 1)], ('arc', 0.25, 0.5, 0.5, -90, 90)], 0.75),
    'R': ([[(0, 1), (0, 0), (0.35, 0)], ('arc', 0.35, 0.25, 0.25, -90, 90), [(0.35, 0.5), (0, 0.5)],
           [(0.3, 0.5), (0.6, 1)]], 0.62),
    'P': ([[(0, 1), (0, 0), (0.35, 0)], ('arc', 0.35, 0.25, 0.25, -90, 90), [(0.35, 0.5), (0, 0.5)]], 0.6),
    'a': ([('arc', 0.25, 0.7, 0.25, 0, 360), [(0.5, 0.42), (0.5, 1)]], 0.5),
    'c': ([('arc', 0.25, 0.7, 0.25, 45, 315)], 0.45),
    'd': ([('arc', 0.25, 0.7, 0.25, 0, 360), [(0.5, 0), (0.5, 1)]], 0.5),
    'e': ([[(0.02, 0.7), (0.5, 0.7)], ('arc', 0.26, 0.7, 0.24, 0, 320)], 0.5),
    'h': ([[(0, 0), (0, 1)], [(0.5, 0.7), (0.5, 1)], ('arc', 0.25, 0.7, 0.25, 0, 180)], 0.5),
    'i': ([[(0, 0.45), (0, 1)], [(0, 0.12), (0, 0.2)]], 0.0),
    'l': ([[(0, 0), (0, 1)]], 0.0),
    'm': ([[(0, 0.42), (0, 1)], ('arc', 0.2, 0.65, 0.2, 0, 180), [(0.4, 0.65), (0.4, 1)],
           ('arc', 0.6, 0.65, 0.2, 0, 180), [(0.8, 0.65), (0.8, 1)]], 0.8),
    'n': ([[(0, 0.42), (0, 1)], [(0.5, 0.7), (0.5, 1)], ('arc', 0.25, 0.7, 0.25, 0, 180)], 0.5),
    'o': ([('arc', 0.25, 0.7, 0.25, 0, 360)], 0.5),
    'p': ([('arc', 0.25, 0.7, 0.25, 0, 360), [(0, 0.42), (0, 1.3)]], 0.5),
    'r': ([[(0, 0.42), (0, 1)], ('arc', 0.28, 0.72, 0.28, 90, 170)], 0.35),
    's': ([('arc', 0.22, 0.56, 0.14, 0, 270), ('arc', 0.22, 0.84, 0.14, -180, 90)], 0.44),
    't': ([[(0.12, 0.15), (0.12, 0.92), (0.2, 1), (0.3, 1)], [(0, 0.45), (0.3, 0.45)]], 0.32),
    'u': ([[(0, 0.42), (0, 0.75)], ('arc', 0.25, 0.75, 0.25, 180, 360), [(0.5, 0.42), (0.5, 1)]], 0.5),
    'v': ([[(0, 0.42), (0.25, 1), (0.5, 0.42)]], 0.5),
    'w': ([[(0, 0.42), (0.18, 1), (0.35, 0.55), (0.52, 1), (0.7, 0.42)]], 0.7),
    'x': ([[(0, 0.42), (0.45, 1)], [(0.45, 0.42), (0, 1)]], 0.45),
    'f': ([[(0.12, 1), (0.12, 0.2)], ('arc', 0.32, 0.2, 0.2, 30, 180), [(0, 0.45), (0.3, 0.45)]], 0.35),
    '.': ([[(0, 0.95), (0, 1)]], 0.05),
    ' ': ([], 0.3),
}

# ---- toolbar glyphs ---------------------------------------------------------------------------

INK = (38, 52, 82)          # outlines
BLUE = (47, 126, 216)
LIGHT_BLUE = (172, 210, 245)
GREEN = (46, 160, 67)
RED = (214, 48, 49)
ORANGE = (240, 150, 40)
WHITE = (255, 255, 255)
GREY = (150, 156, 166)
PAPER = (250, 250, 246)
SEPIA = (150, 100, 55)
MAGENTA = (255, 0, 255)


def photo(c, x0, y0, x1, y1):
    """A small print: white border, sky and a hill."""
    c.round_rect(x0, y0, x1, y1, 1.5, INK)
    c.rect(x0 + 1.2, y0 + 1.2, x1 - 1.2, y1 - 1.2, PAPER)
    c.rect(x0 + 2.6, y0 + 2.6, x1 - 2.6, y1 - 2.6, LIGHT_BLUE)
    hill_top = y0 + (y1 - y0) * 0.55
    c.fill(x0 + 2.6, hill_top, x1 - 2.6, y1 - 2.6,
           lambda x, y: y >= hill_top + ((x - (x0 + x1) / 2) / ((x1 - x0) / 2)) ** 2 * (y1 - y0) * 0.2, GREEN)
    c.circle(x1 - (x1 - x0) * 0.3, y0 + (y1 - y0) * 0.32, (x1 - x0) * 0.08, ORANGE)


def magnifier(c, sign=None):
    c.line(19, 19, 27.5, 27.5, 4.5, INK)
    c.circle(13, 13, 10, INK)
    c.circle(13, 13, 7.6, WHITE)
    c.circle(13, 13, 7.6, lambda x, y: (232, 243, 253))
    if sign in ('+', '-'):
        c.line(9, 13, 17, 13, 2.6, BLUE)
    if sign == '+':
        c.line(13, 9, 13, 17, 2.6, BLUE)


def curved_arrow(c, cx, cy, r, start, end, w, colour, clockwise):
    c.arc(cx, cy, r, start, end, w, colour)
    tip_angle = end if not clockwise else start
    a = math.radians(tip_angle)
    tip = (cx + r * math.cos(a), cy - r * math.sin(a))
    direction = tip_angle + (90 if not clockwise else -90)
    d = math.radians(direction)
    tip = (tip[0] + math.cos(d) * w * 1.1, tip[1] - math.sin(d) * w * 1.1)
    c.arrow_head(tip, direction, w * 2.4, colour)


def glyph(c, n):
    if n == 0:
        magnifier(c)
    elif n == 1:
        magnifier(c, '-')
    elif n == 2:
        magnifier(c, '+')
    elif n == 3:   # fit: a frame with four arrows to its corners
        c.frame(6, 6, 26, 26, 1.6, GREY)
        for (x0, y0, x1, y1, d) in ((12, 12, 5, 5, 135), (20, 12, 27, 5, 45), (12, 20, 5, 27, 225),
                                    (20, 20, 27, 27, 315)):
            c.line(x0, y0, x1 + (2 if x1 < x0 else -2), y1 + (2 if y1 < y0 else -2), 2.4, BLUE)
            c.arrow_head((x1, y1), d, 5.5, BLUE)
        c.rect(13, 13, 19, 19, INK)
    elif n in (4, 5, 6):   # undo, undo the last change, undo all changes
        if n == 6:
            curved_arrow(c, 20, 20, 7, -60, 150, 3, LIGHT_BLUE, False)
            curved_arrow(c, 14, 14, 7, -60, 150, 3, BLUE, False)
        else:
            curved_arrow(c, 17, 17, 9, -60, 150, 3.4, BLUE if n == 4 else INK, False)
        if n == 5:
            c.circle(24, 26, 2.2, BLUE)
    elif n in (7, 8):   # turn right, turn left: a print and a quarter-turn arrow
        photo(c, 8, 12, 24, 28)
        if n == 7:
            curved_arrow(c, 16, 15, 11, 20, 160, 2.8, BLUE, True)
        else:
            curved_arrow(c, 16, 15, 11, 20, 160, 2.8, BLUE, False)
    elif n == 9:   # rotate: two arrows round a print
        photo(c, 10, 10, 22, 22)
        curved_arrow(c, 16, 16, 12, 70, 180, 2.6, BLUE, False)
        curved_arrow(c, 16, 16, 12, 250, 360, 2.6, BLUE, False)
    elif n == 10:   # mirror top to bottom
        c.polygon([(8, 13), (24, 13), (16, 4)], BLUE)
        c.polygon([(8, 19), (24, 19), (16, 28)], LIGHT_BLUE)
        c.polygon([(10.5, 19.8), (21.5, 19.8), (16, 25.5)], WHITE)
        c.polygon([(10.5, 19.8), (21.5, 19.8), (16, 25.5)], LIGHT_BLUE)
        for x in range(3, 30, 4):
            c.line(x, 16, x + 2, 16, 1.4, INK)
    elif n == 11:   # mirror left to right
        c.polygon([(13, 8), (13, 24), (4, 16)], BLUE)
        c.polygon([(19, 8), (19, 24), (28, 16)], LIGHT_BLUE)
        for y in range(3, 30, 4):
            c.line(16, y, 16, y + 2, 1.4, INK)
    elif n == 12:   # crop marks
        c.polyline([(9, 3), (9, 23), (29, 23)], 3.2, INK)
        c.polyline([(3, 9), (23, 9), (23, 29)], 3.2, BLUE)
        c.rect(11, 11, 21, 21, LIGHT_BLUE)
    elif n == 13:   # retouch: a brush over a print
        photo(c, 3, 9, 21, 27)
        c.line(14, 19, 26, 5, 3.2, (150, 95, 45))
        c.polygon([(11, 24), (12, 18), (16, 20.5)], INK)
        for (x, y) in ((26, 12), (28.5, 16), (22, 3)):
            c.line(x - 1.6, y, x + 1.6, y, 1, ORANGE)
            c.line(x, y - 1.6, x, y + 1.6, 1, ORANGE)
    elif n == 14:   # save: a diskette
        c.round_rect(4, 4, 28, 28, 2.5, BLUE)
        c.polygon([(22, 4), (28, 4), (28, 10)], MAGENTA_MARK)
        c.rect(9, 4, 21, 12, WHITE)
        c.rect(17, 5.5, 19.5, 10.5, INK)
        c.round_rect(8, 16, 24, 28, 1, PAPER)
        for y in (19.5, 22.5, 25.5):
            c.line(10.5, y, 21.5, y, 1, GREY)
    elif n == 15:   # home: a house
        c.polygon([(16, 3.5), (29, 15.5), (3, 15.5)], RED)
        c.rect(6.5, 14.5, 25.5, 28, PAPER)
        c.frame(6.5, 14.5, 25.5, 28, 1.5, INK)
        c.rect(13.5, 19, 18.5, 28, (150, 95, 45))
        c.rect(20, 17, 23.5, 21, LIGHT_BLUE)
        c.line(3, 15.5, 16, 3.5, 2, INK)
        c.line(16, 3.5, 29, 15.5, 2, INK)
    elif n == 16:   # colours, brightness and contrast: three sliders
        for i, (x, knob, colour) in enumerate(((8, 20, RED), (16, 11, GREEN), (24, 17, BLUE))):
            c.line(x, 4, x, 28, 2, GREY)
            c.round_rect(x - 4, knob - 2.5, x + 4, knob + 2.5, 1.2, INK)
            c.round_rect(x - 3, knob - 1.5, x + 3, knob + 1.5, 0.8, colour)
    elif n == 17:   # blur: soft rings
        for r, shade in ((12, (212, 226, 246)), (9.5, (170, 200, 238)), (7, (126, 170, 226)),
                         (4.5, (84, 140, 214))):
            c.circle(16, 16, r, shade)
    elif n == 18:   # sharpen: a crisp diamond with an outline
        c.polygon([(16, 2), (29, 16), (16, 30), (3, 16)], INK)
        c.polygon([(16, 5.5), (25.5, 16), (16, 26.5), (6.5, 16)], BLUE)
        c.polygon([(16, 5.5), (25.5, 16), (16, 16)], LIGHT_BLUE)
    elif n == 19:   # black and white: a half-filled disc
        c.circle(16, 16, 12.5, INK)
        c.circle(16, 16, 10.8, WHITE)
        c.fill(5, 5, 16, 27, lambda x, y: (x - 16) ** 2 + (y - 16) ** 2 <= 10.8 ** 2, (20, 20, 20))
    elif n == 20:   # sepia: a brown-toned print
        c.round_rect(4, 6, 28, 26, 1.5, (95, 60, 30))
        c.rect(5.5, 7.5, 26.5, 24.5, (245, 232, 205))
        c.rect(7.5, 9.5, 24.5, 22.5, (214, 176, 128))
        c.fill(7.5, 15, 24.5, 22.5, lambda x, y: y >= 16 + ((x - 16) / 8.5) ** 2 * 4, SEPIA)
        c.circle(19.5, 13, 1.8, (245, 220, 170))
    elif n == 21:   # red eyes: an eye with a red pupil
        def eye(x, y):
            return abs(y - 16) <= 9 * (1 - ((x - 16) / 14) ** 2) - 0.0
        c.fill(2, 6, 30, 26, eye, INK)
        c.fill(2, 6, 30, 26, lambda x, y: abs(y - 16) <= 9 * (1 - ((x - 16) / 14) ** 2) - 1.6, WHITE)
        c.circle(16, 16, 6.2, RED)
        c.circle(16, 16, 2.8, (90, 10, 10))
        c.circle(18, 14, 1.2, WHITE)
    elif n == 22:   # text: a capital A over a baseline
        c.polyline([(7, 26), (16, 4), (25, 26)], 3.6, INK)
        c.line(11, 18, 21, 18, 3, INK)
        c.line(4, 29, 28, 29, 1.6, BLUE)
    elif n == 23:   # about: "i" in a blue disc
        c.circle(16, 16, 13, BLUE)
        c.circle(16, 9.5, 2.2, WHITE)
        c.line(16, 14, 16, 23.5, 3.6, WHITE)
    elif n == 24:   # quit: a door and an arrow out
        c.rect(5, 4, 18, 28, (150, 95, 45))
        c.frame(5, 4, 18, 28, 1.5, INK)
        c.circle(15, 16, 1.2, ORANGE)
        c.line(15, 16, 25, 16, 3, RED)
        c.arrow_head((30, 16), 0, 7, RED)


MAGENTA_MARK = (240, 240, 240)   # the diskette's cut corner, drawn in light grey


def draw_toolbar(path):
    c = Canvas(32 * 25, 32, samples=4)
    for n in range(25):
        cell = Canvas(32, 32, samples=4)
        glyph(cell, n)
        for sy in range(32 * 4):
            c.sub[sy][n * 128:(n + 1) * 128] = cell.sub[sy]
    write_bmp(path, c.pixels(transparent=MAGENTA))


# ---- splash and links -------------------------------------------------------------------------

def sky(top, bottom):
    def colour(x, y, t0=top, t1=bottom):
        return t0, t1
    return colour


def gradient(x0, y0, y1, c0, c1):
    def colour(x, y):
        t = min(max((y - y0) / (y1 - y0), 0.0), 1.0)
        return tuple(int(c0[k] + (c1[k] - c0[k]) * t) for k in range(3))
    return colour


def big_photo(c, x0, y0, x1, y1, tilt=0.0):
    """A print with a white border, sky, sun and hills."""
    c.round_rect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, 3, (60, 70, 90))
    c.rect(x0, y0, x1, y1, PAPER)
    b = (x1 - x0) * 0.07
    ix0, iy0, ix1, iy1 = x0 + b, y0 + b, x1 - b, y1 - b
    c.rect(ix0, iy0, ix1, iy1, gradient(ix0, iy0, iy1, (110, 165, 235), (200, 228, 250)))
    w, h = ix1 - ix0, iy1 - iy0
    c.circle(ix0 + w * 0.72, iy0 + h * 0.3, h * 0.13, (255, 196, 40))
    c.fill(ix0, iy0, ix1, iy1,
           lambda x, y: y >= iy0 + h * (0.62 + 0.25 * ((x - ix0 - w * 0.3) / w) ** 2), (102, 187, 106))
    c.fill(ix0, iy0, ix1, iy1,
           lambda x, y: y >= iy0 + h * (0.75 + 0.3 * ((x - ix0 - w * 0.8) / w) ** 2), (46, 125, 50))


def draw_splash(path):
    c = Canvas(448, 189, samples=3)
    c.rect(0, 0, 448, 189, gradient(0, 0, 189, (24, 44, 86), (52, 104, 170)))
    c.rect(0, 150, 448, 189, gradient(150, 150, 189, (232, 242, 253), (214, 228, 246)))
    c.rect(0, 148, 448, 150, (255, 196, 40))
    big_photo(c, 30, 28, 158, 124)
    c.text(186, 40, 'Lumeva', 44, 6.5, WHITE)
    c.text(190, 106, 'Retouche photo', 17, 2.6, (200, 222, 250))
    c.text(28, 163, 'www.lumeva.fr', 13, 1.9, (38, 52, 82))
    c.frame(0, 0, 448, 189, 1.5, (14, 26, 52))
    write_bmp(path, c.pixels())


def draw_product_link(path):
    c = Canvas(138, 61, samples=3)
    c.rect(0, 0, 138, 61, gradient(0, 0, 61, (40, 78, 140), (24, 44, 86)))
    big_photo(c, 7, 9, 51, 43)
    c.text(58, 13, 'Lumeva', 17, 2.8, WHITE)
    c.text(59, 39, 'www.lumeva.fr', 8, 1.3, (200, 222, 250))
    c.rect(0, 55, 138, 57, (255, 196, 40))
    write_bmp(path, c.pixels())


def draw_maker_link(path):
    c = Canvas(138, 46, samples=3)
    c.rect(0, 0, 138, 46, (245, 247, 250))
    c.round_rect(8, 8, 38, 38, 6, (214, 48, 49))
    c.text(17, 12, 'D', 22, 3.6, WHITE)
    c.text(46, 9, 'Dorvex', 16, 2.5, (38, 52, 82))
    c.text(47, 31, 'www.dorvex.fr', 7, 1.2, GREY)
    c.frame(0, 0, 138, 46, 1, (200, 206, 214))
    write_bmp(path, c.pixels())


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    draw_toolbar(out / 'toolbar.bmp')
    draw_splash(out / 'splash.bmp')
    draw_product_link(out / 'product.bmp')
    draw_maker_link(out / 'maker.bmp')
    # Written last: the build takes it as the sign that every picture is there.
    write_icon(out / 'lumeva.ico', [16, 32])


if __name__ == '__main__':
    main()
