#!/usr/bin/python3
"""Runs the resampling and morphology benchmarks next to their peers, on the same samples.

    /usr/bin/python3 bench/resampling_peers.py [--build DIR] [--repetitions N]

The standard volume (256 x 256 x 128 UC) and its binary variant are written by
v3d_write_standard_volume, so both sides see identical samples. Peers (scipy.ndimage,
single-threaded):
  - binary_dilation / binary_erosion with a 3^3 cube, a 5^3 cube and the ball of radius 2
    (33 voxels) on the binary variant as booleans, against bdilate3d / berode3d;
  - binary_opening / binary_closing with the 3^3 cube, against bopening3d / bclosing3d;
  - zoom(order=1) and zoom(order=0) by 2 on every axis, against InterpolationLinear3d and
    InterpolationNearestNeighbor3d with factors 2, 2, 2;
  - zoom(order=1) along Z only to 255 frames, against InterpolationFrameLinear3d by 2;
  - numpy's repeat on three axes and strided slicing, against zoom3d and decim3;
and zoom3d against a plain row copy of its 64 MiB result (our own floor). The frame
insertions, the contour fill and the Minkowski pair have no peer and are reported as they
are. Every figure is the best of N wall-clock runs in this one run. Needs Debian's
python3-numpy and python3-scipy; they are installed with apt-get when missing.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
for var in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ[var] = "1"


def ensure_packages():
    try:
        import numpy  # noqa: F401
        import scipy.ndimage  # noqa: F401
        return
    except ImportError:
        pass
    if shutil.which("pgrep") and subprocess.run(["pgrep", "-x", "apt-get"],
                                                 stdout=subprocess.DEVNULL).returncode == 0:
        sys.exit("another apt-get is running; try again when it has finished")
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "--no-install-recommends",
                           "python3-numpy", "python3-scipy"], check=True, env=env)


def best_of(n, fn):
    best = float("inf")
    for _ in range(n):
        t0 = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - t0)
    return best * 1000.0


def our_benchmarks(build, repetitions):
    exe = os.path.join(build, "bench", "v3d_bench_resampling")
    if not os.path.exists(exe):
        sys.exit(f"{exe} not found: build the release preset with V3D_BUILD_BENCH=ON first")
    out = subprocess.run([exe, "--benchmark_format=json",
                          f"--benchmark_repetitions={repetitions}"],
                         check=True, capture_output=True, text=True).stdout
    runs = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        name = b["run_name"] if "run_name" in b else b["name"]
        ms = b["real_time"] * {"ms": 1.0, "us": 1e-3, "ns": 1e-6, "s": 1e3}[b["time_unit"]]
        runs[name] = min(ms, runs.get(name, float("inf")))
    return runs


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--repetitions", type=int, default=5)
    args = ap.parse_args()
    ensure_packages()
    import numpy as np
    import scipy.ndimage as ndi

    writer = os.path.join(args.build, "bench", "v3d_write_standard_volume")
    with tempfile.TemporaryDirectory() as tmp:
        std_file, bin_file = os.path.join(tmp, "standard.rv"), os.path.join(tmp, "binary.rv")
        subprocess.run([writer, std_file], check=True)
        subprocess.run([writer, bin_file, "--binary"], check=True)
        shape = (128, 256, 256)
        v = np.fromfile(std_file, np.uint8).reshape(shape)
        b = np.fromfile(bin_file, np.uint8).reshape(shape) > 0

    n = args.repetitions
    cube3, cube5 = np.ones((3, 3, 3), bool), np.ones((5, 5, 5), bool)
    zz, yy, xx = np.mgrid[-2:3, -2:3, -2:3]
    ball2 = zz * zz + yy * yy + xx * xx <= 4
    assert ball2.sum() == 33
    peers = {}
    for name, s in (("3", cube3), ("5", cube5), ("0", ball2)):
        peers["dilation/" + name] = best_of(n, lambda: ndi.binary_dilation(b, structure=s))
        peers["erosion/" + name] = best_of(n, lambda: ndi.binary_erosion(b, structure=s))
    peers["opening"] = best_of(n, lambda: ndi.binary_opening(b, structure=cube3))
    peers["closing"] = best_of(n, lambda: ndi.binary_closing(b, structure=cube3))
    peers["zoom1"] = best_of(n, lambda: ndi.zoom(v, 2, order=1))
    peers["zoom0"] = best_of(n, lambda: ndi.zoom(v, 2, order=0))
    peers["zoomz"] = best_of(n, lambda: ndi.zoom(v, (255 / 128, 1, 1), order=1))
    peers["repeat"] = best_of(n, lambda: v.repeat(2, 0).repeat(2, 1).repeat(2, 2))
    peers["slice"] = best_of(n, lambda: np.ascontiguousarray(v[::2, ::2, ::2]))

    ours = our_benchmarks(args.build, n)

    def t(name):
        return ours[name]

    rows = []
    for arg, label, goal in (("3", "3^3 cube", 3), ("5", "5^3 cube", 3), ("0", "ball r=2", 2)):
        for fn, peer in (("bdilate3d", "dilation"), ("berode3d", "erosion")):
            rows.append((f"{fn} {label}", t(f"BM_{fn}/{arg}"), f"binary_{peer} {label}",
                         peers[f"{peer}/{arg}"], goal))
    rows += [
        ("bopening3d 3^3", t("BM_bopening3d/3"), "binary_opening 3^3", peers["opening"], 3),
        ("bclosing3d 3^3", t("BM_bclosing3d/3"), "binary_closing 3^3", peers["closing"], 3),
        ("InterpolationLinear3d x2", t("BM_InterpolationLinear3d"), "zoom(order=1) x2",
         peers["zoom1"], 8),
        ("InterpolationNearest x2", t("BM_InterpolationNearestNeighbor3d"), "zoom(order=0) x2",
         peers["zoom0"], 3),
        ("InterpolationFrameLinear x2", t("BM_InterpolationFrameLinear3d"),
         "zoom(order=1) Z to 255", peers["zoomz"], None),
        ("zoom3d x2", t("BM_zoom3d"), "numpy repeat x3", peers["repeat"], None),
        ("zoom3d x2", t("BM_zoom3d"), "our 64 MiB row copy", t("BM_copy64MiB"), 1 / 3),
        ("decim3 /2", t("BM_decim3"), "numpy v[::2,::2,::2]", peers["slice"], None),
    ]
    print(f"\n{'ours':<30}{'ms':>9}  {'peer':<28}{'ms':>9}  {'peer/ours':>9}  goal")
    met_all = True
    for name, ms, peer, pms, goal in rows:
        ratio = pms / ms
        if goal is None:
            verdict = "reported"
        elif goal >= 1:
            met = ratio >= goal
            met_all = met_all and met
            verdict = f">= {goal}x faster: {'met' if met else 'NOT MET'}"
        else:
            met = ratio >= goal
            met_all = met_all and met
            verdict = f"within {round(1 / goal)}x: {'met' if met else 'NOT MET'}"
        print(f"{name:<30}{ms:>9.2f}  {peer:<28}{pms:>9.2f}  {ratio:>9.1f}  {verdict}")
    print("\nwithout a peer (best of %d, ms):" % n)
    for name in ("BM_MinkowskiAddition3d/3", "BM_MinkowskiAddition3d/5",
                 "BM_MinkowskiSubtraction3d/3", "BM_MinkowskiSubtraction3d/5",
                 "BM_FrameInterpolationBinary/2/0", "BM_FrameInterpolationBinary/3/0",
                 "BM_FrameInterpolationBinary/2/1", "BM_FrameInterpolationGrayscale/2",
                 "BM_FrameInterpolationGrayscale/3", "BM_FrameZeroPadding",
                 "BM_FrameContourObjectFill"):
        print(f"  {name:<40}{t(name):>10.2f}")
    load = os.getloadavg()
    print(f"\nload average during the run: {load[0]:.2f} {load[1]:.2f} {load[2]:.2f} "
          f"on {os.cpu_count()} cores")
    return 0 if met_all else 1


if __name__ == "__main__":
    sys.exit(main())
