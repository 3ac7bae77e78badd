// The viewing set-up every projection and TomiRand2 share: the source box, the axes, the
// extents and their placement in the image, the depth products and one row of rays at a
// time with the steps of each ray that fall inside the source box.
//
// Exactness: a sample position is trunc(origin + t * d) per coordinate in float, the origins
// advanced by adding u per column and v per row, as the header of projections.h describes.
// Each ray's first and last step inside the box are found once, exactly: trunc(origin +
// product[k]) is monotone in k (the products are rounded products of increasing t with one
// increment, and adding one origin keeps the order), so the steps inside the box form one
// interval, found from an estimate by stepping with the same float expression the loops use.
// Skipping the steps outside it changes no sample, and ends the rays that miss the box at
// once.
#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "core/alloc.h"
#include "core/samples.h"
#include "core/volume.h"

namespace v3d::proj {

// CheckVolume for UC of either colour, the image's row arrays, R and C. 0 or the code.
int checkCall(Volume* volume, unsigned char*** image, int R, int C);

// Sets every row of every channel of the image to 0.
void clearImage(unsigned char*** image, int channels, int R, int C);

class View {
 public:
  // Sets up a 3-D view (angles in degrees) or a 2-D one (angle1 only, one image row per
  // frame of the box). Returns 0, kInvalidParameters for a NaN or infinite angle, or
  // kCannotAllocateBuffer when the working arrays cannot be had. Reads the volume (the crop
  // box) and nothing else.
  int setUp(Volume* volume, int R, int C, float angle1, float angle2, bool threeD, int crop);

  // The crop found no non-zero sample: the image is all zero.
  bool empty() const { return empty_; }
  const Box& box() const { return box_; }
  int depthSteps() const { return N_; }
  long long firstStep() const { return t0_; }
  float dx() const { return dx_; }
  float dy() const { return dy_; }
  float dz() const { return dz_; }
  bool threeD() const { return threeD_; }
  // The axes (x, y, z components): lateral u, vertical v (zero in the 2-D form), depth d.
  void axes(float u[3], float v[3], float d[3]) const {
    u[0] = ux_, u[1] = uy_, u[2] = uz_;
    v[0] = vx_, v[1] = vy_, v[2] = vz_;
    d[0] = dx_, d[1] = dy_, d[2] = dz_;
  }

  // One row of rays as forEachRow hands it over: the rays i in [first, end) fall in the image,
  // on columns column0 + i; ray i starts at (px[i], py[i], pz[i]) and its steps k in
  // [a[i], b[i]) lie inside the source box. zConst is the frame of every ray of the row when
  // it does not change along the rays (the 2-D form, or a 3-D view with no tilt), else -1.
  struct Row {
    int imageRow;
    int first, end;
    long long column0;
    const float *px, *py, *pz;
    const int *a, *b;
    int zConst;
  };

  // The depth products t * d, t = firstStep() + k, for k in [0, depthSteps()).
  const float* DX() const { return DX_.get(); }
  const float* DY() const { return DY_.get(); }
  const float* DZ() const { return DZ_.get(); }

  // Calls fn(const Row&) for every row of rays whose image row lies in [0, R). Without
  // `intervals` the rows carry the rays' origins only (a and b are not set).
  template <class F>
  void forEachRow(F&& fn, bool intervals = true);

 private:
  // Rays cast together in a tilted view (see forEachRow).
  static constexpr int kTile = 64;
  // Fills the origins of the row's rays, and the intervals of rays [first, end).
  void fillRow(float sx, float sy, float sz, bool clipZ, bool intervals, int first, int end);
  void clip(const float* p, const float* prod, float d, int lo, int hi, int first, int end);

