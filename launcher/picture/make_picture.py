#!/usr/bin/env python3
"""Draws the launcher's picture: a point-and-figure chart of X and O columns.

Writes, from one drawing routine:
  --bmp  FILE   the 512 x 512 window picture, 24-bit BMP
  --ico  FILE   the application icon: 32-bit images of 16 to 256 pixels
  --inc  FILE   the same picture as PNG bytes in a C initializer list, for
                the front-end that has no resource compiler
  --icon-inc FILE  the 256-pixel icon image the same way
  --icon-png FILE  the 256-pixel icon image as a PNG file (the Linux
                   desktop entry's icon)

Standard library only, so every build machine can run it.
"""
import argparse
import math
import struct
import zlib

# One column: (kind, lowest box, highest box); rows count from the bottom.
CHART_COLUMNS = [
    ("X", 3, 8), ("O", 5, 7), ("X", 6, 11), ("O", 7, 10), ("X", 8, 13),
    ("O", 9, 12), ("X", 10, 15), ("O", 8, 14), ("X", 9, 12), ("O", 6, 11),
    ("X", 7, 10), ("O", 4, 9), ("X", 5, 12), ("O", 9, 11), ("X", 10, 17),
    ("O", 12, 16), ("X", 13, 19), ("O", 15, 18), ("X", 16, 20),
]
ICON_COLUMNS = [("X", 0, 2), ("O", 1, 2), ("X", 2, 4)]
ICON_SIZES = [16, 24, 32, 48, 64, 96, 128, 256]

PAPER = (250, 250, 244)
GRID = (214, 222, 232)
AXIS = (120, 132, 150)
X_INK = (22, 128, 62)
O_INK = (200, 48, 56)
TREND = (40, 90, 200)


class Canvas:
    def __init__(self, size, colour, alpha=255):
        self.size = size
        self.rgba = [list(colour) + [alpha] for _ in range(size * size)]

    def blend(self, x, y, colour, coverage):
        if coverage <= 0 or not (0 <= x < self.size and 0 <= y < self.size):
            return
        coverage = min(coverage, 1.0)
        pixel = self.rgba[y * self.size + x]
        old_alpha = pixel[3] / 255.0
        new_alpha = coverage + old_alpha * (1 - coverage)
        for i in range(3):
            mixed = colour[i] * coverage + pixel[i] * old_alpha * (1 - coverage)
            pixel[i] = int(round(mixed / new_alpha)) if new_alpha > 0 else 0
        pixel[3] = int(round(new_alpha * 255))

    def shape(self, box, colour, distance):
        """Paints every pixel of box (x0, y0, x1, y1) by its distance from the
        shape's edge (negative inside), with one pixel of anti-aliasing."""
        x0, y0, x1, y1 = (int(math.floor(v)) for v in box)
        for y in range(max(0, y0 - 1), min(self.size, y1 + 2)):
            for x in range(max(0, x0 - 1), min(self.size, x1 + 2)):
                self.blend(x, y, colour, 0.5 - distance(x + 0.5, y + 0.5))

    def line(self, ax, ay, bx, by, width, colour):
        length = math.hypot(bx - ax, by - ay) or 1.0

        def distance(px, py):
            t = max(0.0, min(1.0, ((px - ax) * (bx - ax) + (py - ay) * (by - ay)) / length ** 2))
            return math.hypot(px - (ax + t * (bx - ax)), py - (ay + t * (by - ay))) - width / 2

        pad = width
        self.shape((min(ax, bx) - pad, min(ay, by) - pad, max(ax, bx) + pad, max(ay, by) + pad),
                   colour, distance)

    def ring(self, cx, cy, radius, width, colour):
        self.shape((cx - radius - width, cy - radius - width, cx + radius + width,
                    cy + radius + width), colour,
                   lambda px, py: abs(math.hypot(px - cx, py - cy) - radius) - width / 2)

    def rounded_square(self, margin, radius, colour):
        lo, hi = margin + radius, self.size - margin - radius

        def distance(px, py):
            dx = max(lo - px, 0.0, px - hi)
            dy = max(lo - py, 0.0, py - hi)
            return math.hypot(dx, dy) - radius

        self.shape((0, 0, self.size - 1, self.size - 1), colour, distance)


