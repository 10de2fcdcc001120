#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: small BMP files of each layout the reader accepts
(and a few it refuses), and pictures of the frame pipeline in its input format."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def bmp(width, height, bits, rows, compression=0, extra=b""):
    """A BMP file; `rows` are the stored rows, already padded; `extra` goes between header and pixels."""
    pixels = b"".join(rows)
    offset = 54 + len(extra)
    header = struct.pack("<2sIIIIiiHHIIiiII", b"BM", offset + len(pixels), 0, offset, 40, width, height, 1,
                         bits, compression, len(pixels), 2835, 2835, 0, 0)
    return header + extra + pixels


def padded(row):
    return row + b"\0" * (-len(row) % 4)


# Disparity colour coding, blue-green-red bytes.
def colour(d):
    if d == 0:
        r, g, b = 0, 0, 0
    elif d <= 6:
        r, g, b = 0, int(d * 42.5), 255
    elif d <= 15:
        r, g, b = 0, 255, 255 - int((d - 6) * 28.333333333333332)
    elif d <= 30:
        r, g, b = int((d - 15) * 17.0), 255, 0
    else:
        r, g, b = 255, 255 - int((d - 30) * 3.642857142857143), 0
    return bytes((b, g, r))


def bmp_seeds():
    write("bmp_reader", "rgb24_2x2.bmp", bmp(2, 2, 24, [padded(colour(5) + colour(20)), padded(colour(40) * 2)]))
    write("bmp_reader", "rgb24_3x2_top_down.bmp",
          bmp(3, -2, 24, [padded(colour(3) * 3), padded(colour(60) * 3)]))
    write("bmp_reader", "bgra32_bitfields_2x2.bmp",
          bmp(2, 2, 32, [b"\x10\x20\x30\xff" * 2, b"\x40\x50\x60\xff" * 2], compression=3))
    write("bmp_reader", "grey8_5x2.bmp",
          bmp(5, 2, 8, [padded(bytes(range(5))), padded(bytes(range(100, 105)))], extra=b"\0\0\0\0\xff\xff\xff\0"))
    write("bmp_reader", "truncated_pixels.bmp", bmp(4, 4, 24, [padded(colour(10) * 4)]))
    write("bmp_reader", "header_only.bmp", bmp(1, 1, 24, [])[:54])


ROW_PIXELS = 560


def pipeline_seeds():
    # Byte 0: frames - 2 (mod 3); byte 1: sideways move per frame (pixels); then the picture.
    write("frame_pipeline", "black.bin", bytes((2, 0)) + colour(0))
    write("frame_pipeline", "largest_disparity.bin", bytes((2, 0)) + colour(100))
    stripes = b"".join(colour(40 if (x // 8) % 2 else 4) for x in range(ROW_PIXELS))
    write("frame_pipeline", "near_far_stripes.bin", bytes((2, 0)) + stripes)
    walls = b"".join(colour(20) if 200 <= x < 260 else colour(8) if 330 <= x < 380 else colour(0)
                     for x in range(ROW_PIXELS))
    write("frame_pipeline", "moving_walls.bin", bytes((2, 2)) + walls)
    # Twelve rows of 30 picture rows each: sky, then a road whose disparity grows toward the bottom,
    # with a car (disparity 12) standing on it in the middle.
    rows = []
    for r in range(12):
        v = r * 30 + 15
        road = max(0, round(1 + (v - 117) / 8.9)) if v > 117 else 0
        car = 150 <= v < 230
        rows.append(b"".join(colour(12) if car and 260 <= x < 320 else colour(road) for x in range(ROW_PIXELS)))
    write("frame_pipeline", "road_and_car.bin", bytes((2, 1)) + b"".join(rows))


if __name__ == "__main__":
    bmp_seeds()
    pipeline_seeds()
