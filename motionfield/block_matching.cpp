// Block-matching motion estimation between the frames of an 8-bit grey volume, and the
// renderings of its vectors.
//
// Conventions of this file:
//  - Pair k compares target frame k + D with reference frame k, both counted from the input's
//    first frame, for k = 0 .. z1 - z0 - D - 1 (the VOI's depth sets only the number of
//    pairs). Its vectors go to frame k of both vector volumes, rows and columns from 0.
//  - A vector is the block's position minus the position of its best match in the
//    reference frame: X > 0 means the content moved right from frame k to frame k + D,
//    Y > 0 that it moved down.
//  - Methods 0 to 3 rank candidates by the mean absolute difference as a 32-bit float, the
//    full search by the integer sum. A candidate replaces the best only when strictly lower,
//    so among equals the earlier candidate stays.
//  - Every check runs before the first write. Positions and sizes are computed in 64 bits,
//    so no parameter, however large, wraps an index.
//  - Clipping of the blocks of methods 0 to 3. A block can reach past the frame: with an
//    overlap above 1 every block but the last reaches up to overlap - 1 samples past the
//    VOI's bottom and right edges (the frame's edges when the VOI touches them), and the
//    last block, aligned with the VOI's far edge, starts before row or column 0 when the
//    block is larger than y1 or x1. Samples of the block outside rows [0, Y) and columns
//    [0, X) of the frame are left out: the cost sums the kept samples only and the mean
//    divides by their number. A candidate other than the block's own position is admissible
//    only when the whole block placed there lies in rows [0, VH) and columns [0, VW) of the
//    frame, so no reference window leaves the frame; the block's own position, which is
//    always evaluated, reads the reference at the kept samples. A block inside the frame
//    keeps all its W x H samples, so its cost is exactly the mean over the block.
//  - The full search's blocks are clipped to the frame's top and left and the VOI's bottom
//    and right by their own definition, and so are its reference windows.
#include "motionfield/block_matching.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#if defined(__SSE2__) && defined(__x86_64__)
#define V3D_MOTION_SSE2 1
#include <emmintrin.h>
#endif

