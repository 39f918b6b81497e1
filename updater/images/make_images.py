#!/usr/bin/env python3
"""Makes the updater's built-in firmware images and its icon at build time.

Usage: make_images.py OUTDIR

Writes OUTDIR/fw135.bin, fw137.bin, fw138.bin and fw139.bin (the "Binary"
resources of QCAMLDR.rc) and OUTDIR/qcamldr.ico (icon 128).

Each image is a whole 64 KiB flash for the camera's bridge chip:
  0x0010  "QBFW"            firmware magic the chip's boot ROM looks for
  0x0016  0x20              compatibility code of this chip family
  0x0018  b0 b1 b2 b3       version word b0<<24|b1<<16|b2<<8|b3: year-2000,
                            test build << 4 | month, day, major << 4 | minor
  0xB010-0xB0FF             placeholder for the device's own bytes (0xFF)
  0xBFFF, 0xCFFF            checksum bytes: 0xA000-0xBFFF and 0xC000-0xCFFF
                            each sum to 0 modulo 256
  0xFF00-0xFF1F             placeholder for the device's top block (0xFF)
  0xFFF8  "QBFW-END"        trailer, the last bytes an update writes
Everything else is opaque firmware: repeatable pseudo-random bytes seeded by
the resource id, so each build of an image is byte for byte the same.
"""
import os
import struct
import sys

# resource id -> (year-2000, test build, month, day, major, minor)
IMAGES = {
    135: (10, 0, 12, 1, 1, 2),
    137: (10, 0, 12, 3, 1, 3),
    138: (10, 0, 11, 20, 1, 2),
    139: (10, 2, 12, 6, 1, 4),  # a test build
}
SIZE = 0x10000


def region_fix(image, begin, end):
    image[end - 1] = 0
    image[end - 1] = (0x100 - (sum(image[begin:end]) & 0xFF)) & 0xFF


def make_image(rid, version):
    year, test, month, day, major, minor = version
    state = 0x9E3779B9 ^ (rid * 0x01000193)
    image = bytearray(SIZE)
    for i in range(SIZE):
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        image[i] = (state >> 11) & 0xFF
    image[0x10:0x14] = b"QBFW"
    image[0x16] = 0x20
    image[0x18:0x1C] = bytes([year, test << 4 | month, day, major << 4 | minor])
    image[0xB010:0xB100] = b"\xff" * 0xF0
    image[0xFF00:0xFF20] = b"\xff" * 0x20
    image[0xFFF8:0x10000] = b"QBFW-END"
    region_fix(image, 0xA000, 0xC000)
    region_fix(image, 0xC000, 0xD000)
    return bytes(image)


def icon_image(side):
    """A 32-bit DIB icon image: a camera lens on a blue square."""
    pixels = bytearray()
    c = (side - 1) / 2.0
    for y in range(side - 1, -1, -1):  # bottom-up rows
        for x in range(side):
            d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
            if d < side * 0.18:
                bgra = (40, 40, 40, 255)
            elif d < side * 0.34:
                bgra = (200, 200, 200, 255)
            else:
                bgra = (160, 90, 30, 255)
            pixels += bytes(bgra)
    mask_row = ((side + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    return header + bytes(pixels) + b"\x00" * (mask_row * side)


def make_icon():
    images = [icon_image(32), icon_image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for side, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def write(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for rid, version in IMAGES.items():
        write(os.path.join(out, "fw%d.bin" % rid), make_image(rid, version))
    write(os.path.join(out, "qcamldr.ico"), make_icon())
    return 0


if __name__ == "__main__":
    sys.exit(main())
