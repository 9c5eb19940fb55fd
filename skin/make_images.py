#!/usr/bin/env python3
"""Draws the skin images into skin/images/ (standard library only: zlib + struct PNG writer).

The title-band glyphs are drawn from signed distance functions with analytic anti-aliasing, so
they stay crisp at their small size. Run it again after changing a shape; the PNGs are committed.

    python3 skin/make_images.py
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "images")

# Palette (R, G, B).
BAND_TOP = (0x2A, 0x2E, 0x38)
BAND_BOTTOM = (0x1E, 0x21, 0x28)
BAND_LINE = (0x12, 0x14, 0x18)
BAND_HIGHLIGHT = (0x3A, 0x3F, 0x4B)
GLYPH = (0xB4, 0xBA, 0xC6)
GLYPH_HOT = (0xFF, 0xFF, 0xFF)
ACCENT = (0xFF, 0x8A, 0x1F)        # the brand orange
ACCENT_LIGHT = (0xFF, 0xB4, 0x5A)
CLOSE_HOT = (0xE5, 0x3B, 0x3B)


def write_png(name, width, height, pixels):
    """pixels: list of rows of (r, g, b, a) tuples, 0..255."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(png)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def over(dst, color, alpha):
    """Source-over of a straight-alpha colour onto a straight-alpha pixel."""
    r, g, b, a = dst
    da = a / 255.0
    sa = max(0.0, min(1.0, alpha))
    oa = sa + da * (1 - sa)
    if oa <= 0:
        return (0, 0, 0, 0)
    out = [(color[i] * sa + (r, g, b)[i] * da * (1 - sa)) / oa for i in range(3)]
    return (int(round(out[0])), int(round(out[1])), int(round(out[2])), int(round(oa * 255)))


def canvas(width, height, fill=(0, 0, 0, 0)):
    return [[fill for _ in range(width)] for _ in range(height)]


# ---- signed distance functions (pixel units; negative inside) ----

def sd_segment(px, py, ax, ay, bx, by, half):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / float(dx * dx + dy * dy or 1)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - half


def sd_circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def sd_ring(px, py, cx, cy, r, half):
    return abs(math.hypot(px - cx, py - cy) - r) - half


def sd_round_rect(px, py, x0, y0, x1, y1, radius):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - radius, (y1 - y0) / 2.0 - radius
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0), max(qy, 0))
    return outside + min(max(qx, qy), 0) - radius


def sd_rect_outline(px, py, x0, y0, x1, y1, radius, half):
    return abs(sd_round_rect(px, py, x0, y0, x1, y1, radius)) - half


def paint(img, sdf, color, opacity=1.0):
    """Fills the shape given by sdf(x, y) with anti-aliased edges."""
    for y in range(len(img)):
        for x in range(len(img[0])):
            d = sdf(x + 0.5, y + 0.5)
            cover = max(0.0, min(1.0, 0.5 - d))
            if cover > 0:
                img[y][x] = over(img[y][x], color, cover * opacity)


def union(*fns):
    return lambda x, y: min(f(x, y) for f in fns)


# ---- glyphs, drawn around the centre (cx, cy) at scale s (1 = full band, 0.85 = mini band) ----

def glyph_close(cx, cy, s):
    r, w = 5.0 * s, 0.8 * s + 0.15
    return union(lambda x, y: sd_segment(x, y, cx - r, cy - r, cx + r, cy + r, w),
                 lambda x, y: sd_segment(x, y, cx - r, cy + r, cx + r, cy - r, w))


def glyph_minimize(cx, cy, s):
    r, w = 6.0 * s, 0.8 * s + 0.15
    return lambda x, y: sd_segment(x, y, cx - r, cy + 0.5, cx + r, cy + 0.5, w)


