#!/usr/bin/env python3
"""Draws the program's images (standard library only).

    python3 resources/images/make-images.py

writes the embedded images into resources/images/, the brand bundle's into
resources/brand/ and the style images into resources/styles/images/. The
pictures are plain geometry: shapes given as signed distances, coloured and
anti-aliased by supersampling.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


# --- shapes: functions (x, y) -> signed distance, negative inside ----------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, w):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - w / 2


def segment(ax, ay, bx, by, w):
    def d(x, y):
        px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
        t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
        return math.hypot(px - vx * t, py - vy * t) - w / 2
    return d


def box(x0, y0, x1, y1, r=0.0):
    def d(x, y):
        cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
        hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        out = math.hypot(max(qx, 0), max(qy, 0))
        return out + min(max(qx, qy), 0) - r
    return d


def polygon(points):
    def d(x, y):
        best = float("inf")
        inside = False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            best = min(best, segment(ax, ay, bx, by, 0)(x, y))
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                inside = not inside
        return -best if inside else best
    return d


def arc(cx, cy, r, w, start, end):
    """Ring part from angle start to end (degrees, clockwise from 12 o'clock)."""
    def d(x, y):
        a = math.degrees(math.atan2(x - cx, -(y - cy))) % 360
        s, e = start % 360, end % 360
        within = s <= a <= e if s <= e else (a >= s or a <= e)
        if within:
            return abs(math.hypot(x - cx, y - cy) - r) - w / 2
        ends = []
        for ang in (start, end):
            rad = math.radians(ang)
            ends.append(math.hypot(x - (cx + r * math.sin(rad)), y - (cy - r * math.cos(rad))) - w / 2)
        return min(ends)
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


# --- canvas ----------------------------------------------------------------

class Canvas:
    def __init__(self, w, h, ss=4):
        self.w, self.h, self.ss = w, h, ss
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * w for _ in range(h)]

    def fill(self, colour):
        """colour: (r, g, b, a) or a function (x, y) -> colour."""
        f = colour if callable(colour) else (lambda x, y: colour)
        for y in range(self.h):
            for x in range(self.w):
                self.blend(x, y, f(x + 0.5, y + 0.5), 1.0)

    def draw(self, shape, colour):
        f = colour if callable(colour) else (lambda x, y: colour)
        n = self.ss
        for y in range(self.h):
            for x in range(self.w):
                # Whole pixel far outside or inside: no supersampling.
                d = shape(x + 0.5, y + 0.5)
                if d > 1.0:
                    continue
                if d < -1.0:
                    cover = 1.0
                else:
                    hits = 0
                    for j in range(n):
                        for i in range(n):
                            if shape(x + (i + 0.5) / n, y + (j + 0.5) / n) <= 0:
                                hits += 1
                    cover = hits / (n * n)
                if cover > 0:
                    self.blend(x, y, f(x + 0.5, y + 0.5), cover)

    def blend(self, x, y, colour, cover):
        r, g, b, a = colour
        a *= cover
        dr, dg, db, da = self.px[y][x]
        oa = a + da * (1 - a)
        if oa <= 0:
            self.px[y][x] = (0.0, 0.0, 0.0, 0.0)
            return
        mix = lambda s, t: (s * a + t * da * (1 - a)) / oa
        self.px[y][x] = (mix(r, dr), mix(g, dg), mix(b, db), oa)

    def rgba_rows(self):
        for row in self.px:
            yield bytes(int(round(max(0.0, min(1.0, c)) * 255)) for p in row for c in p)

    def save_png(self, path):
        raw = b"".join(b"\x00" + row for row in self.rgba_rows())
        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xffffffff)
        png = b"\x89PNG\r\n\x1a\n"
        png += chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(raw, 9))
        png += chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(png)


def rgb(hexcode, a=1.0):
    v = int(hexcode.lstrip("#"), 16)
    return ((v >> 16) / 255, ((v >> 8) & 255) / 255, (v & 255) / 255, a)


def vgradient(top, bottom, h):
    def f(x, y):
        t = max(0.0, min(1.0, y / h))
        return tuple(top[i] + (bottom[i] - top[i]) * t for i in range(4))
    return f


# --- animated GIF (one colour keyed transparent) ---------------------------

