#!/usr/bin/env python3
"""Draws Kelvane's own artwork (logos, status icons, bottom picture, program
icon) into src/app/resources/ as PNG files, and the program icon at the sizes
Windows shows as kelvane.ico. Standard library only, so anyone
can redraw them: python3 scripts/make-artwork.py"""

import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "app", "resources")

BLUE = (0x1F, 0x5F, 0xAF)
LIGHT_BLUE = (0x6F, 0xA8, 0xE0)
DARK = (0x22, 0x2B, 0x38)
GREEN = (0x2E, 0xA0, 0x43)
RED = (0xC8, 0x32, 0x2D)
GREY = (0x8A, 0x90, 0x99)
WHITE = (0xFF, 0xFF, 0xFF)


class Canvas:
    def __init__(self, w, h, background=None):
        self.w, self.h = w, h
        bg = (background + (1.0,)) if background else (0, 0, 0, 0.0)
        self.px = [[list(bg) for _ in range(w)] for _ in range(h)]

    def blend(self, x, y, color, alpha):
        if not (0 <= x < self.w and 0 <= y < self.h) or alpha <= 0:
            return
        p = self.px[y][x]
        a = min(1.0, alpha)
        out_a = a + p[3] * (1 - a)
        for i in range(3):
            p[i] = (color[i] * a + p[i] * p[3] * (1 - a)) / out_a if out_a else 0
        p[3] = out_a

    def shape(self, coverage, color, box=None, samples=4):
        """Fills where coverage(x, y) is true, anti-aliased by supersampling."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        step = 1.0 / samples
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if coverage(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                self.blend(x, y, color, hits / (samples * samples))

    def circle(self, cx, cy, r, color):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, color, (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1))

    def ring(self, cx, cy, r, width, color):
        def inside(x, y):
            d = math.hypot(x - cx, y - cy)
            return r - width / 2 <= d <= r + width / 2
        self.shape(inside, color, (cx - r - width, cy - r - width, cx + r + width, cy + r + width))

    def line(self, ax, ay, bx, by, width, color):
        dx, dy = bx - ax, by - ay
        length2 = dx * dx + dy * dy

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
            return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width / 2
        pad = width + 1
        self.shape(inside, color, (min(ax, bx) - pad, min(ay, by) - pad, max(ax, bx) + pad, max(ay, by) + pad))

    def png(self):
        raw = bytearray()
        for row in self.px:
            raw.append(0)
            for r, g, b, a in row:
                raw += bytes((round(r), round(g), round(b), round(a * 255)))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
        return png

    def save(self, name):
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(self.png())


# A 5x7 face for the word mark.
GLYPHS = {
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    "E": ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
    "L": ["X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"],
    "V": ["X...X", "X...X", "X...X", "X...X", ".X.X.", ".X.X.", "..X.."],
    "A": [".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"],
    "N": ["X...X", "XX..X", "X.X.X", "X..XX", "X...X", "X...X", "X...X"],
}


def word(canvas, text, x, y, scale, color):
    for ch in text:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "X":
                    canvas.shape(lambda px, py: True, color,
                                 (x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale), samples=1)
        x += 6 * scale


def network_mark(canvas, cx, cy, size, color, accent):
    nodes = [(cx - size * 0.45, cy + size * 0.30), (cx, cy - size * 0.42), (cx + size * 0.45, cy + size * 0.30)]
    for i in range(3):
        a, b = nodes[i], nodes[(i + 1) % 3]
        canvas.line(a[0], a[1], b[0], b[1], max(1.5, size * 0.08), accent)
    for i, (nx, ny) in enumerate(nodes):
        canvas.circle(nx, ny, size * 0.17, color if i != 1 else accent)


def globe(canvas, cx, cy, r, line_color, width):
    canvas.ring(cx, cy, r, width, line_color)
    for k in (-0.5, 0.0, 0.5):  # parallels
        y = cy + k * r
        half = math.sqrt(max(0.0, r * r - (k * r) ** 2))
        canvas.line(cx - half, y, cx + half, y, width * 0.8, line_color)
    for k in (0.45, 0.8):  # meridians as ellipses
        rx = k * r

        def inside(x, y, rx=rx):
            if abs(y - cy) > r:
                return False
            d = ((x - cx) / rx) ** 2 + ((y - cy) / r) ** 2
            return abs(math.sqrt(d) - 1.0) * rx <= width * 0.45
        canvas.shape(inside, line_color, (cx - rx - width, cy - r - width, cx + rx + width, cy + r + width))
    canvas.line(cx, cy - r, cx, cy + r, width * 0.8, line_color)


def logo_left():
    c = Canvas(157, 70, WHITE)
    network_mark(c, 17, 36, 26, BLUE, LIGHT_BLUE)
    word(c, "KELVANE", 35, 22, 3, DARK)
    c.line(35, 50, 153, 50, 2, LIGHT_BLUE)
    c.save("logo_left.png")


def logo_right():
    c = Canvas(70, 70, WHITE)
    c.circle(35, 35, 30, (0xE8, 0xF1, 0xFB))
    globe(c, 35, 35, 27, BLUE, 2.2)
    c.save("logo_right.png")


def status(name, color, mark):
    c = Canvas(16, 16)
    c.circle(8, 8, 7.2, color)
    c.circle(6.5, 6, 2.2, tuple(min(255, v + 70) for v in color))
    if mark == "check":
        c.line(4.6, 8.3, 7.0, 10.8, 1.6, WHITE)
        c.line(7.0, 10.8, 11.6, 5.4, 1.6, WHITE)
    else:
        c.line(5.2, 5.2, 10.8, 10.8, 1.6, WHITE)
        c.line(10.8, 5.2, 5.2, 10.8, 1.6, WHITE)
    c.save(name)


def bottom():
    w, h = 416, 141
    c = Canvas(w, h, WHITE)
    for y in range(h):
        for x in range(w):
            shade = 0.0
            for k, (amp, period, phase, base) in enumerate([(10, 260, 0.0, 70), (13, 330, 1.3, 92), (8, 200, 2.1, 114)]):
                edge = base + amp * math.sin(2 * math.pi * x / period + phase)
                if y > edge:
                    shade += 0.10 + 0.03 * k
            if shade:
                c.blend(x, y, LIGHT_BLUE, min(0.45, shade))
    c.save("bottom.png")


def program_icon(size=64):
    s = size / 64
    c = Canvas(size, size)
    c.shape(lambda x, y: max(abs(x - 32 * s) - 20 * s, 0) ** 2 + max(abs(y - 32 * s) - 20 * s, 0) ** 2 <= 100 * s * s, BLUE)
    globe(c, 32 * s, 32 * s, 21 * s, WHITE, max(2.6 * s, 1.2))
    return c


# An icon file whose images are PNG streams, which Windows reads from Vista on.
def save_ico(name, canvases):
    pngs = [c.png() for c in canvases]
    ico = struct.pack("<HHH", 0, 1, len(pngs))
    offset = 6 + 16 * len(pngs)
    for c, png in zip(canvases, pngs):
        ico += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(png), offset)
        offset += len(png)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(ico + b"".join(pngs))


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    logo_left()
    logo_right()
    status("connected.png", GREEN, "check")
    status("disconnected.png", GREY, "cross")
    bottom()
    program_icon().save("kelvane.png")
    save_ico("kelvane.ico", [program_icon(n) for n in (16, 24, 32, 48, 64)])
