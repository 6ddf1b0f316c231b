#!/usr/bin/python3
"""Writes the icon files the icon test libraries are built from, into the
folder given: app.ico (16x16 red and 32x32 green as bitmaps, 48x48 blue as
PNG), bitmaps.ico (the two bitmaps alone) and big.ico (the red bitmap and a
600x600 PNG of noise, larger than a reader takes). Each other picture is
one colour, so a test can tell which one a reader took."""

import random
import struct
import sys
import zlib


def bitmap(size, bgra):
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytes(bgra) * (size * size)
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + bytes(mask_row * size)


def png(size, rgba=None):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    noise = random.Random(7)
    rows = b"".join(b"\0" + (bytes(rgba) * size if rgba else noise.randbytes(4 * size)) for _ in range(size))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def ico(pictures):
    out = struct.pack("<HHH", 0, 1, len(pictures))
    offset = 6 + 16 * len(pictures)
    for size, data in pictures:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in pictures)


def main():
    folder = sys.argv[1]
    red = bitmap(16, (0, 0, 255, 255))
    green = bitmap(32, (0, 255, 0, 255))
    blue = png(48, (0, 0, 255, 255))
    with open(folder + "/app.ico", "wb") as f:
        f.write(ico([(16, red), (32, green), (48, blue)]))
    with open(folder + "/bitmaps.ico", "wb") as f:
        f.write(ico([(16, red), (32, green)]))
    with open(folder + "/big.ico", "wb") as f:
        f.write(ico([(16, red), (600, png(600))]))


if __name__ == "__main__":
    main()
