// TIFF frames through libtiff: the sequence check and read, the sequence writer and the
// writer of an image-buffer window.
//
// Reading: photometric 0 or 1 is grey, anything else colour. The general path is libtiff's
// whole-image RGBA reader (bottom-up rows, flipped so that the top row lands in frame row 0;
// grey frames take the red byte). Plain 8-bit files (min-is-black grey or contiguous RGB,
// top-left orientation, no extra samples, any strip compression but JPEG) take a direct
// strip path that gives the very same pixels with far less work: the benchmark sequence of
// 128 grey 256 x 256 files reads in 4.3 ms of CPU time, 1.5 ms of it the check's opening of
// every file, where the RGBA path alone takes 7 ms (bench/image_bench.cpp). A file up to
// 128 KiB is loaded with one read and decoded from memory, a larger one is opened by libtiff
// itself (TiffAccess in image_codecs.h says why).
//
// Writing: BitsPerSample 8, one sample per pixel (photometric 0 or 1) or three (photometric
// 2), contiguous planes, top-left orientation, 32 rows per strip, compression none, LZW or
// PackBits. RGB frames are written as encoded strips, grey frames as scanlines, each
// scanline byte floor((299 R + 587 G + 114 B) / 1000), so a one-channel source writes its
// own values; photometric 0 does not invert them. A failed strip, scanline or directory
// write is reported as kTiffError (the file so far stays on disk).
//
// libtiff's warnings and errors are never shown; with V3D_TIFF_LOG set in the environment
// they go to standard error.
#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/frame_names.h"
#include "core/image_codecs.h"
#include "core/image_sequence.h"
#include "core/libtiff_reading.h"
#include "core/samples.h"
#include "core/volume.h"

namespace v3d::image {
namespace {

using tiffio::kIoFailed;
using tiffio::MemoryFile;
using tiffio::openMemory;
using tiffio::silenceLibtiff;
using tiffio::Tiff;

Tiff openForReading(const char* name) {
  return tiffio::openFileForReading(name);
}

// A file opened for reading in one of the two ways (see TiffAccess in image_codecs.h).
class TiffInput {
 public:
  TiffInput(const char* name, TiffAccess access) {
    if (access == TiffAccess::BySize) {
      struct stat st {};
      const bool small = name != nullptr && ::stat(name, &st) == 0 && S_ISREG(st.st_mode) &&
                         st.st_size <= static_cast<off_t>(kTiffBytesLimit);
      access = small ? TiffAccess::Bytes : TiffAccess::Path;
    }
    if (access == TiffAccess::Path) {
      tiff_ = openForReading(name);
    } else if (bytes_.load(name, kMaxFileBytes, kTiffError) == 0) {
      memory_ = {bytes_.data(), bytes_.size(), 0};
      tiff_ = openMemory(memory_);
    }
  }
  TiffInput(const TiffInput&) = delete;
  TiffInput& operator=(const TiffInput&) = delete;
  TIFF* get() const { return tiff_.get(); }

 private:
  FileBytes bytes_;
  MemoryFile memory_{};
  Tiff tiff_;  // closed first, while the bytes it reads are still there
};

// ---- Reading -------------------------------------------------------------------------------

int header(TIFF* t, ImageInfo& info) {
  std::uint32_t width = 0, length = 0;
  std::uint16_t photometric = 0, samples = 1;
  if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &length))
    return kTiffError;
  if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric)) {
    // Without the tag libtiff's RGBA reader takes one sample as grey, more as RGB.
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    photometric = samples <= 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB;
  }
  if (width == 0 || length == 0 || width > INT_MAX || length > INT_MAX) return kTiffError;
  info = {static_cast<int>(length), static_cast<int>(width),
          photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK ? 0 : 1};
  return 0;
}

