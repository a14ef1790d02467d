#!/usr/bin/env python3
"""Draws the pictures of the installer's skin and its two icons.

A build-time tool, not part of the installer: its output is committed under
resources/ and packed from there, so a build never runs it. Run it again after
changing a design:

    tools/skin_images.py                 # rewrite every picture and icon
    tools/skin_images.py --only bt2.png  # one picture
    tools/skin_images.py --check         # fail if a committed picture differs

Standard library only (see raster.py). Every picture has the size and the
sprite layout its skin expects; states of a sprite are stacked vertically in
the order the layouts name them (note that bt2.png and bt3.png keep "pushed"
above "hot", while bt1.png keeps "hot" above "pushed").

The look: a navy-to-teal hero band carries the white page titles, a calm light
area below carries the dark body text and the buttons; buttons are rounded
teal-to-blue with a soft coloured shadow.
"""
import argparse
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from raster import (Canvas, arc, circle, decode_ico, decode_png, encode_ico, encode_png,  # noqa: E402
                    intersect, linear, offset, polygon, radial, rgba, ring, rounded_rect,
                    solid, stroke, subtract, union, curve_below)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
THEME = os.path.join(ROOT, "resources", "themes", "default")
ICONS = os.path.join(ROOT, "resources", "icons")

# Brand colours: 青澜 is a teal-blue; links of the skin are #3083FE / #0167FE.
NAVY = rgba("#0A1F5C")
ROYAL = rgba("#1747B8")
BLUE = rgba("#2563EB")
TEAL = rgba("#0FB5A6")
CYAN = rgba("#3DD9D0")
WHITE = rgba("#FFFFFF")
PAPER = rgba("#F4F7FB")
INK = rgba("#333333")
LINK = rgba("#0167FE")


def above(line):
    """The half plane above the horizontal line y = line."""
    return lambda x, y: y - line


def hero_paint():
    """The hero band: navy along the top (white titles), teal towards the
    lower right."""
    return linear(40, -60, 560, 300, [(0.0, NAVY), (0.45, ROYAL), (0.78, rgba("#137FC4")),
                                      (1.0, TEAL)])


# ---------------------------------------------------------------- the mark

def draw_mark(canvas, x0, y0, size):
    """The product mark inside a square of `size`: a rounded teal-to-blue tile
    with two arrows pressing onto a bar (compression)."""
    s = float(size)
    tile = rounded_rect(x0 + 0.02 * s, y0 + 0.02 * s, x0 + 0.98 * s, y0 + 0.98 * s, 0.24 * s)
    box = (x0, y0, x0 + s, y0 + s)
    canvas.fill(tile, linear(x0, y0, x0 + s, y0 + s, [(0.0, rgba("#19C6B2")), (1.0, rgba("#2356E6"))]),
                box)
    # A soft light from the top left gives the tile some depth.
    canvas.fill(tile, radial(x0 + 0.25 * s, y0 + 0.1 * s, 0.8 * s,
                             [(0.0, rgba("#FFFFFF", 0.28)), (1.0, rgba("#FFFFFF", 0.0))]), box)
    draw_glyph(canvas, x0, y0, s, solid(WHITE))


def draw_glyph(canvas, x0, y0, s, paint):
    """Two arrows towards a centre bar, in unit coordinates of a square s."""
    w = max(0.095 * s, 1.35)

    def p(u, v):
        return (x0 + u * s, y0 + v * s)
    shapes = [
        stroke([p(0.27, 0.5), p(0.73, 0.5)], w),
        stroke([p(0.5, 0.17), p(0.5, 0.38)], w),
        stroke([p(0.37, 0.27), p(0.5, 0.39), p(0.63, 0.27)], w),
        stroke([p(0.5, 0.83), p(0.5, 0.62)], w),
        stroke([p(0.37, 0.73), p(0.5, 0.61), p(0.63, 0.73)], w),
    ]
    canvas.fill(union(*shapes), paint, (x0, y0, x0 + s, y0 + s))


def logo():
    c = Canvas(30, 30)
    draw_mark(c, 0, 0, 30)
    return c


