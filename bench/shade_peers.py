#!/usr/bin/python3
"""Runs the surface-script benchmark next to its peer, on the same labels.

    /usr/bin/python3 bench/shade_peers.py [--build DIR] [--repetitions N]

The volume is 64 frames of 256 x 256 with ten blob objects, written as labels by
`v3d_bench_shade --write-labels`, so both sides see identical objects. Ours is
BM_SurfaceScript: the contour chains of every frame, their stitching and the surface script
written to a file. The peer is what a user would otherwise reach for: one
skimage.measure.marching_cubes call per object on its mask (level 0.5), which gives the
triangles in memory and writes nothing. Every figure is the best of N wall-clock runs,
single-threaded, in this one run. Needs Debian's python3-numpy and python3-skimage (installed
with apt-get when missing).
"""
import argparse
import os
import subprocess
import sys
import tempfile

from peer_common import ROOT, best_of, ensure_packages, our_benchmarks

SHAPE = (64, 256, 256)
GOAL_MS = 2000.0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--repetitions", type=int, default=5)
    args = ap.parse_args()
    ensure_packages({"numpy": "python3-numpy", "skimage": "python3-skimage"})
    import numpy as np
    from skimage.measure import marching_cubes

    exe = os.path.join(args.build, "bench", "v3d_bench_shade")
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "labels.raw")
        subprocess.run([exe, "--write-labels", path], check=True)
        labels = np.fromfile(path, np.uint8).reshape(SHAPE)
    objects = [k for k in range(1, 256) if (labels == k).any()]

    def peer():
        faces = 0
        for k in objects:
            _, f, _, _ = marching_cubes((labels == k).astype(np.float32), 0.5)
            faces += len(f)
        return faces

    peer_ms, peer_faces = best_of(args.repetitions, peer)
    ours = our_benchmarks(args.build, "v3d_bench_shade", args.repetitions)
    surf = next(r for name, r in ours.items() if name.startswith("BM_SurfaceScript"))
    ms = surf["ms"]
    our_faces = int(surf["record"].get("faces", 0))
    our_objects = int(surf["record"].get("objects", 0))
    load = os.getloadavg()[0]

    print(f"\n{'ours':<34}{'ms':>9}  {'peer':<40}{'ms':>9}  {'peer/ours':>9}  goal")
    print(f"{'surface script (chains, stitch,':<34}{'':>9}")
    print(f"{' script file)':<34}{ms:>9.1f}  {'marching_cubes per object (in memory)':<40}"
          f"{peer_ms:>9.1f}  {peer_ms / ms:>9.2f}  < {GOAL_MS:.0f} ms: "
          f"{'met' if ms < GOAL_MS else 'NOT MET'}")
    print(f"\nobjects: ours {our_objects}, peer {len(objects)}; faces: ours {our_faces} "
          f"(contours thinned to steps of 2 pixels), peer {peer_faces} (full-resolution isosurface)")
    print(f"load average at the end: {load:.2f} on {os.cpu_count()} cores")
    print("\nall our benchmarks (best of %d, ms):" % args.repetitions)
    for name, r in ours.items():
        print(f"  {name:<40}{r['ms']:>10.2f}")
    return 0 if ms < GOAL_MS and our_objects == len(objects) else 1


if __name__ == "__main__":
    sys.exit(main())
