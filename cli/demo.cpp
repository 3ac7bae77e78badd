// velmora3d-demo: builds a small volume in the volume table, writes it as a raw volume file
// and prints the text dump of its first frame.
//
//   velmora3d-demo [output-directory]
#include <cstdio>
#include <string>

#include "core/messages.h"
#include "core/raw_files.h"
#include "core/samples.h"
#include "core/volume.h"

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : ".";
  Volume* v = nullptr;
  if (int code = CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 4, 8, 12, "demo", &v); code != 0) {
    error_handler(code);
    return 1;
  }
  // A diagonal ramp that changes from frame to frame.
  v3d::UC*** s = v3d::channelData<v3d::UC>(*v, 0);
  for (int z = 0; z < v->Z; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x) s[z][y][x] = static_cast<v3d::UC>((x + y) * 10 + z * 3);

  const std::string raw = dir + "/demo.rv";
  if (int code = WriteVolume(v, raw.c_str(), 0, v->Z); code != 0) {
    error_handler(code);
    return 1;
  }
  std::printf("vol %d: %d frames of %d x %d UC samples written to %s\n", GetVolumeIndex(v), v->Z,
              v->Y, v->X, raw.c_str());

  fill_in_VOI(v, 0, 1, 0, v->Y, 0, v->X);
  const std::string dump = dir + "/demo-frame0.txt";
  if (int code = dumpUCFI3D(v, dump.c_str()); code != 0) {
    error_handler(code);
    return 1;
  }
  std::printf("frame 0:\n");
  if (std::FILE* f = std::fopen(dump.c_str(), "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, f)) std::fputs(line, stdout);
    std::fclose(f);
  }
  DestroyVolume(v);
  return 0;
}
