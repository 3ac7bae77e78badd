#include "motionfield/help.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

#include "motionfield/options.h"

namespace v3d::motion::module {
namespace {

struct ControlTopic {
  int control;
  int topic;
};
constexpr ControlTopic kControlTopics[] = {
    {kCtlOverlapX, 4},    {kCtlOverlapY, 4},           {kCtlSearchX, 5},
    {kCtlSearchY, 5},     {kCtlDrawField, 0},          {kCtlSubsampled, 6},
    {kCtlDisplayX, 1},    {kCtlDisplayY, 2},           {kCtlAmplitude, 3},
    {kCtlLogarithmic, 7}, {kCtlConjugateDirection, 9}, {kCtlThreeStep, 11},
    {kCtlFullSearch, 8},  {kCtlOrthogonal, 10}};

}  // namespace

int helpTopicOfControl(int controlId) {
  for (const ControlTopic& t : kControlTopics)
    if (t.control == controlId) return t.topic;
  return kNoHelpTopic;
}

std::string helpPagePath(const std::string& modulePath, int topic) {
  const std::size_t slash = modulePath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : modulePath.substr(0, slash);
  return folder + "/" + kHelpFolder + "/topic" + std::to_string(topic) + ".html";
}

std::string moduleFilePath() {
  // dladdr on a function of this file names the shared object it was loaded from (or the
  // executable, when a test links this code directly).
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&moduleFilePath), &info) == 0 || info.dli_fname == nullptr)
    return {};
  // The loader keeps the name it was given, which may be relative to the directory the
  // program was started in; resolve it while that is still the working directory.
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved) != nullptr) return resolved;
  return info.dli_fname;
}

}  // namespace v3d::motion::module
