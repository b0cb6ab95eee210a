#!/usr/bin/env python3
"""Draws the window's two background pictures into images/ and the program's icon into
packaging/icons/.

    python3 scripts/make-images.py [output-folder]

With an output folder, every file goes there instead.

foto.png (560 x 320) lies under every control of the window. Its widget is placed 10 px left of
and 40 px above the central widget, so the picture's point (x, y) shows at (x - 10, y - 40) of
the page; its top 40 rows and left 10 columns are never seen. Labels and check boxes are drawn
straight onto it, so it stays light and quiet, and its right and bottom edges fade into the
window's own grey, which shows beside and below it.

logor.png (500 x 30) is the name strip along the bottom of the page: the name "Quorvane" between
two pairs of bus lines, drawn with a small stroke alphabet of the letters it needs.

The icon (quorvane.svg, and quorvane-48.png, -128.png, -256.png for the desktop's menus) is
a "Q" on a tile, with a pair of bus lines running through it from one node dot to another. One
list of shapes describes it; the PNG files are drawn from it pixel by pixel and the SVG file
writes the same shapes out, so both look alike at any size.

Plain Python: the PNG files are written with zlib, no imaging library is needed.
"""

import math
import os
import struct
import sys
import zlib

WINDOW_GREY = (239, 239, 239)
INK = (31, 58, 95)
BUS_HIGH = (44, 93, 143)
BUS_LOW = (132, 160, 190)


def write_png(path, width, height, rows, alpha):
    """rows: list of bytearrays, RGB or RGBA pixels."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    colour_type = 6 if alpha else 2
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def smoothstep(edge0, edge1, x):
    t = min(max((x - edge0) / (edge1 - edge0), 0.0), 1.0)
    return t * t * (3 - 2 * t)


# ---- the page ---------------------------------------------------------------------------------

def page_base(px, py):
    top, bottom = (229, 236, 244), (235, 239, 244)
    colour = mix(top, bottom, py / 280)
    # A soft light across the upper left, where the eye starts.
    glow = math.exp(-((px - 120) ** 2 / 90000 + (py - 40) ** 2 / 30000))
    return mix(colour, (246, 249, 252), 0.35 * glow)


# The three labels that are children of the picture's widget inherit its style sheet and paint
# the picture's top rows, centred, behind their own text. Those rows are never seen otherwise, so
# they hold the page colour around the labels, and the labels show no patch.
LABEL_GROUND = page_base(280, 170)


def page_pixel(x, y):
    if y < 40:
        return LABEL_GROUND
    # Page coordinates: where the point shows in the central widget.
    px, py = x - 10, y - 40
    colour = page_base(px, py)

    # A fine rule under the two headings "Decoder" and "Configurator".
    if py == 18:
        colour = mix(colour, (160, 182, 207), 0.8)
    elif py == 19:
        colour = mix(colour, (255, 255, 255), 0.7)

    # A quiet divider between the two areas.
    if 26 <= py <= 262:
        fade = smoothstep(26, 60, py) * (1 - smoothstep(228, 262, py))
        if px == 318:
            colour = mix(colour, (170, 189, 211), fade)
        elif px == 319:
            colour = mix(colour, (255, 255, 255), 0.7 * fade)

    # Fade into the window grey where the picture ends, so no seam shows.
    edge = max(smoothstep(520, 550, px), smoothstep(250, 280, py))
    return mix(colour, WINDOW_GREY, edge)


def make_page(path):
    width, height = 560, 320
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            row.extend(page_pixel(x, y))
        rows.append(row)
    write_png(path, width, height, rows, alpha=False)


# ---- the name strip ---------------------------------------------------------------------------

# Letters as strokes in units of the x-height, y upwards from the base line:
# ("line", x0, y0, x1, y1) and ("arc", cx, cy, r, from_degrees, to_degrees), counter-clockwise.
LETTERS = {
    "Q": (1.56, [("arc", 0.72, 0.7, 0.7, 0, 360), ("line", 0.95, 0.3, 1.45, -0.2)]),
    "u": (0.96, [("line", 0.05, 1.0, 0.05, 0.48), ("arc", 0.48, 0.48, 0.43, 180, 360),
                 ("line", 0.91, 1.0, 0.91, 0.0)]),
    "o": (1.04, [("arc", 0.52, 0.5, 0.48, 0, 360)]),
    "r": (0.62, [("line", 0.05, 1.0, 0.05, 0.0), ("arc", 0.5, 0.55, 0.45, 90, 180),
                 ("line", 0.5, 1.0, 0.62, 1.0)]),
    "v": (0.96, [("line", 0.0, 1.0, 0.48, 0.0), ("line", 0.48, 0.0, 0.96, 1.0)]),
    "a": (1.02, [("arc", 0.48, 0.5, 0.46, 0, 360), ("line", 0.96, 1.0, 0.96, 0.0)]),
    "n": (0.96, [("line", 0.05, 1.0, 0.05, 0.0), ("arc", 0.48, 0.52, 0.43, 0, 180),
                 ("line", 0.91, 0.52, 0.91, 0.0)]),
    "e": (1.04, [("line", 0.05, 0.5, 1.0, 0.5), ("arc", 0.52, 0.5, 0.48, 0, 320)]),
}


def segment_distance(px, py, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else min(max(((px - x0) * dx + (py - y0) * dy) / length2, 0.0), 1.0)
    return math.hypot(px - (x0 + t * dx), py - (y0 + t * dy))


def arc_distance(px, py, cx, cy, r, start, end):
    angle = math.degrees(math.atan2(py - cy, px - cx)) % 360
    if end - start >= 360 or (angle - start) % 360 <= (end - start):
        return abs(math.hypot(px - cx, py - cy) - r)
    ends = [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a)))
            for a in (start, end)]
    return min(math.hypot(px - ex, py - ey) for ex, ey in ends)


def word_strokes(word, left, baseline, x_height, tracking):
    """The word's strokes in pixel coordinates (y downwards) and its right edge."""
    strokes, x = [], left
    for letter in word:
        advance, parts = LETTERS[letter]
        for part in parts:
            if part[0] == "line":
                _, x0, y0, x1, y1 = part
                strokes.append(("line", x + x0 * x_height, baseline - y0 * x_height,
                                x + x1 * x_height, baseline - y1 * x_height))
            else:
                _, cx, cy, r, start, end = part
                # Flipping y turns counter-clockwise angles into clockwise ones.
                strokes.append(("arc", x + cx * x_height, baseline - cy * x_height,
                                r * x_height, (360 - end) % 360, (360 - end) % 360 + end - start))
        x += advance * x_height + tracking
    return strokes, x - tracking


