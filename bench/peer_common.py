"""What every peer script in bench/ shares: one thread for the numeric libraries, the peer
packages installed with apt-get when missing, best-of-N wall-clock timing, our Google
Benchmark results read from their JSON, and the standard volume written by
v3d_write_standard_volume so that both sides see identical samples."""
import json
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# One thread for every numeric library the peers may use; set before numpy is imported.
for _var in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS", "NUMEXPR_NUM_THREADS"):
    os.environ[_var] = "1"


def ensure_packages(packages):
    """Installs the Debian package of every module in `packages` (module -> package) that does
    not import, waiting for another apt-get to finish first."""
    missing = []
    for module, package in packages.items():
        try:
            __import__(module)
        except ImportError:
            missing.append(package)
    if not missing:
        return
    while subprocess.run(["pgrep", "-x", "apt-get"], stdout=subprocess.DEVNULL).returncode == 0:
        time.sleep(5)
    sudo = [] if os.geteuid() == 0 else ["sudo", "-n"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "--no-install-recommends"] + missing,
                   check=True, env=env)


def best_of(n, fn):
    """The best of n wall-clock runs of fn in milliseconds, and fn's last result."""
    best, result = float("inf"), None
    for _ in range(n):
        t0 = time.perf_counter()
        result = fn()
        best = min(best, time.perf_counter() - t0)
    return best * 1000.0, result


def our_benchmarks(build, program, repetitions):
    """The fastest repetition of each benchmark of build/bench/<program>, by name:
    {name: {"ms": milliseconds, "record": Google Benchmark's JSON record}}."""
    exe = os.path.join(build, "bench", program)
    if not os.path.exists(exe):
        sys.exit(f"{exe} not found: build the release preset with V3D_BUILD_BENCH=ON first")
    out = subprocess.run([exe, "--benchmark_format=json",
                          f"--benchmark_repetitions={repetitions}"],
                         check=True, capture_output=True, text=True).stdout
    runs = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
            continue
        name = b.get("run_name", b["name"])
        ms = b["real_time"] * {"ms": 1.0, "us": 1e-3, "ns": 1e-6, "s": 1e3}[b.get("time_unit", "ns")]
        if name not in runs or ms < runs[name]["ms"]:
            runs[name] = {"ms": ms, "record": b}
    return runs


def standard_volumes(build, binary=False):
    """The standard volume as a (128, 256, 256) uint8 array, and with binary=True also its
    variant thresholded at 128."""
    import numpy as np
    writer = os.path.join(build, "bench", "v3d_write_standard_volume")
    shape = (128, 256, 256)
    with tempfile.TemporaryDirectory() as tmp:
        std_file, bin_file = os.path.join(tmp, "standard.rv"), os.path.join(tmp, "binary.rv")
        subprocess.run([writer, std_file], check=True)
        v = np.fromfile(std_file, np.uint8).reshape(shape)
        if not binary:
            return v
        subprocess.run([writer, bin_file, "--binary"], check=True)
        return v, np.fromfile(bin_file, np.uint8).reshape(shape)
