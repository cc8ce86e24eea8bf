#!/usr/bin/env python3
"""Draws Korvanta's artwork and writes it into res/:

  banner.bmp    270 x 104, 24-bit: the main window's banner, stored XOR the
                dialog face colour on black, because the window blits it with
                SRCINVERT (black leaves the face untouched)
  about.bmp     the banner's exact colour inverse, shown as a plain bitmap on
                the About box (so on white)
  korvanta.ico  the application icon: 16/24/32/48 px in 16 and 256 colours,
                16..128 px in 32-bit colour with alpha, all as DIB entries

Everything is drawn with the small vector routines below (polygons filled
with the nonzero rule, supersampled rows and exact horizontal coverage for
anti-aliasing); only the standard library is used and the output is the same
byte for byte on every run.

    python3 tools/make_artwork.py                 # writes into res/
    python3 tools/make_artwork.py --out DIR       # writes into DIR
    python3 tools/make_artwork.py --preview DIR   # also writes PPM previews
"""

import argparse
import math
import os
import struct
import sys

BANNER_W, BANNER_H = 270, 104

# Colours of the design as the user sees them on the dialog.
FACE = (240, 240, 240)          # the dialog face the banner is XORed onto
WHITE = (255, 255, 255)
INK = (24, 40, 72)              # the product name, the chip body
INK_TOP = (44, 70, 116)         # top of the chip body's gradient
SLATE = (86, 96, 112)           # the subtitle
TEAL = (0, 138, 160)            # accents
TEAL_LIGHT = (64, 186, 200)
AMBER = (232, 138, 28)
PIN = (160, 168, 180)           # silver chip pins
PIN_DARK = (110, 118, 132)
SHADOW = (0, 0, 0)

# Colours of the chip: (top, bottom) of each vertical gradient.
ICON_LOOK = {"body": (INK_TOP, INK), "pins": (PIN, PIN_DARK)}
FLAT_LOOK = {"body": (INK, INK), "pins": (PIN_DARK, PIN_DARK)}   # 16 colours: no banding
# The About picture is the banner's inverse, i.e. the screen colours XOR 15
# per channel, which turns a gradient crossing a multiple of 16 into a
# sawtooth. The banner's gradients therefore stay inside one such step.
BANNER_LOOK = {"body": ((31, 47, 95), (18, 34, 82)), "pins": ((159, 175, 191), (146, 162, 178))}

# The 16 px icon's monogram, drawn pixel by pixel: a scaled outline blurs.
K_16 = ("XX...XX",
        "XX..XX.",
        "XX.XX..",
        "XXXX...",
        "XXXX...",
        "XX.XX..",
        "XX..XX.",
        "XX...XX")

ICON_SIZES_PALETTE = (16, 24, 32, 48)
ICON_SIZES_RGBA = (16, 24, 32, 48, 64, 72, 96, 128)

SUPERSAMPLE = 5                 # sub-rows per pixel row


# --------------------------------------------------------------------------
# Canvas: a plain dict with width, height and a flat list of [r, g, b, a]
# floats (a = opacity, used by the icon).

def new_canvas(width, height, colour=(0, 0, 0), alpha=0.0):
    return {"w": width, "h": height,
            "px": [[float(colour[0]), float(colour[1]), float(colour[2]), alpha]
                   for _ in range(width * height)]}


def coverage(contours, width, height, ss=SUPERSAMPLE):
    """Union coverage (0..1) of closed contours by the nonzero rule.

    Returns (x0, y0, cols, rows, values) for the bounding box only."""
    edges = []
    xs, ys = [], []
    for contour in contours:
        n = len(contour)
        for i in range(n):
            xa, ya = contour[i]
            xb, yb = contour[(i + 1) % n]
            xs.append(xa)
            ys.append(ya)
            if ya == yb:
                continue
            if ya < yb:
                edges.append((ya, yb, xa, (xb - xa) / (yb - ya), 1))
            else:
                edges.append((yb, ya, xb, (xa - xb) / (ya - yb), -1))
    if not edges:
        return 0, 0, 0, 0, []
    x0 = max(0, int(math.floor(min(xs))))
    x1 = min(width, int(math.ceil(max(xs))) + 1)
    y0 = max(0, int(math.floor(min(ys))))
    y1 = min(height, int(math.ceil(max(ys))) + 1)
    cols, rows = max(0, x1 - x0), max(0, y1 - y0)
    values = [0.0] * (cols * rows)
    weight = 1.0 / ss
    for row in range(rows):
        base = row * cols
        for sub in range(ss):
            y = y0 + row + (sub + 0.5) / ss
            crossings = []
            for ey0, ey1, ex, slope, direction in edges:
                if ey0 <= y < ey1:
                    crossings.append((ex + (y - ey0) * slope, direction))
            if not crossings:
                continue
            crossings.sort()
            winding = 0
            start = 0.0
            for x, direction in crossings:
                before = winding
                winding += direction
                if before == 0 and winding != 0:
                    start = x
                elif before != 0 and winding == 0:
                    add_span(values, base, cols, start - x0, x - x0, weight)
    return x0, y0, cols, rows, values


