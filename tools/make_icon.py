#!/usr/bin/env python3
"""Writes the program's icon: a USB drive with a green arrow, at 48, 32 and 16 pixels, each in
16 colours, 256 colours and 32-bit colour (nine images in one .ico file)."""
import struct
import sys

SIZES = (48, 32, 16)

# The 16 standard VGA colours, then a 6x6x6 colour cube plus greys for 256 colours.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CUBE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
PALETTE256 = VGA16 + CUBE + [(v, v, v) for v in range(8, 248, 10)][: 256 - 16 - 216]
PALETTE256 += [(0, 0, 0)] * (256 - len(PALETTE256))


def pixel(x, y, size):
    """RGBA of the design at (x, y) for an image of size pixels; design units are 0..16."""
    u = (x + 0.5) * 16.0 / size
    v = (y + 0.5) * 16.0 / size
    # Drive body, a rounded blue slab.
    if 3 <= u <= 13 and 5 <= v <= 15:
        edge = u < 3.8 or u > 12.2 or v > 14.2 or v < 5.8
        return (20, 70, 160, 255) if edge else (40, 110, 215, 255)
    # Metal plug on top.
    if 5 <= u <= 11 and 1 <= v < 5:
        if 6.5 <= u <= 7.5 and 2 <= v <= 3 or 8.5 <= u <= 9.5 and 2 <= v <= 3:
            return (60, 60, 60, 255)
        return (200, 200, 205, 255)
    return (0, 0, 0, 0)


def arrow(x, y, size, base):
    """Overlays a green up arrow on the drive's body."""
    u = (x + 0.5) * 16.0 / size
    v = (y + 0.5) * 16.0 / size
    if 7 <= u <= 9 and 9 <= v <= 13.5:
        return (40, 190, 70, 255)
    if 6 <= v < 9 and abs(u - 8) <= (v - 6) * 1.1:
        return (40, 190, 70, 255)
    return base


def image(size):
    return [[arrow(x, y, size, pixel(x, y, size)) for x in range(size)] for y in range(size)]


def nearest(palette, rgb):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))


def row_bytes(bits, width):
    return ((bits * width + 31) // 32) * 4


def dib(size, bits):
    rows = image(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    palette = b""
    xor = b""
    if bits == 32:
        for row in reversed(rows):
            xor += b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in row)
    else:
        colours = VGA16 if bits == 4 else PALETTE256
        palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in colours)
        stride = row_bytes(bits, size)
        for row in reversed(rows):
            indices = [nearest(colours, p[:3]) if p[3] else 0 for p in row]
            if bits == 8:
                line = bytes(indices)
            else:
                line = bytes((indices[i] << 4) | (indices[i + 1] if i + 1 < size else 0)
                             for i in range(0, size, 2))
            xor += line + b"\0" * (stride - len(line))
    mask_stride = row_bytes(1, size)
    mask = b""
    for row in reversed(rows):
        bits_row = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits_row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits_row)
    return header + palette + xor + mask


def main(path):
    entries = [(size, bits) for size in SIZES for bits in (4, 8, 32)]
    images = [dib(size, bits) for size, bits in entries]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), data in zip(entries, images):
        colours = 16 if bits == 4 else 0
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
