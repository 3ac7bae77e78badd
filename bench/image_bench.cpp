// Benchmarks of the TIFF sequence reader and writer on the standard volume: 128 frames of
// 256 x 256 grey pixels, one uncompressed TIFF file per frame (min-is-black, 32 rows per
// strip, as local_WriteImageSeqTIFF writes them). bench/tiff_sequence_peer.py times
// Python's tifffile on the very same files in the same run.
//
// The files live in $V3D_BENCH_TIFF_DIR (default /tmp/v3d_bench_tiff): read/frame<k>.tif,
// written once at start-up, and write/frame<k>.tif, rewritten by the write benchmark.
//
// Besides the exported reader, the floor: a bare loop of libtiff calls (open, read every
// strip into one buffer, close) that does no checking and stores nothing; and the whole-image
// RGBA path that the reader takes for files the strip path does not cover.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <tiffio.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/image_codecs.h"
#include "standard_volume.h"

namespace {

using namespace v3d;

constexpr int kFrames = bench::kZ;

struct Owned {
  Volume v{};
  explicit Owned(int color = V3D_ONE_CHANNEL) {
    InitializeVolume(&v, bench::kZ, bench::kY, bench::kX, V3D_UC, color);
    if (CreateVolume(&v) != 0) std::abort();
  }
  ~Owned() { DestroyVolume(&v); }
};

std::string directory() {
  const char* d = std::getenv("V3D_BENCH_TIFF_DIR");
  return d && *d ? d : "/tmp/v3d_bench_tiff";
}

// The base names of the two sequences; the read sequence is written on first use.
const std::string& readBase() {
  static const std::string base = [] {
    const std::string dir = directory();
    mkdir(dir.c_str(), 0755);
    mkdir((dir + "/read").c_str(), 0755);
    mkdir((dir + "/write").c_str(), 0755);
    Owned s;
    bench::fillStandard(s.v);
    const std::string b = dir + "/read/frame";
    if (local_WriteImageSeqTIFF(&s.v, b.c_str(), 0, "tif", 1, 1) != 0) std::abort();
    return b;
  }();
  return base;
}

std::string fileName(const std::string& base, int k) {
  return base + std::to_string(k) + ".tif";
}

void BM_ReadImageSeqTIFF(benchmark::State& st) {
  const std::string& base = readBase();
  Owned v;
  ScopedImageSize size(bench::kY, bench::kX);
  for (auto _ : st) {
    if (ReadImageSeqTIFF(&v.v, base.c_str(), 0, 0, "tif", kFrames) != 0) st.SkipWithError("read");
    benchmark::DoNotOptimize(channelData<UC>(v.v, 0)[kFrames - 1][bench::kY - 1][bench::kX - 1]);
  }
  st.counters["frames/s"] =
      benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadImageSeqTIFF)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CheckImageSeqTIFF(benchmark::State& st) {
  const std::string& base = readBase();
  int rows = 0, columns = 0, colour = 0;
  for (auto _ : st)
    benchmark::DoNotOptimize(
        CheckImageSeqTIFF(base.c_str(), 0, 0, "tif", kFrames, &rows, &columns, &colour));
}
BENCHMARK(BM_CheckImageSeqTIFF)->Unit(benchmark::kMillisecond)->UseRealTime();

// The general path on the same files: file bytes into memory, libtiff's RGBA reader.
void BM_ReadSequenceThroughRGBA(benchmark::State& st) {
  const std::string& base = readBase();
  image::DecodedImage out;
  image::FileBytes bytes;
  for (auto _ : st)
    for (int k = 0; k < kFrames; ++k) {
      if (bytes.load(fileName(base, k).c_str(), image::kMaxFileBytes, kTiffError) != 0 ||
          image::decodeTIFFMemoryRGBA(bytes.data(), bytes.size(), {bench::kY, bench::kX}, out) != 0)
        st.SkipWithError("rgba");
      benchmark::DoNotOptimize(out.row(0, 0)[0]);
    }
}
BENCHMARK(BM_ReadSequenceThroughRGBA)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: bare libtiff strip reads of every file, nothing checked or stored.
void BM_LibtiffStripLoopFloor(benchmark::State& st) {
  const std::string& base = readBase();
  std::vector<unsigned char> buffer(static_cast<std::size_t>(bench::kY) * bench::kX);
  for (auto _ : st)
    for (int k = 0; k < kFrames; ++k) {
      TIFF* t = TIFFOpen(fileName(base, k).c_str(), "r");
      if (!t) {
        st.SkipWithError("open");
        break;
      }
      tmsize_t at = 0;
      for (tstrip_t s = 0; s < TIFFNumberOfStrips(t); ++s)
        at += TIFFReadEncodedStrip(t, s, buffer.data() + at, -1);
      TIFFClose(t);
      benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_LibtiffStripLoopFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteImageSeqTIFF(benchmark::State& st) {
  readBase();
  Owned s;
  bench::fillStandard(s.v);
  const std::string base = directory() + "/write/frame";
  const int compression = static_cast<int>(st.range(0));
  for (auto _ : st)
    if (local_WriteImageSeqTIFF(&s.v, base.c_str(), 0, "tif", compression, 1) != 0)
      st.SkipWithError("write");
  st.counters["frames/s"] =
      benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WriteImageSeqTIFF)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
