"""The pictures the viewer comparison shows, written as bitmap files, and the
exact area average they are checked against.

A picture is a layout (how the file stores it), a size and a content:
"detail" is a grey zone plate, rings whose frequency rises from the centre to
half a cycle per pixel (the Nyquist limit) at the corners, which any reduction
that skips or under-weighs source pixels turns into false rings; "smooth" is a
gradient. Rows are made in strips so an 8192 x 8192 picture never exists as
floating point whole. The files are written from the published layout of the
format, not through any image library.
"""

import struct

import numpy as np

# name: (layout, width, height)
IMAGES = {
    "rgb24-8192": ("rgb24", 8192, 8192),
    "pal8-8192": ("pal8", 8192, 8192),
    "rle8-8192": ("rle8", 8192, 8192),
    "rgb32-8192x4096": ("rgb32", 8192, 4096),
    "rgb24-1920x1080": ("rgb24", 1920, 1080),
    "rgb24-1024": ("rgb24", 1024, 1024),
}
CONTENTS = ("detail", "smooth")
STRIP = 256  # rows made at a time


def palette(content):
    """The 256 colours (r, g, b) of the palette layouts: greys for the zone
    plate, a ramp from green to red for the gradient."""
    index = np.arange(256, dtype=np.uint8)
    if content == "detail":
        return np.stack([index, index, index], axis=1)
    return np.stack([index, 255 - index, np.full(256, 128, np.uint8)], axis=1)


def indices(content, width, height, top, bottom):
    """Palette indices of rows top to bottom (exclusive), top row first."""
    y = np.arange(top, bottom, dtype=np.float64)[:, None]
    x = np.arange(width, dtype=np.float64)[None, :]
    if content == "detail":
        # Phase pi r^2 / (2 R): the frequency r / (2 R) reaches 0.5 cycles
        # per pixel at R, half the diagonal.
        dx, dy = x - width / 2 + 0.5, y - height / 2 + 0.5
        reach = np.hypot(width, height) / 2
        value = 127.5 + 127.5 * np.cos(np.pi * (dx * dx + dy * dy) / (2 * reach))
    else:
        value = 127.5 * (x / (width - 1) + y / (height - 1))
    return np.rint(value).astype(np.uint8)


def rows(layout, content, width, height, top, bottom):
    """The colours (rows, width, 3) of rows top to bottom, r g b, top row first."""
    if layout in ("pal8", "rle8"):
        return palette(content)[indices(content, width, height, top, bottom)]
    if content == "detail":
        return palette("detail")[indices(content, width, height, top, bottom)]
    # The direct-colour gradient: red across, green down, blue constant.
    y = np.arange(top, bottom, dtype=np.float64)[:, None]
    x = np.arange(width, dtype=np.float64)[None, :]
    red = np.broadcast_to(np.rint(255 * x / (width - 1)), (bottom - top, width))
    green = np.broadcast_to(np.rint(255 * y / (height - 1)), (bottom - top, width))
    blue = np.full((bottom - top, width), 96.0)
    return np.stack([red, green, blue], axis=2).astype(np.uint8)


_kept = {}  # the last picture made whole, for repeated area averages


def strips(name, content):
    """(top, rows) for the whole picture, STRIP rows at a time."""
    layout, width, height = IMAGES[name]
    if (name, content) not in _kept:
        _kept.clear()
        _kept[name, content] = np.concatenate(
            [rows(layout, content, width, height, top, min(height, top + STRIP))
             for top in range(0, height, STRIP)])
    whole = _kept[name, content]
    for top in range(0, height, STRIP):
        yield top, whole[top:top + STRIP]


def _rle8_row(row):
    """One row in BI_RLE8: encoded runs for runs of 3 or more equal bytes,
    absolute stretches (3 to 255 bytes, padded to even) for the rest, then
    the end of line."""
    out = bytearray()

    def literal(data):
        while data:
            chunk = data[:254] if len(data) > 255 else data
            if len(data) - len(chunk) in (1, 2):  # leave a tail absolute mode can take
                chunk = data[:len(chunk) - 3]
            if len(chunk) < 3:
                for value in chunk:
                    out.extend((1, value))
            else:
                out.extend((0, len(chunk)))
                out.extend(chunk)
                if len(chunk) % 2:
                    out.append(0)
            data = data[len(chunk):]

    changes = np.flatnonzero(np.diff(row)) + 1
    starts = np.concatenate(([0], changes))
    lengths = np.diff(np.concatenate((starts, [len(row)])))
    long = lengths >= 3
    data = row.tobytes()
    pending = 0  # start of the bytes not written yet
    for start, length in zip(starts[long].tolist(), lengths[long].tolist()):
        literal(data[pending:start])
        pending = start + length
        while length:
            count = min(255, length)
            out.extend((count, data[start]))
            length -= count
    literal(data[pending:])
    out.extend((0, 0))
    return out


