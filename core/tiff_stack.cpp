// TIFF stacks through libtiff: the check and read of a multi-page file, the stack writer and
// the sequence writer.
//
// Reading walks the directory chain twice on one open file: first every page's format is
// compared with the first page's (nothing is written), then each page's strips are decoded.
// A grey page whose samples already have the volume's representation (8-bit unsigned into UC,
// 32-bit signed into I, 32-bit float into F) and whose width is the volume's decodes its
// strips straight into the frame's block; other pages go through one strip buffer.
//
// Writing encodes into a temporary file beside the target (mkstemp), flushes and syncs it, and
// renames it over the target only when every page is written.
//
// libtiff's warnings and errors are never shown; with V3D_TIFF_LOG set in the environment
// they go to standard error.
#include "core/tiff_stack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "core/frame_names.h"
#include "core/libtiff_reading.h"
#include "core/samples.h"

namespace v3d::tiffstack {
namespace {

using tiffio::MemoryFile;
using tiffio::openFileForReading;
using tiffio::openMemory;
using tiffio::silenceLibtiff;
using tiffio::Tiff;

// ---- Page formats ---------------------------------------------------------------------

enum class Kind { U8, S8, U16, S16, S32, F32 };

struct PageFormat {
  std::uint32_t width = 0, length = 0;
  std::uint16_t samples = 1;  // samples per pixel in the file
  bool separate = false;      // planar configuration 2
  Kind kind = Kind::U8;
  int channels = 1;
  int dataType = V3D_UC;

  std::size_t sampleBytes() const {
    switch (kind) {
      case Kind::U8:
      case Kind::S8:
        return 1;
      case Kind::U16:
      case Kind::S16:
        return 2;
      default:
        return 4;
    }
  }
  bool sameVolumeAs(const PageFormat& o) const {
    return width == o.width && length == o.length && kind == o.kind && channels == o.channels;
  }
};

int pageFormat(TIFF* t, PageFormat& f) {
  std::uint32_t width = 0, length = 0;
  if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &length))
    return kTiffDamagedPage;
  if (width == 0 || length == 0 || width > INT_MAX || length > INT_MAX) return kTiffDamagedPage;
  std::uint16_t bits = 1, samples = 1, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG,
                photometric = 0;
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
  if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric))
    photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  // At most 8 samples a pixel (RGB with extra samples): a strip buffer then holds at most
  // 32 bytes a frame sample, whatever a damaged directory claims.
  if (TIFFIsTiled(t) || samples == 0 || samples > 8) return kTiffUnsupportedSamples;
  if (photometric == PHOTOMETRIC_RGB && samples >= 3)
    f.channels = 3;
  else if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE)
    f.channels = 1;
  else
    return kTiffUnsupportedSamples;
  if (format == SAMPLEFORMAT_VOID) format = SAMPLEFORMAT_UINT;
  if (bits == 8 && format == SAMPLEFORMAT_UINT)
    f.kind = Kind::U8;
  else if (bits == 8 && format == SAMPLEFORMAT_INT)
    f.kind = Kind::S8;
  else if (bits == 16 && format == SAMPLEFORMAT_UINT)
    f.kind = Kind::U16;
  else if (bits == 16 && format == SAMPLEFORMAT_INT)
    f.kind = Kind::S16;
  else if (bits == 32 && format == SAMPLEFORMAT_INT)
    f.kind = Kind::S32;
  else if (bits == 32 && format == SAMPLEFORMAT_IEEEFP)
    f.kind = Kind::F32;
  else
    return kTiffUnsupportedSamples;
  f.dataType = f.kind == Kind::U8 ? V3D_UC : f.kind == Kind::F32 ? V3D_F : V3D_I;
  f.width = width;
  f.length = length;
  f.samples = samples;
  f.separate = planar == PLANARCONFIG_SEPARATE && samples > 1;
  return 0;
}

