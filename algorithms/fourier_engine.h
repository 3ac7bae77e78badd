// The transform engine behind the Fourier and cosine transforms, the spectral functions and
// the FFT-based linear filters: power-of-2 complex FFTs of many sequences at once.
//
// How it works:
//  - A kernel call transforms kLanes sequences of one length n together. They are gathered
//    into a lane buffer of n elements, element k holding the kLanes real parts and then the
//    kLanes imaginary parts of sample k of every sequence, so every butterfly is a short
//    loop over contiguous lanes that the compiler turns into vector instructions, and the
//    buffer (16 KiB at n = 256 with AVX2) stays in the first-level cache.
//  - Sequences along Y and Z (columns of a frame, columns through the frames) take their
//    lanes from neighbouring columns, so the gather reads whole cache lines. Rows along X
//    are transposed into the lanes.
//  - The bit reversal of the decimation-in-time butterflies is done by the gather, which
//    places sample bitrev(k) at element k; the butterflies are radix 4 (with one radix-2
//    stage first for odd powers of 2) over twiddle tables computed once per plan in double
//    precision, so no trigonometry runs per sample.
//  - The kernels exist twice, for the baseline instruction set and for AVX2 with FMA; the
//    processor picks one at first use (fourier_kernels.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "core/alloc.h"
#include "core/samples.h"
#include "core/volume.h"

namespace v3d::fft {

// The most lanes of any kernel set (buffers are sized for it); each set uses as many as
// one vector register holds.
inline constexpr int kLanes = 8;
// Floats per lane-buffer element at most: the real parts, then the imaginary parts.
inline constexpr int kElementFloats = 2 * kLanes;

// Everything a kernel needs for one length and direction.
struct Plan {
  int n = 0;
  int log2n = 0;
  bool inverse = false;
  ScratchArray<std::int32_t> bitrev;  // bit-reversed index of k over log2n bits
  ScratchArray<float> twiddles;       // radix-4 stages: w^j, w^2j, w^3j for j < span
  ScratchArray<float> quarter;        // cos(pi k / 2n), sin(pi k / 2n) for k < n
  // The cosine transforms' reordering (even samples ascending, then odd samples
  // descending): the element that sample s goes to (bit reversal included), and the
  // natural element whose value sample t takes back.
  ScratchArray<std::int32_t> dctPosition;
  ScratchArray<std::int32_t> dctRestore;
};

// Prepares `plan` for length n (a power of 2) and direction; 0 or kCannotAllocateBuffer.
int makePlan(Plan& plan, int n, bool inverse);

// One real array addressed by frame and row. A Volume channel's box at (z0, y0, x0), a
// contiguous block, or nothing (every sample zero on input, dropped on output).
struct Plane {
  float*** frames = nullptr;
  float* base = nullptr;
  std::size_t frameStride = 0;
  std::size_t rowStride = 0;
  int z0 = 0, y0 = 0, x0 = 0;

  float* row(int z, int y) const {
    if (frames != nullptr) return frames[z0 + z][y0 + y] + x0;
    if (base != nullptr) return base + static_cast<std::size_t>(z) * frameStride + y * rowStride;
    return nullptr;
  }
  bool empty() const { return frames == nullptr && base == nullptr; }
  Plane shifted(int dz, int dy, int dx) const;
};

// The box of a one-channel float volume at (z0, y0, x0).
Plane volumePlane(const Volume& v, int z0, int y0, int x0);

// Copies box `b` of a one-channel float volume into the corner of `dst`.
void copyBoxInto(const Volume& v, const Box& b, const Plane& dst);

struct ComplexPlanes {
  Plane re, im;
};

// One kernel job: `width` sequences of plan->n samples.
//  - Column jobs: element k of sequence c is src[k][c]; the lanes are neighbouring columns.
//  - Row jobs: element k of sequence r is src[r][k]; the rows are transposed into lanes.
// A null srcIm reads zero imaginary parts, a null dstIm drops them. Elements from validIn
// on are zero and not read; elements from validOut on are not written. Results are
// multiplied by `scale` and stored, or added to what dst holds when `accumulate` is set.
// The cosine jobs use the same fields: re and im lanes take neighbouring sequences.
struct LineJob {
  const Plan* plan = nullptr;
  float* const* srcRe = nullptr;
  float* const* srcIm = nullptr;
  float* const* dstRe = nullptr;
  float* const* dstIm = nullptr;
  int width = 0;
  int validIn = 0;
  int validOut = 0;
  float scale = 1.0f;
  bool accumulate = false;
  float* buffer = nullptr;  // plan->n * kElementFloats floats
};

// The kernels of one instruction set.
struct Kernels {
  void (*columns)(const LineJob&);
  void (*rows)(const LineJob&);
  // 2-D and 3-D cosine transforms are separable: one axis at a time, packing two real
  // sequences into one complex transform. dctColumns/dctRows take their direction from
  // the plan (forward: DCT-II with the factor 2; inverse: its inverse).
  void (*dctColumns)(const LineJob&);
  void (*dctRows)(const LineJob&);
  // Rows of `width` floats from src[r] into dst[r]; a null src (or src[r]) copies zeros.
  void (*copyRows)(float* const* src, float* const* dst, int rows, int width);
};

const Kernels* genericKernels();
const Kernels* avx2Kernels();  // null when this processor lacks AVX2 or FMA
// The kernels for this processor, or those given to useKernels.
const Kernels& kernels();
// Makes kernels() answer `k` (tests run every instruction set); null restores the choice
// made for this processor.
void useKernels(const Kernels* k);

// ---- 3-D transforms over planes ------------------------------------------------------

struct Extents {
  int nz = 1, ny = 1, nx = 1;
};

// Plans and buffers of one 3-D transform, made before anything is written.
class Transform3d {
 public:
  // 0 or kCannotAllocateBuffer. Every extent a power of 2.
  int prepare(Extents e, bool inverse);

