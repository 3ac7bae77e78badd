// What every libtiff reader of ours shares: libtiff's messages silenced (shown on standard
// error when V3D_TIFF_LOG is set), a cap on libtiff's single allocations, an owned TIFF
// handle, and files opened by name or decoded from bytes in memory through libtiff's client
// I/O. Used by the image-sequence reader and the TIFF stack reader.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>

namespace v3d::tiffio {

// What a client read or write callback answers when it fails.
inline constexpr tmsize_t kIoFailed = -1;

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

// Replaces libtiff's error and warning handlers once per process.
void silenceLibtiff();

// A TIFF file held in memory; it must outlive the handle opened on it.
struct MemoryFile {
  const std::uint8_t* data;
  toff_t size, pos;
};

// Null on failure (a null name opens nothing).
Tiff openFileForReading(const char* name);
Tiff openMemory(MemoryFile& m);

}  // namespace v3d::tiffio