// Whether the current directory and every strip it names lie inside the file. libtiff takes
// a directory whose link to the next one is cut off for the last one, so a file truncated in
// a directory would otherwise read as a shorter stack.
bool pageInFile(TIFF* t) {
  const thandle_t h = TIFFClientdata(t);
  const toff_t fileSize = TIFFGetSizeProc(t)(h);
  const toff_t offset = TIFFCurrentDirOffset(t);
  const bool big = TIFFIsBigTIFF(t);
  std::uint8_t countBytes[8] = {};
  const tmsize_t countSize = big ? 8 : 2;
  if (TIFFGetSeekProc(t)(h, offset, SEEK_SET) != offset ||
      TIFFGetReadProc(t)(h, countBytes, countSize) != countSize)
    return false;
  std::uint64_t count = 0;
  for (int k = 0; k < countSize; ++k) {
    const int shift = TIFFIsBigEndian(t) ? 8 * static_cast<int>(countSize - 1 - k) : 8 * k;
    count |= std::uint64_t{countBytes[k]} << shift;
  }
  const std::uint64_t end = big ? offset + 8 + 20 * count + 8 : offset + 2 + 12 * count + 4;
  if (count > (std::uint64_t{1} << 32) || end > fileSize) return false;
  const std::uint32_t strips = TIFFNumberOfStrips(t);
  for (std::uint32_t s = 0; s < strips; ++s) {
    const std::uint64_t at = TIFFGetStrileOffset(t, s), bytes = TIFFGetStrileByteCount(t, s);
    if (at > fileSize || bytes > fileSize - at) return false;
  }
  return true;
}

// An uncompressed strip of a plain page: its rows and where its bytes lie in the file.
struct PlainStrip {
  int z;
  std::uint32_t y0, rows;
  std::uint64_t offset;
};

// Appends the strips of the current page when they hold its samples exactly as a grey frame
// of the page's sample type does (uncompressed, one sample, 8-bit or native byte order, 8-bit
// unsigned, 32-bit signed or float); false when they do not.
bool plainStrips(TIFF* t, const PageFormat& f, int z, std::vector<PlainStrip>& out) {
  std::uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
  if (compression != COMPRESSION_NONE || f.channels != 1 || f.samples != 1) return false;
  if (f.kind != Kind::U8 && f.kind != Kind::S32 && f.kind != Kind::F32) return false;
  if (f.sampleBytes() > 1 && TIFFIsByteSwapped(t)) return false;
  std::uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > f.length) rowsPerStrip = f.length;
  const std::uint32_t strips = (f.length - 1) / rowsPerStrip + 1;
  if (TIFFNumberOfStrips(t) < strips) return false;
  const std::uint64_t lineBytes = std::uint64_t{f.width} * f.sampleBytes();
  for (std::uint32_t s = 0; s < strips; ++s) {
    const std::uint32_t y0 = s * rowsPerStrip;
    const std::uint32_t rows = std::min(rowsPerStrip, f.length - y0);
    if (TIFFGetStrileByteCount(t, s) < rows * lineBytes) return false;
    out.push_back({z, y0, rows, TIFFGetStrileOffset(t, s)});
  }
  return true;
}

// Walks the directory chain from the current directory to the last, comparing every page
// with the first. Leaves the file at its last directory. With `plain`, collects the strips of
// a stack whose every page is plain (else leaves it empty).
int walkPages(TIFF* t, PageFormat& first, int& pages, std::vector<PlainStrip>* plain = nullptr) {
  if (const int code = pageFormat(t, first); code != 0) return code;
  if (!pageInFile(t)) return kTiffDamagedPage;
  bool allPlain = plain != nullptr && plainStrips(t, first, 0, *plain);
  pages = 1;
  while (!TIFFLastDirectory(t)) {
    // A next directory that cannot be read (a bad offset, a loop in the chain) is damage,
    // not the end of the stack.
    if (!TIFFReadDirectory(t)) return kTiffDamagedPage;
    PageFormat f;
    if (const int code = pageFormat(t, f); code != 0) return code;
    if (!f.sameVolumeAs(first)) return kTiffStackMismatch;
    if (!pageInFile(t)) return kTiffDamagedPage;
    if (pages == INT_MAX) return kTiffStackMismatch;
    allPlain = allPlain && plainStrips(t, f, pages, *plain);
    ++pages;
  }
  if (plain != nullptr && !allPlain) plain->clear();
  return 0;
}

int check(TIFF* t, StackInfo& info, std::vector<PlainStrip>* plain = nullptr) {
  if (t == nullptr) return kTiffError;
  PageFormat f;
  int pages = 0;
  if (const int code = walkPages(t, f, pages, plain); code != 0) return code;
  info = {pages, static_cast<int>(f.length), static_cast<int>(f.width), f.dataType,
          f.channels == 3 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL};
  return 0;
}

// ---- Decoding a page ----------------------------------------------------------------------

