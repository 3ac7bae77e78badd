#!/usr/bin/python3
"""Runs the segmentation and edge benchmarks next to their peers, on the same samples.

    /usr/bin/python3 bench/segmentation_peers.py [--build DIR] [--repetitions N]

The standard volume (256 x 256 x 128 UC) and its binary variant are written by
v3d_write_standard_volume, so both sides see identical samples. Peers:
  - scipy.ndimage.label with the full 3 x 3 x 3 structure (26-connected) on the binary
    volume, against grass3d_label (the component counts must agree); skimage's label with
    connectivity 3 as a second reference;
  - three scipy.ndimage.sobel passes (axes 0, 1, 2) on the volume as float64, against
    Sobel_3D;
  - numpy's np.where(v < 128, 0, 255), against threshold_3d.
Every figure is the best of N wall-clock runs, single-threaded, in this one run.
Needs Debian's python3-numpy and python3-scipy (python3-skimage optional); they are
installed with apt-get when missing.
"""
import argparse
import sys

from peer_common import ROOT, best_of, ensure_packages, our_benchmarks, standard_volumes


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=__import__("os").path.join(ROOT, "build"))
    ap.add_argument("--repetitions", type=int, default=5)
    args = ap.parse_args()
    ensure_packages({"numpy": "python3-numpy", "scipy": "python3-scipy"})
    import numpy as np
    import scipy.ndimage as ndi

    v, b = standard_volumes(args.build, binary=True)

    n = args.repetitions
    peers = {}
    structure = np.ones((3, 3, 3), bool)
    peers["label"], (_, peer_count) = best_of(n, lambda: ndi.label(b, structure=structure))
    try:
        from skimage.measure import label as sk_label
        peers["sklabel"], _ = best_of(n, lambda: sk_label(b, connectivity=3))
    except ImportError:
        peers["sklabel"] = None
    vf = v.astype(np.float64)
    peers["sobel"], _ = best_of(n, lambda: [ndi.sobel(vf, axis=a) for a in (0, 1, 2)])
    peers["where"], _ = best_of(n, lambda: np.where(v < 128, 0, 255))

    ours = our_benchmarks(args.build, "v3d_bench_segmentation", n)
    for r in ours.values():
        r["counters"] = {k: x for k, x in r["record"].items() if k in ("components", "regions", "code")}

    def t(name):
        return ours[name]["ms"]

    ours_count = int(ours["BM_grass3d_label"]["counters"].get("components", -1))
    rows = [
        ("grass3d_label (binary)", t("BM_grass3d_label"), "scipy.ndimage.label 26-conn",
         peers["label"], f">= 1.5x faster, same count ({ours_count} vs {peer_count})",
         peers["label"] / t("BM_grass3d_label") >= 1.5 and ours_count == peer_count),
        ("Sobel_3D", t("BM_Sobel_3D"), "3 x scipy.ndimage.sobel (float64)", peers["sobel"],
         ">= 10x faster", peers["sobel"] / t("BM_Sobel_3D") >= 10),
        ("compas3d 0/0", t("BM_compas3d/0/0"), "Sobel_3D", t("BM_Sobel_3D"), "no slower",
         t("BM_compas3d/0/0") <= t("BM_Sobel_3D")),
        ("compas3d 45/45", t("BM_compas3d/45/45"), "Sobel_3D", t("BM_Sobel_3D"), "no slower",
         t("BM_compas3d/45/45") <= t("BM_Sobel_3D")),
        ("laplace_3d", t("BM_laplace_3d"), "Sobel_3D", t("BM_Sobel_3D"), "no slower",
         t("BM_laplace_3d") <= t("BM_Sobel_3D")),
        ("threshold_3d", t("BM_threshold_3d"), "np.where(v < 128, 0, 255)", peers["where"],
         "within 2x", t("BM_threshold_3d") <= 2 * peers["where"]),
    ]
    print(f"\n{'ours':<24}{'ms':>9}  {'peer':<36}{'ms':>9}  {'peer/ours':>9}  goal")
    for name, ms, peer, pms, goal, met in rows:
        print(f"{name:<24}{ms:>9.2f}  {peer:<36}{pms:>9.2f}  {pms / ms:>9.1f}  "
              f"{goal}: {'met' if met else 'NOT MET'}")
    if peers["sklabel"] is not None:
        print(f"{'':<24}{'':>9}  {'skimage label connectivity 3':<36}{peers['sklabel']:>9.2f}  "
              f"{peers['sklabel'] / t('BM_grass3d_label'):>9.1f}")
    print("\nall our benchmarks (best of %d, ms):" % n)
    for name, r in ours.items():
        extra = " ".join(f"{k}={int(v)}" for k, v in r["counters"].items())
        print(f"  {name:<40}{r['ms']:>10.2f}  {extra}")
    return 0 if all(r[5] for r in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
