#!/usr/bin/python3
"""Turns one of the launcher's XPM images into a Windows .ico file.

Usage: xpm_to_ico.py IMAGE.xpm ICON.ico

The icon holds the image at its own size as a 32-bit BGRA bitmap (with the
AND mask Windows still reads), plus a 16x16 copy taken by sampling every
second pixel when the image is 32x32, for small icons and title bars.
The checked-in icons of launcher/resources were made with it.
"""
import re
import struct
import sys


def read_xpm(path):
    strings = re.findall(r'"((?:[^"\\]|\\.)*)"', open(path, encoding="ascii").read())
    width, height, ncolors, cpp = (int(v) for v in strings[0].split()[:4])
    colors = {}
    for line in strings[1:1 + ncolors]:
        key, words = line[:cpp], line[cpp:].split()
        value = words[words.index("c") + 1]
        if value.lower() == "none":
            colors[key] = (0, 0, 0, 0)
        else:
            rgb = int(value.lstrip("#"), 16)
            colors[key] = (rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255, 255)
    rows = strings[1 + ncolors:1 + ncolors + height]
    return [[colors[row[x * cpp:(x + 1) * cpp]] for x in range(width)] for row in rows]


def icon_image(pixels):
    height, width = len(pixels), len(pixels[0])
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(struct.pack("BBBB", b, g, r, a)
                   for row in reversed(pixels) for (r, g, b, a) in row)
    mask_stride = ((width + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return width, height, header + xor + mask


def write_ico(path, images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for width, height, data in images:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    open(path, "wb").write(out)


def main():
    pixels = read_xpm(sys.argv[1])
    images = [icon_image(pixels)]
    if len(pixels) == 32 and len(pixels[0]) == 32:
        images.append(icon_image([row[::2] for row in pixels[::2]]))
    write_ico(sys.argv[2], images)


if __name__ == "__main__":
    main()
