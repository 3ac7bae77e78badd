#!/usr/bin/python3
"""Runs our Fourier benchmarks beside FFTW, scipy.fft, numpy.fft and scipy.signal on the same
samples in one run, single-threaded on every side, and prints one table of seconds and ratios.

    /usr/bin/python3 bench/fourier_peers.py [--build build] [--rounds 3] [--quick]

Ours come from build/bench/v3d_bench_fourier, FFTW (fftwf_plan_dft_3d, FFTW_MEASURE, timing
fftwf_execute only) from build/bench/v3d_bench_fftw, which is built only where Debian's
libfftw3-dev is installed; without it the FFTW rows are left out. The rounds are interleaved:
each contender runs once per round and keeps its fastest time, so that a busy machine slows
every side alike. The samples are those of bench/fourier_data.h, rebuilt here with numpy;
overlap-add filters the standard volume (bench/standard_volume.h) as floats. Ratios are peer
seconds / our seconds: above 1 we are faster.
"""
import argparse
import json
import os
import shutil
import subprocess
import tempfile
import time

# One thread for every numeric library the peers may use; set before numpy is imported.
for var in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS", "NUMEXPR_NUM_THREADS"):
    os.environ[var] = "1"

DEBIAN_PACKAGES = {"numpy": "python3-numpy", "scipy": "python3-scipy"}
SEED_REAL, SEED_IMAGINARY, SEED_KERNEL = 1, 2, 3
SIZES = [(64, 64, 64), (128, 128, 128), (128, 256, 256)]


def ensure_packages():
    """Installs the Debian packages of missing peer libraries with apt-get."""
    missing = []
    for module, package in DEBIAN_PACKAGES.items():
        try:
            __import__(module)
        except ImportError:
            missing.append(package)
    if not missing:
        return
    while subprocess.run(["pgrep", "-x", "apt-get"], stdout=subprocess.DEVNULL).returncode == 0:
        time.sleep(5)  # another apt-get holds the lock
    prefix = [] if os.geteuid() == 0 else ["sudo", "-n"]
    subprocess.run(prefix + ["apt-get", "install", "-y"] + missing, check=True)


def samples(np, seed, shape):
    """fourierSample(seed, index) of bench/fourier_data.h for every index, as float32."""
    i = np.arange(int(np.prod(shape)), dtype=np.uint64)
    h = (i * np.uint64(2654435761) + np.uint64(seed * 40503)) & np.uint64(0xFFFFFFFF)
    h ^= h >> np.uint64(15)
    h = (h * np.uint64(2246822519)) & np.uint64(0xFFFFFFFF)
    h ^= h >> np.uint64(13)
    v = (h & np.uint64(0xFFFF)).astype(np.float32) / np.float32(32768) - np.float32(1)
    return v.reshape(shape)


def best_time(fn, repeat):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best


def our_round(build, min_time):
    """Seconds per benchmark name for one run of our suite."""
    binary = os.path.join(build, "bench", "v3d_bench_fourier")
    args = [binary, "--benchmark_format=json", "--benchmark_min_time=%g" % min_time]
    out = subprocess.run(args, check=True, stdout=subprocess.PIPE, text=True).stdout
    times = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
            continue
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
        times[b.get("run_name", b["name"])] = b["real_time"] * scale
    return times


def fftw_round(build, runs):
    """Seconds per size of the FFTW peer, or {} when it was not built."""
    binary = os.path.join(build, "bench", "v3d_bench_fftw")
    if not os.path.exists(binary):
        return {}
    out = subprocess.run([binary, str(runs)], check=True, stdout=subprocess.PIPE, text=True).stdout
    times = {}
    for line in out.splitlines():
        f = line.split()
        if len(f) >= 5 and f[0] == "fftw":
            times["FFTW %sx%sx%s" % (f[3], f[2], f[1])] = float(f[4])
    return times


