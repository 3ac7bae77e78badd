// Raw volume files, raw frame files and the text dump.
//
// Samples on disk are the in-memory samples byte for byte, F and I little-endian, with no
// header. A raw volume file holds channel 1's frames, then channel 2's, then channel 3's;
// each frame row after row. A raw frame file holds one frame of one channel. Readers fill an
// existing volume and never resize it; a read that fails part-way keeps what it read.
#include "core/raw_files.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "core/alloc.h"
#include "core/frame_names.h"
#include "core/samples.h"
#include "core/stdio_file.h"
#include "core/volume.h"

namespace v3d {
namespace {

// On a big-endian host the 4-byte samples are swapped to and from their little-endian file
// form; on little-endian hosts this is the identity and the loops vanish.
void toFileOrder(unsigned char* bytes, std::size_t count, std::size_t size) {
  if constexpr (std::endian::native == std::endian::big) {
    if (size == 4)
      for (std::size_t i = 0; i < count; ++i) {
        unsigned char* p = bytes + 4 * i;
        std::swap(p[0], p[3]);
        std::swap(p[1], p[2]);
      }
  } else {
    (void)bytes, (void)count, (void)size;
  }
}

unsigned char* rowBytes(const Volume& v, int c, int z, int y) {
  return static_cast<unsigned char*>(channelData<void>(v, c)[z][y]);
}

// Reads `rows` rows of `X` samples from `f` into rows 0.. of frame z of channel c.
int readFrameRows(std::FILE* f, const Volume& v, int c, int z, int rows, int X,
                  unsigned char* buffer, std::size_t L) {
  const std::size_t size = sampleSize(v.dataType);
  for (int y = 0; y < rows; ++y) {
    if (std::fread(buffer, 1, L, f) != L) return kFreadError;
    toFileOrder(buffer, static_cast<std::size_t>(X), size);
    std::memcpy(rowBytes(v, c, z, y), buffer, L);
  }
  return 0;
}

int writeFrameRows(std::FILE* f, const Volume& v, int c, int z, unsigned char* buffer,
                   std::size_t L) {
  const std::size_t size = sampleSize(v.dataType);
  for (int y = 0; y < v.Y; ++y) {
    std::memcpy(buffer, rowBytes(v, c, z, y), L);
    toFileOrder(buffer, static_cast<std::size_t>(v.X), size);
    if (std::fwrite(buffer, 1, L, f) != L) return kFwriteError;
  }
  return 0;
}

// The reader's shape checks: non-negative request, inside the volume.
int checkReadShape(const Volume& v, int N, int Y, int X) {
  if (N < 0 || Y < 0 || X < 0) return kInvalidParameters;
  if (N > v.Z || Y > v.Y || X > v.X) return kInvalidInputDimensions;
  return 0;
}

// Frame numbers first .. first + count - 1 must be representable.
bool frameNumbersFit(int first, int count) {
  return static_cast<long long>(first) + count - 1 <= INT32_MAX;
}

}  // namespace

std::string frameFileName(const char* base, int frame, int digits, const char* extension) {
  const char* b = base ? base : "";
  const char* e = extension ? extension : "";
  const int n = digits > 0 ? std::snprintf(nullptr, 0, "%s%0*d.%s", b, digits, frame, e)
                           : std::snprintf(nullptr, 0, "%s%d.%s", b, frame, e);
  std::string name(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (digits > 0)
    std::snprintf(name.data(), name.size() + 1, "%s%0*d.%s", b, digits, frame, e);
  else
    std::snprintf(name.data(), name.size() + 1, "%s%d.%s", b, frame, e);
  return name;
}

}  // namespace v3d

using namespace v3d;

extern "C" {

int ReadVolume(Volume* volume, const char* name, int skip, int N, int Y, int X) {
  int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR);
  if (code != 0) return code;
  if ((code = checkReadShape(*volume, N, Y, X)) != 0) return code;
  if (skip < 0) return kInvalidParameters;
  const std::size_t L = static_cast<std::size_t>(X) * sampleSize(volume->dataType);
  File f = openFile(name, "rb");
  if (!f) return kFopenError;
  const long long offset = static_cast<long long>(skip) * Y * static_cast<long long>(L);
  if (fseeko(f.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return kFreadError;
  ScratchArray<unsigned char> buffer(L);
  if (!buffer) return kCannotAllocateBuffer;
  for (int c = 0; c < channelCount(*volume); ++c)
    for (int z = 0; z < N; ++z)
      if ((code = readFrameRows(f.get(), *volume, c, z, Y, X, buffer.get(), L)) != 0) return code;
  return 0;
}

int WriteVolume(Volume* volume, const char* name, int first, int count) {
  const int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR);
  if (code != 0) return code;
  if (first < 0 || count < 0 || static_cast<long long>(first) + count > volume->Z)
    return kInvalidParameters;
  const std::size_t L = static_cast<std::size_t>(volume->X) * sampleSize(volume->dataType);
  File f = openFile(name, "wb");
  if (!f) return kFopenError;
  ScratchArray<unsigned char> buffer(L);
  if (!buffer) return kCannotAllocateBuffer;
  for (int c = 0; c < channelCount(*volume); ++c)
    for (int z = first; z < first + count; ++z)
      if (int e = writeFrameRows(f.get(), *volume, c, z, buffer.get(), L); e != 0) return e;
  if (std::fflush(f.get()) != 0) return kFwriteError;
  return 0;
}

int fromdiskUCFI3D(Volume* volume, const char* base, int first, int digits, char** extensions,
                   int N, int Y, int X) {
  int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR);
  if (code != 0) return code;
  if ((code = checkReadShape(*volume, N, Y, X)) != 0) return code;
  if (extensions == nullptr || base == nullptr || !frameNumbersFit(first, N)) return kFopenError;
  const std::size_t L = static_cast<std::size_t>(X) * sampleSize(volume->dataType);
  for (int c = 0; c < channelCount(*volume); ++c) {
    ScratchArray<unsigned char> buffer(L);
    if (!buffer) return kCannotAllocateBuffer;
    if (extensions[c] == nullptr) return kFopenError;
    for (int k = 0; k < N; ++k) {
      File f = openFile(frameFileName(base, first + k, digits, extensions[c]).c_str(), "rb");
      if (!f) return kFopenError;
      if ((code = readFrameRows(f.get(), *volume, c, k, Y, X, buffer.get(), L)) != 0) return code;
    }
  }
  return 0;
}

int todiskUCFI3D(Volume* volume, const char* base, int first, int digits, char** extensions) {
  const int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR);
  if (code != 0) return code;
  if (extensions == nullptr || base == nullptr || !frameNumbersFit(first, volume->Z))
    return kFopenError;
  const int channels = channelCount(*volume);
  for (int c = 0; c < channels; ++c)
    if (extensions[c] == nullptr) return kFopenError;
  const std::size_t L = static_cast<std::size_t>(volume->X) * sampleSize(volume->dataType);
  ScratchArray<unsigned char> buffer(L);
  if (!buffer) return kCannotAllocateBuffer;
  for (int c = 0; c < channels; ++c)
    for (int k = 0; k < volume->Z; ++k) {
      File f = openFile(frameFileName(base, first + k, digits, extensions[c]).c_str(), "wb");
      if (!f) return kFopenError;
      if (int e = writeFrameRows(f.get(), *volume, c, k, buffer.get(), L); e != 0) return e;
      if (std::fflush(f.get()) != 0) return kFwriteError;
    }
  return 0;
}

