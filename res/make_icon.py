#!/usr/bin/env python3
"""Turns the text picture res/icon.txt into a 32 x 32, 4-bit .ico file.

usage: make_icon.py icon.txt out.ico
"""
import struct
import sys

SIZE = 32
COLOURS = 16


def read_picture(path):
    palette, rows = [], []
    with open(path, encoding="ascii") as text:
        for line in text:
            line = line.split("#", 1)[0].strip()
            if line.startswith("colour "):
                _, char, rgb = line.split()
                palette.append((char, int(rgb, 16)))
            elif line.startswith("pixels "):
                rows.append(line[len("pixels "):])
    if len(palette) != COLOURS or len({c for c, _ in palette}) != COLOURS:
        sys.exit(f"{path}: need {COLOURS} distinct palette entries")
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        sys.exit(f"{path}: need {SIZE} rows of {SIZE} pixels")
    index = {c: i for i, (c, _) in enumerate(palette)}
    for row in rows:
        for c in row:
            if c != "." and c not in index:
                sys.exit(f"{path}: pixel {c!r} is not in the palette")
    return palette, rows, index


def ico_bytes(palette, rows, index):
    # A DIB stores rows bottom-up; 4-bit colour rows are 16 bytes, mask rows 4.
    colour_bits, mask_bits = bytearray(), bytearray()
    for row in reversed(rows):
        nibbles = [index.get(c, 0) for c in row]
        colour_bits += bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2))
        mask = 0
        for c in row:
            mask = (mask << 1) | (c == ".")
        mask_bits += mask.to_bytes(SIZE // 8, "big")
    quads = b"".join(struct.pack("<BBBB", rgb & 0xFF, (rgb >> 8) & 0xFF, rgb >> 16, 0) for _, rgb in palette)
    image_bytes = len(colour_bits) + len(mask_bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, image_bytes, 0, 0, 0, 0)
    image = header + quads + bytes(colour_bits) + bytes(mask_bits)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, COLOURS, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    data = ico_bytes(*read_picture(sys.argv[1]))
    with open(sys.argv[2], "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
