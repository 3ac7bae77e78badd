// The samples the Fourier benchmarks and their peers transform: a hash of the sample's
// index and a seed, mapped to [-1, 1) in steps of 2^-15, simple enough to rebuild exactly
// in numpy (bench/fourier_peers.py) and in the FFTW peer program, so every side works on
// the same data. The standard volume (standard_volume.h) serves overlap-add.
#pragma once

#include <cstddef>
#include <cstdint>

namespace v3d::bench {

inline float fourierSample(std::uint32_t seed, std::size_t index) {
  std::uint32_t h = static_cast<std::uint32_t>(index) * 2654435761u + seed * 40503u;
  h ^= h >> 15;
  h *= 2246822519u;
  h ^= h >> 13;
  return static_cast<float>(h & 0xFFFFu) / 32768.0f - 1.0f;
}

// Seeds of the benchmarks' inputs.
enum : std::uint32_t { kSeedReal = 1, kSeedImaginary = 2, kSeedKernel = 3 };

}  // namespace v3d::bench