def glyph_pin(cx, cy, s, pinned):
    """A push pin; upright when pinned, tilted when not."""
    angle = 0.0 if pinned else math.radians(40)
    ca, sa = math.cos(angle), math.sin(angle)

    def rot(x, y):  # into the pin's own frame
        dx, dy = x - cx, y - cy
        return cx + dx * ca + dy * sa, cy - dx * sa + dy * ca

    w = 0.8 * s + 0.15
    head = lambda x, y: sd_round_rect(*rot(x, y), cx - 3.2 * s, cy - 7 * s, cx + 3.2 * s,
                                      cy - 5.2 * s, 0.6)
    body = lambda x, y: sd_round_rect(*rot(x, y), cx - 2.2 * s, cy - 5.4 * s, cx + 2.2 * s,
                                      cy + 0.4 * s, 0.6)
    base = lambda x, y: sd_round_rect(*rot(x, y), cx - 4.6 * s, cy + 0.2 * s, cx + 4.6 * s,
                                      cy + 1.9 * s, 0.8)
    needle = lambda x, y: sd_segment(*rot(x, y), cx, cy + 1.5 * s, cx, cy + 7.2 * s, w * 0.8)
    if pinned:
        return union(head, body, base, needle)
    # Outline of the head and body when not pinned.
    body_line = lambda x, y: abs(sd_round_rect(*rot(x, y), cx - 2.2 * s, cy - 5.4 * s,
                                               cx + 2.2 * s, cy + 0.4 * s, 0.6)) - w * 0.7
    return union(head, body_line, base, needle)


def glyph_history(cx, cy, s):
    r, w = 6.2 * s, 0.75 * s + 0.15
    ring = lambda x, y: sd_ring(x, y, cx, cy, r, w)
    hand1 = lambda x, y: sd_segment(x, y, cx, cy, cx, cy - 3.6 * s, w)
    hand2 = lambda x, y: sd_segment(x, y, cx, cy, cx + 2.8 * s, cy + 1.6 * s, w)
    return union(ring, hand1, hand2)


def glyph_small_window(cx, cy, s):
    """Switch to the small (simple) window: a screen with a small window in its corner."""
    w = 0.75 * s + 0.15
    outer = lambda x, y: sd_rect_outline(x, y, cx - 7 * s, cy - 5.5 * s, cx + 7 * s, cy + 5.5 * s,
                                         1.2, w)
    inner = lambda x, y: sd_round_rect(x, y, cx + 0.5 * s, cy + 0.5 * s, cx + 5 * s, cy + 3.8 * s,
                                       0.6)
    return union(outer, inner)


def glyph_full_window(cx, cy, s):
    """Back to the complete window: a frame with an arrow out of its corner."""
    w = 0.75 * s + 0.15
    frame = lambda x, y: sd_rect_outline(x, y, cx - 6.5 * s, cy - 5 * s, cx + 6.5 * s,
                                         cy + 5 * s, 1.2, w)
    shaft = lambda x, y: sd_segment(x, y, cx - 2.5 * s, cy + 2 * s, cx + 3 * s, cy - 2.5 * s, w)
    tip1 = lambda x, y: sd_segment(x, y, cx + 3 * s, cy - 2.5 * s, cx - 0.2 * s, cy - 2.5 * s, w)
    tip2 = lambda x, y: sd_segment(x, y, cx + 3 * s, cy - 2.5 * s, cx + 3 * s, cy + 0.6 * s, w)
    return union(frame, shaft, tip1, tip2)


def button(name, glyph, hot, kind="plain", color=None, size=(40, 28)):
    """A title-band button: transparent when normal, a soft pill when hot (red for close)."""
    width, height = size
    img = canvas(width, height)
    if hot:
        pill = lambda x, y: sd_round_rect(x, y, 3, 2, width - 3, height - 2, 4)
        if kind == "close":
            paint(img, pill, CLOSE_HOT)
        else:
            paint(img, pill, (0xFF, 0xFF, 0xFF), 0.12)
    glyph_color = color or (GLYPH_HOT if hot else GLYPH)
    paint(img, glyph, glyph_color)
    write_png(name, width, height, img)


def band(name, width, height):
    """Title band: a soft vertical gradient with a highlight on top and a dark line below."""
    img = canvas(width, height)
    for y in range(height):
        c = mix(BAND_TOP, BAND_BOTTOM, y / float(height - 1))
        if y == 0:
            c = BAND_HIGHLIGHT
        if y == height - 1:
            c = BAND_LINE
        row = img[y]
        for x in range(width):
            row[x] = c + (255,)
    # A thin accent under the logo end of the band.
    for x in range(0, min(width, 180)):
        t = 1.0 - x / 180.0
        img[height - 1][x] = mix(BAND_LINE, ACCENT, t * 0.9) + (255,)
    write_png(name, width, height, img)