template <class T>
T sampleAt(const std::uint8_t* p, Kind kind) {
  switch (kind) {
    case Kind::U8:
      return static_cast<T>(*p);
    case Kind::S8:
      return static_cast<T>(static_cast<std::int8_t>(*p));
    case Kind::U16: {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      return static_cast<T>(v);
    }
    case Kind::S16: {
      std::int16_t v;
      std::memcpy(&v, p, 2);
      return static_cast<T>(v);
    }
    case Kind::S32: {
      std::int32_t v;
      std::memcpy(&v, p, 4);
      return static_cast<T>(v);
    }
    case Kind::F32: {
      float v;
      std::memcpy(&v, p, 4);
      return static_cast<T>(v);
    }
  }
  return T{};
}

template <class T>
int readPage(TIFF* t, const PageFormat& f, Volume& v, int z) {
  std::uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > f.length) rowsPerStrip = f.length;
  const std::uint32_t stripsPerPlane = (f.length - 1) / rowsPerStrip + 1;
  const int planes = f.separate ? f.channels : 1;
  if (TIFFNumberOfStrips(t) <
      static_cast<std::uint64_t>(stripsPerPlane) * (f.separate ? f.samples : 1))
    return kTiffDamagedPage;
  const std::size_t sampleBytes = f.sampleBytes();
  const std::size_t pixelStride = f.separate ? sampleBytes : sampleBytes * f.samples;
  const std::size_t lineBytes = pixelStride * f.width;
  const std::size_t width = f.width;
  // Grey samples already in the volume's representation, rows as wide as the frame's: the
  // strips are decoded straight into the frame block.
  const bool direct = f.channels == 1 && f.samples == 1 && sizeof(T) == sampleBytes &&
                      (f.kind == Kind::U8 || f.kind == Kind::S32 || f.kind == Kind::F32) &&
                      static_cast<std::uint32_t>(v.X) == f.width;
  ScratchArray<std::uint8_t> strip(direct ? 0 : lineBytes * rowsPerStrip);
  if (!direct && !strip) return kCannotAllocateBuffer;
  for (int plane = 0; plane < planes; ++plane) {
    for (std::uint32_t s = 0; s < stripsPerPlane; ++s) {
      const std::uint32_t y0 = s * rowsPerStrip;
      const std::uint32_t rows = std::min(rowsPerStrip, f.length - y0);
      const tmsize_t want = static_cast<tmsize_t>(rows * lineBytes);
      const std::uint32_t index = static_cast<std::uint32_t>(plane) * stripsPerPlane + s;
      if (direct) {
        T* target = channelData<T>(v, 0)[z][y0];
        if (TIFFReadEncodedStrip(t, index, target, want) != want) return kTiffDamagedPage;
        continue;
      }
      if (TIFFReadEncodedStrip(t, index, strip.get(), want) != want) return kTiffDamagedPage;
      for (std::uint32_t k = 0; k < rows; ++k) {
        const std::uint8_t* line = strip.get() + k * lineBytes;
        for (int c = 0; c < f.channels; ++c) {
          if (f.separate && c != plane) continue;
          T* out = channelData<T>(v, c)[z][y0 + k];
          const std::uint8_t* p = line + (f.separate ? 0 : c * sampleBytes);
          for (std::size_t x = 0; x < width; ++x, p += pixelStride) out[x] = sampleAt<T>(p, f.kind);
        }
      }
    }
  }
  return 0;
}

int read(TIFF* t, Volume* volume) {
  if (const int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR); code != 0) return code;
  if (t == nullptr) return kTiffError;
  StackInfo info;
  std::vector<PlainStrip> plain;
  if (const int code = check(t, info, &plain); code != 0) return code;
  if (volume->dataType != info.dataType) return kWrongDataType;
  if (channelCount(*volume) != (info.colorType == V3D_THREE_CHANNELS ? 3 : 1))
    return kWrongColorType;
  if (volume->Z < info.pages || volume->Y < info.rows || volume->X < info.columns)
    return kInvalidInputDimensions;
  if (!plain.empty() && volume->X == info.columns) {
    // Plain strips go from the file straight into the frames, without a second walk through
    // the directories: the benchmark stack (128 pages of 256 x 256 grey) reads, its check
    // included, in 1.7 ms so and in 3.1 ms through libtiff's strip reader.
    const thandle_t h = TIFFClientdata(t);
    const std::size_t lineBytes =
        sampleSize(volume->dataType) * static_cast<std::size_t>(info.columns);
    for (const PlainStrip& s : plain) {
      auto* target = static_cast<std::uint8_t*>(channelData<void>(*volume, 0)[s.z][s.y0]);
      const tmsize_t bytes = static_cast<tmsize_t>(s.rows * lineBytes);
      if (TIFFGetSeekProc(t)(h, s.offset, SEEK_SET) != s.offset ||
          TIFFGetReadProc(t)(h, target, bytes) != bytes)
        return kTiffDamagedPage;
    }
    return 0;
  }
  if (!TIFFSetDirectory(t, 0)) return kTiffDamagedPage;
  return withSampleType(volume->dataType, [&](auto tag) -> int {
    using T = typename decltype(tag)::type;
    for (int z = 0; z < info.pages; ++z) {
      if (z > 0 && !TIFFReadDirectory(t)) return kTiffDamagedPage;
      PageFormat f;
      if (pageFormat(t, f) != 0) return kTiffDamagedPage;
      if (const int code = readPage<T>(t, f, *volume, z); code != 0) return code;
    }
    return 0;
  });
}