namespace v3d::motion {
namespace {

using i64 = std::int64_t;
using u64 = std::uint64_t;
using Rows = const std::uint8_t* const*;  // one frame's row pointers

constexpr u64 kNoBound = std::numeric_limits<u64>::max();

// The record's checks: null, sample type, colour type, storage and VOI, in that order.
int checkVolume(const Volume* v, int typeMask, int colorMask) {
  if (v == nullptr) return kNullVolume;
  if ((v->dataType & typeMask) == 0) return kWrongDataType;
  if ((v->colorType & colorMask) == 0) return kWrongColorType;
  if (v->channel[0] == nullptr) return kNullSequence;
  if (!(0 <= v->voiZ0 && v->voiZ0 < v->voiZ1 && v->voiZ1 <= v->Z && 0 <= v->voiY0 &&
        v->voiY0 < v->voiY1 && v->voiY1 <= v->Y && 0 <= v->voiX0 && v->voiX0 < v->voiX1 &&
        v->voiX1 <= v->X))
    return kInvalidVoi;
  return kSuccess;
}

Rows ucFrame(const Volume* v, i64 z) {
  return static_cast<std::uint8_t***>(v->channel[0])[z];
}
std::uint8_t** ucFrameOut(Volume* v, i64 z) {
  return static_cast<std::uint8_t***>(v->channel[0])[z];
}
std::int32_t** intFrame(const Volume* v, i64 z) {
  return static_cast<std::int32_t***>(v->channel[0])[z];
}

// half() rounds toward zero; ceilDiv takes a >= 0 and b >= 1, in 64 bits it cannot overflow.
i64 half(i64 n) {
  return n / 2;
}
i64 odd(i64 n) {
  return n % 2 != 0 ? 1 : 0;
}
i64 ceilDiv(i64 a, i64 b) {
  return (a + b - 1) / b;
}
i64 sign(i64 n) {
  return (n > 0) - (n < 0);
}

// ---- Sums of absolute differences -------------------------------------------------------

// Sum of |t - r| over `height` rows of `width` samples, the two windows given by their row
// pointers, first row and first column. Checked every kRowsPerCheck rows: once the partial
// sum reaches `limit` the window cannot beat the caller's best, and the partial sum
// (>= limit) is returned as it is. The SSE2 path sums 16 samples per psadbw: against the
// same loops in scalar code the full search on the noisy moving sequence of
// bench/motion_bench drops from 512 to 88 ms, the logarithmic search from 64 to 13 ms.
template <int kRowsPerCheck>
[[gnu::always_inline]] inline u64 windowSad(Rows t, i64 tTop, i64 tLeft, Rows r, i64 rTop,
                                            i64 rLeft, i64 height, i64 width, u64 limit) {
#if defined(V3D_MOTION_SSE2)
  const auto total = [](__m128i acc) {
    return static_cast<u64>(_mm_cvtsi128_si64(_mm_add_epi64(acc, _mm_unpackhi_epi64(acc, acc))));
  };
  const auto sad16 = [](const std::uint8_t* a, const std::uint8_t* b) {
    return _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
  };
  if (width == 16) {
    __m128i acc = _mm_setzero_si128();
    for (i64 row = 0; row < height;) {
      const i64 stop = std::min(height, row + kRowsPerCheck);
#pragma GCC unroll 4
      for (; row < stop; ++row)
        acc = _mm_add_epi64(acc, sad16(t[tTop + row] + tLeft, r[rTop + row] + rLeft));
      if (const u64 sum = total(acc); sum >= limit) return sum;
    }
    return total(acc);
  }
#endif
  u64 sum = 0;
  for (i64 row = 0; row < height; ++row) {
    const std::uint8_t* a = t[tTop + row] + tLeft;
    const std::uint8_t* b = r[rTop + row] + rLeft;
    i64 c = 0;
#if defined(V3D_MOTION_SSE2)
    __m128i acc = _mm_setzero_si128();
    for (; c + 16 <= width; c += 16) acc = _mm_add_epi64(acc, sad16(a + c, b + c));
    if (c + 8 <= width) {
      acc = _mm_add_epi64(acc,
                          _mm_sad_epu8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + c)),
                                       _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + c))));
      c += 8;
    }
    sum += total(acc);
#endif
    for (; c < width; ++c) sum += static_cast<u64>(std::abs(int{a[c]} - int{b[c]}));
    if ((row + 1) % kRowsPerCheck == 0 && sum >= limit) return sum;
  }
  return sum;
}

// How often a sum is checked against the caller's best. On a 16-row block abandoning saves
// little, and where it is unpredictable its branch costs more than it saves: on the noisy
// moving sequence of bench/motion_bench the full search takes about 77 ms with no check
// before the end, 93 ms checking every 4 rows and 170 ms checking every 2; on the smooth
// sequence, where the seeds below find the exact match at once, 73, 35 and 32 ms. So every
// 4 rows for the full search, and every 16 for methods 0 to 3, whose few candidates are
// close competitors (logarithmic search 13 ms against 17 ms checking every 4 rows).
constexpr int kFullSearchRowsPerCheck = 4;
constexpr int kGridRowsPerCheck = 16;

// ---- Methods 0 to 3 -----------------------------------------------------------------------

struct GridFrame {
  Rows target, reference;
  i64 Y, X;    // frame size
  i64 VH, VW;  // the VOI's height and width: the admissibility bounds
  i64 W, H;    // block size
  i64 searchX, searchY;
};

