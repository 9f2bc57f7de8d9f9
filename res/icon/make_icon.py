#!/usr/bin/env python3
"""Draws the application icon, a broadcast mast sending out waves, and writes res/Sonafeed.ico.

The artwork lives here as code: shapes are distance functions in a unit square (y down),
rendered by supersampling. Each size gets its own stroke widths and detail so that 16x16
stays legible. Entries are 32-bit BGRA DIBs with an AND mask, which every resource compiler
and Wine read. Standard library only.
"""

import math
import os
import struct

# 20, 24 and 40 are the small and large icons at 125 and 150 % display scaling.
SIZES = (16, 20, 24, 32, 40, 48, 64)
SUBSAMPLES = 8  # per axis

NAVY_TOP = (38, 74, 168)
NAVY_BOTTOM = (14, 28, 82)
WAVE = (255, 176, 46)
MAST = (245, 247, 252)
LAMP = (255, 84, 64)

EMITTER = (0.5, 0.34)


def capsule(p, a, b, r):
    """Distance to a segment a-b thickened to radius r."""
    (px, py), (ax, ay), (bx, by) = p, a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - r


def arc(p, centre, radius, half_width, facing, spread):
    """Distance to a round-capped arc of the circle about `centre`, `spread` radians either
    side of the direction `facing`."""
    dx, dy = p[0] - centre[0], p[1] - centre[1]
    off = (math.atan2(dy, dx) - facing + math.pi) % (2 * math.pi) - math.pi
    if abs(off) <= spread:
        return abs(math.hypot(dx, dy) - radius) - half_width
    end = facing + math.copysign(spread, off)
    ex, ey = centre[0] + radius * math.cos(end), centre[1] + radius * math.sin(end)
    return math.hypot(p[0] - ex, p[1] - ey) - half_width


def rounded_square(p, inset, corner):
    qx = abs(p[0] - 0.5) - (0.5 - inset - corner)
    qy = abs(p[1] - 0.5) - (0.5 - inset - corner)
    return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - corner


def layers(size):
    """(inside-test, colour) pairs, back to front, with detail chosen for `size` pixels."""
    px = 1.0 / size
    mast_half = max(0.055, 1.25 * px) * 0.5  # never thinner than about a pixel

    def snap(v):
        """Moves v onto a pixel centre, where a one-pixel line comes out sharp."""
        return (math.floor(v * size) + 0.5) * px

    tip, left_foot, right_foot = (0.5, 0.40), (snap(0.30), 0.90), (1 - snap(0.30), 0.90)

    def on_legs(t):
        y = snap(tip[1] + (left_foot[1] - tip[1]) * t)
        t = (y - tip[1]) / (left_foot[1] - tip[1])
        return (0.5 + (left_foot[0] - 0.5) * t, y), (0.5 + (right_foot[0] - 0.5) * t, y)

    bar_heights = (0.55,) if size < 32 else (0.38, 0.7) if size < 64 else (0.3, 0.55, 0.8)
    bars = [on_legs(t) for t in bar_heights]

    def mast(p):
        segments = [(tip, left_foot), (tip, right_foot)] + bars
        return min(capsule(p, a, b, mast_half) for a, b in segments) < 0

    # Each arc's steep middle sits on a pixel column's centre, so it stays sharp.
    wanted = (0.21, 0.39) if size < 32 else (0.20, 0.35) if size < 48 else (0.18, 0.28, 0.38)
    radii = [snap(r) for r in wanted]
    wave_half = max(0.055, px) * 0.5
    spread = math.radians(38)

    def waves(p):
        return any(
            arc(p, EMITTER, r, wave_half, facing, spread) < 0
            for r in radii
            for facing in (0.0, math.pi)
        )

    lamp_r = max(0.075, 1.6 * px)
    inset = 0.0 if size < 32 else 0.02  # a crisp edge matters more at 16 than a margin
    return [
        (lambda p: rounded_square(p, inset, 0.2) < 0, None),  # gradient background
        (mast, MAST),
        (waves, WAVE),
        (lambda p: math.hypot(p[0] - EMITTER[0], p[1] - EMITTER[1]) < lamp_r, LAMP),
    ]


def render(size):
    """Straight-alpha RGBA rows, top row first."""
    shapes = layers(size)
    n = SUBSAMPLES
    offsets = [(i + 0.5) / n for i in range(n)]
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            samples = [((x + ox) / size, (y + oy) / size) for oy in offsets for ox in offsets]
            r = g = b = a = 0.0
            for inside, colour in shapes:
                cover = sum(1 for s in samples if inside(s)) / len(samples)
                if cover == 0:
                    continue
                if colour is None:
                    t = (y + 0.5) / size
                    colour = tuple(c0 + (c1 - c0) * t for c0, c1 in zip(NAVY_TOP, NAVY_BOTTOM))
                # "over" compositing in premultiplied form
                r = colour[0] * cover + r * (1 - cover)
                g = colour[1] * cover + g * (1 - cover)
                b = colour[2] * cover + b * (1 - cover)
                a = cover + a * (1 - cover)
            if a > 0:
                r, g, b = r / a, g / a, b / a
            row.append(tuple(int(round(v)) for v in (r, g, b, a * 255)))
        rows.append(row)
    return rows


def dib(size, rows):
    """BITMAPINFOHEADER, bottom-up BGRA pixels and the 1-bit AND mask (set = transparent)."""
    mask_stride = (size + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + mask


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(here, os.pardir, "Sonafeed.ico")
    images = [(size, dib(size, render(size))) for size in SIZES]
    with open(target, "wb") as f:
        f.write(ico(images))


if __name__ == "__main__":
    main()
