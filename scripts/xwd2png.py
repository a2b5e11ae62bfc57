#!/usr/bin/env python3
"""Converts a 24/32-bit ZPixmap XWD dump (as xwd -root writes it) to PNG."""
import struct
import sys
import zlib


def main(src, dst):
    data = open(src, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    bits_per_pixel, bytes_per_line = header[11], header[12]
    ncolors = header[19]
    if bits_per_pixel not in (24, 32):
        sys.exit("xwd2png: only 24- and 32-bit pixels are supported")
    step = bits_per_pixel // 8
    offset = header_size + ncolors * 12
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        row = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        for x in range(width):
            b, g, r = row[x * step], row[x * step + 1], row[x * step + 2]
            raw += bytes((r, g, b))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 6)) + chunk(b"IEND", b"")
    open(dst, "wb").write(png)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
