#include "core/alloc.h"

#include <cstdlib>

namespace v3d {
namespace {
long g_successesLeft = -1;
long g_live = 0;
}

void* allocateZeroed(std::size_t bytes) {
  if (g_successesLeft == 0) return nullptr;
  void* p = std::calloc(bytes == 0 ? 1 : bytes, 1);
  if (p != nullptr) {
    ++g_live;
    if (g_successesLeft > 0) --g_successesLeft;
  }
  return p;
}

void releaseStorage(void* block) {
  if (block != nullptr) --g_live;
  std::free(block);
}

long liveStorageBlocks() { return g_live; }

void failAllocationsAfter(long successes) { g_successesLeft = successes; }

}  // namespace v3d