def icon(size, badge):
    c = Canvas(size, size)
    draw_mark(c, 0, 0, size)
    if badge:
        # The setup badge: a green disc with a downward arrow, bottom right.
        r = 0.24 * size
        cx = cy = size - r - 0.02 * size
        c.fill(circle(cx, cy, r + max(1.0, 0.05 * size)), solid(WHITE))
        c.fill(circle(cx, cy, r), linear(cx, cy - r, cx, cy + r, [(0.0, rgba("#34D27B")), (1.0, rgba("#14A85A"))]))
        w = max(0.22 * r, 1.1)
        arrow = union(stroke([(cx, cy - 0.55 * r), (cx, cy + 0.45 * r)], w),
                      stroke([(cx - 0.45 * r, cy + 0.02 * r), (cx, cy + 0.5 * r), (cx + 0.45 * r, cy + 0.02 * r)], w))
        c.fill(arrow, solid(WHITE))
    return c


# ---------------------------------------------------------------- backgrounds

def wave(base, amp1, len1, phase1, amp2, len2, phase2):
    def f(x):
        return (base + amp1 * math.sin(2 * math.pi * x / len1 + phase1) +
                amp2 * math.sin(2 * math.pi * x / len2 + phase2))

    def df(x):
        return (amp1 * 2 * math.pi / len1 * math.cos(2 * math.pi * x / len1 + phase1) +
                amp2 * 2 * math.pi / len2 * math.cos(2 * math.pi * x / len2 + phase2))
    return f, df


def background(bottom_edge, decorate):
    """600 x 400: light paper below, the hero band above a double wave whose
    lowest point stays above `bottom_edge`."""
    c = Canvas(600, 400)
    c.fill(None, linear(0, 200, 0, 400, [(0.0, WHITE), (1.0, PAPER)]))
    # The hero band, with its wave edge; a translucent second wave below it
    # echoes the edge.
    f, df = wave(bottom_edge - 22, 9, 620, 0.6, 5, 260, 2.2)
    hero = lambda x, y: -curve_below(f, df)(x, y)  # noqa: E731 (above the curve)
    f2, df2 = wave(bottom_edge - 10, 8, 540, 2.4, 4, 230, 0.3)
    echo = lambda x, y: -curve_below(f2, df2)(x, y)  # noqa: E731
    c.fill(echo, linear(0, 0, 600, 0, [(0.0, rgba("#2F6FE8", 0.16)), (1.0, rgba("#12B5A6", 0.22))]),
           (0, 0, 600, bottom_edge + 20))
    c.shadow(hero, rgba("#0A2A6B", 0.18), 6, 0, 4, (0, bottom_edge - 80, 600, bottom_edge + 30))
    c.fill(hero, hero_paint(), (0, 0, 600, bottom_edge + 20))
    box = (0, 0, 600, bottom_edge + 20)
    # Glows and rings give the band depth; all of them stay off the title
    # row's left half, where white text sits.
    c.fill(hero, radial(520, 40, 230, [(0.0, rgba("#46E0D6", 0.30)), (1.0, rgba("#46E0D6", 0.0))]), box)
    c.fill(hero, radial(90, 250, 220, [(0.0, rgba("#3B82F6", 0.35)), (1.0, rgba("#3B82F6", 0.0))]), box)
    c.fill(intersect(hero, ring(540, 210, 120, 1.2)), solid(rgba("#FFFFFF", 0.10)), box)
    c.fill(intersect(hero, ring(540, 210, 84, 1.0)), solid(rgba("#FFFFFF", 0.07)), box)
    c.fill(intersect(hero, ring(40, -20, 150, 1.0)), solid(rgba("#FFFFFF", 0.06)), box)
    # A grid of small dots, lower left of the band.
    for row in range(4):
        for col in range(7):
            x, y = 34 + col * 14, bottom_edge - 92 + row * 14
            c.fill(circle(x, y, 1.4), solid(rgba("#FFFFFF", 0.16)), (x - 3, y - 3, x + 3, y + 3), clip=hero)
    decorate(c)
    # A hairline of light along the wave edge.
    edge = lambda x, y: abs(curve_below(f, df)(x, y)) - 0.6  # noqa: E731
    c.fill(edge, linear(0, 0, 600, 0, [(0.0, rgba("#FFFFFF", 0.0)), (0.5, rgba("#FFFFFF", 0.55)),
                                       (1.0, rgba("#FFFFFF", 0.0))]), box)
    return c