// One block's search state: the clipped block, its admissible window and the current centre
// with its cost.
class BlockSearch {
 public:
  BlockSearch(const GridFrame& f, i64 cy, i64 cx) : f_(f), py_(cy), px_(cx) {
    top_ = cy - half(f.H);
    left_ = cx - half(f.W);
    // Block rows [r0_, r1_) and columns [c0_, c1_), counted from the block's first, in frame.
    r0_ = std::max<i64>(0, -top_);
    r1_ = std::min<i64>(f.H, f.Y - top_);
    c0_ = std::max<i64>(0, -left_);
    c1_ = std::min<i64>(f.W, f.X - left_);
    count_ = static_cast<double>(r1_ - r0_) * static_cast<double>(c1_ - c0_);
    const i64 cH = half(f.H) + odd(f.H), cW = half(f.W) + odd(f.W);
    pyLo_ = std::max(cy - f.searchY, cH);
    pyHi_ = std::min(cy + f.searchY, f.VH - cH);
    pxLo_ = std::max(cx - f.searchX, cW);
    pxHi_ = std::min(cx + f.searchX, f.VW - cW);
    sum_ = sad(py_, px_, kNoBound);
    cost_ = mean(sum_);
  }

  i64 py() const { return py_; }
  i64 px() const { return px_; }

  // Evaluates the candidates at the given offsets from the centre, in order, and moves the
  // centre to the best of them and itself; true when it moved. The centre (and any offset
  // that lands on it) cannot be strictly lower than itself, and neither can the previous
  // centre, which cost strictly more: both are skipped with the same outcome.
  template <std::size_t N>
  bool step(const i64 (&offsets)[N][2]) {
    i64 bestY = py_, bestX = px_;
    u64 bestSum = sum_;
    float best = cost_;
    u64 limit = sumLimit(bestSum, best);
    for (const auto& o : offsets) {
      const i64 y = py_ + o[0], x = px_ + o[1];
      if ((y == py_ && x == px_) || (y == prevY_ && x == prevX_) || !admissible(y, x)) continue;
      const u64 s = sad(y, x, limit);
      if (s >= limit) continue;
      const float c = mean(s);
      if (c < best) {
        best = c;
        bestSum = s;
        bestY = y;
        bestX = x;
        limit = sumLimit(bestSum, best);
      }
    }
    if (bestY == py_ && bestX == px_) return false;
    prevY_ = py_;
    prevX_ = px_;
    py_ = bestY;
    px_ = bestX;
    sum_ = bestSum;
    cost_ = best;
    return true;
  }

 private:
  bool admissible(i64 y, i64 x) const {
    return pyLo_ <= y && y <= pyHi_ && pxLo_ <= x && x <= pxHi_;
  }
  float mean(u64 s) const { return static_cast<float>(static_cast<double>(s) / count_); }
  // The smallest sum whose mean is not below `best` (whose sum is `bestSum`): a candidate
  // wins exactly when its sum stays under it, so the sum may be abandoned there. Means of
  // neighbouring sums are distinct below 65536 samples; larger blocks can round several
  // sums to one float, hence the walk down.
  u64 sumLimit(u64 bestSum, float best) const {
    u64 s = bestSum;
    while (s > 0 && mean(s - 1) >= best) --s;
    return s;
  }
  u64 sad(i64 y, i64 x, u64 limit) const {
    return windowSad<kGridRowsPerCheck>(f_.target, top_ + r0_, left_ + c0_, f_.reference,
                                        y - half(f_.H) + r0_, x - half(f_.W) + c0_, r1_ - r0_,
                                        c1_ - c0_, limit);
  }

  const GridFrame& f_;
  i64 py_, px_;
  i64 prevY_ = std::numeric_limits<i64>::min(), prevX_ = std::numeric_limits<i64>::min();
  i64 top_, left_, r0_, r1_, c0_, c1_;
  double count_;
  i64 pyLo_, pyHi_, pxLo_, pxHi_;
  u64 sum_;
  float cost_;
};

// The nine-point pattern of the logarithmic and three-step searches, centre excluded:
// down, up, right, left, then the four diagonals.
bool ninePoints(BlockSearch& b, i64 sY, i64 sX) {
  const i64 o[8][2] = {{sY, 0},  {-sY, 0},  {0, sX},    {0, -sX},
                       {sY, sX}, {-sY, sX}, {-sY, -sX}, {sY, -sX}};
  return b.step(o);
}

