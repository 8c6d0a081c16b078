#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Builds the Windows icon quemador1.ico from the PNG renders of the icon.

The icon group holds three classic images: 32x32 in 2 colours, 32x32 in 16 colours
and 16x16 in 16 colours, each a palette bitmap with a transparency mask.
Needs ImageMagick's `convert` to read the PNG files. Run from this folder:
    /usr/bin/python3 make_ico.py
"""
import struct
import subprocess

# Sixteen colours taken from the icon's own design: the slate plate, the flame's
# reds, oranges and yellows, and the burner's greys.
PALETTE16 = [
    (0, 0, 0), (31, 44, 57), (46, 64, 81), (61, 83, 104),
    (198, 40, 40), (229, 57, 53), (244, 81, 30), (251, 140, 0),
    (255, 179, 0), (255, 202, 40), (255, 245, 157), (176, 190, 197),
    (236, 239, 241), (120, 60, 50), (150, 110, 60), (255, 255, 255),
]
MONO = [(0, 0, 0), (255, 255, 255)]


def rgba_pixels(png, size):
    raw = subprocess.run(
        ["convert", png, "-resize", f"{size}x{size}", "-depth", "8", "rgba:-"],
        check=True, capture_output=True).stdout
    return [tuple(raw[i:i + 4]) for i in range(0, len(raw), 4)]


def nearest(palette, rgb):
    if palette is MONO:  # by brightness: the flame light, the plate dark
        return 1 if sum(rgb) > 3 * 110 else 0
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))


def pack_rows(values, size, bits):
    """Packs rows of `bits`-bit values bottom-up, each row padded to 4 bytes."""
    out = bytearray()
    per_byte = 8 // bits
    row_bytes = ((size * bits + 31) // 32) * 4
    for y in reversed(range(size)):
        row = bytearray(row_bytes)
        for x in range(size):
            v = values[y * size + x]
            shift = 8 - bits * (x % per_byte + 1)
            row[x // per_byte] |= v << shift
        out += row
    return out


def image(png, size, palette):
    bits = 1 if len(palette) == 2 else 4
    pixels = rgba_pixels(png, size)
    opaque = [p[3] >= 128 for p in pixels]
    indices = [nearest(palette, p[:3]) if o else 0 for p, o in zip(pixels, opaque)]
    xor = pack_rows(indices, size, bits)
    mask = pack_rows([0 if o else 1 for o in opaque], size, 1)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, len(palette), 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return len(palette), bits, header + colours + xor + mask


def main():
    images = [(32, image("icons/quemador1-32.png", 32, MONO)),
              (32, image("icons/quemador1-32.png", 32, PALETTE16)),
              (16, image("icons/quemador1-16.png", 16, PALETTE16))]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, (colours, bits, data) in images:
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, (_, _, data) in images:
        out += data
    with open("quemador1.ico", "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
