#!/usr/bin/python3
"""Writes the seed corpus of the TIFF stack fuzz target, fuzz/corpus/tiff_stack/: small
multi-page files of every kind the stack reader takes, made with Python's tifffile.

    /usr/bin/python3 fuzz/make_stack_seeds.py

The files are checked in; run this again only to renew them.
"""
import os

import numpy as np
import tifffile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "tiff_stack")


def main():
    os.makedirs(OUT, exist_ok=True)
    rng = np.random.default_rng(1)
    grey = rng.integers(0, 256, (3, 6, 8), dtype=np.uint8)
    rgb = rng.integers(0, 256, (2, 5, 4, 3), dtype=np.uint8)
    seeds = {
        "grey_u8.tif": (grey, {"photometric": "minisblack"}),
        "grey_strips.tif": (grey, {"photometric": "minisblack", "rowsperstrip": 2}),
        "rgb_u8.tif": (rgb, {"photometric": "rgb"}),
        "rgb_separate.tif": (np.moveaxis(rgb, 3, 1).copy(),
                             {"photometric": "rgb", "planarconfig": "separate"}),
        "u16.tif": (rng.integers(0, 65536, (2, 4, 5), dtype=np.uint16), {"photometric": "minisblack"}),
        "i16.tif": (rng.integers(-300, 300, (2, 4, 5), dtype=np.int16), {"photometric": "minisblack"}),
        "f32.tif": (rng.standard_normal((2, 3, 4)).astype(np.float32), {"photometric": "minisblack"}),
        "i32.tif": (rng.integers(-9, 9, (2, 3, 4), dtype=np.int32), {"photometric": "minisblack"}),
        "imagej.tif": (rng.integers(0, 999, (4, 3, 5), dtype=np.uint16), {"imagej": True}),
        "bigtiff.tif": (grey, {"photometric": "minisblack", "bigtiff": True}),
        "deflate.tif": (grey, {"photometric": "minisblack", "compression": "zlib"}),
        "deflate_predictor.tif": (grey, {"photometric": "minisblack", "compression": "zlib",
                                         "predictor": True}),
        "big_endian.tif": (rng.integers(0, 65536, (2, 3, 4), dtype=np.uint16),
                           {"photometric": "minisblack", "byteorder": ">"}),
    }
    for name, (data, options) in seeds.items():
        tifffile.imwrite(os.path.join(OUT, name), data, **options)


if __name__ == "__main__":
    main()