// Whether the strips hold exactly the bytes the RGBA reader would produce.
bool stripsArePixels(TIFF* t, const ImageInfo& info) {
  std::uint16_t bits = 0, samples = 0, planar = 0, format = 0, orientation = 0, photometric = 0,
                compression = 0, extraCount = 0;
  std::uint16_t* extra = nullptr;
  if (TIFFIsTiled(t) || !TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
  if (bits != 8 || planar != PLANARCONFIG_CONTIG || format != SAMPLEFORMAT_UINT ||
      orientation != ORIENTATION_TOPLEFT || extraCount != 0 || compression == COMPRESSION_JPEG ||
      compression == COMPRESSION_OJPEG)
    return false;
  return (info.colour == 0 && photometric == PHOTOMETRIC_MINISBLACK && samples == 1) ||
         (info.colour == 1 && photometric == PHOTOMETRIC_RGB && samples == 3);
}

int readStrips(TIFF* t, const ImageInfo& info, DecodedImage& out) {
  std::uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > static_cast<std::uint32_t>(info.rows))
    rowsPerStrip = static_cast<std::uint32_t>(info.rows);
  const std::size_t lineBytes = static_cast<std::size_t>(info.columns) * (info.colour ? 3 : 1);
  if (TIFFScanlineSize64(t) != lineBytes) return kTiffError;
  // Grey strips are decoded straight into the image; RGB strips go through one strip
  // buffer and are split into the three planes.
  ScratchArray<std::uint8_t> strip(info.colour ? lineBytes * rowsPerStrip : 0);
  if (!strip) return kTiffError;
  for (std::uint32_t y0 = 0, s = 0; y0 < static_cast<std::uint32_t>(info.rows);
       y0 += rowsPerStrip, ++s) {
    const std::uint32_t rows = std::min(rowsPerStrip, info.rows - y0);
    const tmsize_t want = static_cast<tmsize_t>(rows * lineBytes);
    std::uint8_t* target = info.colour ? strip.get() : out.row(0, static_cast<int>(y0));
    if (TIFFReadEncodedStrip(t, s, target, want) != want) return kTiffError;
    if (!info.colour) continue;
    for (std::uint32_t k = 0; k < rows; ++k) {
      const std::uint8_t* p = strip.get() + k * lineBytes;
      std::uint8_t* r = out.row(0, static_cast<int>(y0 + k));
      std::uint8_t* g = out.row(1, static_cast<int>(y0 + k));
      std::uint8_t* b = out.row(2, static_cast<int>(y0 + k));
      for (int x = 0; x < info.columns; ++x, p += 3) {
        r[x] = p[0];
        g[x] = p[1];
        b[x] = p[2];
      }
    }
  }
  return 0;
}

int readRGBA(TIFF* t, const ImageInfo& info, DecodedImage& out) {
  const std::size_t w = static_cast<std::size_t>(info.columns);
  const std::size_t h = static_cast<std::size_t>(info.rows);
  ScratchArray<std::uint32_t> raster(w * h);
  if (!raster) return kTiffError;
  if (!TIFFReadRGBAImage(t, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h),
                         raster.get(), 1))
    return kTiffError;
  for (std::size_t k = 0; k < h; ++k) {
    const std::uint32_t* p = raster.get() + (h - 1 - k) * w;  // raster rows run bottom-up
    const int y = static_cast<int>(k);
    if (!info.colour) {
      std::uint8_t* r = out.row(0, y);
      for (std::size_t x = 0; x < w; ++x) r[x] = static_cast<std::uint8_t>(TIFFGetR(p[x]));
      continue;
    }
    std::uint8_t* r = out.row(0, y);
    std::uint8_t* g = out.row(1, y);
    std::uint8_t* b = out.row(2, y);
    for (std::size_t x = 0; x < w; ++x) {
      r[x] = static_cast<std::uint8_t>(TIFFGetR(p[x]));
      g[x] = static_cast<std::uint8_t>(TIFFGetG(p[x]));
      b[x] = static_cast<std::uint8_t>(TIFFGetB(p[x]));
    }
  }
  return 0;
}

enum class Path { Best, RGBA, Strips };

int decode(TIFF* t, ImageSize limit, DecodedImage& out, Path path) {
  if (t == nullptr) return kTiffError;
  ImageInfo info;
  if (const int code = header(t, info); code != 0) return code;
  if (info.rows > limit.rows || info.columns > limit.columns) return kTiffError;
  const bool strips = path != Path::RGBA && stripsArePixels(t, info);
  if (path == Path::Strips && !strips) return 1;
  if (!out.reset(info.rows, info.columns, info.colour)) return kTiffError;
  return strips ? readStrips(t, info, out) : readRGBA(t, info, out);
}

