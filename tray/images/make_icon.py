#!/usr/bin/env python3
"""Makes QORBM's tray icon at build time.

Usage: make_icon.py OUTDIR

Writes OUTDIR/qorbm.ico (icon 136 of QORBM.rc): a 32 x 32 and a 16 x 16
image, each a 32-bit DIB with an alpha channel and an AND mask: a grey
camera body with a dark lens and a red snapshot button on top, on a
transparent ground.
"""
import os
import struct
import sys


def pixel(x, y, side):
    """BGRA of pixel (x, y), y counted from the top, in a side x side icon."""
    u = x / side
    v = y / side
    lens = ((u - 0.5) ** 2 + (v - 0.58) ** 2) ** 0.5
    if 0.62 <= u <= 0.84 and 0.16 <= v <= 0.28:
        return (40, 40, 220, 255)  # the snapshot button
    if 0.08 <= u <= 0.92 and 0.28 <= v <= 0.88:
        if lens < 0.12:
            return (90, 60, 30, 255)  # glass
        if lens < 0.22:
            return (30, 30, 30, 255)  # lens ring
        return (170, 170, 170, 255)  # body
    return (0, 0, 0, 0)


def icon_image(side):
    rows = []
    mask_row = ((side + 31) // 32) * 4
    masks = []
    for y in range(side - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        bits = bytearray(mask_row)
        for x in range(side):
            b, g, r, a = pixel(x, y, side)
            row += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)  # transparent in the AND mask
        rows.append(bytes(row))
        masks.append(bytes(bits))
    pixels = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    return header + pixels + b"".join(masks)


def make_icon():
    sides = (32, 16)
    images = [icon_image(side) for side in sides]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for side, data in zip(sides, images):
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    os.makedirs(sys.argv[1], exist_ok=True)
    path = os.path.join(sys.argv[1], "qorbm.ico")
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(make_icon())
    os.replace(tmp, path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
