"""Writes small 24-bit bitmap files byte by byte, for pictures with known pixels.

Kept apart from the viewer's own code on purpose: the header layout here is
written from the published file format, so a mistake cannot hide in both.
"""

import struct


def quadrants(width, height, top_left, top_right, bottom_left, bottom_right):
    """Rows of (r, g, b), top row first: four rectangles split at width // 2 and height // 2."""
    rows = []
    for y in range(height):
        left, right = (top_left, top_right) if y < height // 2 else (bottom_left, bottom_right)
        rows.append([left if x < width // 2 else right for x in range(width)])
    return rows


def bmp24_bytes(rows):
    """A bottom-up 24-bit file with a 40-byte info header holding rows (top row first)."""
    height = len(rows)
    width = len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b in row:
            pixels += bytes((b, g, r))
        pixels += bytes(stride - width * 3)
    offset = 14 + 40
    file_header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels),
                              2835, 2835, 0, 0)
    return file_header + info_header + bytes(pixels)


def write_bmp24(path, rows):
    with open(path, "wb") as out:
        out.write(bmp24_bytes(rows))