def emblem_tile(c, cx, cy, size):
    """A large white tile carrying the mark's glyph in brand colours."""
    h = size / 2.0
    tile = rounded_rect(cx - h, cy - h, cx + h, cy + h, 0.24 * size)
    c.shadow(tile, rgba("#061746", 0.45), 12, 0, 10, (cx - h - 40, cy - h - 30, cx + h + 40, cy + h + 55))
    c.fill(tile, linear(cx, cy - h, cx, cy + h, [(0.0, WHITE), (1.0, rgba("#EAF2FB"))]),
           (cx - h - 1, cy - h - 1, cx + h + 1, cy + h + 1))
    glyph_paint = linear(cx - h, cy - h, cx + h, cy + h, [(0.0, rgba("#12BFAE")), (1.0, rgba("#2355E0"))])
    draw_glyph(c, cx - h, cy - h, size, glyph_paint)


def sparkle(c, x, y, r, alpha):
    star = polygon([(x, y - r), (x + 0.22 * r, y - 0.22 * r), (x + r, y), (x + 0.22 * r, y + 0.22 * r),
                    (x, y + r), (x - 0.22 * r, y + 0.22 * r), (x - r, y), (x - 0.22 * r, y - 0.22 * r)])
    c.fill(star, solid(rgba("#FFFFFF", alpha)), (x - r - 1, y - r - 1, x + r + 1, y + r + 1))


def bg_main():
    """Page 0: title top left, the emblem in the band, button and consent row
    on the light area (y 283 to 400)."""
    def decorate(c):
        c.fill(ring(300, 124, 78, 1.2), solid(rgba("#FFFFFF", 0.16)), (210, 40, 390, 210))
        c.fill(ring(300, 124, 100, 1.0), solid(rgba("#FFFFFF", 0.08)), (190, 14, 410, 234))
        emblem_tile(c, 300, 124, 96)
        for x, y, r, a in ((196, 70, 5, 0.7), (412, 176, 4, 0.55), (420, 66, 3, 0.5), (182, 186, 3, 0.4)):
            sparkle(c, x, y, r, a)
    return background(250, decorate)


def bg_progress():
    """Page 2: no title row; the emblem inside a progress ring; the bar runs
    at y 280 on the light area with its text below."""
    def decorate(c):
        c.fill(ring(300, 118, 86, 6), solid(rgba("#FFFFFF", 0.14)), (200, 20, 400, 220))
        c.fill(arc(300, 118, 86, 6, -30, 250),
               linear(220, 40, 380, 200, [(0.0, rgba("#FFFFFF", 0.95)), (1.0, rgba("#5EEAD4", 0.95))]),
               (200, 20, 400, 220))
        emblem_tile(c, 300, 118, 92)
        # Particles drifting towards the mark.
        for x, y, r, a in ((180, 60, 2.2, 0.5), (160, 120, 1.6, 0.4), (424, 84, 2.0, 0.5), (446, 150, 1.5, 0.35),
                           (200, 190, 1.8, 0.35), (410, 196, 2.4, 0.45)):
            c.fill(circle(x, y, r), solid(rgba("#FFFFFF", a)), (x - 4, y - 4, x + 4, y + 4))
    return background(246, decorate)


def bg_done():
    """Page 3: title top left, a success badge in the band, the finish
    button on the light area (y 265 to 329)."""
    def decorate(c):
        cx, cy, r = 300, 130, 50
        c.fill(circle(cx, cy, r + 18), solid(rgba("#FFFFFF", 0.10)), (cx - 70, cy - 70, cx + 70, cy + 70))
        c.fill(circle(cx, cy, r + 34), solid(rgba("#FFFFFF", 0.05)), (cx - 86, cy - 86, cx + 86, cy + 86))
        disc = circle(cx, cy, r)
        c.shadow(disc, rgba("#061746", 0.45), 12, 0, 10, (cx - r - 40, cy - r - 30, cx + r + 40, cy + r + 55))
        c.fill(disc, linear(cx, cy - r, cx, cy + r, [(0.0, WHITE), (1.0, rgba("#EAF2FB"))]),
               (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1))
        check = stroke([(cx - 22, cy + 1), (cx - 6, cy + 17), (cx + 24, cy - 15)], 10)
        c.fill(check, linear(cx - 25, cy - 20, cx + 25, cy + 20, [(0.0, rgba("#12BFAE")), (1.0, rgba("#2355E0"))]),
               (cx - 40, cy - 40, cx + 40, cy + 40))
        for x, y, s, a in ((212, 74, 6, 0.8), (392, 92, 5, 0.7), (226, 190, 4, 0.55), (384, 184, 6, 0.6),
                           (178, 130, 3, 0.45), (424, 136, 3, 0.45)):
            sparkle(c, x, y, s, a)
        confetti = ((252, 52, "#FDE68A"), (352, 50, "#A7F3D0"), (196, 150, "#BFDBFE"), (408, 118, "#FBCFE8"))
        for x, y, colour in confetti:
            c.fill(rounded_rect(x - 3, y - 1.5, x + 3, y + 1.5, 1.5), solid(rgba(colour, 0.85)),
                   (x - 5, y - 4, x + 5, y + 4))
    return background(236, decorate)


