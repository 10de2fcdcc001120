#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: small BMP files of each layout the reader accepts
(and a few it refuses), pictures of the frame pipeline in its input format, camera files in both
formats, and small disparity and grey pictures as PNG, PFM and BMP."""
import os
import struct
import zlib

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


def camera_seeds():
    write("camera_file", "own_format.cam", b"# a rig\nf_pix = 707.0912\nbaseline_m = 0.5372\nu0_pix = 601.8873\n"
          b"v0_pix = 183.1104\nwidth_pix = 1226\nheight_pix = 370\ncamHeight_m = 1.65\ntanPitch = 0.02\n"
          b"frameInterval_s = 0.1\nzoneL_m = -4\nzoneR_m = 4\nbf_pix = 379.8\n")
    p0 = b"7.070912e+02 0 6.018873e+02 0 0 7.070912e+02 1.831104e+02 0 0 0 1 0"
    p1 = b"7.070912e+02 0 6.018873e+02 -3.798145e+02 0 7.070912e+02 1.831104e+02 0 0 0 1 0"
    write("camera_file", "kitti_bare.txt", p0 + b"\n" + p1 + b"\n")
    write("camera_file", "kitti_labelled.txt", b"P0: " + p0 + b"\nP1: " + p1 + b"\nP2: " + p0 + b"\nTr: " + p0 + b"\n")


def png(width, height, bits, colour_type, samples):
    """A PNG of one sample per pixel (rows top first), each big-endian."""
    raw = b"".join(b"\0" + b"".join(v.to_bytes(bits // 8, "big") for v in samples[r * width:(r + 1) * width])
                   for r in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", width, height, bits, colour_type, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def pfm(width, height, values, big_endian):
    """A grey PFM; `values` are rows top first, stored bottom row first."""
    rows = [values[r * width:(r + 1) * width] for r in range(height)][::-1]
    order = ">" if big_endian else "<"
    data = b"".join(struct.pack(order + "%df" % width, *row) for row in rows)
    return b"Pf\n%d %d\n%s\n" % (width, height, b"1.0" if big_endian else b"-1.0") + data


def picture_seeds():
    w, h = 8, 6
    write("picture_reader", "disparity16_8x6.png", png(w, h, 16, 0, [256 * (1 + i % 40) for i in range(w * h)]))
    write("picture_reader", "grey8_8x6.png", png(w, h, 8, 0, [(i * 5) % 256 for i in range(w * h)]))
    values = [0.5 + i for i in range(w * h)]
    values[3] = float("inf")
    values[4] = -1.0
    write("picture_reader", "disparity_le_8x6.pfm", pfm(w, h, values, False))
    write("picture_reader", "disparity_be_8x6.pfm", pfm(w, h, values, True))
    write("picture_reader", "colour24_8x6.bmp", bmp(w, h, 24, [padded(colour(5 + r) * w) for r in range(h)]))
    write("picture_reader", "grey8_8x6.bmp", bmp(w, h, 8, [padded(bytes(range(r, r + w))) for r in range(h)],
                                                 extra=bytes(1024)))


if __name__ == "__main__":
    bmp_seeds()
    pipeline_seeds()
    camera_seeds()
    picture_seeds()