def add_span(values, base, cols, xa, xb, weight):
    xa = max(0.0, xa)
    xb = min(float(cols), xb)
    if xb <= xa:
        return
    ia, ib = int(xa), int(xb)
    if ia == ib:
        values[base + ia] += (xb - xa) * weight
        return
    values[base + ia] += (ia + 1 - xa) * weight
    for i in range(ia + 1, ib):
        values[base + i] += weight
    if ib < cols:
        values[base + ib] += (xb - ib) * weight


def fill(canvas, contours, paint, opacity=1.0):
    """Paints the union of the contours; paint is a colour or f(x, y)."""
    x0, y0, cols, rows, values = coverage(contours, canvas["w"], canvas["h"])
    px = canvas["px"]
    for row in range(rows):
        for col in range(cols):
            a = values[row * cols + col]
            if a <= 0.0:
                continue
            a = min(1.0, a) * opacity
            x, y = x0 + col, y0 + row
            colour = paint(x + 0.5, y + 0.5) if callable(paint) else paint
            p = px[y * canvas["w"] + x]
            out_a = a + p[3] * (1.0 - a)
            for c in range(3):
                # Blend in premultiplied form so icon edges over transparency
                # keep their colour.
                p[c] = (colour[c] * a + p[c] * p[3] * (1.0 - a)) / out_a if out_a > 0 else 0.0
            p[3] = out_a


def vertical_gradient(top_colour, bottom_colour, y_top, y_bottom):
    def paint(_x, y):
        t = min(1.0, max(0.0, (y - y_top) / (y_bottom - y_top)))
        return tuple(top_colour[c] + (bottom_colour[c] - top_colour[c]) * t for c in range(3))
    return paint


# --------------------------------------------------------------------------
# Shapes. Contours are lists of (x, y); every filled shape is made
# counter-clockwise on screen and holes clockwise, so overlapping shapes
# unite under the nonzero rule.

def signed_area(contour):
    area = 0.0
    n = len(contour)
    for i in range(n):
        xa, ya = contour[i]
        xb, yb = contour[(i + 1) % n]
        area += xa * yb - xb * ya
    return area / 2.0


def oriented(contour, positive=True):
    if (signed_area(contour) > 0) != positive:
        return list(reversed(contour))
    return list(contour)


def rect(x0, y0, x1, y1):
    return [oriented([(x0, y0), (x1, y0), (x1, y1), (x0, y1)])]


def rounded_rect_contour(x0, y0, x1, y1, radii, steps=8):
    """radii = (top-left, top-right, bottom-right, bottom-left)."""
    corners = ((x0, y0, 180), (x1, y0, 270), (x1, y1, 0), (x0, y1, 90))
    points = []
    for (cx, cy, start), r in zip(corners, radii):
        r = max(0.0, min(r, (x1 - x0) / 2.0, (y1 - y0) / 2.0))
        if r == 0.0:
            points.append((cx, cy))
            continue
        ox = cx + (r if cx == x0 else -r)
        oy = cy + (r if cy == y0 else -r)
        for i in range(steps + 1):
            angle = math.radians(start + 90.0 * i / steps)
            points.append((ox + r * math.cos(angle), oy + r * math.sin(angle)))
    return points


def rounded_rect(x0, y0, x1, y1, r):
    return [oriented(rounded_rect_contour(x0, y0, x1, y1, (r, r, r, r)))]