def stroke_distance(stroke, px, py):
    if stroke[0] == "line":
        return segment_distance(px, py, *stroke[1:])
    return arc_distance(px, py, *stroke[1:])


def coverage(distance, width):
    return min(max(width / 2 - distance + 0.5, 0.0), 1.0)


def rounded_box_distance(px, py, width, height, radius):
    """Signed distance to a rounded rectangle filling the strip, negative inside."""
    qx = abs(px - width / 2) - (width / 2 - radius)
    qy = abs(py - height / 2) - (height / 2 - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def make_strip(path):
    width, height = 500, 30
    x_height, baseline, pen = 12.0, 21.5, 2.3
    word_width = word_strokes("Quorvane", 0, baseline, x_height, 2.2)[1]
    left = (width - word_width) / 2
    letters, right = word_strokes("Quorvane", left, baseline, x_height, 2.2)

    # Two pairs of bus lines run out from the name to a node dot at each end.
    bus = []
    for start, end in ((18, left - 14), (right + 14, width - 18)):
        bus.append((("line", start, 12.5, end, 12.5), BUS_HIGH, 1.6))
        bus.append((("line", start, 17.5, end, 17.5), BUS_LOW, 1.6))
    nodes = [(18, 15), (width - 18, 15)]

    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            px, py = x + 0.5, y + 0.5
            box = rounded_box_distance(px, py, width, height, 7)
            colour = mix((250, 252, 254), (228, 235, 244), py / height)
            colour = mix(colour, (168, 187, 209), coverage(abs(box + 0.5), 1.0))
            for stroke, ink, thickness in bus:
                colour = mix(colour, ink, coverage(stroke_distance(stroke, px, py), thickness))
            for nx, ny in nodes:
                colour = mix(colour, BUS_HIGH, coverage(math.hypot(px - nx, py - ny), 7.0))
            ink = max(coverage(stroke_distance(s, px, py), pen) for s in letters)
            colour = mix(colour, INK, ink)
            alpha = round(255 * min(max(0.5 - box, 0.0), 1.0))
            row.extend(colour + (alpha,))
        rows.append(row)
    write_png(path, width, height, rows, alpha=True)


# ---- the icon ---------------------------------------------------------------------------------

# In units of the icon's side, y downwards. The "Q" is drawn last over a ring of the tile's
# colour, so the bus lines stop short of its stroke and the letter stays legible at 48 px.
ICON_TILE = (0.06, 0.18)  # margin, corner radius
ICON_TILE_TOP, ICON_TILE_BOTTOM = (250, 252, 254), (214, 225, 239)
ICON_EDGE = (118, 146, 180)
ICON_BUS = [(("line", 0.15, 0.45, 0.85, 0.45), BUS_HIGH, 0.05),
            (("line", 0.15, 0.55, 0.85, 0.55), BUS_LOW, 0.05)]
ICON_NODES = [(0.15, 0.5), (0.85, 0.5)]
ICON_NODE_DIAMETER = 0.14
ICON_LETTER = [("arc", 0.5, 0.48, 0.18, 0, 360), ("line", 0.58, 0.6, 0.69, 0.74)]
ICON_PEN, ICON_GAP = 0.08, 0.035


def icon_tile_colour(py):
    margin = ICON_TILE[0]
    return mix(ICON_TILE_TOP, ICON_TILE_BOTTOM, (py - margin) / (1 - 2 * margin))


def icon_pixel(px, py, pixel):
    """RGBA of the icon at (px, py) in units of the side; pixel is one pixel in those units."""
    margin, radius = ICON_TILE
    side = 1 - 2 * margin
    box = rounded_box_distance(px - margin, py - margin, side, side, radius)
    colour = icon_tile_colour(py)
    colour = mix(colour, ICON_EDGE, coverage(abs(box + pixel) / pixel, 1.5))
    for stroke, ink, thickness in ICON_BUS:
        colour = mix(colour, ink, coverage(stroke_distance(stroke, px, py) / pixel,
                                           thickness / pixel))
    for nx, ny in ICON_NODES:
        colour = mix(colour, BUS_HIGH, coverage(math.hypot(px - nx, py - ny) / pixel,
                                                ICON_NODE_DIAMETER / pixel))
    letter = min(stroke_distance(s, px, py) for s in ICON_LETTER) / pixel
    colour = mix(colour, icon_tile_colour(py), coverage(letter, (ICON_PEN + 2 * ICON_GAP) / pixel))
    colour = mix(colour, INK, coverage(letter, ICON_PEN / pixel))
    alpha = round(255 * min(max(0.5 - box / pixel, 0.0), 1.0))
    return colour + (alpha,)


def make_icon_png(path, size):
    pixel = 1 / size
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            row.extend(icon_pixel((x + 0.5) * pixel, (y + 0.5) * pixel, pixel))
        rows.append(row)
    write_png(path, size, size, rows, alpha=True)


def svg_colour(rgb):
    return "#%02x%02x%02x" % rgb


def svg_stroke(stroke, colour, width):
    if stroke[0] == "line":
        _, x0, y0, x1, y1 = stroke
        return ('<line x1="%g" y1="%g" x2="%g" y2="%g" stroke="%s" stroke-width="%g" '
                'stroke-linecap="round"/>' % (x0 * 256, y0 * 256, x1 * 256, y1 * 256,
                                              colour, width * 256))
    _, cx, cy, r, start, end = stroke
    assert end - start >= 360, "the icon's arcs are whole circles"
    return ('<circle cx="%g" cy="%g" r="%g" fill="none" stroke="%s" stroke-width="%g"/>'
            % (cx * 256, cy * 256, r * 256, colour, width * 256))


def make_icon_svg(path):
    """The same shapes as icon_pixel, on a 256-unit canvas."""
    margin, radius = ICON_TILE
    side = 1 - 2 * margin
    parts = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        # In the canvas's units, so the ring around the letter takes the tile's colour there.
        '<defs><linearGradient id="tile" gradientUnits="userSpaceOnUse" x1="0" y1="%g" x2="0" '
        'y2="%g"><stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/>'
        '</linearGradient></defs>' % (margin * 256, (1 - margin) * 256,
                                      svg_colour(ICON_TILE_TOP), svg_colour(ICON_TILE_BOTTOM)),
        '<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="url(#tile)" stroke="%s" '
        'stroke-width="1.5"/>' % (margin * 256 + 0.75, margin * 256 + 0.75, side * 256 - 1.5,
                                  side * 256 - 1.5, radius * 256, svg_colour(ICON_EDGE)),
    ]
    for stroke, ink, thickness in ICON_BUS:
        parts.append(svg_stroke(stroke, svg_colour(ink), thickness))
    for nx, ny in ICON_NODES:
        parts.append('<circle cx="%g" cy="%g" r="%g" fill="%s"/>'
                     % (nx * 256, ny * 256, ICON_NODE_DIAMETER * 128, svg_colour(BUS_HIGH)))
    for stroke in ICON_LETTER:
        parts.append(svg_stroke(stroke, "url(#tile)", ICON_PEN + 2 * ICON_GAP))
    for stroke in ICON_LETTER:
        parts.append(svg_stroke(stroke, svg_colour(INK), ICON_PEN))
    parts.append("</svg>")
    with open(path, "w") as out:
        out.write("\n".join(parts) + "\n")


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    images = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "images")
    icons = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "packaging", "icons")
    for folder in (images, icons):
        os.makedirs(folder, exist_ok=True)
    make_page(os.path.join(images, "foto.png"))
    make_strip(os.path.join(images, "logor.png"))
    for size in (48, 128, 256):
        make_icon_png(os.path.join(icons, "quorvane-%d.png" % size), size)
    make_icon_svg(os.path.join(icons, "quorvane.svg"))


if __name__ == "__main__":
    main()
