// libFuzzer target: the rendering window's script loader on arbitrary bytes. Every input must
// load or be refused with "File parsing error"; a loaded scene must be finite where it sets
// the view's scale.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/result_codes.h"
#include "shadeview/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace v3d::shade;
  Scene scene;
  const int code = parseScene(std::string_view(reinterpret_cast<const char*>(data), size), scene);
  if (code != 0 && code != kFileParsingError) std::abort();
  if (code == 0) {
    if (!(scene.radius > 0) || std::isinf(scene.radius)) std::abort();
    volatile std::size_t sink = 0;
    for (const SceneObject& o : scene.objects) sink = sink + o.faces.size() + o.lines.size();
    (void)sink;
  }
  return 0;
}