# ---------------------------------------------------------------- buttons

BT2_STATES = {
    # state: (left colour, right colour, face drop, shadow alpha, shadow lift)
    "normal": ("#0C9C90", "#2360E6", 0, 0.34, 0),
    "hot": ("#0FA497", "#2F6EF0", 0, 0.46, 0),
    "pushed": ("#0A857B", "#1C4DBF", 2, 0.22, 3),
}


def bt2():
    """219 x 192: normal, pushed, hot, each 219 x 64. The face is a pill from
    y 4 to 52 so that text centred in the upper 54 pixels (page 0) and in the
    whole 64 (page 3) both sit well; a soft coloured shadow falls below it and
    fades out before the sprite's lower edge."""
    c = Canvas(219, 192)
    for index, state in enumerate(("normal", "pushed", "hot")):
        left, right, drop, shadow_alpha, lift = BT2_STATES[state]
        top = index * 64
        face = rounded_rect(10, top + 4 + drop, 209, top + 52 + drop, 24)
        box = (0, top, 219, top + 64)
        fade_out = lambda x, y, b=top + 64: 0.5 - (b - y) / 7.0  # noqa: E731
        c.shadow(face, rgba("#1F5FD8", shadow_alpha), 3.5, 0, 5 - lift, box, clip=fade_out)
        c.fill(face, linear(10, 0, 209, 0, [(0.0, rgba(left)), (1.0, rgba(right))]), box)
        # Gloss on the upper half and a thin light rim along the top.
        c.fill(intersect(face, above(top + drop + 30)),
               linear(0, top + 4 + drop, 0, top + 30 + drop,
                      [(0.0, rgba("#FFFFFF", 0.18)), (1.0, rgba("#FFFFFF", 0.0))]), box)
        rim = intersect(lambda x, y, f=face: abs(f(x, y) + 0.7) - 0.7, above(top + drop + 18))
        c.fill(rim, linear(0, top + 4 + drop, 0, top + 18 + drop,
                           [(0.0, rgba("#FFFFFF", 0.32 if state != "pushed" else 0.12)), (1.0, rgba("#FFFFFF", 0.0))]),
               box)
    return c


BT3_STATES = {
    "normal": ("#2A6DEE", "#1F5AD8"),
    "hot": ("#3A7AF4", "#2767E8"),
    "pushed": ("#1D55CC", "#1A4AB3"),
}


def bt3():
    """94 x 114: normal, pushed, hot, each 94 x 38, nine-grid corners 5: a
    rounded blue button (radius 4.5) with a light top edge."""
    c = Canvas(94, 114)
    for index, state in enumerate(("normal", "pushed", "hot")):
        top_colour, bottom_colour = BT3_STATES[state]
        top = index * 38
        face = rounded_rect(0.5, top + 0.5, 93.5, top + 37.5, 4.5)
        box = (0, top, 94, top + 38)
        c.fill(face, linear(0, top, 0, top + 38, [(0.0, rgba(top_colour)), (1.0, rgba(bottom_colour))]), box)
        border = lambda x, y, f=face: abs(f(x, y) + 0.5) - 0.5  # noqa: E731
        c.fill(border, solid(rgba("#123E9C", 0.35)), box)
        highlight = intersect(lambda x, y, f=face: abs(f(x, y) + 1.5) - 0.5, above(top + 6))
        c.fill(highlight, solid(rgba("#FFFFFF", 0.28 if state != "pushed" else 0.10)), box)
    return c


