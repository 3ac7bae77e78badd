// Order statistics of a few samples for many voxels at once, with a pruned sorting network
// run on rows of lanes (one lane per voxel), so that every compare-exchange is a
// branch-free vector minimum and maximum.
//
// The network is Batcher's odd-even merge sort on the next power of two P >= n inputs; the
// P - n extra inputs are 255, larger than or equal to every sample, so element k < n of the
// sorted n samples is element k of the sorted P wires. Exchanges whose larger side is still
// such a padding 255 cannot change anything and are dropped, an exchange with a padding
// smaller side is a relabelling, and exchanges that no requested element depends on are
// dropped too.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace v3d {

class SelectionNetwork {
 public:
  static constexpr int kLanes = 64;

  // Selects elements `wanted` of the sorted values of wires 0..n-1.
  SelectionNetwork(int n, std::vector<int> wanted) : inputs_(n) {
    int p = 1;
    while (p < n) p *= 2;
    wires_ = p;
    std::vector<std::pair<int, int>> full;
    for (int span = 1; span < p; span *= 2)
      for (int k = span; k >= 1; k /= 2)
        for (int j = k % span; j + k < p; j += 2 * k)
          for (int i = 0; i < std::min(k, p - j - k); ++i)
            if ((i + j) / (2 * span) == (i + j + k) / (2 * span))
              full.emplace_back(i + j, i + j + k);
    // Forward: drop or relabel exchanges that involve padding wires.
    std::vector<int> slot(p);
    std::vector<bool> pad(p);
    for (int w = 0; w < p; ++w) slot[w] = w, pad[w] = w >= n;
    std::vector<std::pair<int, int>> kept;
    for (auto [i, j] : full) {
      if (pad[j]) continue;
      if (pad[i]) {
        std::swap(slot[i], slot[j]);
        pad[i] = false;
        pad[j] = true;
        continue;
      }
      kept.emplace_back(slot[i], slot[j]);
    }
    // Backward: keep the exchanges that a requested element depends on, and which of their
    // two results is needed.
    std::vector<bool> live(p, false);
    for (int k : wanted) {
      outputs_.push_back(slot[k]);
      live[slot[k]] = true;
    }
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
      const auto [i, j] = *it;
      if (!live[i] && !live[j]) continue;
      steps_.push_back({i, j, static_cast<bool>(live[i]), static_cast<bool>(live[j])});
      live[i] = live[j] = true;
    }
    std::reverse(steps_.begin(), steps_.end());
  }

  int inputs() const { return inputs_; }
  // Rows of kLanes lanes the caller provides: wires() * kLanes bytes; rows inputs()..wires()-1
  // are filled with 255 by pad().
  int wires() const { return wires_; }
  // The row holding element wanted[k] after run().
  int output(std::size_t k) const { return outputs_[k]; }

  void pad(std::uint8_t* rows) const {
    std::fill(rows + static_cast<std::size_t>(inputs_) * kLanes,
              rows + static_cast<std::size_t>(wires_) * kLanes, std::uint8_t{255});
  }

  void run(std::uint8_t* rows) const {
    for (const Step& s : steps_) {
      std::uint8_t* a = rows + s.low * kLanes;
      std::uint8_t* b = rows + s.high * kLanes;
      if (s.needLow && s.needHigh)
        exchange(a, b);
      else if (s.needLow)
        keepMin(a, b);
      else
        keepMax(a, b);
    }
  }

 private:
  struct Step {
    int low, high;
    bool needLow, needHigh;
  };
  static void exchange(std::uint8_t* __restrict a, std::uint8_t* __restrict b) {
    // Three simple loops: GCC vectorises each of them, not a loop with two stores.
    std::uint8_t low[kLanes];
    for (int l = 0; l < kLanes; ++l) low[l] = std::min(a[l], b[l]);
    for (int l = 0; l < kLanes; ++l) b[l] = std::max(a[l], b[l]);
    for (int l = 0; l < kLanes; ++l) a[l] = low[l];
  }
  static void keepMin(std::uint8_t* __restrict a, const std::uint8_t* __restrict b) {
    for (int l = 0; l < kLanes; ++l) a[l] = std::min(a[l], b[l]);
  }
  static void keepMax(const std::uint8_t* __restrict a, std::uint8_t* __restrict b) {
    for (int l = 0; l < kLanes; ++l) b[l] = std::max(a[l], b[l]);
  }

  int inputs_ = 0, wires_ = 1;
  std::vector<Step> steps_;
  std::vector<int> outputs_;
};

}  // namespace v3d
