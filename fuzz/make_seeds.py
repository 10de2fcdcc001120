#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: small BMP files of each layout the reader accepts
(and a few it refuses; fuzz/run-fuzzers adds rendered pictures that load), pictures of the frame
pipeline in its input format, evaluator inputs, scene descriptions, command lines, camera files in
both formats, and small disparity and grey pictures as PNG, PFM and BMP."""
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


# Palettes of 8-bit pictures: the grey ramp, and its negative.
GREY_RAMP = b"".join(bytes((i, i, i, 0)) for i in range(256))
GREY_NEGATIVE = b"".join(bytes((255 - i, 255 - i, 255 - i, 0)) for i in range(256))


def masks(red, green, blue):
    """Bit-field masks as a 40-byte header's file holds them, after the header."""
    return struct.pack("<III", red, green, blue)


def bmp_seeds():
    write("bmp_reader", "rgb24_2x2.bmp", bmp(2, 2, 24, [padded(colour(5) + colour(20)), padded(colour(40) * 2)]))
    write("bmp_reader", "rgb24_3x2_top_down.bmp",
          bmp(3, -2, 24, [padded(colour(3) * 3), padded(colour(60) * 3)]))
    write("bmp_reader", "bgra32_bitfields_2x2.bmp",
          bmp(2, 2, 32, [b"\x10\x20\x30\xff" * 2, b"\x40\x50\x60\xff" * 2], compression=3,
              extra=masks(0x00FF0000, 0x0000FF00, 0x000000FF)))
    write("bmp_reader", "rgba32_bitfields_2x2.bmp",
          bmp(2, 2, 32, [b"\x30\x20\x10\xff" * 2, b"\x60\x50\x40\xff" * 2], compression=3,
              extra=masks(0x000000FF, 0x0000FF00, 0x00FF0000)))
    write("bmp_reader", "grey8_5x2.bmp",
          bmp(5, 2, 8, [padded(bytes(range(5))), padded(bytes(range(100, 105)))], extra=GREY_RAMP))
    write("bmp_reader", "grey8_negative_5x2.bmp",
          bmp(5, 2, 8, [padded(bytes(range(5))), padded(bytes(range(100, 105)))], extra=GREY_NEGATIVE))
    write("bmp_reader", "truncated_pixels.bmp", bmp(4, 4, 24, [padded(colour(10) * 4)]))
    write("bmp_reader", "header_only.bmp", bmp(1, 1, 24, [])[:54])


ROW_PIXELS = 560


