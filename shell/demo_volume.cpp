#include "shell/demo_volume.h"

#include <cstring>

#include "core/samples.h"

namespace v3d::shell {

int createDemoVolume(Volume** out) {
  Volume* v = nullptr;
  if (int code = CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, kDemoZ, kDemoY, kDemoX, nullptr, &v);
      code != 0)
    return code;
  struct Sphere {
    float z, y, x, r;
    UC level;
  };
  const Sphere spheres[] = {{32, 64, 64, 26, 120}, {24, 50, 44, 14, 200}, {40, 80, 86, 16, 250},
                            {30, 86, 40, 9, 170},  {14, 36, 90, 8, 220}};
  UC*** s = channelData<UC>(*v, 0);
  for (int z = 0; z < v->Z; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x) {
        UC value = static_cast<UC>(10 + (x + y) / 8);  // background gradient, 10..41
        for (const Sphere& p : spheres) {
          const float dz = z - p.z, dy = y - p.y, dx = x - p.x;
          if (dz * dz + dy * dy + dx * dx <= p.r * p.r) value = p.level;
        }
        s[z][y][x] = value;
      }
  std::strcpy(v->information, "Demo phantom");
  if (out != nullptr) *out = v;
  return 0;
}

}  // namespace v3d::shell
