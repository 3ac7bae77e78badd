// The transform kernels for the baseline instruction set (4 lanes).
#define V3D_FFT_TARGET generic
#define V3D_FFT_LANES 4
#include "algorithms/fourier_kernels.h"

namespace v3d::fft {
const Kernels* genericKernels() {
  return &generic::kTable;
}
}  // namespace v3d::fft