def pipeline_seeds():
    # Byte 0: frames - 1 (mod 3), bit 2 for grey pictures; byte 1: sideways move per frame (pixels);
    # then the picture.
    write("frame_pipeline", "black.bin", bytes((0, 0)) + colour(0))
    write("frame_pipeline", "largest_disparity.bin", bytes((0, 0)) + colour(100))
    stripes = b"".join(colour(40 if (x // 8) % 2 else 4) for x in range(ROW_PIXELS))
    write("frame_pipeline", "near_far_stripes.bin", bytes((1, 0)) + stripes)
    walls = b"".join(colour(20) if 200 <= x < 260 else colour(8) if 330 <= x < 380 else colour(0)
                     for x in range(ROW_PIXELS))
    write("frame_pipeline", "moving_walls.bin", bytes((2, 2)) + walls)
    # Twelve rows of 30 picture rows each: sky, then a road whose disparity grows toward the bottom,
    # with a car (disparity 12) standing on it in the middle; three frames with grey pictures.
    rows = []
    for r in range(12):
        v = r * 30 + 15
        road = max(0, round(1 + (v - 117) / 8.9)) if v > 117 else 0
        car = 150 <= v < 230
        rows.append(b"".join(colour(12) if car and 260 <= x < 320 else colour(road) for x in range(ROW_PIXELS)))
    write("frame_pipeline", "road_and_car.bin", bytes((2 | 4, 1)) + b"".join(rows))


TRUTH_HEADER = "frame,id,z_m,x_left_m,x_right_m,x_center_m,height_m,vz_mps,vx_mps,visible\n"


def eval_seeds():
    # Truth CSV, a zero byte, results JSON Lines: a car closing in, tracked from its third frame, and a
    # false track.
    truth = TRUTH_HEADER
    results = ""
    for f in range(1, 9):
        z = 20.0 - 0.5 * f
        truth += "%d,1,%.6f,-0.900000,0.900000,0.000000,1.500000,-15.000000,0.000000,1\n" % (f, z)
        tracks = []
        if f >= 3:
            tracks.append('{"id": 1, "count": %d, "z_m": %.3f, "x_m": 0.05, "w_m": 1.7, "vz_mps": -14.5}' % (f - 2, z + 0.2))
        if f == 6:
            tracks.append('{"id": 2, "count": 4, "z_m": 35.0, "x_m": 3.0, "w_m": 0.5, "vz_mps": null}')
        results += '{"frame": %d, "tracks": [%s]}\n' % (f, ", ".join(tracks))
    write("eval_inputs", "car_closing_in.txt", (truth + "\0" + results).encode())
    write("eval_inputs", "results_only.txt", b'\0{"frame": 1, "tracks": []}\n')
    # KITTI tracking labels, a zero byte, results JSON Lines with confirmed tracks and road profiles:
    # a parked car passed on the left, held by two trajectories, and a region not to be scored.
    labels = ""
    results = ""
    for f in range(4):
        z = 20.0 - 1.2 * f
        labels += "%d 0 Car 0 %d 1.9 300 170 400 240 1.5 1.7 4.2 -3.0 1.6 %.2f 1.57\n" % (f, f % 2, z)
        labels += "%d -1 DontCare -1 -1 -10 700 150 750 190 -1 -1 -1 -1000 -1000 -1000 -10\n" % f
        track = 1 if f < 2 else 2
        profile = '"own", "accepted": true' if f % 2 == 0 else '"kept", "accepted": false'
        results += ('{"frame": %d, "road": {"ground": [0, 1], "profile": %s}, "tracks": [{"id": 1, "track": %d, '
                    '"count": %d, "confirmed": %s, "z_m": %.2f, "x_m": -3.1, "w_m": 1.5, "vz_mps": -12}]}\n'
                    % (f, profile, track, f + 2, "true" if f > 0 else "false", z - 2.0))
    write("eval_inputs", "labels_parked_car.txt", (labels + "\0" + results).encode())


def scene_seeds():
    write("scene_reader", "moving_boxes.txt",
          b"seed 7\nnoise 0.1\nholes 0.02\nspeckles 0.01\nroad -5 5\nframes 90\n"
          b"box car -0.9 0.9 20 1.5 -5 0\nbox walker -3 -2.4 12 1.7 0 1.2  # crossing\n")


def command_line_seeds():
    write("command_line", "track.txt",
          b"--disparity\0rec/d_XXXXX.bmp\0--grey=rec/g_XXXXX.bmp\0--first\0410\0--last=610\0--json\0-\0--grid")
    write("command_line", "shared.txt", b"--text=a\0--number\0042\0-f\0--flag=1")


def camera_seeds():
    write("camera_file", "own_format.cam", b"# a rig\nf_pix = 707.0912\nbaseline_m = 0.5372\nu0_pix = 601.8873\n"
          b"v0_pix = 183.1104\nwidth_pix = 1226\nheight_pix = 370\ncamHeight_m = 1.65\ntanPitch = 0.02\n"
          b"frameInterval_s = 0.1\nzoneL_m = -4\nzoneR_m = 4\nbf_pix = 379.8\n")
    p0 = b"7.070912e+02 0 6.018873e+02 0 0 7.070912e+02 1.831104e+02 0 0 0 1 0"
    p1 = b"7.070912e+02 0 6.018873e+02 -3.798145e+02 0 7.070912e+02 1.831104e+02 0 0 0 1 0"
    write("camera_file", "kitti_bare.txt", p0 + b"\n" + p1 + b"\n")
    write("camera_file", "kitti_labelled.txt", b"P0: " + p0 + b"\nP1: " + p1 + b"\nP2: " + p0 + b"\nTr: " + p0 + b"\n")


def png(width, height, bits, colour_type, samples, comment=b""):
    """A PNG of one sample per pixel (rows top first), each big-endian; a `comment` goes in a tEXt
    chunk before the pixels."""
    raw = b"".join(b"\0" + b"".join(v.to_bytes(bits // 8, "big") for v in samples[r * width:(r + 1) * width])
                   for r in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", width, height, bits, colour_type, 0, 0, 0)
    text = chunk(b"tEXt", b"Comment\0" + comment) if comment else b""
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + text + chunk(b"IDAT", zlib.compress(raw)) +
            chunk(b"IEND", b""))


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
    write("picture_reader", "disparity16_comment_8x6.png",
          png(w, h, 16, 0, [256 * (1 + i % 40) for i in range(w * h)], comment=b"road scene"))
    values = [0.5 + i for i in range(w * h)]
    values[3] = float("inf")
    values[4] = -1.0
    write("picture_reader", "disparity_le_8x6.pfm", pfm(w, h, values, False))
    write("picture_reader", "disparity_be_8x6.pfm", pfm(w, h, values, True))
    write("picture_reader", "colour24_8x6.bmp", bmp(w, h, 24, [padded(colour(5 + r) * w) for r in range(h)]))
    write("picture_reader", "grey8_8x6.bmp", bmp(w, h, 8, [padded(bytes(range(r, r + w))) for r in range(h)],
                                                 extra=GREY_RAMP))


if __name__ == "__main__":
    bmp_seeds()
    pipeline_seeds()
    eval_seeds()
    scene_seeds()
    command_line_seeds()
    camera_seeds()
    picture_seeds()
