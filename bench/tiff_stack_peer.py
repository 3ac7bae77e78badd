#!/usr/bin/python3
"""Times the TIFF stack read and write of Velmora3D against Python's tifffile on the same file
in the same run, and prints the figures side by side with their ratios and the machine's load.

    /usr/bin/python3 bench/tiff_stack_peer.py [build directory, default build]

The stack is the standard volume (256 x 256 x 128 UC, from v3d_write_standard_volume) as one
uncompressed file of 128 grey pages, written by tifffile.imwrite; our benchmark
(build/bench/v3d_bench_tiff_stack) reads that very file (and checks its samples), tifffile.imread
reads it too. Both write the same 128 frames as a stack of their own. Each figure is the best
of several runs, with warm file caches.
"""
import json
import os
import shutil
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
REPEATS = 9


def best(fn, repeats=REPEATS):
    fn()  # warm-up
    times = []
    for _ in range(repeats):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return min(times)


def ours(build, stack):
    env = dict(os.environ, V3D_BENCH_STACK=stack)
    out = subprocess.run([os.path.join(build, "bench", "v3d_bench_tiff_stack"),
                          "--benchmark_format=json", "--benchmark_repetitions=9",
                          "--benchmark_report_aggregates_only=false"],
                         env=env, capture_output=True, text=True)
    if out.returncode != 0:
        raise SystemExit("our benchmark failed:\n" + out.stderr + out.stdout[-2000:])
    out = out.stdout
    figures = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        if b.get("error_occurred"):
            raise SystemExit("our benchmark failed: " + b.get("error_message", ""))
        name = b["run_name"].replace("/real_time", "")
        seconds = b["real_time"] * {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[b["time_unit"]]
        figures[name] = min(figures.get(name, seconds), seconds)
    return figures


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    scratch = tempfile.mkdtemp(prefix="v3d_stack_peer_")
    try:
        raw = os.path.join(scratch, "standard.raw")
        subprocess.run([os.path.join(build, "bench", "v3d_write_standard_volume"), raw], check=True)
        volume = np.fromfile(raw, np.uint8).reshape(FRAMES, ROWS, COLUMNS)
        stack = os.path.join(scratch, "standard.tif")
        tifffile.imwrite(stack, volume, photometric="minisblack")
        load_before = os.getloadavg()[0]
        figures = ours(build, stack)
        assert np.array_equal(tifffile.imread(stack), volume)
        theirs = os.path.join(scratch, "tifffile.tif")
        peer = {
            "read": best(lambda: tifffile.imread(stack)),
            "write": best(lambda: tifffile.imwrite(theirs, volume, photometric="minisblack")),
        }
        load_after = os.getloadavg()[0]
    finally:
        shutil.rmtree(scratch, ignore_errors=True)

    rows = [
        ("read 128 pages", figures["BM_ReadTiffStack"], peer["read"]),
        ("write 128 pages, none", figures["BM_WriteTiffStack/1"], peer["write"]),
    ]
    print("TIFF stack, 128 pages of 256 x 256 grey, file by tifffile (best of runs, seconds)")
    print("%-24s %10s %10s %12s" % ("", "Velmora3D", "tifffile", "tifffile/us"))
    for label, us, them in rows:
        print("%-24s %10.4f %10.4f %11.2fx" % (label, us, them, them / us))
    print("%-24s %10.4f" % ("write 128 pages, Deflate", figures["BM_WriteTiffStack/8"]))
    print("load average (1 min) %.2f before, %.2f after, %d cores" %
          (load_before, load_after, os.cpu_count()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