  // Frame by frame, rows then columns, from src into dst; frames from valid.nz, rows from
  // valid.ny and columns from valid.nx on are zero in src and not read. Results scaled.
  void frames(const ComplexPlanes& src, const ComplexPlanes& dst, Extents valid, float scale);
  // Along Z, in place in `planes`; frames from validZ on are zero and not read; only
  // frames below keepZ are written.
  void alongZ(const ComplexPlanes& planes, int validZ, int keepZ, float scale);
  // Frame by frame, columns then rows, for frames below keep.nz: reads `planes`, writes
  // rows below keep.ny and columns below keep.nx into `sink` (stored or added).
  void framesInto(const ComplexPlanes& planes, const ComplexPlanes& sink, Extents keep, float scale,
                  bool accumulate);

  Extents extents() const { return e_; }

 private:
  // A padded block of complex rows.
  struct Scratch {
    ScratchArray<float> data;
    std::size_t stride = 0, imOffset = 0;
    int allocate(int rows, int width);
    float* re(int r) const { return data.get() + static_cast<std::size_t>(r) * stride; }
    float* im(int r) const { return re(r) + imOffset; }
  };

  Extents e_;
  Plan px_, py_, pz_;
  std::size_t longest_ = 0;
  ScratchArray<float> lanes_;
  ScratchArray<float*> ptrs_;
  Scratch frame_, slab_;
};

// A contiguous complex working volume, zero-filled.
class WorkVolume {
 public:
  // 0, or kCannotAllocateVolume when the size cannot be addressed or had.
  int allocate(Extents e);
  ComplexPlanes planes() const;
  float* re() const { return re_.get(); }
  float* im() const { return im_.get(); }
  std::size_t size() const { return count_; }

 private:
  Extents e_;
  std::size_t count_ = 0;
  ScratchArray<float> re_, im_;
};

// Whether n is a power of 2 (1 included).
inline bool isPowerOf2(long long n) {
  return n > 0 && (n & (n - 1)) == 0;
}

// The number of samples of a box, or false when it cannot be addressed.
bool boxCount(long long nz, long long ny, long long nx, std::size_t& count);

// ---- Checks and sources shared by the pair-to-pair functions --------------------------

// CheckVolume(F, one channel) on each volume in order; the first failure's code.
int checkFloatVolumes(std::initializer_list<Volume*> volumes);
// Whether two checked volumes hold the same samples.
inline bool sharesStorage(const Volume* a, const Volume* b) {
  return a->channel[0] == b->channel[0];
}
// For an operation from the pair (re, im) over re's VOI into (outA, outB) at (dz, dy, dx):
// -90 for a negative offset, -521 when im is smaller than re on an axis, -520 when an
// output cannot hold the block there, -536 when outA shares storage with re or outB with
// im and the block moves.
int checkPairPlacement(Volume* re, Volume* im, Volume* outA, Volume* outB, int dz, int dy, int dx);

// What a pair-to-pair operation reads: re's VOI box of both inputs, or a copy of it when an
// output shares storage with the other input and the block moves, since writing the output
// would then overwrite input samples not read yet.
class PairSource {
 public:
  // 0 or kCannotAllocateBuffer, before anything is written.
  int prepare(Volume* re, Volume* im, Volume* outA, Volume* outB, int dz, int dy, int dx);
  ComplexPlanes planes;

 private:
  WorkVolume copy_;
};

// ---- Spectral products on a contiguous working volume ----------------------------------

// `work` holds the transform of a + i b for two real volumes a and b. Replaces it by the
// spectrum of the linear convolution A.B (correlation false) or of the correlation
// A.conj(B) (correlation true), using Z[-k] to separate A and B.
void pairProduct(const WorkVolume& work, Extents e, bool correlation);

}  // namespace v3d::fft

namespace v3d {
// The 2-D stage of lrcfft3d on its own (fourier.cpp): every frame of inRe's VOI rectangle
// (and inIm's over the same box) is transformed by rows and columns into the output pair's
// frame destFrame + k at (destRow, destColumn); the inverse divides by rows times columns.
// Its working area is the volumes' own frames: kInvalidWorkingArea when the rectangle has
// fewer than 2 rows or columns, kSourceExceedsDestination when the destination rectangle
// does not lie inside both outputs. The caller has made the other checks of lrcfft3d.
int fft2dFrames(Volume* inRe, Volume* inIm, Volume* outRe, Volume* outIm, int direction,
                int destFrame, int destRow, int destColumn);
}  // namespace v3d
