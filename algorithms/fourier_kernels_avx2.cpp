// The transform kernels for AVX2 with fused multiply-add (8 lanes), used when the processor has it.
#include "algorithms/fourier_engine.h"

#if defined(__x86_64__) || defined(__i386__)

// Everything the kernels include is declared before the target changes, so that only the
// kernels themselves are compiled for the wider instruction set.
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif

#define V3D_FFT_TARGET avx2
#define V3D_FFT_LANES 8
#include "algorithms/fourier_kernels.h"

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace v3d::fft {
const Kernels* avx2Kernels() {
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") ? &avx2::kTable : nullptr;
}
}  // namespace v3d::fft

#else

namespace v3d::fft {
const Kernels* avx2Kernels() {
  return nullptr;
}
}  // namespace v3d::fft

#endif