int dumpUCFI3D(Volume* volume, const char* name) {
  const int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR);
  if (code != 0) return code;
  File f = openFile(name, "w");
  if (!f) return kFopenError;
  const Box b = voiOf(*volume);
  return withSampleType(volume->dataType, [&](auto tag) -> int {
    using T = typename decltype(tag)::type;
    for (int c = 0; c < channelCount(*volume); ++c) {
      T*** ch = channelData<T>(*volume, c);
      for (int z = b.z0; z < b.z1; ++z) {
        for (int y = b.y0; y < b.y1; ++y) {
          const T* row = ch[z][y];
          for (int x = b.x0; x < b.x1; ++x) {
            int n;
            if constexpr (std::is_same_v<T, UC>)
              n = std::fprintf(f.get(), "%3u ", static_cast<unsigned>(row[x]));
            else if constexpr (std::is_same_v<T, float>)
              n = std::fprintf(f.get(), "%.3f ", static_cast<double>(row[x]));
            else
              n = std::fprintf(f.get(), "%d ", static_cast<int>(row[x]));
            if (n < 0) return kFwriteError;
          }
          std::fputc('\n', f.get());
        }
        std::fputc('\n', f.get());
      }
      std::fputc('\n', f.get());
    }
    return std::fflush(f.get()) != 0 ? kFwriteError : 0;
  });
}

}  // extern "C"