def fft_name(z, y, x, baseline=False):
    return "%s/Z:%d/Y:%d/X:%d" % ("BM_fft3d_baseline" if baseline else "BM_fft3d", z, y, x)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(root, "build"))
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--quick", action="store_true", help="one round, shorter timings")
    opts = parser.parse_args()
    rounds = 1 if opts.quick else opts.rounds

    ensure_packages()
    import numpy as np
    import scipy
    import scipy.fft
    import scipy.signal

    load_before = os.getloadavg()
    tmp = tempfile.mkdtemp(prefix="v3d_fourier_peer_")
    try:
        raw = os.path.join(tmp, "standard.raw")
        subprocess.run([os.path.join(opts.build, "bench", "v3d_write_standard_volume"), raw],
                       check=True)
        standard = np.fromfile(raw, np.uint8).reshape(128, 256, 256).astype(np.float32)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)

    # The peers' inputs, the same samples as ours (x fastest, then y, then z).
    complex_in = {}
    for s in SIZES:
        c = np.empty(s, np.complex64)
        c.real = samples(np, SEED_REAL, s)
        c.imag = samples(np, SEED_IMAGINARY, s)
        complex_in[s] = c
    dct_in = samples(np, SEED_REAL, (128, 128, 128))
    x64 = samples(np, SEED_REAL, (64, 64, 64))
    h64 = samples(np, SEED_KERNEL, (64, 64, 64))
    k9 = samples(np, SEED_KERNEL, (9, 9, 9))

    peers = {}  # label -> (callable, repeats per round)
    for s in SIZES:
        z, y, x = s
        peers["scipy.fft.fftn %dx%dx%d" % (x, y, z)] = (
            lambda a=complex_in[s]: scipy.fft.fftn(a, workers=1), 3)
        peers["numpy.fft.fftn %dx%dx%d" % (x, y, z)] = (lambda a=complex_in[s]: np.fft.fftn(a), 1)
    peers["scipy.fft.dctn type 2"] = (lambda: scipy.fft.dctn(dct_in, type=2, workers=1), 3)
    peers["scipy.signal.fftconvolve 64^3"] = (lambda: scipy.signal.fftconvolve(x64, h64), 3)
    peers["scipy.signal.correlate fft 64^3"] = (
        lambda: scipy.signal.correlate(x64, h64, method="fft"), 3)
    peers["scipy.signal.fftconvolve 9^3"] = (lambda: scipy.signal.fftconvolve(standard, k9), 1)
    peers["scipy.signal.oaconvolve 9^3"] = (lambda: scipy.signal.oaconvolve(standard, k9), 1)

    ours, fftw, theirs = {}, {}, {}

    def keep(best, new):
        for k, v in new.items():
            best[k] = min(best.get(k, float("inf")), v)

    for r in range(rounds):
        keep(ours, our_round(opts.build, 0.2 if opts.quick else 0.5))
        keep(fftw, fftw_round(opts.build, 5 if opts.quick else 10))
        keep(theirs, {label: best_time(fn, 1 if opts.quick else n)
                      for label, (fn, n) in peers.items()})
    load_after = os.getloadavg()
    theirs.update(fftw)

    # (our benchmark, peer label, goal text, least ratio peer/ours for the goal or None)
    rows = []
    for s in SIZES:
        z, y, x = s
        size = "%dx%dx%d" % (x, y, z)
        main_size = s == (128, 128, 128)
        rows.append((fft_name(z, y, x), "FFTW " + size,
                     "<= 2x FFTW" if main_size else "report", 0.5 if main_size else None))
        rows.append((fft_name(z, y, x), "scipy.fft.fftn " + size,
                     ">= 1.5x" if main_size else "report", 1.5 if main_size else None))
        rows.append((fft_name(z, y, x), "numpy.fft.fftn " + size, "report", None))
    rows.append((fft_name(128, 128, 128, True), "FFTW 128x128x128", "report", None))
    rows.append(("BM_DCT3d/128", "scipy.fft.dctn type 2", ">= 1x", 1.0))
    rows.append(("BM_convolution3/64", "scipy.signal.fftconvolve 64^3", ">= 1x", 1.0))
    rows.append(("BM_correlation3d/64", "scipy.signal.correlate fft 64^3", "report", None))
    blocks = [n for n in ours if n.startswith("BM_overlap_add3/")]
    fastest = min(blocks, key=lambda n: ours[n]) if blocks else None
    for name in sorted(blocks, key=lambda n: int(n.split("/")[1])):
        goal = name == fastest
        rows.append((name, "scipy.signal.fftconvolve 9^3", ">= 1x" if goal else "report",
                     1.0 if goal else None))
        rows.append((name, "scipy.signal.oaconvolve 9^3", "report", None))

    print()
    print("Fourier family beside its peers, single-threaded, best of %d interleaved round%s"
          % (rounds, "" if rounds == 1 else "s"))
    print("numpy %s, scipy %s; load average %.2f before, %.2f after (%d cores)"
          % (np.__version__, scipy.__version__, load_before[0], load_after[0], os.cpu_count()))
    print()
    header = "%-38s %10s  %-32s %10s %10s  %-11s %s" % (
        "ours", "seconds", "peer", "seconds", "peer/ours", "goal", "met")
    print(header)
    print("-" * len(header))
    for name, peer, goal, least in rows:
        if name not in ours or peer not in theirs:
            continue
        ratio = theirs[peer] / ours[name]
        met = "-" if least is None else ("yes" if ratio >= least else "NO")
        print("%-38s %10.4f  %-32s %10.4f %10.2f  %-11s %s"
              % (name, ours[name], peer, theirs[peer], ratio, goal, met))
    if not fftw:
        print("\n(FFTW rows left out: build/bench/v3d_bench_fftw needs Debian's libfftw3-dev)")


if __name__ == "__main__":
    main()
