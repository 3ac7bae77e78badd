#!/usr/bin/python3
"""Runs the projection benchmarks next to their peers, on the same samples, in one run.

    /usr/bin/python3 bench/projections_peers.py [--build DIR] [--repetitions N]

The standard volume (256 x 256 x 128 UC) is written by v3d_write_standard_volume, so both
sides see identical samples. Peers (single-threaded):
  - the oblique maximum projection at (30, 0) into 512 x 512 (ProvoliMax3d) against
    scipy.ndimage.rotate(v, 30, axes=(1, 2), reshape=True, order=0) followed by the maximum
    over the depth axis;
  - the axis-aligned maximum at (0, 0) against numpy's max along the rows (the floor), and
    our own plain axis-maximum loop;
and the first hit and the depth-shaded surface at (30, 0), threshold 100, against our own
maximum projection (goal: at most 1.5 times its time), and the projection viewer's redraw of a
maximum projection at a new angle (goal: under 50 ms). Every figure is the best of N runs in
this one run, as wall-clock time and as the process's CPU time: on a shared machine the wall
clock also counts the time others hold the cores, the CPU time only the work (every side is
single-threaded). The goals are judged on the CPU times. Needs Debian's python3-numpy and
python3-scipy; they are installed with apt-get when missing.
"""
import argparse
import os
import sys
import time

from peer_common import ROOT, ensure_packages, our_benchmarks, standard_volumes
from peer_common import best_of as best_with_result


def best_of(n, fn):
    return best_with_result(n, fn)[0]


def best_cpu(n, fn):
    """The best of n runs of fn in milliseconds of this process's CPU time."""
    best = float("inf")
    for _ in range(n):
        t0 = time.process_time()
        fn()
        best = min(best, time.process_time() - t0)
    return best * 1000.0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--repetitions", type=int, default=5)
    args = ap.parse_args()
    ensure_packages({"numpy": "python3-numpy", "scipy": "python3-scipy"})
    import scipy.ndimage as ndi

    v = standard_volumes(args.build)
    n = args.repetitions

    # Axes of the array: (z, y, x). Turning about the frame axis is a rotation in the (y, x)
    # plane; the rays then run along the rotated rows.
    def rotate_max():
        return ndi.rotate(v, 30, axes=(1, 2), reshape=True, order=0).max(axis=1)

    def axis_max():
        return v.max(axis=1)

    peers = {"wall": {"rotate": best_of(n, rotate_max), "axismax": best_of(n, axis_max)},
             "cpu": {"rotate": best_cpu(n, rotate_max), "axismax": best_cpu(n, axis_max)}}
    runs = our_benchmarks(args.build, "v3d_bench_projections", n)
    ours = {"wall": {k: r["ms"] for k, r in runs.items()}, "cpu": {}}
    for k, r in runs.items():
        unit = {"ms": 1.0, "us": 1e-3, "ns": 1e-6, "s": 1e3}[r["record"].get("time_unit", "ns")]
        ours["cpu"][k] = r["record"]["cpu_time"] * unit

    met_all = True
    for clock in ("wall", "cpu"):
        def t(name):
            return ours[clock][name]

        mx = t("BM_ProvoliMax3d/30/0")
        rows = [
            ("ProvoliMax3d (30, 0)", mx, "rotate(order=0) + max", peers[clock]["rotate"], 10),
            ("ProvoliMax3d (0, 0)", t("BM_ProvoliMax3d/0/0"), "numpy max(axis=1)",
             peers[clock]["axismax"], None),
            ("ProvoliMax3d (0, 0)", t("BM_ProvoliMax3d/0/0"), "our plain axis maximum",
             t("BM_AxisMaximumFloor"), None),
        ]
        judged = clock == "cpu"
        print(f"\n{clock} time, best of {n}")
        print(f"{'ours':<28}{'ms':>9}  {'peer':<26}{'ms':>9}  {'peer/ours':>9}  goal")
        for name, ms, peer, pms, goal in rows:
            ratio = pms / ms
            if goal is None:
                verdict = "reported"
            else:
                met = ratio >= goal
                met_all = met_all and (met or not judged)
                verdict = f">= {goal}x faster: {'met' if met else 'NOT MET'}"
            print(f"{name:<28}{ms:>9.2f}  {peer:<26}{pms:>9.2f}  {ratio:>9.1f}  {verdict}")

        print(f"against ProvoliMax3d (30, 0) at {mx:.2f} ms (goal: at most 1.5 times):")
        for name in ("BM_Provoli3d", "BM_Provoli3dSurface/0", "BM_Provoli3dSurface/1"):
            ratio = t(name) / mx
            met = ratio <= 1.5
            met_all = met_all and (met or not judged)
            print(f"  {name:<32}{t(name):>9.2f} ms  {ratio:>5.2f}x  {'met' if met else 'NOT MET'}")
        ms = t("BM_ViewerRedraw")
        met = ms < 50
        met_all = met_all and (met or not judged)
        print(f"viewer redraw of a maximum projection at a new angle: {ms:.2f} ms "
              f"(goal under 50 ms: {'met' if met else 'NOT MET'})")

    def t(name):
        return ours["wall"][name]

    print("\nwithout a peer (best of %d, wall ms):" % n)
    for name in ("BM_ProvoliMax3d/30/20", "BM_ProvoliAvrg3d", "BM_Provoli3dBinary",
                 "BM_TomiRand2"):
        print(f"  {name:<32}{t(name):>10.2f}")
    load = os.getloadavg()
    print(f"\nload average during the run: {load[0]:.2f} {load[1]:.2f} {load[2]:.2f} "
          f"on {os.cpu_count()} cores")
    return 0 if met_all else 1


if __name__ == "__main__":
    sys.exit(main())
