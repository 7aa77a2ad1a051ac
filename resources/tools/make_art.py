#!/usr/bin/env python3
"""Generates the artwork of Brellmark: program icon, banner and busy clip.

Everything is drawn from signed distance functions with analytic
anti-aliasing, so the script needs nothing but the Python standard library.
Run it from anywhere; it writes into resources/brellmark/art/ (or into the
directory given as its only argument):

    brellmark.ico   16x16, 32x32 and 48x48, 32-bit with alpha
    banner.bmp      443 x 73, 24-bit, drawn by the main window at 15,12
    busy.avi        52 x 50, 12 frames at 8 fps, 8-bit palettised DIB frames

The busy clip is placed by the main window over the right end of the banner,
so that part of the banner is kept a flat colour (BANNER_CALM) and the clip's
background is exactly that colour.
"""

import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.normpath(os.path.join(HERE, "..", "brellmark", "art"))

# Palette shared by banner, icon and clip.
NAVY = (10, 36, 74)  # left end of the banner gradient
BANNER_CALM = (22, 78, 140)  # flat right part of the banner, clip background
ACCENT = (64, 196, 232)  # thin accent line, LEDs of the icon
WHITE = (255, 255, 255)
SUBTITLE = (178, 208, 238)

BANNER_W, BANNER_H = 443, 73
CALM_FROM = 360  # banner x from which the colour no longer changes
CLIP_X, CLIP_Y = 395, 12  # where the main window puts the clip
CLIP_W, CLIP_H = 52, 50
FRAME = (414 - CLIP_X, 29 - CLIP_Y, 446 - CLIP_X, 61 - CLIP_Y)
CLIP_FRAMES = 12
CLIP_FPS = 8
RAMP_TOP = 254
BLACK_INDEX = 255


