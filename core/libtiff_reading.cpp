#include "core/libtiff_reading.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace v3d::tiffio {
namespace {

// libtiff may not allocate more than this in one piece for a file we read.
constexpr tmsize_t kMaxLibtiffAllocation = tmsize_t{256} << 20;

void logOrDrop(const char* module, const char* format, va_list args) {
  static const bool log = std::getenv("V3D_TIFF_LOG") != nullptr;
  if (!log) return;
  std::fprintf(stderr, "libtiff: %s: ", module ? module : "");
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
}

struct OptionsDeleter {
  void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

TIFFOpenOptions* readOptions() {
  static std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options([] {
    TIFFOpenOptions* o = TIFFOpenOptionsAlloc();
    if (o) TIFFOpenOptionsSetMaxSingleMemAlloc(o, kMaxLibtiffAllocation);
    return o;
  }());
  return options.get();
}

tmsize_t memRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemoryFile*>(h);
  if (n < 0 || m->pos >= m->size) return 0;
  const toff_t k = std::min<toff_t>(static_cast<toff_t>(n), m->size - m->pos);
  std::memcpy(buf, m->data + m->pos, k);
  m->pos += k;
  return static_cast<tmsize_t>(k);
}
tmsize_t memWrite(thandle_t, void*, tmsize_t) {
  return kIoFailed;
}
toff_t memSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemoryFile*>(h);
  const toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
  m->pos = base + off;  // unsigned: a negative offset arrives as its two's complement
  return m->pos;
}
int memClose(thandle_t) {
  return 0;
}
toff_t memSize(thandle_t h) {
  return static_cast<MemoryFile*>(h)->size;
}
// Mapped like a file opened by name, so that libtiff takes the same reading paths.
int memMap(thandle_t h, void** base, toff_t* size) {
  auto* m = static_cast<MemoryFile*>(h);
  *base = const_cast<std::uint8_t*>(m->data);
  *size = m->size;
  return 1;
}
void memUnmap(thandle_t, void*, toff_t) {}

}  // namespace

void silenceLibtiff() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(logOrDrop);
    TIFFSetWarningHandler(logOrDrop);
  });
}

Tiff openFileForReading(const char* name) {
  silenceLibtiff();
  if (name == nullptr) return nullptr;
  return Tiff(TIFFOpenExt(name, "r", readOptions()));
}

Tiff openMemory(MemoryFile& m) {
  silenceLibtiff();
  return Tiff(TIFFClientOpenExt("memory", "r", &m, memRead, memWrite, memSeek, memClose, memSize,
                                memMap, memUnmap, readOptions()));
}

}  // namespace v3d::tiffio