def ring(x0, y0, x1, y1, thickness, radii):
    """A rounded-rectangle frame: outer contour and its hole."""
    outer = rounded_rect_contour(x0, y0, x1, y1, radii)
    inner_radii = tuple(max(0.0, r - thickness) for r in radii)
    inner = rounded_rect_contour(x0 + thickness, y0 + thickness,
                                 x1 - thickness, y1 - thickness, inner_radii)
    return [oriented(outer), oriented(inner, positive=False)]


def slanted(xa, ya, xb, yb, thickness):
    """A stroke from (xa, ya) to (xb, yb) with horizontal ends, `thickness`
    measured across the stroke."""
    length = math.hypot(xb - xa, yb - ya)
    half = thickness * length / abs(yb - ya) / 2.0
    return [oriented([(xa - half, ya), (xa + half, ya), (xb + half, yb), (xb - half, yb)])]


def lerp(a, b, f):
    return (a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f)


def horizontal_cut(y):
    return ((0.0, y), (1.0, y))


def vertical_cut(x):
    return ((x, 0.0), (x, 1.0))


def intersect(p, d, line):
    """Where the line through p with direction d meets `line` (two points)."""
    (ax, ay), (bx, by) = line
    ex, ey = bx - ax, by - ay
    denom = d[0] * ey - d[1] * ex
    s = ((ax - p[0]) * ey - (ay - p[1]) * ex) / denom
    return (p[0] + d[0] * s, p[1] + d[1] * s)


def band(p, q, thickness, cut_p, cut_q):
    """A straight stroke along p-q, `thickness` across, its ends cut along
    the lines cut_p and cut_q (each given by two points)."""
    dx, dy = q[0] - p[0], q[1] - p[1]
    length = math.hypot(dx, dy)
    nx, ny = -dy / length * thickness / 2.0, dx / length * thickness / 2.0
    sides = ((p[0] + nx, p[1] + ny), (p[0] - nx, p[1] - ny))
    d = (dx, dy)
    return [oriented([intersect(sides[0], d, cut_p), intersect(sides[1], d, cut_p),
                      intersect(sides[1], d, cut_q), intersect(sides[0], d, cut_q)])]


def quad(points):
    return [oriented(list(points))]


def translate(contours, dx, dy, scale=1.0):
    return [[(dx + x * scale, dy + y * scale) for x, y in contour] for contour in contours]


# --------------------------------------------------------------------------
# Lettering: a square-shouldered bold sans. Glyphs are built in pixels with
# y growing upwards from the baseline; h is the cap height, t the stroke,
# w the advance width without spacing, r the outer corner radius.

