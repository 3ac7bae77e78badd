// The transform kernels for AVX-512 (16 lanes), used when the processor has it.
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
#pragma clang attribute push(__attribute__((target("avx512f,avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx2,fma")
#endif

#define V3D_FFT_TARGET avx512
#define V3D_FFT_LANES 16
#include "algorithms/fourier_kernels.h"

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace v3d::fft {
const Kernels* avx512Kernels() {
  return __builtin_cpu_supports("avx512f") ? &avx512::kTable : nullptr;
}
}  // namespace v3d::fft

#else

namespace v3d::fft {
const Kernels* avx512Kernels() {
  return nullptr;
}
}  // namespace v3d::fft

#endif