def save_gif(path, frames, w, h, palette, delay_cs):
    """frames: lists of palette indices; index 0 is transparent."""
    pal = list(palette) + [(0, 0, 0)] * (256 - len(palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", w, h, 0xF7, 0, 0)
    for r, g, b in pal:
        out += bytes((r, g, b))
    out += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    for frame in frames:
        out += b"\x21\xf9\x04\x09" + struct.pack("<H", delay_cs) + b"\x00\x00"
        out += b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0)
        out += b"\x08"
        data = lzw_literal(frame)
        for i in range(0, len(data), 255):
            block = data[i:i + 255]
            out += bytes((len(block),)) + block
        out += b"\x00"
    out += b"\x3b"
    with open(path, "wb") as f:
        f.write(bytes(out))


def lzw_literal(indices):
    """LZW stream of 8-bit literals only: a clear code before the table
    would grow past 9-bit codes keeps every code 9 bits wide."""
    clear, end = 256, 257
    bits, nbits = 0, 0
    out = bytearray()
    def put(code):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += 9
        while nbits >= 8:
            out.append(bits & 255)
            bits >>= 8
            nbits -= 8
    put(clear)
    run = 0
    for v in indices:
        if run == 254:
            put(clear)
            run = 0
        put(v)
        run += 1
    put(end)
    if nbits:
        out.append(bits & 255)
    return bytes(out)


# --- the pictures ----------------------------------------------------------

WHITE = rgb("#ffffff")
INK = rgb("#2b2f33")
TEAL = rgb("#1b7f8c")
TEAL_DARK = rgb("#12535c")
GREY = rgb("#8a9399")
RED = rgb("#c62f2f")
AMBER = rgb("#e0a020")
GREEN = rgb("#2f9e4f")


def messagebox_icons(out):
    s = 48
    warn = Canvas(s, s)
    warn.draw(polygon([(24, 4), (45, 42), (3, 42)]), AMBER)
    warn.draw(union(segment(24, 16, 24, 29, 5), circle(24, 35.5, 2.8)), INK)
    warn.save_png(os.path.join(out, "messagebox-warn.png"))

    info = Canvas(s, s)
    info.draw(circle(24, 24, 21), TEAL)
    info.draw(union(circle(24, 13.5, 3), segment(24, 21, 24, 36, 5.5)), WHITE)
    info.save_png(os.path.join(out, "messagebox-info.png"))

    crit = Canvas(s, s)
    crit.draw(circle(24, 24, 21), RED)
    crit.draw(union(segment(16, 16, 32, 32, 5.5), segment(32, 16, 16, 32, 5.5)), WHITE)
    crit.save_png(os.path.join(out, "messagebox-crit.png"))

    quest = Canvas(s, s)
    quest.draw(circle(24, 24, 21), TEAL)
    quest.draw(union(arc(24, 18.5, 6.5, 5, 270, 150), segment(27.2, 24.1, 24, 28.5, 5),
                     circle(24, 35.5, 3)), WHITE)
    quest.save_png(os.path.join(out, "messagebox-quest.png"))


def tray_icons(out, colours, style):
    for state, colour in colours.items():
        c = Canvas(32, 32)
        if style == "brand":
            shield = polygon([(16, 2), (29, 7), (27, 20), (16, 30), (5, 20), (3, 7)])
            c.draw(shield, colour)
            c.draw(segment(10.5, 16, 21.5, 16, 3.5), WHITE)
            c.draw(polygon([(18, 10.5), (24.5, 16), (18, 21.5)]), WHITE)
        else:
            c.draw(circle(16, 16, 14), colour)
            c.draw(ring(16, 16, 8, 3.5), WHITE)
        c.save_png(os.path.join(out, "icon-%s.png" % state))


def banner(out, top, bottom, mark):
    w, h = 578, 120
    c = Canvas(w, h, ss=2)
    c.fill(vgradient(top, bottom, h))
    c.draw(box(0, h - 4, w, h), mark)
    c.draw(circle(60, 60, 34), WHITE)
    c.draw(polygon([(60, 36), (81, 44), (78, 66), (60, 84), (42, 66), (39, 44)]), top)
    c.draw(segment(50, 60, 68, 60, 5), WHITE)
    c.draw(polygon([(64, 51), (74, 60), (64, 69)]), WHITE)
    for i, x in enumerate(range(120, 520, 40)):
        c.draw(box(x, 52, x + 26, 68, 8), (1, 1, 1, 0.12 + 0.05 * (i % 3)))
    c.save_png(os.path.join(out, "banner.png"))


def org_logo(out, colour):
    c = Canvas(120, 40)
    c.draw(circle(20, 20, 16), colour)
    c.draw(ring(20, 20, 8, 4), WHITE)
    for i in range(3):
        c.draw(box(44 + i * 25, 13, 64 + i * 25, 27, 4), colour)
    c.save_png(os.path.join(out, "org-logo.png"))


def logo_small(out, colour):
    c = Canvas(32, 32)
    c.draw(circle(16, 16, 14), colour)
    c.draw(ring(16, 16, 7, 3.5), WHITE)
    c.save_png(os.path.join(out, "logo-small.png"))


def wallpaper(out, top, bottom):
    w, h = 289, 330
    c = Canvas(w, h, ss=1)
    c.fill(vgradient(top, bottom, h))
    c.save_png(os.path.join(out, "wallpaper.png"))


def small_controls(out):
    arrow = Canvas(20, 20)
    arrow.draw(union(segment(3, 10, 13, 10, 3), polygon([(11, 4), (18, 10), (11, 16)])), WHITE)
    arrow.save_png(os.path.join(out, "login-arrow.png"))

    for name, colour in (("refresh-on", WHITE), ("refresh-off", GREY)):
        c = Canvas(20, 20)
        c.draw(union(arc(10, 10, 6.5, 2.6, 40, 320), polygon([(10, 0.5), (15.5, 3.5), (10, 7)])), colour)
        c.save_png(os.path.join(out, name + ".png"))
        spinner(out, name, colour)


def spinner(out, name, colour):
    """Eight frames of a dot turning round."""
    w = h = 20
    frames = []
    palette = [(255, 0, 255)]
    levels = 8
    r, g, b = (int(colour[i] * 255) for i in range(3))
    palette += [(r, g, b)] * levels
    for f in range(8):
        c = Canvas(w, h)
        for k in range(8):
            ang = math.radians((f + k) * 45)
            alpha = (k + 1) / 8
            c.draw(circle(10 + 6.5 * math.sin(ang), 10 - 6.5 * math.cos(ang), 1.8), (*colour[:3], alpha))
        frame = []
        for row in c.px:
            for p in row:
                a = p[3]
                frame.append(0 if a < 0.25 else min(levels, 1 + int(a * levels)))
        frames.append(frame)
    save_gif(os.path.join(out, name + ".gif"), frames, w, h, palette, 10)


# --- glyphs of the window and page buttons ---------------------------------

def glyph(kind, s):
    """The shape of a button's glyph in an s x s box."""
    c, k = s / 2, s / 20
    if kind == "back":
        return union(segment(c + 3 * k, c - 6 * k, c - 3 * k, c, 2.6 * k),
                     segment(c - 3 * k, c, c + 3 * k, c + 6 * k, 2.6 * k))
    if kind == "settings":
        teeth = [segment(c + 5 * k * math.sin(math.radians(a)), c - 5 * k * math.cos(math.radians(a)),
                         c + 8 * k * math.sin(math.radians(a)), c - 8 * k * math.cos(math.radians(a)), 2.8 * k)
                 for a in range(0, 360, 45)]
        return subtract(union(circle(c, c, 6 * k), *teeth), circle(c, c, 2.6 * k))
    if kind == "plus":
        return union(segment(c - 6 * k, c, c + 6 * k, c, 2.6 * k), segment(c, c - 6 * k, c, c + 6 * k, 2.6 * k))
    if kind == "minus":
        return segment(c - 6 * k, c, c + 6 * k, c, 2.6 * k)
    if kind == "close":
        return union(segment(c - 5 * k, c - 5 * k, c + 5 * k, c + 5 * k, 2.6 * k),
                     segment(c + 5 * k, c - 5 * k, c - 5 * k, c + 5 * k, 2.6 * k))
    if kind == "logout":
        # The power sign: a ring open at the top and a bar through the gap.
        return union(arc(c, c + 0.5 * k, 6.5 * k, 2.6 * k, 35, 325), segment(c, c - 8 * k, c, c, 2.6 * k))
    if kind == "reload":
        return union(arc(c, c, 6.5 * k, 2.6 * k, 40, 320),
                     polygon([(c, c - 9.5 * k), (c + 5.5 * k, c - 6.5 * k), (c, c - 3 * k)]))
    raise ValueError(kind)


def window_buttons(out):
    """The banner buttons of a plugin window: grey when idle, white while held."""
    for kind in ("back", "settings", "plus", "minus", "close", "logout"):
        for state, colour in (("off", GREY), ("on", WHITE)):
            c = Canvas(20, 20)
            c.draw(glyph(kind, 20), colour)
            c.save_png(os.path.join(out, "%s-%s.png" % (kind, state)))


def page_actions(out):
    """The page toolbar's actions: a white glyph on a grey disc, teal under the mouse."""
    for kind in ("close", "reload", "back", "settings", "plus", "minus"):
        for state, colour in (("off", GREY), ("on", TEAL)):
            c = Canvas(24, 24)
            c.draw(circle(12, 12, 11), colour)
            c.draw(glyph(kind, 24), WHITE)
            c.save_png(os.path.join(out, "%s%s.png" % (kind, state)))


def decoration(out, name, size, cut, body, edge):
    """A page frame cut in nine slices: a card with straight sides between the
    top and bottom slices, and a notch pointing up at the tab button."""
    w, h = size
    left, right, top_row, notch0, notch1, top, bottom = cut
    x0, x1 = left - 6, w - (right - 6)
    y0 = top_row + 1
    y1 = h - bottom + min(8, bottom // 2)
    r = min(6, top - y0)
    c = Canvas(w, h)
    for i in range(5, 0, -1):
        c.draw(box(x0 - i, y0, x1 + i, y1 + i, r + i), (0, 0, 0, 0.035))
    c.draw(box(x0, y0, x1, y1, r), edge)
    c.draw(box(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(0, r - 1)), body)
    mid = (notch0 + notch1) / 2
    c.draw(polygon([(mid, 3), (notch1 - 2, y0 + 0.5), (notch0 + 2, y0 + 0.5)]), edge)
    c.draw(polygon([(mid, 4.6), (notch1 - 3.6, y0 + 2), (notch0 + 3.6, y0 + 2)]), body)
    c.save_png(os.path.join(out, name))


def decorations(out):
    window_cut = (20, 20, 16, 62, 93, 20, 12)
    card_cut = (20, 20, 16, 65, 88, 32, 37)
    decoration(out, "windowbg.png", (120, 60), window_cut, WHITE, rgb("#c9d0d6"))
    decoration(out, "bgwhite.png", (120, 100), card_cut, rgb("#ffffff", 0.97), rgb("#c9d0d6"))
    decoration(out, "bgblack.png", (120, 100), card_cut, rgb("#1e2329", 0.92), rgb("#000000", 0.6))


def style_images(out):
    for name, colour in (("combo-down", INK), ("combo-down-off", GREY)):
        down = Canvas(12, 12)
        down.draw(polygon([(2, 4), (10, 4), (6, 9)]), colour)
        down.save_png(os.path.join(out, name + ".png"))
    up = Canvas(12, 12)
    up.draw(polygon([(2, 8), (10, 8), (6, 3)]), INK)
    up.save_png(os.path.join(out, "spin-up.png"))
    for name, colour in (("check-on", TEAL), ("check-on-off", GREY)):
        on = Canvas(16, 16)
        on.draw(box(1, 1, 15, 15, 3), colour)
        on.draw(union(segment(4.5, 8.5, 7, 11, 2.2), segment(7, 11, 12, 5, 2.2)), WHITE)
        on.save_png(os.path.join(out, name + ".png"))
    off = Canvas(16, 16)
    off.draw(subtract(box(1, 1, 15, 15, 3), box(2.5, 2.5, 13.5, 13.5, 2)), GREY)
    off.save_png(os.path.join(out, "check-off.png"))


def main():
    images = HERE
    brand = os.path.join(ROOT, "brand")
    styles = os.path.join(ROOT, "styles", "images")
    for d in (brand, styles):
        os.makedirs(d, exist_ok=True)

    messagebox_icons(images)
    small_controls(images)
    window_buttons(images)
    page_actions(images)
    decorations(images)
    tray_icons(images, {"idle": GREY, "error": RED, "connecting": AMBER, "connected": GREEN}, "plain")
    banner(images, rgb("#3a4450"), rgb("#222a33"), GREY)
    org_logo(images, GREY)
    logo_small(images, GREY)
    wallpaper(images, rgb("#eef1f4"), rgb("#d5dbe1"))

    tray_icons(brand, {"idle": TEAL_DARK, "error": RED, "connecting": AMBER, "connected": TEAL}, "brand")
    banner(brand, TEAL, TEAL_DARK, AMBER)
    org_logo(brand, TEAL)
    logo_small(brand, TEAL)
    wallpaper(brand, rgb("#e9f4f5"), rgb("#c9e2e5"))

    style_images(styles)


if __name__ == "__main__":
    main()
