#!/usr/bin/env python3
"""Draws Tarnwick's icon and writes Tarnwick.ico beside this script.

The mark: a blue tile with three white text lines (the document control) and a red badge with a
white bar (removal) over its lower right corner. Nine images, in the order the icon group keeps
them: 48, 32 and 16 pixels at 4 bits per pixel, then at 8, then at 24. Each image is a DIB with
its colour bits and an AND mask; the 4- and 8-bit images carry palettes. An 8-bit image takes its
colours from a 256-colour palette but carries only those it uses (the header's colours-used
count), which saves most of a kilobyte an image.

Standard library only; the build uses the committed .ico and does not run this script.
"""
import os
import struct

SIZES = (48, 32, 16)
DEPTHS = (4, 8, 24)
SUPERSAMPLE = 8

# The sixteen colours of the standard Windows palette.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# Region colours: (full colour, colour in the 16-colour palette).
COLOURS = {
    "tile": ((38, 104, 196), (0, 0, 128)),
    "tile_edge": ((22, 66, 138), (0, 0, 128)),
    "line": ((255, 255, 255), (255, 255, 255)),
    "ring": ((255, 255, 255), (255, 255, 255)),
    "badge": ((214, 48, 39), (255, 0, 0)),
    "bar": ((255, 255, 255), (255, 255, 255)),
}


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def region_at(x, y):
    """The region that covers the point (x, y) of the icon, in sixteenths of its side from the top
    left; None: transparent. Edges fall on pixel boundaries at 16, 32 and 48 pixels."""
    d2 = (x - 12) ** 2 + (y - 12) ** 2
    if d2 <= 4 ** 2:
        return "bar" if 9 <= x <= 15 and 11 <= y <= 13 else "badge"
    if d2 <= 5 ** 2:
        return "ring"
    if in_rounded_rect(x, y, 0, 0, 14, 14, 2.5):
        for top, right in ((3, 11), (6, 11), (9, 7)):
            if 3 <= x <= right and top <= y <= top + 1:
                return "line"
        return "tile" if in_rounded_rect(x, y, 1, 1, 13, 13, 1.5) else "tile_edge"
    return None


def render(size):
    """Per pixel: the share of samples in each region, rows from the top."""
    pixels = []
    step = 16.0 / (size * SUPERSAMPLE)
    for row in range(size):
        line = []
        for col in range(size):
            shares = {}
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (col * SUPERSAMPLE + sx + 0.5) * step
                    y = (row * SUPERSAMPLE + sy + 0.5) * step
                    region = region_at(x, y)
                    shares[region] = shares.get(region, 0) + 1
            line.append(shares)
        pixels.append(line)
    return pixels


def palette_256():
    """The 16 standard colours, a 6x6x6 colour cube and greys: 256 entries."""
    colours = list(VGA)
    levels = (0, 51, 102, 153, 204, 255)
    colours += [(r, g, b) for r in levels for g in levels for b in levels]
    grey = 8
    while len(colours) < 256:
        colours.append((grey, grey, grey))
        grey += 10
    return colours


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def pixel_colour(shares, depth):
    """The pixel's colour, or None when it is transparent (fewer than half its samples covered)."""
    total = sum(shares.values())
    covered = {r: n for r, n in shares.items() if r is not None}
    if sum(covered.values()) * 2 < total:
        return None
    if depth == 4:
        region = max(covered, key=covered.get)
        return COLOURS[region][1]
    weight = sum(covered.values())
    return tuple(round(sum(COLOURS[r][0][c] * n for r, n in covered.items()) / weight)
                 for c in range(3))


def row_bytes(bits):
    return (bits + 31) // 32 * 4


def dib(size, depth):
    """BITMAPINFOHEADER, palette, colour bits and AND mask of one image."""
    pixels = render(size)
    lines = [[pixel_colour(shares, depth) for shares in line] for line in reversed(pixels)]
    palette = VGA if depth == 4 else []
    if depth == 8:
        full = palette_256()
        used = sorted({nearest(full, c) for line in lines for c in line if c is not None} | {0})
        palette = [full[i] for i in used]
    colour_rows, mask_rows = [], []
    for colours in lines:  # DIB rows run bottom-up
        if depth == 24:
            data = b"".join(bytes((0, 0, 0) if c is None else (c[2], c[1], c[0]))
                            for c in colours)
        else:
            indexes = [0 if c is None else nearest(palette, c) for c in colours]
            if depth == 4:
                indexes += [0] * (len(indexes) % 2)
                data = bytes(indexes[i] << 4 | indexes[i + 1] for i in range(0, len(indexes), 2))
            else:
                data = bytes(indexes)
        colour_rows.append(data.ljust(row_bytes(size * depth), b"\0"))
        mask = 0
        for c in colours:
            mask = mask << 1 | (c is None)
        mask <<= row_bytes(size) * 8 - size
        mask_rows.append(mask.to_bytes(row_bytes(size), "big"))
    bits = b"".join(colour_rows) + b"".join(mask_rows)
    colours_used = len(palette) if depth == 8 else 0
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, depth, 0, len(bits), 0, 0,
                         colours_used, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + bits


def main():
    images = [(size, depth, dib(size, depth)) for depth in DEPTHS for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, depth, data in images:
        colour_count = 16 if depth == 4 else 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colour_count, 0, 1, depth,
                           len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Tarnwick.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
