#!/usr/bin/python3
"""Independent decoders for the image-format tests: Pillow, and ImageMagick's convert.

    image_crosscheck.py make DIR     writes image files made by Pillow and ImageMagick into DIR,
                                     each with the pixels Pillow decodes from it (NAME.raw), and
                                     DIR/manifest.txt: NAME ROWS COLUMNS COLOUR TOLERANCE
    image_crosscheck.py verify DIR   decodes with Pillow the files listed in DIR/manifest.txt
                                     (written by our TIFF writer) and compares them with their
                                     NAME.raw; prints every mismatch, exit status 1 if any

Exit status 77 when Pillow is missing, so that the calling test skips.
"""
import io
import os
import subprocess
import sys

try:
    from PIL import Image
except ImportError:
    sys.exit(77)

CONVERT = "/usr/bin/convert"


def picture(w, h, colours=None):
    rgb = Image.new("RGB", (w, h))
    rgb.putdata([((x * 29 + y * 3) % 256, (y * 37) % 256, ((x // 3 + y) * 50) % 256)
                 for y in range(h) for x in range(w)])
    return rgb.quantize(colours) if colours else rgb


def pixels(path, colour):
    with Image.open(path) as im:
        im.seek(0)
        return im.convert("RGB" if colour else "L").tobytes()


def make(d):
    lines = []

    def record(name, colour, tolerance=0):
        path = os.path.join(d, name)
        with Image.open(path) as im:
            w, h = im.size
        with open(path + ".raw", "wb") as f:
            f.write(pixels(path, colour))
        lines.append("%s %d %d %d %d" % (name, h, w, colour, tolerance))

    def pil(name, image, colour, tolerance=0, **options):
        image.save(os.path.join(d, name), **options)
        record(name, colour, tolerance)

    def magick(name, source, colour, *arguments, prefix="", tolerance=0):
        buf = io.BytesIO()
        source.save(buf, "PNG")
        subprocess.run([CONVERT, "png:-", *arguments, prefix + os.path.join(d, name)],
                       input=buf.getvalue(), check=True)
        record(name, colour, tolerance)

    pil("pil_rgb.bmp", picture(31, 17), 1)
    pil("pil_p8.bmp", picture(30, 9, 100), 1)
    pil("pil_1.bmp", picture(33, 5).convert("1"), 1)
    pil("pil_grey.bmp", picture(13, 6).convert("L"), 1)
    pil("pil_rgb.tga", picture(21, 8), 1)
    pil("pil_rgb_rle.tga", picture(40, 9), 1, compression="tga_rle")
    pil("pil_rgba_rle.tga", picture(12, 7).convert("RGBA"), 1, compression="tga_rle")
    pil("pil_grey.tga", picture(12, 7).convert("L"), 0)
    pil("pil_grey_rle.tga", picture(50, 7).convert("L"), 0, compression="tga_rle")
    pil("pil_p.tga", picture(19, 7, 40), 1)
    pil("pil_p_rle.tga", picture(19, 7, 40), 1, compression="tga_rle")
    pil("pil_p.gif", picture(33, 21, 200), 1)
    pil("pil_p_interlaced.gif", picture(17, 29, 16), 1, interlace=True)
    pil("pil_rgb.jpg", picture(37, 19), 1, tolerance=1, quality=85)
    pil("pil_grey.jpg", picture(37, 19).convert("L"), 0, tolerance=1, quality=85)
    pil("pil_progressive.jpg", picture(37, 19), 1, tolerance=1, quality=75, progressive=True)
    pil("pil_grey.tif", picture(23, 41).convert("L"), 0)
    pil("pil_rgb_lzw.tif", picture(23, 41), 1, compression="tiff_lzw")
    pil("pil_palette.tif", picture(23, 11, 30), 1)
    pil("pil_bw.tif", picture(23, 11).convert("1"), 0)
    if os.path.exists(CONVERT):
        magick("im_p4.bmp", picture(23, 7, 16), 1, "-type", "Palette", "-colors", "16",
               prefix="BMP3:")
        magick("im_rgb_v5.bmp", picture(23, 7), 1)
        magick("im_rle.tga", picture(29, 8), 1, "-compress", "RLE")
        magick("im_87a.gif", picture(29, 8, 16), 1, prefix="GIF87:")
        magick("im_interlaced.gif", picture(29, 19, 64), 1, "-interlace", "GIF")
        magick("im_tiled.tif", picture(40, 40), 1, "-define", "tiff:tile-geometry=16x16")
        magick("im_miniswhite.tif", picture(23, 9).convert("L"), 0, "-define",
               "quantum:polarity=min-is-white")
        magick("im_rgb.jpg", picture(29, 8), 1, "-quality", "90", tolerance=1)
    with open(os.path.join(d, "manifest.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
    return 0


def verify(d):
    bad = 0
    with open(os.path.join(d, "manifest.txt")) as f:
        for line in f:
            if not line.strip():
                continue
            name, rows, columns, colour, _ = line.split()
            path = os.path.join(d, name)
            with Image.open(path) as im:
                if im.size != (int(columns), int(rows)):
                    print("%s: size %s" % (name, im.size))
                    bad += 1
                    continue
            with open(path + ".raw", "rb") as r:
                if pixels(path, int(colour)) != r.read():
                    print("%s: pixels differ" % name)
                    bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit({"make": make, "verify": verify}[sys.argv[1]](sys.argv[2]))