int decodeMemory(const std::uint8_t* data, std::size_t size, ImageSize limit, DecodedImage& out,
                 Path path) {
  if (data == nullptr) return kTiffError;
  MemoryFile m{data, size, 0};
  Tiff t = openMemory(m);
  return decode(t.get(), limit, out, path);
}

// ---- Writing -------------------------------------------------------------------------------

constexpr std::uint32_t kRowsPerStrip = 32;

// A window of an image buffer: up to three planes of row pointers, the window's first row
// and column, and its size.
struct Window {
  unsigned char* const* plane[3];  // plane[1] and plane[2] null: grey, replicated
  int row0, col0, rows, columns;
};

bool validCompression(int c) {
  return c == COMPRESSION_NONE || c == COMPRESSION_LZW || c == COMPRESSION_PACKBITS;
}

// A TIFF file being encoded in memory. libtiff writes a file in many small pieces (header,
// each strip, the directory) with seeks between them; encoding into memory and writing the
// finished file with one call took the benchmark sequence (128 grey 256 x 256 files) from
// 36 ms to 24 ms, the file's bytes being the same.
class MemoryOutput {
 public:
  bool reserve(std::size_t bytes) {
    if (bytes <= bytes_.size()) return true;
    ScratchArray<std::uint8_t> bigger(std::max(bytes, 2 * bytes_.size()));
    if (!bigger) return false;
    if (size_ > 0) std::memcpy(bigger.get(), bytes_.get(), size_);
    bytes_ = std::move(bigger);
    return true;
  }
  const std::uint8_t* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }

  static tmsize_t read(thandle_t h, void* buf, tmsize_t n) {
    auto* m = static_cast<MemoryOutput*>(h);
    if (n <= 0 || m->pos_ >= m->size_) return 0;
    const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(n), m->size_ - m->pos_);
    std::memcpy(buf, m->bytes_.get() + m->pos_, k);
    m->pos_ += k;
    return static_cast<tmsize_t>(k);
  }
  static tmsize_t write(thandle_t h, void* buf, tmsize_t n) {
    auto* m = static_cast<MemoryOutput*>(h);
    if (n < 0) return kIoFailed;
    const std::size_t k = static_cast<std::size_t>(n);
    if (m->pos_ > SIZE_MAX - k || !m->reserve(m->pos_ + k)) return kIoFailed;
    if (m->pos_ > m->size_) std::memset(m->bytes_.get() + m->size_, 0, m->pos_ - m->size_);
    std::memcpy(m->bytes_.get() + m->pos_, buf, k);
    m->pos_ += k;
    m->size_ = std::max(m->size_, m->pos_);
    return n;
  }
  static toff_t seek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<MemoryOutput*>(h);
    const toff_t base = whence == SEEK_CUR ? m->pos_ : whence == SEEK_END ? m->size_ : 0;
    const toff_t to = base + off;  // a negative offset arrives as its two's complement
    if (to > SIZE_MAX / 2) return static_cast<toff_t>(-1);
    m->pos_ = static_cast<std::size_t>(to);
    return to;
  }
  static int close(thandle_t) { return 0; }
  static toff_t size(thandle_t h) { return static_cast<MemoryOutput*>(h)->size_; }
  static int map(thandle_t, void**, toff_t*) { return 0; }
  static void unmap(thandle_t, void*, toff_t) {}

 private:
  ScratchArray<std::uint8_t> bytes_{0};
  std::size_t size_ = 0, pos_ = 0;
};

int encodeTiff(TIFF* f, const Window& w, int compression, int photometric);