def logo(name, size):
    img = canvas(size, size)
    s = size / 24.0
    tile = lambda x, y: sd_round_rect(x, y, 0.5, 0.5, size - 0.5, size - 0.5, 5 * s)
    # Vertical gradient in the tile.
    for y in range(size):
        for x in range(size):
            d = tile(x + 0.5, y + 0.5)
            cover = max(0.0, min(1.0, 0.5 - d))
            if cover > 0:
                img[y][x] = over(img[y][x], mix(ACCENT_LIGHT, ACCENT, y / float(size)), cover)
    w = 1.35 * s
    z = union(lambda x, y: sd_segment(x, y, 7 * s, 7 * s, 17 * s, 7 * s, w),
              lambda x, y: sd_segment(x, y, 17 * s, 7 * s, 7 * s, 17 * s, w),
              lambda x, y: sd_segment(x, y, 7 * s, 17 * s, 17 * s, 17 * s, w))
    paint(img, z, (0xFF, 0xFF, 0xFF))
    write_png(name, size, size, img)


def progress(name, width, height, fore):
    img = canvas(width, height)
    for y in range(height):
        for x in range(width):
            if fore:
                # Brand gradient from left to right, lighter on the upper half.
                c = mix((0xFF, 0x7A, 0x18), (0xFF, 0xB0, 0x3C), x / float(width - 1))
                if y < height // 2:
                    c = mix(c, (0xFF, 0xFF, 0xFF), 0.18 * (1 - y / float(height // 2)))
                img[y][x] = c + (255,)
            else:
                c = mix((0x2C, 0x30, 0x3A), (0x22, 0x25, 0x2D), y / float(height - 1))
                if y == 0 or y == height - 1 or x == 0 or x == width - 1:
                    c = (0x3C, 0x41, 0x4D)
                img[y][x] = c + (255,)
    write_png(name, width, height, img)


def waiting(name, size):
    """Voice window before the remote video starts: a camera inside a ring."""
    img = canvas(size, size)
    c = size / 2.0
    s = size / 64.0
    paint(img, lambda x, y: sd_ring(x, y, c, c, 28 * s, 1.2 * s), (0x4A, 0x50, 0x5E))
    body = lambda x, y: sd_round_rect(x, y, c - 14 * s, c - 9 * s, c + 6 * s, c + 9 * s, 3 * s)
    lens = lambda x, y: sd_round_rect(x, y, c + 7 * s, c - 6 * s, c + 15 * s, c + 6 * s, 2 * s)
    paint(img, union(body, lens), (0x6A, 0x72, 0x82))
    write_png(name, size, size, img)


def main():
    os.makedirs(OUT, exist_ok=True)
    band("topAreaBackground.png", 1480, 40)
    band("mini-topbackground.png", 420, 34)
    logo("logo.png", 24)
    logo("mini-logo.png", 20)
    progress("ver_update_bg.png", 264, 22, fore=False)
    progress("ver_update_fg.png", 264, 22, fore=True)
    waiting("vcast-waiting.png", 64)

    cx, cy = 20, 14  # centre of a 40 x 28 button
    for prefix, scale in (("", 1.0), ("mm-", 0.85)):
        for hot in (False, True):
            state = "hover" if hot else "normal"
            button("%sclose-%s.png" % (prefix, state), glyph_close(cx, cy, scale), hot, "close")
            button("%smini-%s.png" % (prefix, state), glyph_minimize(cx, cy, scale), hot)
            button("%sbin-%s.png" % (prefix, state), glyph_pin(cx, cy, scale, False), hot)
            button("%sbin-top-%s.png" % (prefix, state), glyph_pin(cx, cy, scale, True), hot,
                   color=ACCENT_LIGHT if hot else ACCENT)
    for hot in (False, True):
        state = "hover" if hot else "normal"
        button("vmode-%s.png" % state, glyph_small_window(cx, cy, 1.0), hot)
        button("fm-%s.png" % state, glyph_full_window(cx, cy, 0.85), hot)
    button("vh.png", glyph_history(cx, cy, 1.0), False)
    button("vh-hover.png", glyph_history(cx, cy, 1.0), True)
    button("mini_vh_normal.png", glyph_history(cx, cy, 0.85), False)
    button("mini_vh_hover.png", glyph_history(cx, cy, 0.85), True)


if __name__ == "__main__":
    main()