def bt1():
    """13 x 39: the arrow of the "自定义" link; normal, hot, pushed."""
    c = Canvas(13, 39)
    colours = (("#7B8494", "#4B5563"), ("#3083FE", "#0167FE"), ("#0156D6", "#0148B5"))
    for index, (ring_colour, arrow_colour) in enumerate(colours):
        top = index * 13
        box = (0, top, 13, top + 13)
        c.fill(ring(6.5, top + 6.5, 5.6, 1.0), solid(rgba(ring_colour)), box)
        if index:
            c.fill(circle(6.5, top + 6.5, 5.1), solid(rgba(arrow_colour, 0.10)), box)
        c.fill(stroke([(5.4, top + 4.0), (7.9, top + 6.5), (5.4, top + 9.0)], 1.35), solid(rgba(arrow_colour)),
               box)
    return c


def close_glyph(normal, hot):
    """10 x 20: a close cross, normal above hot."""
    c = Canvas(10, 20)
    for index, colour in enumerate((normal, hot)):
        top = index * 10
        cross = union(stroke([(1.5, top + 1.5), (8.5, top + 8.5)], 1.5),
                      stroke([(8.5, top + 1.5), (1.5, top + 8.5)], 1.5))
        c.fill(cross, solid(rgba(colour)), (0, top, 10, top + 10))
    return c


def guanbi():
    # Shown on the dark band of pages 0 and 3 and on the white pages 1 and 4:
    # a mid grey reads on both; hot turns red.
    return close_glyph("#8D98AC", "#FF5A55")


def guanbi2():
    return close_glyph("#A2A8B3", "#F04A4A")


def common_choose():
    """16 x 32: the agreement check box, unselected above selected."""
    c = Canvas(16, 32)
    box = rounded_rect(1.5, 1.5, 14.5, 14.5, 3.2)
    c.fill(box, solid(WHITE), (0, 0, 16, 16))
    c.fill(lambda x, y: abs(box(x, y) + 0.5) - 0.5, solid(rgba("#A9B2C0")), (0, 0, 16, 16))
    selected = offset(box, 0, 16)
    c.fill(selected, linear(0, 17, 16, 31, [(0.0, rgba("#19B9AA")), (1.0, rgba("#2563EB"))]), (0, 16, 16, 32))
    c.fill(stroke([(4.4, 24.2), (7.0, 26.7), (11.6, 21.6)], 1.7), solid(WHITE), (0, 16, 16, 32))
    return c


def xk1():
    """348 x 108: the install-path field, normal, focused, disabled (36 each),
    nine-grid corners 5."""
    c = Canvas(348, 108)
    looks = (("#FFFFFF", "#D0D4D9"), ("#FFFFFF", "#3083FE"), ("#F3F4F6", "#E2E5EA"))
    for index, (fill_colour, border_colour) in enumerate(looks):
        top = index * 36
        field = rounded_rect(0.5, top + 0.5, 347.5, top + 35.5, 4)
        box = (0, top, 348, top + 36)
        c.fill(field, solid(rgba(fill_colour)), box)
        # A faint inner shade under the top edge.
        c.fill(intersect(field, above(top + 4)),
               linear(0, top + 1, 0, top + 4, [(0.0, rgba("#0F172A", 0.05)), (1.0, rgba("#0F172A", 0.0))]), box)
        c.fill(lambda x, y, f=field: abs(f(x, y) + 0.5) - 0.5, solid(rgba(border_colour)), box)
    return c


def progress_track():
    """76 x 12, corners 6,2,6,2: a recessed light pill."""
    c = Canvas(76, 12)
    pill = rounded_rect(0, 0, 76, 12, 6)
    c.fill(pill, linear(0, 0, 0, 12, [(0.0, rgba("#DCE3EE")), (1.0, rgba("#E9EEF5"))]))
    c.fill(intersect(pill, above(3.5)),
           linear(0, 0, 0, 3.5, [(0.0, rgba("#0F172A", 0.08)), (1.0, rgba("#0F172A", 0.0))]))
    return c