int writeTiff(const char* name, const Window& w, int compression, int photometric) {
  silenceLibtiff();
  if (name == nullptr) return kTiffError;
  const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return kTiffError;
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0) ::close(fd);
    }
  } closer{fd};
  MemoryOutput out;
  const std::size_t estimate = static_cast<std::size_t>(w.rows) *
                                   static_cast<std::size_t>(w.columns) *
                                   (photometric == PHOTOMETRIC_RGB ? 3 : 1) +
                               4096;
  if (!out.reserve(estimate)) return kTiffError;
  int code;
  {
    Tiff t(TIFFClientOpen(name, "w", &out, MemoryOutput::read, MemoryOutput::write,
                          MemoryOutput::seek, MemoryOutput::close, MemoryOutput::size,
                          MemoryOutput::map, MemoryOutput::unmap));
    if (!t) return kTiffError;
    code = encodeTiff(t.get(), w, compression, photometric);
  }
  // What was encoded goes to the file even after a failure, as a writer that fails part-way
  // leaves its file.
  for (std::size_t done = 0; done < out.size();) {
    const ssize_t n = ::write(fd, out.data() + done, out.size() - done);
    if (n <= 0) return kTiffError;
    done += static_cast<std::size_t>(n);
  }
  closer.fd = -1;
  if (::close(fd) != 0) return kTiffError;
  return code;
}

int encodeTiff(TIFF* f, const Window& w, int compression, int photometric) {
  const bool rgb = photometric == PHOTOMETRIC_RGB;
  const int samples = rgb ? 3 : 1;
  const std::size_t lineBytes = static_cast<std::size_t>(w.columns) * samples;
  ScratchArray<std::uint8_t> buffer(lineBytes * (rgb ? kRowsPerStrip : 1));
  if (!buffer) return kTiffError;
  if (!TIFFSetField(f, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(w.columns)) ||
      !TIFFSetField(f, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(w.rows)) ||
      !TIFFSetField(f, TIFFTAG_BITSPERSAMPLE, 8) ||
      !TIFFSetField(f, TIFFTAG_SAMPLESPERPIXEL, samples) ||
      !TIFFSetField(f, TIFFTAG_PHOTOMETRIC, photometric) ||
      !TIFFSetField(f, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) ||
      !TIFFSetField(f, TIFFTAG_COMPRESSION, compression) ||
      !TIFFSetField(f, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) ||
      !TIFFSetField(f, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip))
    return kTiffError;

  const bool colourSource = w.plane[1] != nullptr;
  auto sourceRow = [&](int c, int y) -> const unsigned char* {
    return w.plane[colourSource ? c : 0][w.row0 + y] + w.col0;
  };
  if (rgb) {
    for (int y0 = 0, s = 0; y0 < w.rows; y0 += static_cast<int>(kRowsPerStrip), ++s) {
      const int rows = std::min<int>(static_cast<int>(kRowsPerStrip), w.rows - y0);
      for (int k = 0; k < rows; ++k) {
        const unsigned char* r = sourceRow(0, y0 + k);
        const unsigned char* g = sourceRow(1, y0 + k);
        const unsigned char* b = sourceRow(2, y0 + k);
        std::uint8_t* p = buffer.get() + static_cast<std::size_t>(k) * lineBytes;
        for (int x = 0; x < w.columns; ++x, p += 3) {
          p[0] = r[x];
          p[1] = g[x];
          p[2] = b[x];
        }
      }
      const tmsize_t bytes = static_cast<tmsize_t>(rows) * static_cast<tmsize_t>(lineBytes);
      if (TIFFWriteEncodedStrip(f, static_cast<std::uint32_t>(s), buffer.get(), bytes) != bytes)
        return kTiffError;
    }
  } else {
    for (int y = 0; y < w.rows; ++y) {
      std::uint8_t* line = buffer.get();
      if (colourSource) {
        const unsigned char* r = sourceRow(0, y);
        const unsigned char* g = sourceRow(1, y);
        const unsigned char* b = sourceRow(2, y);
        for (int x = 0; x < w.columns; ++x)
          line[x] = static_cast<std::uint8_t>((299u * r[x] + 587u * g[x] + 114u * b[x]) / 1000u);
      } else {
        std::memcpy(line, sourceRow(0, y), static_cast<std::size_t>(w.columns));
      }
      if (TIFFWriteScanline(f, line, static_cast<std::uint32_t>(y), 0) != 1) return kTiffError;
    }
  }
  if (!TIFFFlush(f)) return kTiffError;
  return 0;
}

}  // namespace

