#!/usr/bin/python3
"""The independent side of the TIFF stack round-trip tests, through Python's tifffile.

  tiff_stack_peer.py make DIR
      writes stacks with tifffile into DIR (NAME.tif) with, beside each, NAME.expect: the
      samples a volume must hold after reading it
  tiff_stack_peer.py verify FILE EXPECT [FILE EXPECT ...]
      reads each FILE with tifffile.imread and compares it with its EXPECT file; exit 0 when
      every file holds exactly the expected samples and sample type

An .expect file is one text line "TYPE Z Y X C" (TYPE uc, f or i; C 1 or 3) followed by the
samples, little-endian uint8, float32 or int32, channel by channel, each frame by frame, row
by row.
"""
import os
import sys

import numpy as np
import tifffile

DTYPES = {"uc": np.uint8, "f": np.float32, "i": np.int32}


def write_expect(path, kind, array):
    """array: (Z, Y, X) or (Z, Y, X, 3)."""
    if array.ndim == 3:
        array = array[..., np.newaxis]
    z, y, x, c = array.shape
    with open(path, "wb") as f:
        f.write(f"{kind} {z} {y} {x} {c}\n".encode())
        f.write(np.ascontiguousarray(np.moveaxis(array, 3, 0)).astype("<" + np.dtype(DTYPES[kind]).str[1:]).tobytes())


def read_expect(path):
    with open(path, "rb") as f:
        kind, z, y, x, c = f.readline().decode().split()
        z, y, x, c = int(z), int(y), int(x), int(c)
        data = np.frombuffer(f.read(), dtype=np.dtype(DTYPES[kind]).newbyteorder("<"))
    array = np.moveaxis(data.reshape(c, z, y, x), 0, 3)
    return kind, (array[..., 0] if c == 1 else array)


def make(folder):
    rng = np.random.default_rng(15)
    cases = []
    grey = rng.integers(0, 256, (5, 7, 9), dtype=np.uint8)
    cases.append(("grey_u8", grey, {}, "uc"))
    rgb = rng.integers(0, 256, (4, 6, 5, 3), dtype=np.uint8)
    cases.append(("rgb_u8", rgb, {"photometric": "rgb"}, "uc"))
    rgb_planar = rng.integers(0, 256, (3, 5, 6, 3), dtype=np.uint8)
    cases.append(("rgb_separate", rgb_planar, {"photometric": "rgb", "planarconfig": "separate"}, "uc"))
    u16 = rng.integers(0, 65536, (3, 8, 5), dtype=np.uint16)
    u16[0, 0, 0] = 65535
    cases.append(("u16", u16, {}, "i"))
    i16 = rng.integers(-32768, 32768, (3, 4, 6), dtype=np.int16)
    cases.append(("i16", i16, {}, "i"))
    f32 = (rng.standard_normal((4, 5, 7)) * 1000).astype(np.float32)
    f32[0, 0, 0] = -0.0
    f32[0, 0, 1] = 1e-38
    cases.append(("f32", f32, {}, "f"))
    i32 = rng.integers(-(2**31), 2**31, (2, 6, 4), dtype=np.int32)
    cases.append(("i32", i32, {}, "i"))
    imagej = rng.integers(0, 65536, (6, 10, 12), dtype=np.uint16)
    cases.append(("imagej_u16", imagej, {"imagej": True}, "i"))
    big = rng.integers(0, 256, (3, 9, 11), dtype=np.uint8)
    cases.append(("bigtiff", big, {"bigtiff": True}, "uc"))
    deflate = rng.integers(0, 4, (5, 33, 17), dtype=np.uint8)
    cases.append(("deflate", deflate, {"compression": "zlib"}, "uc"))
    deflate_f = (rng.standard_normal((3, 12, 9))).astype(np.float32)
    cases.append(("deflate_f32", deflate_f, {"compression": "zlib"}, "f"))
    strips = rng.integers(0, 256, (2, 50, 13, 3), dtype=np.uint8)
    cases.append(("rgb_strips", strips, {"photometric": "rgb", "rowsperstrip": 7}, "uc"))
    for name, array, options, kind in cases:
        data = array
        if options.get("planarconfig") == "separate":
            data = np.ascontiguousarray(np.moveaxis(array, 3, 1))  # (Z, 3, Y, X)
        if "photometric" not in options and not options.get("imagej"):
            options["photometric"] = "minisblack"  # else a first axis of 3 reads as colour
        tifffile.imwrite(os.path.join(folder, name + ".tif"), data, **options)
        write_expect(os.path.join(folder, name + ".expect"), kind, array.astype(DTYPES[kind]))


def verify(pairs):
    failed = 0
    for tif, expect in pairs:
        kind, want = read_expect(expect)
        try:
            got = tifffile.imread(tif)
        except ValueError as e:
            if "imagecodecs" not in str(e):
                raise
            # tifffile decodes LZW only with the imagecodecs package (not in Debian 12).
            print(f"{tif}: skipped, {e}")
            continue
        if want.shape[0] == 1 and got.ndim == want.ndim - 1:
            got = got[np.newaxis]  # a one-page file reads as one frame
        if got.dtype != np.dtype(DTYPES[kind]):
            print(f"{tif}: sample type {got.dtype}, expected {np.dtype(DTYPES[kind])}")
            failed += 1
        elif got.shape != want.shape:
            print(f"{tif}: shape {got.shape}, expected {want.shape}")
            failed += 1
        elif not np.array_equal(got.view(np.uint8), np.ascontiguousarray(want).view(np.uint8)):
            print(f"{tif}: samples differ")
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "make":
        make(sys.argv[2])
    elif len(sys.argv) >= 4 and sys.argv[1] == "verify" and len(sys.argv) % 2 == 0:
        sys.exit(verify(list(zip(sys.argv[2::2], sys.argv[3::2]))))
    else:
        sys.exit(__doc__)