def glyph_contours(ch, w, h, t, r):
    up = lambda shapes: [[(x, -y) for x, y in c] for c in shapes]
    mid = h / 2.0
    shapes = []
    if ch == "K":
        # the arm starts inside the stem; the leg grows out of the arm's middle
        arm_foot, arm_top = (t * 0.5, h * 0.28), (w - t * 0.72, h)
        leg_root = lerp(arm_foot, arm_top, 0.42)
        leg_foot = (w - t * 0.74, 0.0)
        shapes = (rect(0, 0, t, h)
                  + band(arm_foot, arm_top, t * 1.02, vertical_cut(t * 0.5), horizontal_cut(h))
                  + band(leg_root, leg_foot, t * 1.08, (arm_foot, arm_top), horizontal_cut(0.0)))
    elif ch == "O":
        shapes = ring(0, 0, w, h, t, (r, r, r, r))
    elif ch == "R":
        bowl_bottom = h * 0.40
        shapes = (rect(0, 0, t, h)
                  + ring(0, bowl_bottom, w, h, t, (0, 0, r, r))
                  + slanted(w * 0.52, bowl_bottom + t * 0.5, w - t * 0.62, 0.0, t * 1.05))
    elif ch == "V":
        shapes = (slanted(t * 0.62, h, w / 2.0, 0.0, t * 1.05)
                  + slanted(w - t * 0.62, h, w / 2.0, 0.0, t * 1.05))
    elif ch == "A":
        left = slanted(t * 0.62, 0.0, w / 2.0, h, t * 1.05)
        right = slanted(w - t * 0.62, 0.0, w / 2.0, h, t * 1.05)
        bar_lo, bar_hi = h * 0.22, h * 0.22 + t * 0.9

        def centre(y, x_foot):
            return x_foot + (w / 2.0 - x_foot) * y / h
        bar = quad([(centre(bar_lo, t * 0.62), bar_lo), (centre(bar_lo, w - t * 0.62), bar_lo),
                    (centre(bar_hi, w - t * 0.62), bar_hi), (centre(bar_hi, t * 0.62), bar_hi)])
        shapes = left + right + bar
    elif ch == "N":
        shapes = (rect(0, 0, t, h) + rect(w - t, 0, w, h)
                  + slanted(t * 0.62, h, w - t * 0.62, 0.0, t * 1.0))
    elif ch == "M":
        shapes = (rect(0, 0, t, h) + rect(w - t, 0, w, h)
                  + slanted(t * 0.62, h, w / 2.0, h * 0.18, t * 0.95)
                  + slanted(w - t * 0.62, h, w / 2.0, h * 0.18, t * 0.95))
    elif ch == "W":
        q = w / 4.0
        shapes = (slanted(t * 0.55, h, q * 1.1, 0.0, t) + slanted(w / 2.0, h, q * 1.1, 0.0, t)
                  + slanted(w / 2.0, h, q * 2.9, 0.0, t) + slanted(w - t * 0.55, h, q * 2.9, 0.0, t))
    elif ch == "T":
        shapes = rect(0, h - t, w, h) + rect(w / 2.0 - t / 2.0, 0, w / 2.0 + t / 2.0, h)
    elif ch == "E":
        shapes = (rect(0, 0, t, h) + rect(0, 0, w, t) + rect(0, h - t, w, h)
                  + rect(0, mid - t / 2.0, w * 0.86, mid + t / 2.0))
    elif ch == "F":
        shapes = (rect(0, 0, t, h) + rect(0, h - t, w, h)
                  + rect(0, mid - t / 2.0, w * 0.86, mid + t / 2.0))
    elif ch == "L":
        shapes = rect(0, 0, t, h) + rect(0, 0, w, t)
    elif ch == "I":
        shapes = rect(0, 0, t, h)
    elif ch == "i":
        xh = h * 0.70
        shapes = rect(0, 0, t, xh) + rect(0, h - t, t, h)
    elif ch == "2":
        shapes = (rect(0, h - t, w - r, h) + right_hook(mid - t / 2.0, h, w, t, r)
                  + rect(0, mid - t / 2.0, w - t, mid + t / 2.0)
                  + rect(0, 0, t, mid + t / 2.0) + rect(0, 0, w, t))
    elif ch == "3":
        shapes = (rect(0, h - t, w - r, h) + rect(0, 0, w - r, t)
                  + right_hook(0, h, w, t, r)
                  + rect(w * 0.28, mid - t / 2.0, w - t, mid + t / 2.0))
    elif ch == "9":
        shapes = (ring(0, mid - t / 2.0, w, h, t, (r, r, r, r))
                  + rect(w - t, r, w, mid)
                  + bottom_right_corner(w, t, r)
                  + rect(0, 0, w - r, t))
    elif ch == " ":
        shapes = []
    else:
        raise ValueError("no glyph for %r" % ch)
    return up(shapes)


def right_hook(y0, y1, w, t, r):
    """The right side of a rounded frame between heights y0 and y1: a
    vertical stroke whose two outer corners are rounded, open to the left
    at x = w - r where the bars join it."""
    outer = rounded_rect_contour(w - 2 * r, y0, w, y1, (0, r, r, 0))
    inner = rounded_rect_contour(w - 2 * r, y0 + t, w - t, y1 - t,
                                 (0, max(0.0, r - t), max(0.0, r - t), 0))
    keep = lambda points: [(x, y) for x, y in points if x >= w - r - 1e-9]
    return [oriented(keep(outer) + list(reversed(keep(inner))))]


def bottom_right_corner(w, t, r):
    """The rounded bottom-right corner of a frame, from x = w - r up to y = r."""
    outer = rounded_rect_contour(w - 2 * r, 0, w, 2 * r, (0, r, 0, 0))
    inner = rounded_rect_contour(w - 2 * r, t, w - t, 2 * r, (0, max(0.0, r - t), 0, 0))
    keep = lambda points: [(x, y) for x, y in points if x >= w - r - 1e-9 and y <= r + 1e-9]
    return [oriented(keep(outer) + list(reversed(keep(inner))))]


