// Benchmarks of the TIFF sequence reader and writer on the standard volume: 128 frames of
// 256 x 256 grey pixels, one uncompressed TIFF file per frame (min-is-black, 32 rows per
// strip, as local_WriteImageSeqTIFF writes them). bench/tiff_sequence_peer.py times
// Python's tifffile on the very same files in the same run.
//
// The files live in $V3D_BENCH_TIFF_DIR (default /tmp/v3d_bench_tiff): read/frame<k>.tif,
// written once at start-up, and write/frame<k>.tif, rewritten by the write benchmark.
//
// Besides the exported reader: the sequence check and read with each of the reader's ways to
// a file (libtiff opening the path, the bytes loaded in one read, the choice by size), on the
// standard sequence and on larger frames (read/side<N>_<k>.tif); the floor, a bare loop of
// libtiff calls (open, read every strip into one buffer, close) that does no checking and
// stores nothing; and the whole-image RGBA path that the reader takes for files the strip
// path does not cover.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "core/image_codecs.h"
#include "core/image_sequence.h"
#include "standard_volume.h"

namespace {

using namespace v3d;

constexpr int kFrames = bench::kZ;

struct Owned {
  Volume v{};
  explicit Owned(int color = V3D_ONE_CHANNEL, int Z = bench::kZ, int Y = bench::kY,
                 int X = bench::kX) {
    InitializeVolume(&v, Z, Y, X, V3D_UC, color);
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

// Sequences of larger frames, where what each way to a file costs per byte shows: side x side
// grey pixels, as many files as make about 8 MiB (as the standard sequence), at least 8;
// written on first use.
int largeFrames(int side) {
  return std::max(8, (8 << 20) / (side * side));
}

const std::string& largeBase(int side) {
  static std::map<int, std::string> bases;
  if (auto it = bases.find(side); it != bases.end()) return it->second;
  readBase();  // makes the directories
  const int frames = largeFrames(side);
  Owned s(V3D_ONE_CHANNEL, frames, side, side);
  for (int z = 0; z < frames; ++z)
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x)
        channelData<UC>(s.v, 0)[z][y][x] = static_cast<UC>((x ^ y) + 7 * z);
  const std::string b = directory() + "/read/side" + std::to_string(side) + "_";
  if (local_WriteImageSeqTIFF(&s.v, b.c_str(), 0, "tif", 1, 1) != 0) std::abort();
  return bases[side] = b;
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

// The sequence read and check with each of the TIFF reader's two ways to a file: libtiff
// opening the path itself (it maps the file), or the file's bytes loaded in one read and
// decoded from memory through libtiff's client I/O. The exported reader uses the faster.
template <image::TiffAccess access>
const image::SequenceFormat& tiffFormat() {
  static constexpr image::SequenceFormat format{V3D_ANY_COLOR, image::headerTIFFFile<access>,
                                                image::decodeTIFFFile<access>};
  return format;
}

// The argument is the side of the frames: 256 is the standard sequence, larger sides the
// sequences of larger frames (360: files just under kTiffBytesLimit).
void sides(benchmark::internal::Benchmark* b) {
  for (int side : {256, 360, 512, 1024, 2048}) b->Arg(side);
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

template <image::TiffAccess access>
void readThrough(benchmark::State& st) {
  const int side = static_cast<int>(st.range(0));
  const bool large = side != bench::kY;
  const std::string& base = large ? largeBase(side) : readBase();
  const int frames = large ? largeFrames(side) : kFrames;
  Owned v(V3D_ONE_CHANNEL, frames, side, side);
  ScopedImageSize size(side, side);
  for (auto _ : st) {
    if (image::readSequence(tiffFormat<access>(), &v.v, base.c_str(), 0, 0, "tif", frames) != 0)
      st.SkipWithError("read");
    benchmark::DoNotOptimize(channelData<UC>(v.v, 0)[frames - 1][side - 1][side - 1]);
  }
}
void BM_ReadSequenceLibtiffOpensPath(benchmark::State& st) {
  readThrough<image::TiffAccess::Path>(st);
}
void BM_ReadSequenceBytesInOneRead(benchmark::State& st) {
  readThrough<image::TiffAccess::Bytes>(st);
}
void BM_ReadSequenceBySize(benchmark::State& st) {
  readThrough<image::TiffAccess::BySize>(st);
}
BENCHMARK(BM_ReadSequenceLibtiffOpensPath)->Apply(sides);
BENCHMARK(BM_ReadSequenceBytesInOneRead)->Apply(sides);
BENCHMARK(BM_ReadSequenceBySize)->Apply(sides);

template <image::TiffAccess access>
void checkThrough(benchmark::State& st) {
  const int side = static_cast<int>(st.range(0));
  const bool large = side != bench::kY;
  const std::string& base = large ? largeBase(side) : readBase();
  int rows = 0, columns = 0, colour = 0;
  for (auto _ : st)
    if (image::checkSequence(tiffFormat<access>(), base.c_str(), 0, 0, "tif",
                             large ? largeFrames(side) : kFrames, &rows, &columns, &colour) != 0)
      st.SkipWithError("check");
}
void BM_CheckSequenceLibtiffOpensPath(benchmark::State& st) {
  checkThrough<image::TiffAccess::Path>(st);
}
void BM_CheckSequenceBytesInOneRead(benchmark::State& st) {
  checkThrough<image::TiffAccess::Bytes>(st);
}
void BM_CheckSequenceBySize(benchmark::State& st) {
  checkThrough<image::TiffAccess::BySize>(st);
}
BENCHMARK(BM_CheckSequenceLibtiffOpensPath)->Apply(sides);
BENCHMARK(BM_CheckSequenceBytesInOneRead)->Apply(sides);
BENCHMARK(BM_CheckSequenceBySize)->Apply(sides);

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