void searchBlock(BlockSearch& b, int method, i64 searchX, i64 searchY) {
  switch (method) {
    case kLogarithmicSearch: {
      i64 sX = half(searchX), sY = half(searchY);
      for (;;) {
        ninePoints(b, sY, sX);
        sX = half(sX);
        sY = half(sY);
        if (sX == 0 || sY == 0) break;
      }
      break;
    }
    case kThreeStepSearch:
      for (i64 s = 4; s != 0; s = half(s)) ninePoints(b, s, s);
      break;
    case kConjugateDirectionSearch: {
      const i64 horizontal[2][2] = {{0, 1}, {0, -1}};
      const i64 vertical[2][2] = {{1, 0}, {-1, 0}};
      while (b.step(horizontal)) {
      }
      while (b.step(vertical)) {
      }
      break;
    }
    case kOrthogonalSearch: {
      // Ends once the halved step is 1 or less: a range below 2 never reaches exactly 1.
      i64 s = searchX;
      do {
        s = half(s);
        const i64 horizontal[2][2] = {{0, s}, {0, -s}};
        const i64 vertical[2][2] = {{s, 0}, {-s, 0}};
        b.step(horizontal);
        b.step(vertical);
      } while (s > 1);
      break;
    }
    default:
      break;
  }
}

// Block rows used are rows - H when stepY is 1 (columns likewise); the last one used is
// aligned with the VOI's far edge. The remaining elements keep their 0.
void gridPair(const Volume* in, std::int32_t** outX, std::int32_t** outY, const GridFrame& f,
              i64 rows, i64 cols, i64 stepX, i64 stepY, int method) {
  const i64 y0 = in->voiY0, y1 = in->voiY1, x0 = in->voiX0, x1 = in->voiX1;
  const i64 usedRows = stepY == 1 ? rows - f.H : rows;
  const i64 usedCols = stepX == 1 ? cols - f.W : cols;
  for (i64 i = 0; i < usedRows; ++i) {
    const i64 cy = i == usedRows - 1 ? y1 - half(f.H) - odd(f.H) : y0 + half(f.H) + i * stepY;
    for (i64 j = 0; j < usedCols; ++j) {
      const i64 cx = j == usedCols - 1 ? x1 - half(f.W) - odd(f.W) : x0 + half(f.W) + j * stepX;
      BlockSearch b(f, cy, cx);
      searchBlock(b, method, f.searchX, f.searchY);
      outX[i][j] = static_cast<std::int32_t>(cx - b.px());
      outY[i][j] = static_cast<std::int32_t>(cy - b.py());
    }
  }
}

// ---- Full search --------------------------------------------------------------------------