  Box box_{};
  bool empty_ = false;
  bool threeD_ = true;
  int R_ = 0, C_ = 0;
  float ux_ = 0, uy_ = 0, uz_ = 0, vx_ = 0, vy_ = 0, vz_ = 0, dx_ = 0, dy_ = 0, dz_ = 0;
  int W_ = 0, H_ = 0, N_ = 0;
  long long t0_ = 0;
  long long column0_ = 0, row0_ = 0;
  float ox_ = 0, oy_ = 0, oz_ = 0;
  int first_ = 0, end_ = 0;
  ScratchArray<float> DX_, DY_, DZ_;
  ScratchArray<float> px_, py_, pz_;
  ScratchArray<int> a_, b_;
};

template <class F>
void View::forEachRow(F&& fn, bool intervals) {
  if (empty_ || W_ == 0) return;
  Row row{0, first_, end_, column0_, px_.get(), py_.get(), pz_.get(), a_.get(), b_.get(), -1};
  if (!threeD_) {
    // The rays are the same in every frame: one set, drawn once per frame of the box.
    fillRow(ox_, oy_, oz_, false, intervals, first_, end_);
    for (int j = 0; j < H_; ++j) {
      const long long r = row0_ - j;
      if (r < 0 || r >= R_) continue;
      row.imageRow = static_cast<int>(r);
      row.zConst = box_.z0 + j;
      fn(row);
    }
    return;
  }
  // A tilted view crosses frames along every ray, and one row of rays sweeps a slanted plane
  // through the whole box (about 1.4 MB of cache lines for the standard volume at (30, 20)),
  // which the next row, one voxel further, mostly reads again. The rays are therefore cast in
  // columns of kTile rays, every row of one column before the next column, so that the lines
  // a row reads are still cached for the rows after it. Without tilt a row stays in one frame
  // and is cast whole. The viewer's redraws of the standard volume while dragging: 36 ms CPU
  // with whole rows, 24 ms in columns of 64 (16: 26 ms).
  const bool tilted = !(dz_ == 0.0f && uz_ == 0.0f);
  const int tile = tilted ? kTile : end_ - first_;
  for (int t = first_; t < end_; t += tile) {
    row.first = t;
    row.end = std::min(end_, t + tile);
    float sx = ox_, sy = oy_, sz = oz_;
    for (int j = 0; j < H_; ++j, sx += vx_, sy += vy_, sz += vz_) {
      const long long r = row0_ - j;
      if (r < 0 || r >= R_) continue;
      fillRow(sx, sy, sz, true, intervals, row.first, row.end);
      row.imageRow = static_cast<int>(r);
      row.zConst = -1;
      // Without tilt every ray of the row stays in one frame; a frame outside the box has
      // given every ray an empty interval, so the clamp only keeps the conversion defined.
      if (!tilted) row.zConst = static_cast<int>(sz < 0.0f ? 0.0f : sz > 2.0e9f ? 2.0e9f : sz);
      fn(row);
    }
  }
}

// Calls visit(k, z, y, x) for the steps of ray i of `row` inside the box, in order, until it
// returns true.
template <bool kZConst, class Visit>
inline void walkRay(const View& view, const View::Row& row, int i, Visit&& visit) {
  const float px = row.px[i], py = row.py[i], pz = row.pz[i];
  const float* DX = view.DX();
  const float* DY = view.DY();
  const float* DZ = view.DZ();
  const int zc = row.zConst;
  for (int k = row.a[i], end = row.b[i]; k < end; ++k) {
    const int x = static_cast<int>(px + DX[k]);
    const int y = static_cast<int>(py + DY[k]);
    const int z = kZConst ? zc : static_cast<int>(pz + DZ[k]);
    if (visit(k, z, y, x)) return;
  }
}

// The channel storage of a UC volume, (z, y, x) addressed.
struct Channels {
  UC*** ch[3] = {nullptr, nullptr, nullptr};
  int count = 1;
  explicit Channels(const Volume& v) : count(channelCount(v)) {
    for (int c = 0; c < count; ++c) ch[c] = channelData<UC>(v, c);
  }
};

// Calls f(channels, zConst) with both as compile-time constants (std::integral_constant), so
// that each rule's inner loop is made for one or three channels and for rows that stay in one
// frame.
template <class F>
inline void dispatchRay(int channels, bool zConst, F&& f) {
  using One = std::integral_constant<int, 1>;
  using Three = std::integral_constant<int, 3>;
  if (channels == 1) {
    if (zConst)
      f(One{}, std::true_type{});
    else
      f(One{}, std::false_type{});
  } else {
    if (zConst)
      f(Three{}, std::true_type{});
    else
      f(Three{}, std::false_type{});
  }
}

// The first step of ray i where a channel exceeds its threshold: its step, and its position
// in (z, y, x); false when the ray has none.
template <int kChannels, bool kZConst>
inline bool firstHit(const View& view, const View::Row& row, int i, const Channels& v,
                     const unsigned char* thresholds, int& step, int& z, int& y, int& x) {
  bool hit = false;
  walkRay<kZConst>(view, row, i, [&](int k, int pz, int py, int px) {
    for (int c = 0; c < kChannels; ++c)
      if (v.ch[c][pz][py][px] > thresholds[c]) {
        hit = true;
        step = k, z = pz, y = py, x = px;
        return true;
      }
    return false;
  });
  return hit;
}

}  // namespace v3d::proj
