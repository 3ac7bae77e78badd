// Writes the standard benchmark volume (or its binary variant) as a raw UC volume file, so
// that the peer scripts run their libraries on exactly the samples our benchmarks use.
//
//   v3d_write_standard_volume FILE [--binary]
#include <cstdio>
#include <cstring>

#include "core/messages.h"
#include "core/raw_files.h"
#include "standard_volume.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [--binary]\n", argv[0]);
    return 2;
  }
  Volume v{};
  InitializeVolume(&v, v3d::bench::kZ, v3d::bench::kY, v3d::bench::kX, V3D_UC, V3D_ONE_CHANNEL);
  if (int code = CreateVolume(&v); code != 0) return error_handler(code), 1;
  v3d::bench::fillStandard(v);
  if (argc > 2 && std::strcmp(argv[2], "--binary") == 0) v3d::bench::binaryVariant(v);
  const int code = WriteVolume(&v, argv[1], 0, v.Z);
  DestroyVolume(&v);
  if (code != 0) return error_handler(code), 1;
  return 0;
}