// Scans every candidate of every block. The result is the first candidate in scan order
// (rows ascending, columns ascending) with the least sum. To abandon sums early the block's
// own position, its vector in the previous pair and its left neighbour's vector are tried
// first; the scan then keeps the least (sum, scan index), which picks the same candidate:
// a candidate later in the scan than the best is abandoned once its sum reaches the best,
// an earlier one only once it exceeds it. On the smooth sequence of bench/motion_bench the
// seeds halve the full search's time (73 to 35 ms); on the noisy one they change little.
//
// The best starts unbounded rather than at a fixed large sum, so that blocks whose every
// sum is that large still get their least; a block without candidates (a negative search
// range) keeps the vector 0.
void fullSearchPair(const Volume* in, Rows target, Rows reference, std::int32_t** outX,
                    std::int32_t** outY, std::int32_t** prevX, std::int32_t** prevY, i64 W, i64 H,
                    i64 searchX, i64 searchY, i64 stepX, i64 stepY) {
  const i64 y0 = in->voiY0, y1 = in->voiY1, x0 = in->voiX0, x1 = in->voiX1;
  i64 i = 0;
  for (i64 y = y0; y < y1; y += stepY, ++i) {
    const i64 a = std::min(y, half(H)), b = std::min(y1 - y, half(H));
    const i64 pyLo = std::max(y - searchY, a), pyHi = std::min(y1 - b, y + searchY);
    i64 j = 0;
    for (i64 x = x0; x < x1; x += stepX, ++j) {
      const i64 l = std::min(x, half(W)), r = std::min(x1 - x, half(W));
      const i64 pxLo = std::max(x - searchX, l), pxHi = std::min(x1 - r, x + searchX);
      const i64 span = pxHi - pxLo + 1;
      i64 bestY = y, bestX = x;
      u64 bestSum = kNoBound;
      i64 bestIndex = std::numeric_limits<i64>::max();
      auto tryCandidate = [&](i64 py, i64 px) {
        const i64 index = (py - pyLo) * span + (px - pxLo);
        const u64 limit =
            index < bestIndex ? (bestSum == kNoBound ? kNoBound : bestSum + 1) : bestSum;
        const u64 s = windowSad<kFullSearchRowsPerCheck>(target, y - a, x - l, reference, py - a,
                                                         px - l, a + b, l + r, limit);
        if (s < limit) {
          bestSum = s;
          bestIndex = index;
          bestY = py;
          bestX = px;
        }
      };
      auto inWindow = [&](i64 py, i64 px) {
        return pyLo <= py && py <= pyHi && pxLo <= px && px <= pxHi;
      };
      if (inWindow(y, x)) tryCandidate(y, x);
      if (prevX != nullptr) {
        const i64 py = y - prevY[i][j], px = x - prevX[i][j];
        if (inWindow(py, px)) tryCandidate(py, px);
      }
      if (j > 0) {
        const i64 py = y - outY[i][j - 1], px = x - outX[i][j - 1];
        if (inWindow(py, px)) tryCandidate(py, px);
      }
      for (i64 py = pyLo; py <= pyHi; ++py)
        for (i64 px = pxLo; px <= pxHi; ++px) tryCandidate(py, px);
      outX[i][j] = static_cast<std::int32_t>(x - bestX);
      outY[i][j] = static_cast<std::int32_t>(y - bestY);
    }
  }
}

bool sameVoi(const Volume* a, const Volume* b) {
  return a->voiZ0 == b->voiZ0 && a->voiZ1 == b->voiZ1 && a->voiY0 == b->voiY0 &&
         a->voiY1 == b->voiY1 && a->voiX0 == b->voiX0 && a->voiX1 == b->voiX1;
}

// Writes `value` into the fy x fx display block of vector element (y, x), every row and
// column clamped to the display's last VOI row and column.
void writeBlock(Volume* display, i64 z, i64 y, i64 x, i64 fy, i64 fx, std::uint8_t value) {
  std::uint8_t** frame = ucFrameOut(display, z);
  const i64 lastRow = display->voiY1 - 1, lastCol = display->voiX1 - 1;
  for (i64 a = 0; a < fy; ++a) {
    std::uint8_t* row = frame[std::min(fy * y + a, lastRow)];
    for (i64 b = 0; b < fx; ++b) row[std::min(fx * x + b, lastCol)] = value;
  }
}

void clearDisplayVoi(Volume* display) {
  for (i64 z = display->voiZ0; z < display->voiZ1; ++z)
    for (i64 y = display->voiY0; y < display->voiY1; ++y)
      std::fill(ucFrameOut(display, z)[y] + display->voiX0,
                ucFrameOut(display, z)[y] + display->voiX1, std::uint8_t{0});
}

}  // namespace

