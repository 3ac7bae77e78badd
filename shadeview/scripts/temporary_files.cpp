// Names and lifetimes of the temporary chain and stitch files, and the "-Build &Lines Script"
// run that uses them.
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "shadeview/scripts/scripts.h"

namespace v3d::shade {

std::string TemporaryFileName(const std::string& prefix, int z) {
  char digits[16];
  std::snprintf(digits, sizeof digits, ".%02d", z);
  return prefix + digits;
}

void DeleteTemporaryFiles(const char* prefix, int z0, int z1) {
  if (prefix == nullptr) return;
  for (int z = z0; z <= z1; ++z)
    if (std::remove(TemporaryFileName(prefix, z).c_str()) != 0) break;
}

ScratchFolder::ScratchFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/velmora3d-shade-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) != nullptr) path_ = name.data();
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::prefix(const char* name) const {
  return path_ + "/" + name;
}

int BuildLinesScript(V3dCheckVolumeFn checkVolume, Volume* volume, const char* path,
                     float distance) {
  if (path == nullptr) return kNullBasicTypePointer;
  ScratchFolder scratch;
  if (!scratch.valid()) return kFopenError;
  const std::string chains = scratch.prefix(kChainPrefix);
  ColourTable colours;
  const int objects = BuildChains(checkVolume, volume, chains.c_str(), kChainStep, &colours);
  if (objects < 0) return objects;
  const int code =
      WriteLinesScript(path, chains.c_str(), distance, volume->voiZ0, volume->voiZ1, objects + 1);
  DeleteTemporaryFiles(chains.c_str(), volume->voiZ0, volume->voiZ1);
  return code;
}

}  // namespace v3d::shade