# Advance widths in cap heights.
GLYPH_WIDTH = {"K": 0.80, "O": 0.86, "R": 0.80, "V": 0.86, "A": 0.86, "N": 0.80,
               "T": 0.76, "E": 0.66, "F": 0.64, "L": 0.62, "I": 0.0, "i": 0.0,
               "M": 0.94, "W": 1.16, "2": 0.66, "3": 0.66, "9": 0.66, " ": 0.40}


def text_contours(text, x, baseline, cap, stroke, tracking, radius):
    """Lays the text out from (x, baseline); returns (contours, end x).
    Widths and positions are rounded to whole pixels so stems stay crisp."""
    contours = []
    for ch in text:
        w = max(stroke, round(GLYPH_WIDTH[ch] * cap)) if GLYPH_WIDTH[ch] else stroke
        x = round(x)
        contours += translate(glyph_contours(ch, w, cap, stroke, radius), x, baseline)
        x += w + tracking
    return contours, x - tracking


def text_width(text, cap, stroke, tracking):
    _, end = text_contours(text, 0, 0, cap, stroke, tracking, 0)
    return end


# --------------------------------------------------------------------------
# The motif: a chip with pins on four sides and a "K" on it.

def chip_parts(x0, y0, size, pins, pin_len, pin_w, radius):
    """Contours of the chip's body and pins in a box of `size` at (x0, y0)."""
    body = rounded_rect(x0 + pin_len, y0 + pin_len, x0 + size - pin_len, y0 + size - pin_len, radius)
    pin_shapes = []
    inner = size - 2 * pin_len
    pitch = inner / pins
    for i in range(pins):
        c = pin_len + pitch * (i + 0.5)
        a, b = round(x0 + c - pin_w / 2.0), round(x0 + c - pin_w / 2.0) + pin_w
        pin_shapes += rect(a, y0, b, y0 + pin_len + radius)                   # top
        pin_shapes += rect(a, y0 + size - pin_len - radius, b, y0 + size)     # bottom
        a, b = round(y0 + c - pin_w / 2.0), round(y0 + c - pin_w / 2.0) + pin_w
        pin_shapes += rect(x0, a, x0 + pin_len + radius, b)                   # left
        pin_shapes += rect(x0 + size - pin_len - radius, a, x0 + size, b)     # right
    return body, pin_shapes


def draw_chip(canvas, x0, y0, size, pins, pin_len, pin_w, radius, look, detail):
    body, pin_shapes = chip_parts(x0, y0, size, pins, pin_len, pin_w, radius)
    b0, b1 = y0 + pin_len, y0 + size - pin_len
    if detail:
        fill(canvas, translate(body, 0, size * 0.03), SHADOW, 0.18)
    fill(canvas, pin_shapes, vertical_gradient(look["pins"][0], look["pins"][1], y0, y0 + size))
    fill(canvas, body, vertical_gradient(look["body"][0], look["body"][1], b0, b1))
    if detail:
        # a thin lighter rim gives the body some depth
        inset = max(1.0, size * 0.035)
        fill(canvas, ring(x0 + pin_len + inset, b0 + inset, x0 + size - pin_len - inset,
                          b1 - inset, max(1.0, size * 0.012),
                          (radius * 0.7,) * 4), TEAL_LIGHT, 0.45)
        dot = size * 0.05
        cx, cy = x0 + pin_len + size * 0.11, b0 + size * 0.11
        fill(canvas, rounded_rect(cx, cy, cx + dot, cy + dot, dot / 2.0), TEAL_LIGHT)
    inner = size - 2 * pin_len
    if size == 16:
        fill(canvas, pixel_shape(K_16, x0 + pin_len + 3, b0 + 2), WHITE)
        return
    cap = round(inner * 0.64)
    stroke = max(2, round(cap * 0.24))
    kw = round(cap * 0.8)
    kx = round(x0 + pin_len + (inner - kw) / 2.0 + inner * 0.02)
    base = round(b0 + (inner + cap) / 2.0)
    fill(canvas, translate(glyph_contours("K", kw, cap, stroke, 0), kx, base), WHITE)


def pixel_shape(rows, x0, y0):
    shapes = []
    for y, row in enumerate(rows):
        for x, cell in enumerate(row):
            if cell == "X":
                shapes += rect(x0 + x, y0 + y, x0 + x + 1, y0 + y + 1)
    return shapes


# --------------------------------------------------------------------------
# Banner

