#include "shell/work_progress.h"

#include <algorithm>

namespace v3d::shell {
namespace {
std::vector<const Volume*> g_written;
}  // namespace

bool volumeBeingWritten(const Volume* volume) {
  return std::find(g_written.begin(), g_written.end(), volume) != g_written.end();
}

WritingVolumes::WritingVolumes(const std::vector<const Volume*>& volumes) : count_(volumes.size()) {
  g_written.insert(g_written.end(), volumes.begin(), volumes.end());
}

WritingVolumes::~WritingVolumes() {
  g_written.resize(g_written.size() - count_);
}

}  // namespace v3d::shell
