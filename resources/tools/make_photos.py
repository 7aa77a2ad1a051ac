#!/usr/bin/env python3
"""Draws the three pictures of the launcher's hardware pages.

Each is a 370 x 222, 24-bit bitmap showing the server on a desk:

    page1.bmp   the server cabled to a switch (network cable)
    page2.bmp   the power supply plugged into the server
    page3.bmp   the server switched on, Power LED blue, LAN orange, Status green

Drawn from signed distance functions with the helpers of make_art.py, so the
output is reproducible byte for byte. Writes into resources/launcher/art/ or
into the directory given as the only argument.
"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from make_art import blur, coverage, mix, rounded_rect_sd, seg_dist, write_bmp24  # noqa: E402

OUT_DIR = os.path.normpath(os.path.join(HERE, "..", "launcher", "art"))
W, H = 370, 222

WALL_TOP = (236, 241, 247)
WALL_LOW = (214, 223, 234)
DESK = (196, 170, 136)
DESK_EDGE = (160, 132, 100)
CASE = (56, 62, 72)
CASE_LIGHT = (92, 100, 114)
PANEL = (34, 38, 46)
CABLE_NET = (40, 120, 210)
CABLE_POWER = (30, 30, 32)
SWITCH = (210, 214, 220)
PORT = (60, 64, 70)
LED_OFF = (70, 74, 80)
LED_BLUE = (60, 140, 255)
LED_ORANGE = (255, 150, 30)
LED_GREEN = (60, 220, 90)
DESK_Y = 150


def canvas():
    img = []
    for y in range(H):
        if y < DESK_Y:
            col = mix(WALL_TOP, WALL_LOW, y / DESK_Y)
        else:
            col = mix(DESK, DESK_EDGE, (y - DESK_Y) / (H - DESK_Y))
        img.append([[col[0], col[1], col[2], 255.0] for _ in range(W)])
    return img


def fill(img, sd, box, col, alpha=1.0):
    """Paints the shape of signed distance `sd` over the pixels of `box`."""
    x0, y0, x1, y1 = (int(max(0, math.floor(box[0]))), int(max(0, math.floor(box[1]))),
                      int(min(W, math.ceil(box[2]))), int(min(H, math.ceil(box[3]))))
    for y in range(y0, y1):
        row = img[y]
        for x in range(x0, x1):
            c = coverage(sd(x + 0.5, y + 0.5))
            if c > 0:
                row[x][:3] = mix(row[x][:3], col, c * alpha)


def rect(img, x0, y0, x1, y1, r, col, alpha=1.0):
    fill(img, lambda px, py: rounded_rect_sd(px, py, x0, y0, x1, y1, r),
         (x0 - 1, y0 - 1, x1 + 1, y1 + 1), col, alpha)


def disc(img, cx, cy, r, col, alpha=1.0):
    fill(img, lambda px, py: math.hypot(px - cx, py - cy) - r,
         (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1), col, alpha)


def curve(img, pts, width, col):
    """A cable: a polyline through `pts` (cubic Bezier control points)."""
    (ax, ay), (bx, by), (cx, cy), (dx, dy) = pts
    line = []
    for i in range(33):
        t = i / 32
        u = 1 - t
        line.append((u * u * u * ax + 3 * u * u * t * bx + 3 * u * t * t * cx + t * t * t * dx,
                     u * u * u * ay + 3 * u * u * t * by + 3 * u * t * t * cy + t * t * t * dy))
    xs = [p[0] for p in line]
    ys = [p[1] for p in line]
    box = (min(xs) - width, min(ys) - width, max(xs) + width, max(ys) + width)

    def sd(px, py):
        return min(seg_dist(px, py, *line[i], *line[i + 1]) for i in range(len(line) - 1)) - width / 2

    fill(img, sd, box, col)


def shadow(img, x0, y0, x1, y1):
    """Soft contact shadow of a box standing on the desk."""
    h, w = 16, int(x1 - x0) + 24
    cov = [[0.0] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            cov[y][x] = coverage(rounded_rect_sd(x, y, 12, 5, w - 12, 11, 3))
    cov = blur(cov, 4)
    for y in range(h):
        for x in range(w):
            ix, iy = int(x0) - 12 + x, int(y1) - 8 + y
            if 0 <= ix < W and 0 <= iy < H and cov[y][x] > 0:
                img[iy][ix][:3] = mix(img[iy][ix][:3], (60, 50, 40), cov[y][x] * 0.45)


def server(img, x, leds):
    """The server seen from the front-left: case, front panel, three LEDs."""
    top, bottom = 44, DESK_Y + 6
    shadow(img, x, top, x + 92, bottom)
    rect(img, x + 8, top - 6, x + 100, bottom - 6, 6, CASE_LIGHT)  # side face
    rect(img, x, top, x + 92, bottom, 6, CASE)
    rect(img, x + 10, top + 10, x + 82, top + 60, 4, PANEL)
    for i in range(5):  # vents
        rect(img, x + 16, top + 72 + 6 * i, x + 76, top + 74 + 6 * i, 1, PANEL)
    for i, col in enumerate(leds):
        cx, cy = x + 24 + 22 * i, top + 35
        if col != LED_OFF:
            glow = [[coverage(math.hypot(px - 12, py - 12) - 4) for px in range(25)] for py in range(25)]
            glow = blur(glow, 4)
            for gy in range(25):
                for gx in range(25):
                    ix, iy = int(cx) - 12 + gx, int(cy) - 12 + gy
                    if glow[gy][gx] > 0:
                        img[iy][ix][:3] = mix(img[iy][ix][:3], col, min(1.0, glow[gy][gx] * 1.6))
        disc(img, cx, cy, 4, col)
        disc(img, cx - 1.2, cy - 1.2, 1.3, mix(col, (255, 255, 255), 0.7))
    return top, bottom


def network_switch(img, x0, x1):
    y0, y1 = DESK_Y - 26, DESK_Y + 4
    shadow(img, x0, y0, x1, y1)
    rect(img, x0, y0, x1, y1, 4, SWITCH)
    for i in range(5):
        px = x0 + 12 + i * ((x1 - x0 - 24) / 5)
        rect(img, px, y0 + 10, px + 12, y0 + 20, 1, PORT)
        disc(img, px + 6, y0 + 6, 1.5, LED_GREEN if i == 1 else LED_OFF)
    return y0


def adapter(img, x, y):
    shadow(img, x, y, x + 58, y + 30)
    rect(img, x, y, x + 58, y + 30, 5, CABLE_POWER)
    rect(img, x + 6, y + 5, x + 52, y + 11, 2, (70, 70, 74))


def page1():
    img = canvas()
    top, _ = server(img, 70, [LED_OFF] * 3)
    sy = network_switch(img, 236, 330)
    curve(img, [(170, top + 96), (200, top + 120), (236, sy + 40), (264, sy + 16)], 4, CABLE_NET)
    rect(img, 160, top + 88, 172, top + 100, 2, CABLE_NET)  # plug at the server
    return img


def page2():
    img = canvas()
    top, _ = server(img, 70, [LED_OFF] * 3)
    adapter(img, 250, DESK_Y - 14)
    curve(img, [(250, DESK_Y), (215, DESK_Y + 24), (200, top + 120), (172, top + 104)], 3, CABLE_POWER)
    curve(img, [(308, DESK_Y + 2), (330, DESK_Y + 10), (340, DESK_Y + 40), (352, H + 4)], 3, CABLE_POWER)
    rect(img, 160, top + 98, 172, top + 108, 2, CABLE_POWER)  # plug at the server
    return img


def page3():
    img = canvas()
    top, _ = server(img, 138, [LED_BLUE, LED_ORANGE, LED_GREEN])
    curve(img, [(238, top + 96), (268, top + 118), (300, DESK_Y + 10), (372, DESK_Y + 6)], 4, CABLE_NET)
    curve(img, [(238, top + 104), (262, top + 130), (280, DESK_Y + 30), (300, H + 4)], 3, CABLE_POWER)
    return img


def main(argv):
    out = argv[1] if len(argv) > 1 else OUT_DIR
    os.makedirs(out, exist_ok=True)
    for name, draw in (("page1.bmp", page1), ("page2.bmp", page2), ("page3.bmp", page3)):
        write_bmp24(os.path.join(out, name), draw())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