def draw_banner():
    """Returns the banner as the user should see it on the face colour."""
    canvas = new_canvas(BANNER_W, BANNER_H, FACE, 1.0)
    draw_chip(canvas, 10, 22, 64, 6, 7, 4, 6, BANNER_LOOK, detail=True)

    left = 88
    title, end = text_contours("KORVANTA", left, 50, 23, 5, 3, 4.5)
    fill(canvas, title, INK)

    fill(canvas, rect(left, 56, end, 58), TEAL)
    fill(canvas, rect(end - 24, 56, end, 58), AMBER)

    subtitle_text = "ALi 3329 FIRMWARE TOOL"
    sub_w = text_width(subtitle_text, 7, 1, 2)
    sub, _ = text_contours(subtitle_text, left + (end - left - sub_w) / 2.0, 71, 7, 1, 2, 1.5)
    fill(canvas, sub, SLATE)

    # a flash memory map: blocks of different lengths along the bottom
    blocks = ((6, TEAL), (20, INK_TOP), (9, TEAL_LIGHT), (14, INK_TOP), (5, AMBER),
              (24, INK_TOP), (8, TEAL), (12, TEAL_LIGHT))
    total = sum(b[0] for b in blocks)
    gap = 2
    span = end - left - gap * (len(blocks) - 1)
    x = float(left)
    for length, colour in blocks:
        w = span * length / total
        fill(canvas, rect(round(x), 79, round(x + w), 83), colour)
        x += w + gap
    return canvas


def to_rgb_bytes(canvas):
    out = []
    for r, g, b, _a in canvas["px"]:
        out.append((clamp8(r), clamp8(g), clamp8(b)))
    return out


def clamp8(v):
    return max(0, min(255, int(round(v))))


def xor_face(pixels):
    return [(r ^ FACE[0], g ^ FACE[1], b ^ FACE[2]) for r, g, b in pixels]


def bmp24(width, height, pixels):
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for r, g, b in pixels[y * width:(y + 1) * width]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        rows.append(bytes(row))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + data


# --------------------------------------------------------------------------
# Icon

def draw_icon(size, flat=False):
    canvas = new_canvas(size, size)
    pins = 3 if size <= 24 else 4 if size <= 32 else 5 if size <= 48 else 6
    pin_len = max(2, round(size * 0.11))
    pin_w = max(1, round(size * 0.055))
    radius = max(1.0, size * 0.07)
    draw_chip(canvas, 0, 0, size, pins, pin_len, pin_w, radius,
              FLAT_LOOK if flat else ICON_LOOK, detail=size >= 32)
    return canvas


def median_cut(colours, count):
    """A deterministic palette of at most `count` colours for `colours`."""
    boxes = [sorted(colours)]
    while len(boxes) < count:
        best, best_range, best_channel = None, 0, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for ch in range(3):
                lo = min(c[ch] for c in box)
                hi = max(c[ch] for c in box)
                if hi - lo > best_range:
                    best, best_range, best_channel = i, hi - lo, ch
        if best is None:
            break
        box = sorted(boxes[best], key=lambda c: (c[best_channel], c))
        half = len(box) // 2
        boxes[best:best + 1] = [box[:half], box[half:]]
    palette = []
    for box in boxes:
        n = len(box)
        palette.append(tuple(int(round(sum(c[ch] for c in box) / n)) for ch in range(3)))
    return sorted(set(palette))