def progress_fill():
    """76 x 12, corners 6,2,6,2: a green-teal-blue pill with a light top."""
    c = Canvas(76, 12)
    pill = rounded_rect(0, 0, 76, 12, 6)
    c.fill(pill, linear(0, 0, 76, 0, [(0.0, rgba("#22C55E")), (0.45, rgba("#10B9A5")), (1.0, rgba("#2F7BF5"))]))
    c.fill(intersect(pill, above(6)),
           linear(0, 0, 0, 6, [(0.0, rgba("#FFFFFF", 0.35)), (1.0, rgba("#FFFFFF", 0.05))]))
    return c


def tishi():
    """36 x 36: the popup's icon, an amber disc with an exclamation mark."""
    c = Canvas(36, 36)
    disc = circle(18, 18, 17)
    c.fill(disc, linear(0, 1, 0, 35, [(0.0, rgba("#FFC043")), (1.0, rgba("#FF8A1F"))]))
    c.fill(intersect(disc, above(18)),
           linear(0, 1, 0, 18, [(0.0, rgba("#FFFFFF", 0.25)), (1.0, rgba("#FFFFFF", 0.0))]))
    c.fill(stroke([(18, 9.5), (18, 20.5)], 3.6), solid(WHITE))
    c.fill(circle(18, 26.2, 2.2), solid(WHITE))
    return c


def soft_shadow(width, height, inset, radius, sigma, alpha, dy=0.0):
    """A transparent picture holding the blurred shadow of a rounded rect
    inset by `inset` (the rect itself is cut out again: windows cover it)."""
    c = Canvas(width, height)
    body = rounded_rect(inset, inset, width - inset, height - inset, radius)
    c.shadow(body, rgba("#000000", alpha), sigma, 0, dy)
    # Clear the covered inside so that rounded window corners stay clean.
    px = c.px
    for y in range(height):
        for x in range(width):
            d = body(x + 0.5, y + 0.5)
            keep = min(1.0, max(0.0, 0.5 + d))
            if keep < 1.0:
                i = (y * width + x) * 4
                for k in range(4):
                    px[i + k] *= keep
    return c


def bk_shadow():
    """68 x 68, nine-grid corners 30 over a 14-pixel band: the window's drop
    shadow, a little heavier below."""
    return soft_shadow(68, 68, 14, 3, 4.5, 0.30, 1.0)


def shadow_png():
    return soft_shadow(150, 150, 24, 6, 8, 0.35, 2.0)


def bg_image_mask():
    """500 x 130: a white veil fading out downwards."""
    c = Canvas(500, 130)
    c.fill(None, linear(0, 0, 0, 130, [(0.0, rgba("#FFFFFF", 0.9)), (1.0, rgba("#FFFFFF", 0.0))]))
    return c


def scroll_thumb(horizontal, hovered):
    """Vertical 14 x 54 (horizontal 54 x 14): a slim rounded thumb, wider and
    darker while hovered; the nine-grid keeps 8 pixels at each end."""
    width = 8 if hovered else 6
    colour = rgba("#9AA3B0") if hovered else rgba("#C5CBD4")
    c = Canvas(54 if horizontal else 14, 14 if horizontal else 54)
    lo = (14 - width) / 2.0
    if horizontal:
        shape = rounded_rect(1, lo, 53, lo + width, width / 2.0)
    else:
        shape = rounded_rect(lo, 1, lo + width, 53, width / 2.0)
    c.fill(shape, solid(colour))
    return c


def scroll_track(horizontal, length, hovered):
    """The rail: transparent normally, a faint rounded groove while hovered."""
    c = Canvas(length if horizontal else 14, 14 if horizontal else length)
    alpha = 0.07 if hovered else 0.025
    if horizontal:
        shape = rounded_rect(0.5, 2, length - 0.5, 12, 5)
    else:
        shape = rounded_rect(2, 0.5, 12, length - 0.5, 5)
    c.fill(shape, solid(rgba("#1F2937", alpha)))
    return c


# ---------------------------------------------------------------- catalogue

