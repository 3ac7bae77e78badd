#!/usr/bin/python3
"""Times the TIFF sequence read and write of Velmora3D against Python's tifffile on the same
files in the same run, and prints the figures side by side with their ratios.

    /usr/bin/python3 bench/tiff_sequence_peer.py [build directory, default build]

The sequence is the standard volume (256 x 256 x 128 UC) as 128 uncompressed grey TIFF files,
written by our benchmark (build/bench/v3d_bench_image) into a scratch directory; tifffile
reads those very files and writes the same 128 frames (from v3d_write_standard_volume) as
files of its own. Our read is shown with both of the TIFF reader's ways to a file: libtiff
opening the path itself, and the file's bytes loaded in one read and decoded from memory.
Each figure is the median of five runs, with warm file caches; the load average is printed
with them, since other work on the machine moves every figure.
"""
import glob
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

try:
    import numpy as np
    import tifffile
except ImportError:
    subprocess.run(["sudo" if os.geteuid() else "env", "apt-get", "install", "-y", "-qq",
                    "python3-numpy", "python3-tifffile"], check=True)
    import numpy as np
    import tifffile

FRAMES, ROWS, COLUMNS = 128, 256, 256
SIDES = (256, 360, 512, 1024, 2048)  # the frame sides of the benchmark's size series
REPEATS = 5


def median(fn, repeats=REPEATS):
    fn()  # warm-up
    times = []
    for _ in range(repeats):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return statistics.median(times)


def ours(build, scratch):
    env = dict(os.environ, V3D_BENCH_TIFF_DIR=scratch)
    out = subprocess.run([os.path.join(build, "bench", "v3d_bench_image"),
                          "--benchmark_format=json", "--benchmark_repetitions=%d" % REPEATS,
                          "--benchmark_report_aggregates_only=false"],
                         env=env, check=True, capture_output=True, text=True).stdout
    runs = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        name = b["run_name"].replace("/real_time", "")
        seconds = b["real_time"] * {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[b["time_unit"]]
        runs.setdefault(name, []).append(seconds)
    return {name: statistics.median(times) for name, times in runs.items()}


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    scratch = tempfile.mkdtemp(prefix="v3d_tiff_peer_")
    try:
        figures = ours(build, scratch)
        files = sorted(glob.glob(os.path.join(scratch, "read", "frame*.tif")),
                       key=lambda f: int(os.path.basename(f)[5:-4]))
        assert len(files) == FRAMES, len(files)

        raw = os.path.join(scratch, "standard.raw")
        subprocess.run([os.path.join(build, "bench", "v3d_write_standard_volume"), raw], check=True)
        volume = np.fromfile(raw, np.uint8).reshape(FRAMES, ROWS, COLUMNS)

        stack = np.empty((FRAMES, ROWS, COLUMNS), np.uint8)

        def peer_read():
            for k, f in enumerate(files):
                stack[k] = tifffile.imread(f)

        peer_read()
        assert np.array_equal(stack, volume), "tifffile reads other pixels than we wrote"
        os.makedirs(os.path.join(scratch, "peer"), exist_ok=True)
        names = [os.path.join(scratch, "peer", "frame%d.tif" % k) for k in range(FRAMES)]

        def peer_write():
            for k in range(FRAMES):
                tifffile.imwrite(names[k], volume[k])

        peer = {"read": median(peer_read), "write": median(peer_write)}
    finally:
        shutil.rmtree(scratch, ignore_errors=True)

    rows = [
        ("read 128 files", figures["BM_ReadImageSeqTIFF"], peer["read"]),
        ("  libtiff opens the path", figures["BM_ReadSequenceLibtiffOpensPath/256"], peer["read"]),
        ("  bytes in one read", figures["BM_ReadSequenceBytesInOneRead/256"], peer["read"]),
        ("write 128 files, none", figures["BM_WriteImageSeqTIFF/1"], peer["write"]),
    ]
    print("TIFF sequence, 128 files of 256 x 256 grey (median of %d runs, seconds; "
          "load average %.2f)" % (REPEATS, os.getloadavg()[0]))
    print("%-26s %10s %10s %12s" % ("", "Velmora3D", "tifffile", "tifffile/us"))
    for label, us, them in rows:
        print("%-26s %10.4f %10.4f %11.2fx" % (label, us, them, them / us))
    print("%-26s %10.4f" % ("check 128 files", figures["BM_CheckImageSeqTIFF"]))
    print("%-26s %10.4f" % ("  libtiff opens the path", figures["BM_CheckSequenceLibtiffOpensPath/256"]))
    print("%-26s %10.4f" % ("  bytes in one read", figures["BM_CheckSequenceBytesInOneRead/256"]))
    print("%-26s %10.4f" % ("read through RGBA path", figures["BM_ReadSequenceThroughRGBA"]))
    print("%-26s %10.4f" % ("bare libtiff strip loop", figures["BM_LibtiffStripLoopFloor"]))
    print("%-26s %10.4f" % ("write 128 files, LZW", figures["BM_WriteImageSeqTIFF/5"]))
    print("read: path / bytes in one read: %.2fx" %
          (figures["BM_ReadSequenceLibtiffOpensPath/256"] / figures["BM_ReadSequenceBytesInOneRead/256"]))
    print("read / bare strip loop: %.2fx" %
          (figures["BM_ReadImageSeqTIFF"] / figures["BM_LibtiffStripLoopFloor"]))
    print()
    print("Check + read by frame size, about 8 MiB of files each (seconds): the reader "
          "chooses by size")
    print("%-6s %-9s %10s %10s %10s %10s" %
          ("side", "file", "path", "bytes", "by size", "path/bytes"))
    for side in SIDES:
        path, data, chosen = (figures["BM_ReadSequence%s/%d" % (way, side)]
                              for way in ("LibtiffOpensPath", "BytesInOneRead", "BySize"))
        print("%-6d %6.0f KiB %10.4f %10.4f %10.4f %9.2fx" %
              (side, side * side / 1024.0, path, data, chosen, path / data))
    return 0


if __name__ == "__main__":
    sys.exit(main())