def nearest(palette, colour):
    best, best_d = 0, None
    for i, p in enumerate(palette):
        d = (p[0] - colour[0]) ** 2 * 3 + (p[1] - colour[1]) ** 2 * 4 + (p[2] - colour[2]) ** 2 * 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def and_mask_rows(size, transparent):
    stride = ((size + 31) // 32) * 4
    rows = []
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        for x in range(size):
            if transparent[y * size + x]:
                row[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
    return b"".join(rows)


def icon_dib_rgba(canvas):
    size = canvas["w"]
    xor = bytearray()
    transparent = []
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = canvas["px"][y * size + x]
            alpha = clamp8(a * 255.0)
            xor += bytes((clamp8(b), clamp8(g), clamp8(r), alpha)) if alpha else b"\0\0\0\0"
    for r, g, b, a in canvas["px"]:
        transparent.append(clamp8(a * 255.0) == 0)
    mask = and_mask_rows(size, transparent)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + mask


def icon_dib_palette(canvas, bits):
    size = canvas["w"]
    count = 1 << bits
    opaque = [p[3] >= 0.5 for p in canvas["px"]]
    colours = [(clamp8(p[0]), clamp8(p[1]), clamp8(p[2]))
               for p, o in zip(canvas["px"], opaque) if o]
    # index 0 is black: where the mask makes a pixel transparent the image
    # part must be black so the screen shows through unchanged
    palette = [(0, 0, 0)] + [c for c in median_cut(colours, count - 1) if c != (0, 0, 0)]
    palette = palette[:count] + [(0, 0, 0)] * (count - len(palette))
    indices = []
    cache = {}
    for p, o in zip(canvas["px"], opaque):
        if not o:
            indices.append(0)
            continue
        c = (clamp8(p[0]), clamp8(p[1]), clamp8(p[2]))
        if c not in cache:
            cache[c] = nearest(palette[1:], c) + 1
        indices.append(cache[c])
    stride = ((size * bits + 31) // 32) * 4
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        for x in range(size):
            i = indices[y * size + x]
            if bits == 8:
                row[x] = i
            else:
                row[x // 2] |= i << (4 if x % 2 == 0 else 0)
        xor += row
    mask = and_mask_rows(size, [not o for o in opaque])
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                       len(xor) + len(mask), 0, 0, count, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return info + table + bytes(xor) + mask


def ico_file(entries):
    """entries: (size, bits, dib bytes) in directory order."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    blobs = []
    for size, bits, dib in entries:
        colour_count = 16 if bits == 4 else 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colour_count, 0, 1, bits,
                           len(dib), offset)
        offset += len(dib)
        blobs.append(dib)
    for blob in blobs:
        out += blob
    return bytes(out)


def build_icon():
    canvases = {size: draw_icon(size) for size in sorted(set(ICON_SIZES_PALETTE + ICON_SIZES_RGBA))}
    entries = []
    for size in ICON_SIZES_PALETTE:
        entries.append((size, 4, icon_dib_palette(draw_icon(size, flat=True), 4)))
    for size in ICON_SIZES_PALETTE:
        entries.append((size, 8, icon_dib_palette(canvases[size], 8)))
    for size in ICON_SIZES_RGBA:
        entries.append((size, 32, icon_dib_rgba(canvases[size])))
    return ico_file(entries), canvases


# --------------------------------------------------------------------------
# Previews for people: the banner as seen on the face, and the icon sizes.

def ppm(width, height, pixels):
    return b"P6 %d %d 255\n" % (width, height) + b"".join(bytes(p) for p in pixels)


def icon_sheet(canvases, zoom=4, backdrop=(250, 250, 250)):
    sizes = sorted(canvases)
    width = sum(s * zoom + 8 for s in sizes) + 8
    height = max(sizes) * zoom + 16
    pixels = [backdrop] * (width * height)
    x = 8
    for s in sizes:
        c = canvases[s]
        for y in range(s * zoom):
            for xx in range(s * zoom):
                r, g, b, a = c["px"][(y // zoom) * s + xx // zoom]
                mixed = tuple(clamp8(v * a + bg * (1 - a)) for v, bg in zip((r, g, b), backdrop))
                pixels[(8 + y) * width + x + xx] = mixed
        x += s * zoom + 8
    return width, height, pixels


def main(argv):
    parser = argparse.ArgumentParser(description="Draws Korvanta's banner, About picture and icon.")
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--out", default=os.path.join(here, "..", "res"),
                        help="folder for banner.bmp, about.bmp and korvanta.ico (default: res/)")
    parser.add_argument("--preview", help="also write PPM previews into this folder")
    args = parser.parse_args(argv)

    screen = to_rgb_bytes(draw_banner())
    banner = xor_face(screen)
    about = [(255 - r, 255 - g, 255 - b) for r, g, b in banner]
    icon, canvases = build_icon()

    os.makedirs(args.out, exist_ok=True)
    outputs = (("banner.bmp", bmp24(BANNER_W, BANNER_H, banner)),
               ("about.bmp", bmp24(BANNER_W, BANNER_H, about)),
               ("korvanta.ico", icon))
    for name, data in outputs:
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)

    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        with open(os.path.join(args.preview, "banner-on-face.ppm"), "wb") as f:
            f.write(ppm(BANNER_W, BANNER_H, screen))
        with open(os.path.join(args.preview, "icons.ppm"), "wb") as f:
            f.write(ppm(*icon_sheet(canvases)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