// ---- Writing ----------------------------------------------------------------------------

bool validCompression(int c) {
  return c == COMPRESSION_NONE || c == COMPRESSION_LZW || c == COMPRESSION_ADOBE_DEFLATE;
}

// Encodes frames b.z0 .. b.z1 - 1 of the box as pages.
template <class T>
int encodePages(TIFF* t, const Volume& v, const Box& b, int compression) {
  const int channels = channelCount(v);
  const std::size_t width = static_cast<std::size_t>(b.width());
  const std::size_t lineBytes = width * channels * sizeof(T);
  // About 64 KB a strip: one strip per page for the benchmark's 256 x 256 grey frames.
  const std::uint32_t rowsPerStrip = static_cast<std::uint32_t>(
      std::clamp<std::size_t>((std::size_t{1} << 16) / lineBytes, 1, b.height()));
  // Grey rows that lie back to back in the frame block (the VOI spans the full width) are
  // encoded from the frame itself.
  const bool direct = channels == 1 && b.x0 == 0 && b.x1 == v.X;
  ScratchArray<std::uint8_t> strip(direct ? 0 : lineBytes * rowsPerStrip);
  if (!direct && !strip) return kCannotAllocateBuffer;
  const int format = std::is_same_v<T, float>          ? SAMPLEFORMAT_IEEEFP
                     : std::is_same_v<T, std::int32_t> ? SAMPLEFORMAT_INT
                                                       : SAMPLEFORMAT_UINT;
  for (int z = b.z0; z < b.z1; ++z) {
    if (!TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width)) ||
        !TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(b.height())) ||
        !TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<int>(8 * sizeof(T))) ||
        !TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, channels) ||
        !TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, format) ||
        !TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                      channels == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK) ||
        !TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) ||
        !TIFFSetField(t, TIFFTAG_COMPRESSION, compression) ||
        !TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) ||
        !TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip))
      return kCannotWriteFile;
    if (b.z1 - b.z0 > 1) {
      TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
      TIFFSetField(t, TIFFTAG_PAGENUMBER, static_cast<std::uint16_t>(std::min(z - b.z0, 65535)),
                   static_cast<std::uint16_t>(std::min(b.z1 - b.z0, 65535)));
    }
    for (int y0 = b.y0, s = 0; y0 < b.y1; y0 += static_cast<int>(rowsPerStrip), ++s) {
      const int rows = std::min<int>(static_cast<int>(rowsPerStrip), b.y1 - y0);
      const tmsize_t bytes = static_cast<tmsize_t>(rows * lineBytes);
      void* data;
      if (direct) {
        data = channelData<T>(v, 0)[z][y0];
      } else {
        for (int k = 0; k < rows; ++k) {
          T* out = reinterpret_cast<T*>(strip.get() + k * lineBytes);
          for (int c = 0; c < channels; ++c) {
            const T* in = channelData<T>(v, c)[z][y0 + k] + b.x0;
            for (std::size_t x = 0; x < width; ++x) out[x * channels + c] = in[x];
          }
        }
        data = strip.get();
      }
      // Without a predictor libtiff only reads the data it is given.
      if (TIFFWriteEncodedStrip(t, static_cast<std::uint32_t>(s), data, bytes) != bytes)
        return kCannotWriteFile;
    }
    if (!TIFFWriteDirectory(t)) return kCannotWriteFile;
  }
  return 0;
}