int decodeTIFFMemory(const std::uint8_t* d, std::size_t n, ImageSize limit, DecodedImage& out) {
  return decodeMemory(d, n, limit, out, Path::Best);
}
int decodeTIFFMemoryRGBA(const std::uint8_t* d, std::size_t n, ImageSize limit, DecodedImage& out) {
  return decodeMemory(d, n, limit, out, Path::RGBA);
}
int decodeTIFFMemoryStrips(const std::uint8_t* d, std::size_t n, ImageSize limit,
                           DecodedImage& out) {
  return decodeMemory(d, n, limit, out, Path::Strips);
}

template <TiffAccess access>
int headerTIFFFile(const char* name, ImageInfo& info) {
  TiffInput in(name, access);
  if (!in.get()) return kTiffError;
  return header(in.get(), info);
}

template <TiffAccess access>
int decodeTIFFFile(const char* name, ImageSize limit, DecodedImage& out) {
  TiffInput in(name, access);
  return decode(in.get(), limit, out, Path::Best);
}

template int headerTIFFFile<TiffAccess::Path>(const char*, ImageInfo&);
template int headerTIFFFile<TiffAccess::Bytes>(const char*, ImageInfo&);
template int headerTIFFFile<TiffAccess::BySize>(const char*, ImageInfo&);
template int decodeTIFFFile<TiffAccess::Path>(const char*, ImageSize, DecodedImage&);
template int decodeTIFFFile<TiffAccess::Bytes>(const char*, ImageSize, DecodedImage&);
template int decodeTIFFFile<TiffAccess::BySize>(const char*, ImageSize, DecodedImage&);

}  // namespace v3d::image

using namespace v3d;
using namespace v3d::image;

extern "C" {

int local_WriteImageSeqTIFF(Volume* volume, const char* base, int first, const char* extension,
                            int compression, int photometric) {
  if (const int code = CheckVolume(volume, V3D_UC, V3D_ANY_COLOR); code != 0) return code;
  const int channels = channelCount(*volume);
  if (!validCompression(compression) || photometric < 0 || photometric > 2 ||
      (photometric == PHOTOMETRIC_RGB && channels != 3))
    return kInvalidParameters;
  if (static_cast<long long>(first) + volume->Z - 1 > INT_MAX) return kInvalidParameters;
  if (base == nullptr || extension == nullptr) return kTiffError;  // no file can be named
  ScopedImageSize size(volume->Y, volume->X);
  for (int z = 0; z < volume->Z; ++z) {
    Window w{{channelData<UC>(*volume, 0)[z], nullptr, nullptr}, 0, 0, volume->Y, volume->X};
    if (channels == 3) {
      w.plane[1] = channelData<UC>(*volume, 1)[z];
      w.plane[2] = channelData<UC>(*volume, 2)[z];
    }
    const std::string name = frameFileName(base, first + z, 0, extension);
    if (const int code = writeTiff(base ? name.c_str() : nullptr, w, compression, photometric);
        code != 0)
      return code;
  }
  return 0;
}

int savetiff(unsigned char** plane1, unsigned char** plane2, unsigned char** plane3,
             const char* fileName, int compression, int photometric, int row0, int col0, int row1,
             int col1) {
  const long long rows = static_cast<long long>(row1) - row0 + 1;
  const long long columns = static_cast<long long>(col1) - col0 + 1;
  ScopedImageSize size(static_cast<int>(std::clamp<long long>(rows, INT_MIN, INT_MAX)),
                       static_cast<int>(std::clamp<long long>(columns, INT_MIN, INT_MAX)));
  if (plane1 == nullptr) return kNullImagePointer;
  if ((plane2 == nullptr) != (plane3 == nullptr))
    return kNullImagePointer;  // a colour window needs both
  if (row0 < 0 || col0 < 0 || row1 < row0 || col1 < col0 || row1 > rows || col1 > columns)
    return kInvalidWorkingArea;
  Window w{{plane1, plane2, plane3}, row0, col0, row1 - row0, col1 - col0};
  return writeTiff(fileName, w, compression, photometric);
}

}  // extern "C"