# ---------------------------------------------------------------------------
# Geometry helpers


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smoothstep(e0, e1, x):
    t = clamp((x - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


def seg_dist(px, py, ax, ay, bx, by):
    """Distance from point p to segment a-b."""
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else clamp(((px - ax) * dx + (py - ay) * dy) / ll)
    qx, qy = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(qx * qx + qy * qy)


def rounded_rect_sd(px, py, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    ox, oy = max(qx, 0.0), max(qy, 0.0)
    return math.sqrt(ox * ox + oy * oy) + min(max(qx, qy), 0.0) - r


def coverage(sd, soft=1.0):
    """Pixel coverage of a shape from its signed distance at the pixel centre."""
    return clamp(0.5 - sd / soft)


def arc(cx, cy, rx, ry, a0, a1, steps=None):
    """Polyline of an elliptic arc; angles in degrees, y axis pointing down."""
    if steps is None:
        steps = max(6, int(abs(a1 - a0) / 7.5))
    pts = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        pts.append((cx + rx * math.cos(a), cy + ry * math.sin(a)))
    return pts


# ---------------------------------------------------------------------------
# Stroke font. Coordinates: x to the right, y down; cap height from y=0 to
# y=1 (baseline). Lower case letters start at XH. Each glyph is a list of
# polylines plus its advance width (without the stroke).

XH = 0.28


def _glyphs():
    g = {}
    g["T"] = ([[(0, 0), (0.62, 0)], [(0.31, 0), (0.31, 1)]], 0.62)
    r = (1 - XH) / 2
    g["a"] = (
        [arc(r, XH + r, r, r, 0, 360, 48), [(2 * r, XH), (2 * r, 1)]],
        2 * r,
    )
    g["v"] = ([[(0, XH), (0.31, 1), (0.62, XH)]], 0.62)
    g["i"] = ([[(0, XH), (0, 1)], [(0, XH - 0.2), (0, XH - 0.2)]], 0.0)
    g["x"] = ([[(0, XH), (0.58, 1)], [(0.58, XH), (0, 1)]], 0.58)

    g["N"] = ([[(0, 1), (0, 0), (0.62, 1), (0.62, 0)]], 0.62)
    g["E"] = ([[(0.5, 0), (0, 0), (0, 1), (0.5, 1)], [(0, 0.5), (0.44, 0.5)]], 0.5)
    g["W"] = ([[(0, 0), (0.21, 1), (0.43, 0.12), (0.65, 1), (0.86, 0)]], 0.86)
    g["O"] = ([arc(0.48, 0.5, 0.48, 0.5, 0, 360, 48)], 0.96)
    bowl = [(0, 0.53), (0.26, 0.53)] + arc(0.26, 0.265, 0.265, 0.265, 90, -90, 16) + [(0, 0)]
    g["P"] = ([[(0, 1), (0, 0)], bowl], 0.53)
    g["R"] = ([[(0, 1), (0, 0)], bowl, [(0.24, 0.53), (0.54, 1)]], 0.54)
    g["K"] = ([[(0, 0), (0, 1)], [(0.54, 0), (0, 0.62)], [(0.19, 0.44), (0.56, 1)]], 0.56)
    s_top = arc(0.27, 0.25, 0.26, 0.25, -25, -270, 28)
    s_bot = arc(0.27, 0.75, 0.27, 0.25, -90, 155, 28)
    g["S"] = ([s_top + s_bot[1:]], 0.54)
    g["A"] = ([[(0, 1), (0.32, 0), (0.64, 1)], [(0.12, 0.66), (0.52, 0.66)]], 0.64)
    g["G"] = (
        [arc(0.48, 0.5, 0.48, 0.5, -42, -360, 44), [(0.96, 0.5), (0.58, 0.5)]],
        0.96,
    )
    g["U"] = ([[(0, 0), (0, 0.7)] + arc(0.29, 0.7, 0.29, 0.3, 180, 0, 20) + [(0.58, 0)]], 0.58)
    g[" "] = ([], 0.3)
    return g


GLYPHS = _glyphs()
KERN = {("T", "a"): -0.14}


def layout(text, size, x, y, stroke, tracking):
    """Returns the segments (in pixels) of a text whose cap height is size,
    with its cap top at y and its left edge at x, and the right edge."""
    segs = []
    pen = x + stroke / 2
    prev = None
    for ch in text:
        lines, adv = GLYPHS[ch]
        if prev is not None:
            pen += KERN.get((prev, ch), 0.0) * size
        for line in lines:
            pts = [(pen + px * size, y + py * size) for px, py in line]
            if len(pts) == 1:
                pts.append(pts[0])
            for i in range(len(pts) - 1):
                segs.append(pts[i] + pts[i + 1])
        pen += adv * size + stroke + tracking
        prev = ch
    return segs, pen - tracking - stroke / 2


def text_coverage(segs, stroke, w, h):
    """Coverage map (list of rows) of round-capped strokes."""
    cov = [[0.0] * w for _ in range(h)]
    rad = stroke / 2
    for ax, ay, bx, by in segs:
        x0 = max(0, int(min(ax, bx) - rad - 2))
        x1 = min(w - 1, int(max(ax, bx) + rad + 2))
        y0 = max(0, int(min(ay, by) - rad - 2))
        y1 = min(h - 1, int(max(ay, by) + rad + 2))
        for yy in range(y0, y1 + 1):
            row = cov[yy]
            for xx in range(x0, x1 + 1):
                c = coverage(seg_dist(xx + 0.5, yy + 0.5, ax, ay, bx, by) - rad)
                if c > row[xx]:
                    row[xx] = c
    return cov


# ---------------------------------------------------------------------------
# The product mark: a small storage box with three drive bays, on a tile.


def draw_mark(img, ox, oy, size, tile=True):
    """Paints the mark into img (rows of [r, g, b, a] floats) in the square
    ox, oy, size. With tile, a rounded gradient tile is drawn behind it."""
    s = size / 48.0
    for yy in range(int(oy), int(math.ceil(oy + size))):
        for xx in range(int(ox), int(math.ceil(ox + size))):
            if yy < 0 or yy >= len(img) or xx < 0 or xx >= len(img[0]):
                continue
            px, py = (xx + 0.5 - ox) / s, (yy + 0.5 - oy) / s
            layers = []
            if tile:
                sd = rounded_rect_sd(px, py, 0, 0, 48, 48, 9) * s
                t = clamp((px + py) / 96)
                col = mix((44, 128, 206), NAVY, t)
                layers.append((col, coverage(sd)))
                # soft highlight over the upper half
                hl = rounded_rect_sd(px, py, 3, 3, 45, 24, 7) * s
                layers.append(((255, 255, 255), 0.10 * coverage(hl)))
            # The geometry sits on a grid of 3 units, so the 16, 32 and 48
            # pixel renderings all have crisp edges.
            body = rounded_rect_sd(px, py, 9, 6, 39, 42, 3) * s
            layers.append(((238, 244, 250), coverage(body)))
            for top in (12, 21, 30):
                bay = rounded_rect_sd(px, py, 12, top, 36, top + 6, 1.5) * s
                layers.append(((60, 92, 130), coverage(bay)))
                led = (math.hypot(px - 31.5, py - (top + 3)) - 1.9) * s
                layers.append((ACCENT, coverage(led, max(s, 0.6))))
            for fx in (12, 30):
                foot = rounded_rect_sd(px, py, fx, 41, fx + 6, 45, 1) * s
                layers.append(((200, 214, 230), coverage(foot)))
            pix = img[yy][xx]
            for col, a in layers:
                if a <= 0:
                    continue
                na = a + pix[3] * (1 - a)
                for c in range(3):
                    pix[c] = (col[c] * a + pix[c] * pix[3] * (1 - a)) / na if na > 0 else 0
                pix[3] = na


# ---------------------------------------------------------------------------
# Banner


def banner_background(x, y):
    t = smoothstep(0, CALM_FROM, x)
    col = mix(NAVY, BANNER_CALM, t)
    # a faint sheen over the upper half of the left part, fading out before
    # the calm area
    sheen = 0.07 * (1 - smoothstep(0, BANNER_H * 0.55, y))
    sheen *= 1 - smoothstep(200, CALM_FROM, x)
    return mix(col, WHITE, sheen)


def make_banner():
    w, h = BANNER_W, BANNER_H
    img = [[list(banner_background(x, y)) + [1.0] for x in range(w)] for y in range(h)]

    # Decorative rings behind the text, centred left of the calm part.
    for y in range(h):
        for x in range(240, CALM_FROM):
            d = math.hypot(x + 0.5 - 300, y + 0.5 - 90)
            a = 0.0
            for r in (40, 56, 72, 88):
                a = max(a, coverage(abs(d - r) - 0.6))
            a *= 0.10 * (1 - smoothstep(310, CALM_FROM, x))
            if a > 0:
                img[y][x][:3] = mix(img[y][x][:3], WHITE, a)

    # Mark at the left.
    mark = [[[0.0, 0.0, 0.0, 0.0] for _ in range(w)] for _ in range(h)]
    draw_mark(mark, 14, 12, 48)
    blend_rgba(img, mark)

    # Title with a soft shadow.
    size = 38
    stroke = 7.0
    segs, _ = layout("Tavix", size, 76, 11, stroke, 2.0)
    cov = text_coverage(segs, stroke, w, h)
    shadow = blur(shift(cov, 1, 2), 2)
    paint(img, shadow, (0, 0, 0), 0.35)
    paint(img, cov, WHITE, 1.0)

    # Subtitle under the title, tracked capitals.
    sub = "NETWORK STORAGE SETUP"
    ssize = 8
    sstroke = 1.25
    segs, _ = layout(sub, ssize, 78, 56, sstroke, 2.2)
    paint(img, text_coverage(segs, sstroke, w, h), SUBTITLE, 1.0)

    # Thin accent line along the bottom edge, fading out to the right.
    for x in range(w):
        a = 1 - smoothstep(120, CALM_FROM - 20, x)
        for y, k in ((h - 2, 0.9), (h - 1, 0.55)):
            img[y][x][:3] = mix(img[y][x][:3], ACCENT, k * a)
    return img


def blend_rgba(dst, src):
    for y, row in enumerate(src):
        for x, (r, g, b, a) in enumerate(row):
            if a > 0:
                dst[y][x][:3] = mix(dst[y][x][:3], (r, g, b), a)


def paint(img, cov, col, alpha):
    for y, row in enumerate(cov):
        for x, c in enumerate(row):
            if c > 0:
                img[y][x][:3] = mix(img[y][x][:3], col, c * alpha)


def shift(cov, dx, dy):
    h, w = len(cov), len(cov[0])
    out = [[0.0] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            sx, sy = x - dx, y - dy
            if 0 <= sx < w and 0 <= sy < h:
                out[y][x] = cov[sy][sx]
    return out


def blur(cov, r):
    h, w = len(cov), len(cov[0])
    n = 2 * r + 1
    taps = range(-r, r + 1)
    tmp = [[sum(row[max(0, min(w - 1, x + k))] for k in taps) / n for x in range(w)] for row in cov]
    out = []
    for y in range(h):
        rows = [tmp[max(0, min(h - 1, y + k))] for k in taps]
        out.append([sum(r[x] for r in rows) / n for x in range(w)])
    return out


def to8(v):
    return int(round(clamp(v / 255.0) * 255))


def write_bmp24(path, img):
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for r, g, b, _ in img[y]:
            row += bytes((to8(b), to8(g), to8(r)))
        row += b"\0" * (stride - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


# ---------------------------------------------------------------------------
# Icon


def make_icon_image(size):
    img = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    draw_mark(img, 0, 0, size)
    return img


def icon_dib(img):
    """32-bit BGRA DIB with AND mask, as stored inside an .ico file."""
    size = len(img)
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for r, g, b, a in img[y]:
            a8 = to8(a * 255)
            # icons hold straight (not premultiplied) colour
            xor += bytes((to8(b), to8(g), to8(r), a8))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        bits = bytearray(mask_stride)
        for x, p in enumerate(img[y]):
            if p[3] < 0.5:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack(
        "<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0
    )
    return info + xor + mask


def write_ico(path, sizes):
    dibs = [icon_dib(make_icon_image(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, d in zip(sizes, dibs):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(d), offset)
        offset += len(d)
    with open(path, "wb") as f:
        f.write(out + b"".join(dibs))


# ---------------------------------------------------------------------------
# Busy clip: a ring of dots with a bright head and a fading tail.
#
# The main window creates the animation control at 395,12 with the clip's own
# size and paints a small raised frame at 414..446 x 29..61 (white top and
# left, black right and bottom). The clip therefore spans 395..446 x 12..61,
# repeats that frame pixel for pixel and turns inside it, so the window's
# frame and the clip always agree.


def ring_level(x, y, f, n, cx, cy, ring, bright, rad):
    """Level of pixel (x, y) in frame f of n dots on a ring round (cx, cy):
    the dot of frame f is the head, the tail fades round the ring. A dot of
    age a, with t = 1 - a / (n - 1), has the brightness b0 + b1 * t ** gamma
    for bright = (b0, b1, gamma), and the radius r0 + r1 * t for rad = (r0, r1)."""
    b0, b1, gamma = bright
    r0, r1 = rad
    level = 0.0
    for d in range(n):
        ang = 2 * math.pi * d / n - math.pi / 2
        dx, dy = cx + ring * math.cos(ang), cy + ring * math.sin(ang)
        t = 1 - ((f - d) % n) / (n - 1)
        cov = coverage(math.hypot(x + 0.5 - dx, y + 0.5 - dy) - (r0 + r1 * t))
        level = max(level, cov * (b0 + b1 * t**gamma))
    return level


def frames_of(n, w, h, pixel):
    """n frames of w x h palette indices, pixel(f, x, y) each."""
    return [[[pixel(f, x, y) for x in range(w)] for y in range(h)] for f in range(n)]


def clip_frames():
    n = CLIP_FRAMES
    fx0, fy0, fx1, fy1 = FRAME  # frame corners, clip coordinates
    cx, cy = (fx0 + 1 + fx1) / 2.0, (fy0 + 1 + fy1) / 2.0

    def pixel(f, x, y):
        level = 0.0
        if abs(x + 0.5 - cx) < 16 and abs(y + 0.5 - cy) < 16:
            level = ring_level(x, y, f, n, cx, cy, 10.5, (0.22, 0.78, 1.6), (2.3, 0.5))
        # the raised frame, as the window paints it with MoveTo/LineTo
        # (end points excluded)
        if (y == fy0 and fx0 <= x < fx1) or (x == fx0 and fy0 <= y < fy1):
            return RAMP_TOP
        if (x == fx1 and fy0 <= y < fy1) or (y == fy1 and fx0 <= x < fx1):
            return BLACK_INDEX
        return int(round(level * RAMP_TOP))

    return frames_of(n, CLIP_W, CLIP_H, pixel)


def clip_palette():
    """Indices 0 to RAMP_TOP run from the banner colour to white; index 0 is
    the background, so the clip's top-left pixel is the banner colour (which
    is also what ACS_TRANSPARENT keys on). The last index is black."""
    pal = [
        tuple(int(round(BANNER_CALM[c] + (255 - BANNER_CALM[c]) * i / RAMP_TOP)) for c in range(3))
        for i in range(RAMP_TOP + 1)
    ]
    pal.append((0, 0, 0))
    return pal


def write_avi(path, frames, w=CLIP_W, h=CLIP_H, pal=None, fps=CLIP_FPS):
    n = len(frames)
    stride = (w + 3) & ~3
    frame_bytes = stride * h
    pal = pal or clip_palette()

    def chunk(fourcc, data):
        pad = b"\0" if len(data) % 2 else b""
        return fourcc + struct.pack("<I", len(data)) + data + pad

    def lst(kind, body):
        return b"LIST" + struct.pack("<I", len(body) + 4) + kind + body

    us_per_frame = 1000000 // fps
    avih = struct.pack(
        "<IIIIIIIIII4I",
        us_per_frame,
        frame_bytes * fps,  # max bytes per second
        0,  # padding granularity
        0x10,  # AVIF_HASINDEX
        n,
        0,
        1,  # streams
        frame_bytes,
        w,
        h,
        0, 0, 0, 0,
    )
    strh = struct.pack(
        "<4s4sIHHIIIIIIIIhhhh",
        b"vids",
        b"DIB ",
        0,
        0,
        0,
        0,
        1,  # scale
        fps,  # rate
        0,
        n,
        frame_bytes,
        0xFFFFFFFF,  # quality: default
        0,  # sample size: varies
        0, 0, w, h,
    )
    bih = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, frame_bytes, 0, 0, 256, 0)
    strf = bih + b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in pal)
    strl = lst(b"strl", chunk(b"strh", strh) + chunk(b"strf", strf))
    hdrl = lst(b"hdrl", chunk(b"avih", avih) + strl)

    movi_body = b""
    index = b""
    for frame in frames:
        data = bytearray()
        for y in range(h - 1, -1, -1):
            row = bytes(frame[y])
            data += row + b"\0" * (stride - w)
        # offsets in idx1 count from the 'movi' list type
        index += struct.pack("<4sIII", b"00db", 0x10, 4 + len(movi_body), len(data))
        movi_body += chunk(b"00db", bytes(data))
    movi = lst(b"movi", movi_body)
    body = b"AVI " + hdrl + movi + chunk(b"idx1", index)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


# ---------------------------------------------------------------------------


# ---------------------------------------------------------------------------
# Quick configuration wizard: the row clip and the check mark of the applying
# page, both 16 x 16 on the dialog face colour.

FACE = (240, 240, 240)  # dialog face colour; ACS_TRANSPARENT keys on pixel 0,0
ROW_N = 8
ROW_SIZE = 16


def row_palette():
    pal = [tuple(int(round(FACE[c] + (ACCENT[c] * 0.55 - FACE[c]) * i / RAMP_TOP)) for c in range(3))
           for i in range(RAMP_TOP + 1)]
    pal.append((0, 0, 0))
    return pal


def row_frames():
    """Eight dots on a ring; the bright one walks round, the tail fades."""
    n, size = ROW_N, ROW_SIZE
    c = size / 2.0

    def pixel(f, x, y):
        if (x, y) == (0, 0):
            return 0
        return int(round(ring_level(x, y, f, n, c, c, 5.2, (0.18, 0.82, 1.5), (1.5, 0.0)) * RAMP_TOP))

    return frames_of(n, size, size, pixel)


def make_check():
    green = (34, 139, 58)
    img = []
    for y in range(ROW_SIZE):
        row = []
        for x in range(ROW_SIZE):
            px, py = x + 0.5, y + 0.5
            d = min(seg_dist(px, py, 3.0, 8.5, 6.5, 12.0), seg_dist(px, py, 6.5, 12.0, 13.0, 4.0))
            cov = coverage(d - 1.4)
            r, g, b = mix(FACE, green, cov)
            row.append((r, g, b, 255))
        img.append(row)
    return img


# The wizard's watermark (left of the welcome and closing pages) and header
# image (interior pages), each also in a 16-colour variant for displays of
# fewer than 8 bits per pixel.

WATERMARK_W, WATERMARK_H = 164, 314
HEADER_SIZE = 49
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def make_watermark():
    w, h = WATERMARK_W, WATERMARK_H
    img = []
    for y in range(h):
        row = []
        for x in range(w):
            col = mix(NAVY, BANNER_CALM, smoothstep(0, h, y + 0.3 * x))
            d = math.hypot(x + 0.5 - 40, y + 0.5 - 250)
            a = 0.0
            for r in (50, 80, 110, 140):
                a = max(a, coverage(abs(d - r) - 0.6))
            row.append(list(mix(col, WHITE, 0.10 * a)) + [1.0])
        img.append(row)
    mark = [[[0.0, 0.0, 0.0, 0.0] for _ in range(w)] for _ in range(h)]
    draw_mark(mark, 50, 28, 64)
    blend_rgba(img, mark)
    for y in range(h):
        img[y][w - 1][:3] = mix(img[y][w - 1][:3], ACCENT, 0.8)
    return img


def make_header():
    n = HEADER_SIZE
    img = [[[255.0, 255.0, 255.0, 1.0] for _ in range(n)] for _ in range(n)]
    mark = [[[0.0, 0.0, 0.0, 0.0] for _ in range(n)] for _ in range(n)]
    draw_mark(mark, 0.5, 0.5, 48)
    blend_rgba(img, mark)
    return img


def write_bmp4(path, img):
    """16-colour BMP: each pixel the nearest of the standard VGA colours."""
    h, w = len(img), len(img[0])
    stride = ((w + 1) // 2 + 3) & ~3

    def nearest(r, g, b):
        return min(range(16), key=lambda i: (VGA[i][0] - r) ** 2 + (VGA[i][1] - g) ** 2
                   + (VGA[i][2] - b) ** 2)

    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        idx = [nearest(to8(p[0]), to8(p[1]), to8(p[2])) for p in img[y]] + [0]
        row = bytearray((idx[x] << 4) | idx[x + 1] for x in range(0, w, 2))
        pixels += row + b"\0" * (stride - len(row))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + pixels)


def main(argv):
    out = argv[1] if len(argv) > 1 else OUT_DIR
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, "brellmark.ico"), (16, 32, 48))
    write_bmp24(os.path.join(out, "banner.bmp"), make_banner())
    write_avi(os.path.join(out, "busy.avi"), clip_frames())
    write_avi(os.path.join(out, "wiz_row.avi"), row_frames(), ROW_SIZE, ROW_SIZE, row_palette(), 10)
    write_bmp24(os.path.join(out, "wiz_check.bmp"), make_check())
    watermark, header = make_watermark(), make_header()
    write_bmp24(os.path.join(out, "wiz_watermark.bmp"), watermark)
    write_bmp4(os.path.join(out, "wiz_watermark16.bmp"), watermark)
    write_bmp24(os.path.join(out, "wiz_header.bmp"), header)
    write_bmp4(os.path.join(out, "wiz_header16.bmp"), header)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
