#!/usr/bin/python3
"""Writes the seed corpora of the decoder fuzz targets: small valid files of every kind each
decoder reads, made with Pillow and ImageMagick (Debian's /usr/bin/convert).

    /usr/bin/python3 fuzz/make_seeds.py

The files are checked in; run this again only to renew them.
"""
import io
import os
import subprocess
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = "/usr/bin/convert"


def picture(mode, w=9, h=7):
    """A small picture with runs and edges, in the given Pillow mode."""
    rgb = Image.new("RGB", (w, h))
    rgb.putdata([((x * 29) % 256, (y * 37) % 256, ((x // 3 + y) * 50) % 256)
                 for y in range(h) for x in range(w)])
    if mode == "RGB":
        return rgb
    if mode == "P16":
        return rgb.quantize(16)
    if mode == "P":
        return rgb.quantize(64)
    if mode == "I;16":
        return rgb.convert("L").convert("I").point(lambda v: v * 257).convert("I;16")
    return rgb.convert(mode)


def save(kind, name, image, **options):
    os.makedirs(os.path.join(HERE, "corpus", kind), exist_ok=True)
    image.save(os.path.join(HERE, "corpus", kind, name), **options)


def convert(kind, name, source, *arguments, prefix=""):
    path = prefix + os.path.join(HERE, "corpus", kind, name)
    buf = io.BytesIO()
    source.save(buf, "PNG")
    subprocess.run([CONVERT, "png:-", *arguments, path], input=buf.getvalue(), check=True)


def main():
    save("bmp", "rgb24.bmp", picture("RGB"))
    save("bmp", "p8.bmp", picture("P"))
    save("bmp", "bw1.bmp", picture("1"))
    save("bmp", "grey8.bmp", picture("L"))
    save("tga", "rgb24.tga", picture("RGB"))
    save("tga", "rgb24_rle.tga", picture("RGB", 20, 9), compression="tga_rle")
    save("tga", "rgba32_rle.tga", picture("RGBA"), compression="tga_rle")
    save("tga", "grey8.tga", picture("L"))
    save("tga", "grey8_rle.tga", picture("L", 20, 9), compression="tga_rle")
    save("tga", "mapped.tga", picture("P"))
    save("tga", "mapped_rle.tga", picture("P"), compression="tga_rle")
    save("gif", "p64.gif", picture("P"))
    save("gif", "p64_interlaced.gif", picture("P", 12, 19), interlace=True)
    save("gif", "bw.gif", picture("1"))
    save("jpeg", "rgb.jpg", picture("RGB", 17, 11), quality=80)
    save("jpeg", "grey.jpg", picture("L", 17, 11), quality=80)
    save("jpeg", "progressive.jpg", picture("RGB", 17, 11), quality=60, progressive=True)
    save("tiff", "grey_none.tif", picture("L"))
    save("tiff", "rgb_lzw.tif", picture("RGB"), compression="tiff_lzw")
    save("tiff", "rgb_packbits.tif", picture("RGB"), compression="packbits")
    save("tiff", "palette.tif", picture("P"))
    save("tiff", "bw.tif", picture("1"))
    save("tiff", "grey16.tif", picture("I;16"))
    save("tiff", "rgba.tif", picture("RGBA"), compression="tiff_adobe_deflate")
    if os.path.exists(CONVERT):
        convert("bmp", "p4.bmp", picture("P16"), "-type", "Palette", "-colors", "16",
                prefix="BMP3:")
        convert("bmp", "rgb_v5.bmp", picture("RGB"))
        convert("gif", "im87a.gif", picture("P16"), prefix="GIF87:")
        convert("tga", "im.tga", picture("RGB"), "-compress", "RLE")
        convert("tiff", "tiled.tif", picture("RGB", 20, 20), "-define", "tiff:tile-geometry=16x16")
        convert("tiff", "miniswhite.tif", picture("L"), "-define",
                "quantum:polarity=min-is-white")
    return 0


if __name__ == "__main__":
    sys.exit(main())
