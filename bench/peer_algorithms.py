#!/usr/bin/python3
"""Runs our order-statistic, histogram and linear-filter benchmarks and their peers
(scipy.ndimage, scikit-image, numpy) on the same standard volume in one run, single-threaded
on both sides, and prints one table of seconds and ratios.

    /usr/bin/python3 bench/peer_algorithms.py [--build build] [--quick]

The volume comes from build/bench/v3d_write_standard_volume, so both sides filter exactly the
same samples. Ratios are peer seconds / our seconds (how many times faster we are), except
for the rows compared with our own median3, where the ratio is our seconds / median3 seconds.
"""
import argparse
import os
import sys

from peer_common import best_of, ensure_packages, our_benchmarks, standard_volumes

DEBIAN_PACKAGES = {"numpy": "python3-numpy", "scipy": "python3-scipy", "skimage": "python3-skimage"}


def best_time(fn, repeat):
    """Seconds of the best of `repeat` runs."""
    return best_of(repeat, fn)[0] / 1000.0


def our_times(build, quick):
    """Seconds per benchmark name (the fastest repetition)."""
    runs = our_benchmarks(build, "v3d_bench_algorithms", 1 if quick else 3)
    return {name: r["ms"] / 1000.0 for name, r in runs.items()}


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(root, "build"))
    parser.add_argument("--quick", action="store_true", help="one repetition per measurement")
    opts = parser.parse_args()

    ensure_packages(DEBIAN_PACKAGES)
    import numpy as np
    import scipy.ndimage as ndi
    from skimage.filters import rank

    vol = standard_volumes(opts.build)

    ours = our_times(opts.build, opts.quick)
    fast = 1 if opts.quick else 5
    slow = 1

    def gauss(w):
        r = np.arange(w) - w // 2
        d2 = r[:, None, None] ** 2 + r[None, :, None] ** 2 + r[None, None, :] ** 2
        k = np.exp(-d2 / 2.0)
        return (k / k.sum()).astype(np.float32)

    def equalize():
        h = np.bincount(vol.ravel(), minlength=256)
        cdf = np.cumsum(h) / vol.size
        lut = np.floor(cdf * 255 + 0.5).astype(np.uint8)
        return lut[vol]

    peers = {}

    def peer(label, fn, repeat):
        peers[label] = best_time(fn, repeat)
        return label

    cube = lambda w: np.ones((w, w, w), dtype=bool)
    rows = []  # (ours name, peer label or None, goal text, goal ratio or None)
    for w in (3, 5):
        s = peer("scipy median_filter %d" % w, lambda: ndi.median_filter(vol, size=w), slow)
        k = peer("skimage rank.median %d" % w,
                 lambda: rank.median(vol, footprint=cube(w)), slow)
        for fn in ("median3", "run_median3"):
            rows.append(("BM_%s/%d" % (fn, w), s, ">= 20x", 20.0))
            rows.append(("BM_%s/%d" % (fn, w), k, ">= %dx" % (10 if w == 3 else 5),
                         10.0 if w == 3 else 5.0))
    for w in (3, 7):
        mx = peer("scipy maximum_filter %d" % w, lambda: ndi.maximum_filter(vol, size=w), fast)
        mn = peer("scipy minimum_filter %d" % w, lambda: ndi.minimum_filter(vol, size=w), fast)
        rows.append(("BM_run_max3/%d" % w, mx, ">= 5x", 5.0))
        rows.append(("BM_run_min3/%d" % w, mn, ">= 5x", 5.0))
    for w in (3, 5):
        u = peer("scipy uniform_filter %d" % w, lambda: ndi.uniform_filter(vol, size=w), fast)
        rows.append(("BM_mov_ave3/%d" % w, u, ">= 5x" if w == 3 else "report", 5.0 if w == 3 else None))
    for w in (3, 5):
        c = peer("scipy convolve %d" % w, lambda: ndi.convolve(vol, gauss(w)), fast if w == 3 else slow)
        rows.append(("BM_conv3/%d" % w, c, "report", None))
    b = peer("numpy bincount", lambda: np.bincount(vol.ravel(), minlength=256), fast)
    rows.append(("BM_hist3", b, "report", None))
    e = peer("numpy bincount + lookup table", equalize, fast)
    rows.append(("BM_HistogramEqual3d/0", e, ">= 2.5x", 2.5))

    def cell(x):
        return "%9.4f" % x if x is not None else "%9s" % "-"

    print()
    print("Standard volume 256 x 256 x 128 UC, single-threaded; times in seconds (best run).")
    print("%-26s %9s  %-32s %9s %8s  %-8s %s" % ("ours", "seconds", "peer", "seconds", "ratio",
                                                  "goal", "met"))
    for name, label, goal, need in rows:
        mine = ours.get(name)
        theirs = peers.get(label)
        ratio = theirs / mine if mine and theirs else None
        met = "-" if need is None or ratio is None else ("yes" if ratio >= need else "NO")
        print("%-26s %s  %-32s %s %8s  %-8s %s" % (name, cell(mine), label, cell(theirs),
                                                   "%.1fx" % ratio if ratio else "-", goal, met))
    # Our other filters against our own median3 at the same window: at most 10 times.
    for w in (3, 5):
        base = ours.get("BM_median3/%d" % w)
        for fn in ("wei_median3", "multistage_median3", "l_filter3", "local_adapt_filt3", "conv3"):
            mine = ours.get("BM_%s/%d" % (fn, w))
            ratio = mine / base if mine and base else None
            met = "-" if ratio is None else ("yes" if ratio <= 10.0 else "NO")
            print("%-26s %s  %-32s %s %8s  %-8s %s" % (
                "BM_%s/%d" % (fn, w), cell(mine), "our median3 %d" % w, cell(base),
                "%.2f" % ratio if ratio else "-", "<= 10", met))
    for fn in ("run_max3", "run_min3"):
        t3, t7 = ours.get("BM_%s/3" % fn), ours.get("BM_%s/7" % fn)
        ratio = t7 / t3 if t3 and t7 else None
        met = "-" if ratio is None else ("yes" if ratio <= 1.5 else "NO")
        print("%-26s %s  %-32s %s %8s  %-8s %s" % ("BM_%s/7" % fn, cell(t7), "our %s 3" % fn,
                                                   cell(t3), "%.2f" % ratio if ratio else "-",
                                                   "<= 1.5", met))
    floor = ours.get("BM_LookupFloor")
    if floor:
        print("%-26s %s  (one lookup-table pass: the floor of a one-pass operation)" %
              ("BM_LookupFloor", cell(floor)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