PICTURES = [
    # path under themes/default, size, painter
    ("public/bk/bk_shadow.png", (68, 68), bk_shadow),
    ("public/bk/bg_image_mask.png", (500, 130), bg_image_mask),
    ("public/vscrollbar/thumb_normal.png", (14, 54), lambda: scroll_thumb(False, False)),
    ("public/vscrollbar/thumb_hovered.png", (14, 54), lambda: scroll_thumb(False, True)),
    ("public/vscrollbar/bk_normal.png", (14, 50), lambda: scroll_track(False, 50, False)),
    ("public/vscrollbar/bk_hovered.png", (14, 54), lambda: scroll_track(False, 54, True)),
    ("public/hscrollbar/thumb_normal.png", (54, 14), lambda: scroll_thumb(True, False)),
    ("public/hscrollbar/thumb_hovered.png", (54, 14), lambda: scroll_thumb(True, True)),
    ("public/hscrollbar/bk_normal.png", (50, 14), lambda: scroll_track(True, 50, False)),
    ("public/hscrollbar/bk_hovered.png", (54, 14), lambda: scroll_track(True, 54, True)),
    ("vorandel/bg.png", (600, 400), bg_main),
    ("vorandel/bg2.png", (600, 400), bg_progress),
    ("vorandel/bg4.png", (600, 400), bg_done),
    ("vorandel/logo.png", (30, 30), logo),
    ("vorandel/guanbi.png", (10, 20), guanbi),
    ("vorandel/guanbi2.png", (10, 20), guanbi2),
    ("vorandel/bt2.png", (219, 192), bt2),
    ("vorandel/bt1.png", (13, 39), bt1),
    ("vorandel/bt3.png", (94, 114), bt3),
    ("vorandel/common_choose.png", (16, 32), common_choose),
    ("vorandel/xk1.png", (348, 108), xk1),
    ("vorandel/Pb_Bkg_Green.png", (76, 12), progress_track),
    ("vorandel/Pb_Green.png", (76, 12), progress_fill),
    ("vorandel/tishi.png", (36, 36), tishi),
    ("vorandel/shadow.png", (150, 150), shadow_png),
]

ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
ICON_FILES = [
    # file under resources/icons, badge: 107 is the installer file's icon
    # (with the setup badge), 108 the window's icon.
    ("installer.ico", True),
    ("window.ico", False),
]


def render_picture(path, size, painter):
    canvas = painter()
    if (canvas.width, canvas.height) != size:
        raise SystemExit("%s: drew %dx%d, expected %dx%d" % (path, canvas.width, canvas.height, size[0], size[1]))
    return canvas.rgba_bytes()


def render_icon(badge):
    return [(size, icon(size, badge).rgba_bytes()) for size in ICON_SIZES]


def close_enough(a, b):
    """Pixels equal within one step per channel (floating-point functions may
    round differently on another machine)."""
    return len(a) == len(b) and all(abs(x - y) <= 1 for x, y in zip(a, b))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--only", action="append", help="draw only pictures whose path ends with this")
    parser.add_argument("--check", action="store_true", help="compare with the committed files instead of writing")
    parser.add_argument("--theme", default=THEME, help="theme folder (default: resources/themes/default)")
    parser.add_argument("--icons", default=ICONS, help="icon folder (default: resources/icons)")
    args = parser.parse_args()

    def wanted(name):
        return not args.only or any(name.endswith(o) for o in args.only)

    stale = []
    for path, size, painter in PICTURES:
        if not wanted(path):
            continue
        data = render_picture(path, size, painter)
        target = os.path.join(args.theme, *path.split("/"))
        if args.check:
            try:
                with open(target, "rb") as f:
                    width, height, committed = decode_png(f.read())
            except (OSError, ValueError) as error:
                stale.append("%s: %s" % (path, error))
                continue
            if (width, height) != size or not close_enough(committed, data):
                stale.append(path)
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(encode_png(size[0], size[1], data))
        print("wrote", os.path.relpath(target, ROOT))

    for name, badge in ICON_FILES:
        if not wanted(name):
            continue
        images = render_icon(badge)
        target = os.path.join(args.icons, name)
        if args.check:
            try:
                with open(target, "rb") as f:
                    committed = decode_ico(f.read())
            except (OSError, ValueError) as error:
                stale.append("%s: %s" % (name, error))
                continue
            if ([s for s, _ in committed] != [s for s, _ in images] or
                    not all(close_enough(a, b) for (_, a), (_, b) in zip(committed, images))):
                stale.append(name)
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(encode_ico(images))
        print("wrote", os.path.relpath(target, ROOT))

    if stale:
        print("out of date (run tools/skin_images.py):", ", ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