// The folder part of a path, for the temporary file ("" for the current folder).
std::string temporaryTemplate(const std::string& name) {
  const auto slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
  return folder + "." + file + ".partXXXXXX";
}

// Writes box `b` of `v` into `name` through a temporary file in the same folder.
int writeFile(const Volume& v, const Box& b, const char* name, int compression) {
  silenceLibtiff();
  if (name == nullptr || *name == '\0') return kCannotWriteFile;
  std::string temporary = temporaryTemplate(name);
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return kCannotWriteFile;
  // mkstemp makes the file private; the finished file gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  const double bytes = static_cast<double>(b.depth()) * b.height() * b.width() * channelCount(v) *
                       static_cast<double>(sampleSize(v.dataType));
  // Classic TIFF offsets stop at 4 GiB; a larger stack (or one that compression could not
  // shrink below it) is written as BigTIFF.
  const char* mode = bytes > 3.5e9 ? "w8" : "w";
  int code;
  {
    Tiff t(TIFFFdOpen(fd, temporary.c_str(), mode));
    if (!t) {
      ::close(fd);
      ::unlink(temporary.c_str());
      return kCannotWriteFile;
    }
    code = withSampleType(v.dataType, [&](auto tag) {
      return encodePages<typename decltype(tag)::type>(t.get(), v, b, compression);
    });
    if (code == 0 && !TIFFFlush(t.get())) code = kCannotWriteFile;
    if (code == 0 && ::fsync(fd) != 0) code = kCannotWriteFile;
  }  // TIFFClose closes fd
  if (code == 0 && ::rename(temporary.c_str(), name) != 0) code = kCannotWriteFile;
  if (code != 0) ::unlink(temporary.c_str());
  return code;
}

int checkForWriting(Volume* volume, int compression) {
  if (const int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR); code != 0) return code;
  if (!validCompression(compression)) return kInvalidParameters;
  const Box b = voiOf(*volume);
  if (b.z0 < 0 || b.y0 < 0 || b.x0 < 0 || b.z1 > volume->Z || b.y1 > volume->Y ||
      b.x1 > volume->X || b.depth() <= 0 || b.height() <= 0 || b.width() <= 0)
    return kInvalidVoi;
  return 0;
}

}  // namespace

int checkMemory(const std::uint8_t* data, std::size_t size, StackInfo& info) {
  if (data == nullptr) return kTiffError;
  MemoryFile m{data, size, 0};
  Tiff t = openMemory(m);
  return check(t.get(), info);
}

int readMemory(const std::uint8_t* data, std::size_t size, Volume* volume) {
  if (data == nullptr) return kTiffError;
  MemoryFile m{data, size, 0};
  Tiff t = openMemory(m);
  return read(t.get(), volume);
}

}  // namespace v3d::tiffstack

using namespace v3d;
using namespace v3d::tiffstack;

extern "C" {

int CheckTiffStack(const char* fileName, int* Z, int* Y, int* X, int* dataType, int* colorType) {
  if (Z == nullptr || Y == nullptr || X == nullptr || dataType == nullptr || colorType == nullptr)
    return kNullBasicTypePointer;
  Tiff t = openFileForReading(fileName);
  StackInfo info;
  if (const int code = check(t.get(), info); code != 0) return code;
  *Z = info.pages;
  *Y = info.rows;
  *X = info.columns;
  *dataType = info.dataType;
  *colorType = info.colorType;
  return 0;
}

int ReadTiffStack(Volume* volume, const char* fileName) {
  if (const int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR); code != 0) return code;
  Tiff t = openFileForReading(fileName);
  return read(t.get(), volume);
}

int WriteTiffStack(Volume* volume, const char* fileName, int compression) {
  if (const int code = checkForWriting(volume, compression); code != 0) return code;
  return writeFile(*volume, voiOf(*volume), fileName, compression);
}

int WriteTiffSequence(Volume* volume, const char* baseName, int digits, int compression) {
  if (const int code = checkForWriting(volume, compression); code != 0) return code;
  if (baseName == nullptr || digits < 0 || digits > 10) return kInvalidParameters;
  const Box voi = voiOf(*volume);
  for (int z = voi.z0; z < voi.z1; ++z) {
    Box b = voi;
    b.z0 = z;
    b.z1 = z + 1;
    const std::string name = frameFileName(baseName, z - voi.z0, digits, "tif");
    if (const int code = writeFile(*volume, b, name.c_str(), compression); code != 0) return code;
  }
  return 0;
}

}  // extern "C"
