#!/usr/bin/env python3
"""Writes a Windows icon file holding the given PNG pictures as they are (Windows Vista and later
read PNG entries of any size and scale them for the smaller ones).

    png-to-ico.py OUTPUT.ico PICTURE.png...
"""
import struct
import sys


def size_of(png):
    if png[:8] != b"\x89PNG\r\n\x1a\n" or png[12:16] != b"IHDR":
        raise SystemExit("not a PNG picture")
    return struct.unpack(">II", png[16:24])


def main(output, pictures):
    images = [open(p, "rb").read() for p in pictures]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for png in images:
        width, height = size_of(png)
        # 256 pixels is written as 0.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(png),
                               offset + len(data))
        data += png
    with open(output, "wb") as out:
        out.write(header + entries + data)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2:])
