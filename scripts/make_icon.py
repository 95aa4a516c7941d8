#!/usr/bin/env python3
"""Writes resources/veslinn.ico: one 24 x 24 image, 32 bits per pixel.

The picture is a dark green slate in a light wooden frame with two white
strokes of writing.  Run it again only to change the picture; the .ico is
checked in.
"""
import struct
import sys

SIZE = 24


def pixel(x, y):
    # Returns (r, g, b, a) for the pixel at column x, row y (row 0 at the top).
    if x in (0, SIZE - 1) or y in (0, SIZE - 1):
        return (0x6b, 0x4a, 0x2b, 255)          # frame edge
    if x in (1, SIZE - 2) or y in (1, SIZE - 2):
        return (0xc8, 0x9b, 0x62, 255)          # frame
    if y in (8, 9) and 5 <= x <= 18:
        return (255, 255, 255, 255)             # first line of writing
    if y in (14, 15) and 5 <= x <= 14:
        return (255, 255, 255, 255)             # second line
    return (0, 64, 0, 255)                      # the slate


def main(path):
    rows = []
    for y in range(SIZE - 1, -1, -1):           # bottom-up, as BMP rows are
        for x in range(SIZE):
            r, g, b, a = pixel(x, y)
            rows.append(struct.pack("<BBBB", b, g, r, a))
    xor = b"".join(rows)
    mask_row = (((SIZE + 31) // 32) * 4)
    and_mask = b"\0" * (mask_row * SIZE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/veslinn.ico")