def write(name, content, path):
    """Writes the picture as a bottom-up bitmap file with a 40-byte info header."""
    layout, width, height = IMAGES[name]
    bits = {"rgb24": 24, "rgb32": 32, "pal8": 8, "rle8": 8}[layout]
    colours = 256 if bits == 8 else 0
    table = b""
    if colours:
        entries = np.zeros((256, 4), np.uint8)
        entries[:, :3] = palette(content)[:, ::-1]  # stored blue, green, red, 0
        table = entries.tobytes()
    offset = 14 + 40 + len(table)
    with open(path, "wb") as out:
        out.write(bytes(offset))  # headers, written once the pixel size is known
        size = 0
        for top in reversed(range(0, height, STRIP)):
            bottom = min(height, top + STRIP)
            if layout in ("pal8", "rle8"):
                block = indices(content, width, height, top, bottom)
            else:
                block = rows(layout, content, width, height, top, bottom)[:, :, ::-1]
                if layout == "rgb32":
                    block = np.concatenate([block, np.zeros(block.shape[:2] + (1,), np.uint8)], 2)
            for index in reversed(range(block.shape[0])):  # bottom row first
                row = block[index]
                if layout == "rle8":
                    data = _rle8_row(row)
                    if top == 0 and index == 0:  # the last row ends the bitmap
                        data[-1] = 1
                else:
                    data = row.tobytes()
                    data += bytes(-len(data) % 4)
                out.write(data)
                size += len(data)
        compression = 1 if layout == "rle8" else 0
        out.seek(0)
        out.write(b"BM" + struct.pack("<IHHI", offset + size, 0, 0, offset))
        out.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, size,
                              2835, 2835, colours, 0))
        out.write(table)


def _integrals(flat, running, edges):
    """Integrals of piecewise constant signals, the rows of flat (float64),
    between consecutive edges, given their running sums: at each edge, the
    running sum up to and with the sample the edge falls in, less the part of
    that sample past the edge."""
    whole = np.minimum(np.floor(edges).astype(np.int64), flat.shape[1] - 1)
    at = running[:, whole] - flat[:, whole] * (1 - (edges - whole))
    return np.diff(at, axis=1)


def area_averages(name, content, sizes):
    """The picture reduced (or enlarged) to each (width, height) of sizes by
    the exact area average, in double precision: each output pixel is the
    mean of the source area it covers, source pixels it covers in part
    weighed by the covered fraction. Returns {size: (height, width, 3)
    float64, r g b}. A few widths at a time share the running sums across
    the rows (each width holds its columns for every row meanwhile)."""
    _, width, height = IMAGES[name]
    widths = sorted({size[0] for size in sizes})
    averages = {}
    for group in range(0, len(widths), 4):
        across = {out: np.empty((3, out, height), np.float64) for out in widths[group:group + 4]}
        for top, block in strips(name, content):
            rows = block.shape[0]
            flat = np.ascontiguousarray(block.transpose(2, 0, 1), dtype=np.float64).reshape(-1, width)
            running = np.cumsum(flat, axis=1)
            for out in across:
                x_edges = np.arange(out + 1, dtype=np.float64) * (width / out)
                across[out][:, :, top:top + rows] = _integrals(flat, running, x_edges).reshape(
                    3, rows, out).transpose(0, 2, 1)
        for out_width in list(across):
            flat = across.pop(out_width).reshape(-1, height)  # channel and column, row
            running = np.cumsum(flat, axis=1)
            for out_height in sorted({size[1] for size in sizes if size[0] == out_width}):
                y_edges = np.arange(out_height + 1, dtype=np.float64) * (height / out_height)
                down = _integrals(flat, running, y_edges).reshape(3, out_width, out_height)
                scale = (width / out_width) * (height / out_height)
                averages[out_width, out_height] = down.transpose(2, 1, 0) / scale
    return averages


def area_average(name, content, out_width, out_height):
    """The picture at one size; see area_averages."""
    return area_averages(name, content, [(out_width, out_height)])[out_width, out_height]