int ComputeMotionFieldSize(Volume* input, int W, int H, int stepX, int stepY, int D, int* frames,
                           int* rows, int* columns) {
  if (const int code = checkVolume(input, V3D_UC, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (frames == nullptr || rows == nullptr || columns == nullptr) return kNullBasicTypePointer;
  if (stepX < 1 || stepY < 1 || W < stepX || H < stepY || D < 1 || D >= input->voiZ1)
    return kInvalidParameters;
  *frames = input->Z - D;
  *rows = static_cast<int>(ceilDiv(i64{input->voiY1} - input->voiY0, stepY));
  *columns = static_cast<int>(ceilDiv(i64{input->voiX1} - input->voiX0, stepX));
  return kSuccess;
}

int EstimateMotionVectors(Volume* input, Volume* vectorsX, Volume* vectorsY, int W, int H,
                          int searchX, int searchY, int stepX, int stepY, int D, int method) {
  if (const int code = checkVolume(input, V3D_UC, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (const int code = checkVolume(vectorsX, V3D_I, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (const int code = checkVolume(vectorsY, V3D_I, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (stepX <= 0 || stepY <= 0 || W < stepX || H < stepY || D <= 0 || D >= input->voiZ1 ||
      (method == kOrthogonalSearch && searchX != searchY) || method < kLogarithmicSearch ||
      method > kFullSearch)
    return kInvalidParameters;
  const i64 rows = ceilDiv(i64{input->voiY1} - input->voiY0, stepY);
  const i64 cols = ceilDiv(i64{input->voiX1} - input->voiX0, stepX);
  for (const Volume* v : {vectorsX, vectorsY})
    if (v->Y < rows || v->X < cols || v->Z < i64{input->Z} - D) return kInvalidOutputDimensions;

  const i64 pairs = i64{input->voiZ1} - input->voiZ0 - D;
  for (i64 k = 0; k < pairs; ++k)
    for (const Volume* v : {vectorsX, vectorsY})
      for (i64 i = 0; i < rows; ++i) std::fill(intFrame(v, k)[i], intFrame(v, k)[i] + cols, 0);

  GridFrame f{nullptr,
              nullptr,
              input->Y,
              input->X,
              i64{input->voiY1} - input->voiY0,
              i64{input->voiX1} - input->voiX0,
              W,
              H,
              searchX,
              searchY};
  for (i64 k = 0; k < pairs; ++k) {
    f.target = ucFrame(input, k + D);
    f.reference = ucFrame(input, k);
    if (method == kFullSearch)
      fullSearchPair(input, f.target, f.reference, intFrame(vectorsX, k), intFrame(vectorsY, k),
                     k > 0 ? intFrame(vectorsX, k - 1) : nullptr,
                     k > 0 ? intFrame(vectorsY, k - 1) : nullptr, W, H, searchX, searchY, stepX,
                     stepY);
    else
      gridPair(input, intFrame(vectorsX, k), intFrame(vectorsY, k), f, rows, cols, stepX, stepY,
               method);
  }
  return kSuccess;
}

int DrawMotionField(Volume* vectorsX, Volume* vectorsY, Volume* field, Volume* input, int W, int H,
                    int stepX, int stepY, int D, int lastFrame, int colour, int subsampled) {
  if (const int code = checkVolume(vectorsX, V3D_I, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (const int code = checkVolume(vectorsY, V3D_I, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (const int code = checkVolume(field, V3D_UC, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (const int code = checkVolume(input, V3D_UC, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (!sameVoi(vectorsX, vectorsY)) return kInvalidParameters;
  const i64 f = D, g = lastFrame, depth = i64{input->voiZ1} - input->voiZ0;
  // A negative D would take the background from before the first frame.
  if (f < 0 || f >= depth || g >= depth || g < f) return kInvalidParameters;
  const i64 VH = i64{input->voiY1} - input->voiY0, VW = i64{input->voiX1} - input->voiX0;
  const i64 fieldFrames = g - f + 1;
  if (field->Z != fieldFrames || field->Y != VH || field->X != VW) return kInvalidOutputDimensions;
  // Both vector volumes are read over the same grid, one frame per field frame.
  if (vectorsY->Z != vectorsX->Z || vectorsY->Y != vectorsX->Y || vectorsY->X != vectorsX->X ||
      vectorsX->Z < fieldFrames)
    return kInvalidInputDimensions;

  const i64 gridRows = vectorsX->Y, gridCols = vectorsX->X;
  i64 u = 1, v = 1;
  if (subsampled != 0) {
    for (i64 n = gridCols; n > VW / 16; n /= 2) v *= 2;
    for (i64 n = gridRows; n > VH / 16; n /= 2) u *= 2;
  }
  const auto put = [&](std::uint8_t** frame, i64 row, i64 col) {
    if (0 <= row && row < VH && 0 <= col && col < VW)
      frame[row][col] = static_cast<std::uint8_t>(colour);
  };
  // trunc(value + 0.5) as a row or column; values far outside the frame are skipped.
  const auto rounded = [](double value, i64 limit, i64* out) {
    const double p = std::trunc(value + 0.5);
    if (!(p >= 0 && p < static_cast<double>(limit))) return false;
    *out = static_cast<i64>(p);
    return true;
  };

  for (i64 n = 0; n < fieldFrames; ++n) {
    std::uint8_t** out = ucFrameOut(field, n);
    Rows background = ucFrame(input, f + n);
    for (i64 y = 0; y < VH; ++y)
      std::copy(background[input->voiY0 + y] + input->voiX0,
                background[input->voiY0 + y] + input->voiX1, out[y]);
    std::int32_t** vx = intFrame(vectorsX, n);
    std::int32_t** vy = intFrame(vectorsY, n);
    i64 s = 0;
    for (i64 i = 0; i < gridRows; i += u)
      for (i64 j = 0; j < gridCols; j += v)
        s = std::max({s, std::abs(i64{vx[i][j]}), std::abs(i64{vy[i][j]})});
    for (i64 i = 0; i < gridRows; i += u) {
      for (i64 j = 0; j < gridCols; j += v) {
        const i64 R = half(H) + i * stepY, C = half(W) + j * stepX;
        // The dot is clipped to the frame like the segment.
        for (i64 dr = -1; dr <= 1; ++dr)
          for (i64 dc = -1; dc <= 1; ++dc) put(out, R + dr, C + dc);
        const i64 X = vx[i][j], Y = vy[i][j];
        i64 nx = 0, ny = 0;
        if (s != 0) {
          nx = static_cast<i64>(std::trunc(static_cast<double>(std::abs(X)) * stepX * v / s + 0.5));
          ny = static_cast<i64>(std::trunc(static_cast<double>(std::abs(Y)) * stepY * u / s + 0.5));
        }
        const i64 sx = sign(X), sy = sign(Y);
        if (nx >= ny && nx > 0) {
          // The column moves by one per pixel: only t with the column in the frame can draw.
          const i64 tFrom = sx > 0 ? std::max<i64>(0, -C) : std::max<i64>(0, C - VW + 1);
          const i64 tTo = sx > 0 ? std::min(nx - 1, VW - 1 - C) : std::min(nx - 1, C);
          const double slope = static_cast<double>(ny) / static_cast<double>(nx);
          for (i64 t = tFrom; t <= tTo; ++t) {
            i64 row;
            if (rounded(static_cast<double>(R) + static_cast<double>(t) * slope * sy, VH, &row))
              out[row][C + t * sx] = static_cast<std::uint8_t>(colour);
          }
        } else if (ny > nx) {
          const i64 tFrom = sy > 0 ? std::max<i64>(0, -R) : std::max<i64>(0, R - VH + 1);
          const i64 tTo = sy > 0 ? std::min(ny - 1, VH - 1 - R) : std::min(ny - 1, R);
          const double slope = static_cast<double>(nx) / static_cast<double>(ny);
          for (i64 t = tFrom; t <= tTo; ++t) {
            i64 col;
            if (rounded(static_cast<double>(C) + static_cast<double>(t) * slope * sx, VW, &col))
              out[R + t * sy][col] = static_cast<std::uint8_t>(colour);
          }
        }
      }
    }
  }
  return kSuccess;
}

int DisplayDisplacement(Volume* vectors, Volume* display) {
  if (const int code = checkVolume(vectors, V3D_I, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (const int code = checkVolume(display, V3D_UC, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (display->voiZ0 != vectors->voiZ0 || display->voiZ1 != vectors->voiZ1)
    return kInvalidParameters;
  const i64 fx =
      ceilDiv(i64{display->voiX1} - display->voiX0, i64{vectors->voiX1} - vectors->voiX0);
  const i64 fy =
      ceilDiv(i64{display->voiY1} - display->voiY0, i64{vectors->voiY1} - vectors->voiY0);
  clearDisplayVoi(display);
  // The running maximum scales each frame by the largest component seen so far; while it is
  // still 0 every vector is the zero vector, drawn as 128.
  i64 M = -200;
  for (i64 z = vectors->voiZ0; z < vectors->voiZ1; ++z) {
    std::int32_t** frame = intFrame(vectors, z);
    for (i64 y = vectors->voiY0; y < vectors->voiY1; ++y)
      for (i64 x = vectors->voiX0; x < vectors->voiX1; ++x)
        M = std::max(M, std::abs(i64{frame[y][x]}));
    for (i64 y = vectors->voiY0; y < vectors->voiY1; ++y)
      for (i64 x = vectors->voiX0; x < vectors->voiX1; ++x) {
        const double grey =
            M > 0
                ? std::trunc(static_cast<double>(frame[y][x]) / static_cast<double>(M) * 127 + 128)
                : 128;
        writeBlock(display, z, y, x, fy, fx, static_cast<std::uint8_t>(grey));
      }
  }
  return kSuccess;
}

int DisplayAmplitude(Volume* vectorsX, Volume* vectorsY, Volume* display) {
  if (const int code = checkVolume(vectorsX, V3D_I, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (const int code = checkVolume(vectorsY, V3D_I, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (const int code = checkVolume(display, V3D_UC, V3D_ONE_CHANNEL); code != kSuccess) return code;
  if (!sameVoi(vectorsX, vectorsY) || display->voiZ0 != vectorsX->voiZ0 ||
      display->voiZ1 != vectorsX->voiZ1)
    return kInvalidParameters;
  const i64 fx =
      ceilDiv(i64{display->voiX1} - display->voiX0, i64{vectorsX->voiX1} - vectorsX->voiX0);
  const i64 fy =
      ceilDiv(i64{display->voiY1} - display->voiY0, i64{vectorsX->voiY1} - vectorsX->voiY0);
  clearDisplayVoi(display);
  const auto length = [](std::int32_t X, std::int32_t Y) {
    return std::sqrt(static_cast<double>(X) * X + static_cast<double>(Y) * Y);
  };
  // As for the displacement: while the running maximum is still 0 everything is drawn 0.
  double M = -200.0;
  for (i64 z = vectorsX->voiZ0; z < vectorsX->voiZ1; ++z) {
    std::int32_t** frameX = intFrame(vectorsX, z);
    std::int32_t** frameY = intFrame(vectorsY, z);
    for (i64 y = vectorsX->voiY0; y < vectorsX->voiY1; ++y)
      for (i64 x = vectorsX->voiX0; x < vectorsX->voiX1; ++x)
        M = std::max(M, length(frameX[y][x], frameY[y][x]));
    for (i64 y = vectorsX->voiY0; y < vectorsX->voiY1; ++y)
      for (i64 x = vectorsX->voiX0; x < vectorsX->voiX1; ++x) {
        const double grey = M > 0 ? std::trunc(length(frameX[y][x], frameY[y][x]) / M * 255) : 0;
        writeBlock(display, z, y, x, fy, fx, static_cast<std::uint8_t>(grey));
      }
  }
  return kSuccess;
}

}  // namespace v3d::motion