def draw_chart(canvas, columns, left, top, box, rows, with_grid, with_trend):
    size = canvas.size
    ink = max(1.0, box * 0.14)
    if with_grid:
        for c in range(len(columns) + 1):
            x = left + c * box
            canvas.line(x, top, x, top + rows * box, max(1.0, box / 20), GRID)
        for r in range(rows + 1):
            y = top + r * box
            canvas.line(left, y, left + len(columns) * box, y, max(1.0, box / 20), GRID)
    for c, (kind, low, high) in enumerate(columns):
        for row in range(low, high + 1):
            x0 = left + c * box
            y0 = top + (rows - 1 - row) * box
            inset = box * 0.2
            if kind == "X":
                canvas.line(x0 + inset, y0 + inset, x0 + box - inset, y0 + box - inset, ink, X_INK)
                canvas.line(x0 + box - inset, y0 + inset, x0 + inset, y0 + box - inset, ink, X_INK)
            else:
                canvas.ring(x0 + box / 2, y0 + box / 2, box / 2 - inset, ink, O_INK)
    if with_trend:
        # The 45-degree support line from the last major low, as drawn by hand.
        start_col, start_row = 11, 3
        steps = len(columns) - start_col
        canvas.line(left + start_col * box, top + (rows - start_row) * box,
                    left + (start_col + steps) * box, top + (rows - start_row - steps) * box,
                    max(1.0, box * 0.08), TREND)
    return size


def window_picture():
    size = 512
    canvas = Canvas(size, PAPER)
    box = 24
    rows = 21
    left = (size - len(CHART_COLUMNS) * box) // 2
    top = (size - rows * box) // 2
    draw_chart(canvas, CHART_COLUMNS, left, top, box, rows, True, True)
    # Frame around the plot.
    for (ax, ay, bx, by) in ((left, top, left + len(CHART_COLUMNS) * box, top),
                             (left, top + rows * box, left + len(CHART_COLUMNS) * box, top + rows * box),
                             (left, top, left, top + rows * box),
                             (left + len(CHART_COLUMNS) * box, top, left + len(CHART_COLUMNS) * box,
                              top + rows * box)):
        canvas.line(ax, ay, bx, by, 2, AXIS)
    return canvas


def icon_picture(size):
    canvas = Canvas(size, (0, 0, 0), alpha=0)
    canvas.rounded_square(max(0.5, size / 32), size / 6, (255, 255, 255))
    rows = 5
    box = size * 0.72 / rows
    left = (size - len(ICON_COLUMNS) * box) / 2
    top = (size - rows * box) / 2
    draw_chart(canvas, ICON_COLUMNS, left, top, box, rows, size >= 48, False)
    return canvas


def bmp_bytes(canvas):
    size = canvas.size
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(size):
            r, g, b, a = canvas.rgba[y * size + x]
            # Flatten onto white; the window picture is opaque anyway.
            f = a / 255.0
            row += bytes((int(round(b * f + 255 * (1 - f))), int(round(g * f + 255 * (1 - f))),
                          int(round(r * f + 255 * (1 - f)))))
        row += b"\0" * ((4 - len(row) % 4) % 4)
        rows.append(bytes(row))
    pixels = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + len(header))
    return file_header + header + pixels


def png_bytes(canvas, keep_alpha=False):
    size = canvas.size
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for x in range(size):
            r, g, b, a = canvas.rgba[y * size + x]
            if keep_alpha:
                raw += bytes((r, g, b, a))
            else:
                f = a / 255.0
                raw += bytes(int(round(c * f + 255 * (1 - f))) for c in (r, g, b))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6 if keep_alpha else 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def icon_image_bytes(canvas):
    size = canvas.size
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = canvas.rgba[y * size + x]
            pixels += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(pixels) + mask


def ico_bytes(sizes):
    images = [icon_image_bytes(icon_picture(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def write_initializer(path, data):
    with open(path, "w") as f:
        for i in range(0, len(data), 24):
            f.write(",".join(str(b) for b in data[i:i + 24]) + ",\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bmp")
    parser.add_argument("--ico")
    parser.add_argument("--inc")
    parser.add_argument("--icon-inc")
    parser.add_argument("--icon-png")
    args = parser.parse_args()
    if args.bmp or args.inc:
        canvas = window_picture()
        if args.bmp:
            with open(args.bmp, "wb") as f:
                f.write(bmp_bytes(canvas))
        if args.inc:
            write_initializer(args.inc, png_bytes(canvas))
    if args.ico:
        with open(args.ico, "wb") as f:
            f.write(ico_bytes(ICON_SIZES))
    if args.icon_inc:
        write_initializer(args.icon_inc, png_bytes(icon_picture(256), keep_alpha=True))
    if args.icon_png:
        with open(args.icon_png, "wb") as f:
            f.write(png_bytes(icon_picture(256), keep_alpha=True))


if __name__ == "__main__":
    main()
