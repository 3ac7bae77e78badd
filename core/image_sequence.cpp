// The sequence check and read shared by every image format, the decoded-image buffer and
// whole-file loading.
//
// A sequence is N files named by the frame-file rule (base, first + k, digit count,
// extension). The check opens every file and insists that all agree with the first in size
// and colour; the read repeats the check, validates the volume against it, and only then
// decodes file k into frame k. A file that fails to decode ends the read with its code; the
// frames before it stay filled and its own frame is untouched.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/frame_names.h"
#include "core/image_codecs.h"
#include "core/samples.h"
#include "core/stdio_file.h"

namespace v3d::image {

bool DecodedImage::reset(int rows, int columns, int colour) {
  if (rows < 0 || columns < 0) return false;
  const int channels = colour ? 3 : 1;
  const std::size_t samples = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  if (columns != 0 && samples / static_cast<std::size_t>(columns) != static_cast<std::size_t>(rows))
    return false;
  if (samples > (SIZE_MAX / 4) / 3) return false;
  const std::size_t bytes = samples * static_cast<std::size_t>(channels);
  if (!pixels_ || pixels_.size() < bytes) {
    pixels_ = ScratchArray<std::uint8_t>(bytes);
    if (!pixels_) return false;
  }
  if (!decoded_ || decoded_.size() < static_cast<std::size_t>(rows)) {
    decoded_ = ScratchArray<std::int32_t>(static_cast<std::size_t>(rows));
    if (!decoded_) return false;
  }
  rows_ = rows;
  columns_ = columns;
  colour_ = colour ? 1 : 0;
  for (int y = 0; y < rows; ++y) decoded_[static_cast<std::size_t>(y)] = columns;
  return true;
}

int FileBytes::load(const char* name, std::size_t maxBytes, int openCode) {
  size_ = 0;
  if (name == nullptr) return openCode;
  File f(std::fopen(name, "rb"));
  if (!f) return openCode;
  struct stat st {};
  if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) return openCode;
  std::size_t want = static_cast<std::size_t>(st.st_size);
  if (want > maxBytes) want = maxBytes;
  if (!bytes_ || bytes_.size() < want) {
    bytes_ = ScratchArray<std::uint8_t>(want);
    if (!bytes_) return kCannotAllocateBuffer;
  }
  size_ = std::fread(bytes_.get(), 1, want, f.get());
  return 0;
}

void storeFrame(const DecodedImage& image, Volume& volume, int z) {
  for (int c = 0; c < image.channels(); ++c) {
    UC** rows = channelData<UC>(volume, c)[z];
    for (int y = 0; y < image.rows(); ++y)
      if (const int n = image.decodedColumns(y); n > 0)
        std::memcpy(rows[y], image.row(c, y), static_cast<std::size_t>(n));
  }
}

namespace {

// Frame numbers first .. first + N - 1 must be representable.
bool frameNumbersFit(int first, int N) {
  return static_cast<long long>(first) + N - 1 <= INT_MAX;
}

// The check without its outputs: fills `info` from the first file, compares the rest.
int checkFiles(const SequenceFormat& format, const char* base, int first, int digits,
               const char* extension, int N, ImageInfo& info) {
  if (base == nullptr || extension == nullptr) {
    // No file can be named: the format's own "cannot open" code, and no file is touched.
    ImageInfo unused;
    return format.header("", unused);
  }
  if (N < 1 || !frameNumbersFit(first, N)) return kInvalidParameters;
  for (int k = 0; k < N; ++k) {
    ImageInfo here;
    const std::string name = frameFileName(base, first + k, digits, extension);
    if (const int code = format.header(name.c_str(), here); code != 0) return code;
    if (k == 0)
      info = here;
    else if (here.rows != info.rows || here.columns != info.columns || here.colour != info.colour)
      return kTiffSequenceMismatch;
  }
  return 0;
}

}  // namespace

int checkSequence(const SequenceFormat& format, const char* base, int first, int digits,
                  const char* extension, int N, int* rows, int* columns, int* colour) {
  if (rows == nullptr || columns == nullptr || colour == nullptr) return kNullBasicTypePointer;
  ImageInfo info;
  if (const int code = checkFiles(format, base, first, digits, extension, N, info); code != 0)
    return code;
  *rows = info.rows;
  *columns = info.columns;
  *colour = info.colour;
  return 0;
}

int readSequence(const SequenceFormat& format, Volume* volume, const char* base, int first,
                 int digits, const char* extension, int N) {
  if (const int code = CheckVolume(volume, V3D_UC, format.colourMask); code != 0) return code;
  if (N > volume->Z) return kInvalidInputDimensions;
  ImageInfo info;
  if (const int code = checkFiles(format, base, first, digits, extension, N, info); code != 0)
    return code;
  if (info.rows > volume->Y || info.columns > volume->X) return kInvalidInputDimensions;
  if ((info.colour != 0) != (channelCount(*volume) == 3)) return kWrongColorType;

  DecodedImage image;
  const ImageSize limit = currentImageSize();
  for (int k = 0; k < N; ++k) {
    const std::string name = frameFileName(base, first + k, digits, extension);
    if (const int code = format.decode(name.c_str(), limit, image); code != 0) return code;
    // The file may have changed since the check; it must still fit the checked frame.
    const ImageInfo got = image.info();
    if (got.rows != info.rows || got.columns != info.columns || got.colour != info.colour)
      return kTiffSequenceMismatch;
    storeFrame(image, *volume, k);
  }
  return 0;
}

}  // namespace v3d::image

// ---- The formats ----------------------------------------------------------------------------
// One line per format: its exported check and read over its SequenceFormat. A macro, because
// the two entry points have C names, which a template cannot make.
#define V3D_IMAGE_SEQUENCE(NAME, ...)                                                            \
  namespace {                                                                                    \
  constexpr v3d::image::SequenceFormat kSequence##NAME = __VA_ARGS__;                            \
  }                                                                                              \
  extern "C" int CheckImageSeq##NAME(const char* base, int first, int digits,                    \
                                     const char* extension, int N, int* rows, int* columns,      \
                                     int* colour) {                                              \
    return v3d::image::checkSequence(kSequence##NAME, base, first, digits, extension, N, rows,   \
                                     columns, colour);                                           \
  }                                                                                              \
  extern "C" int ReadImageSeq##NAME(Volume* volume, const char* base, int first, int digits,     \
                                    const char* extension, int N) {                              \
    return v3d::image::readSequence(kSequence##NAME, volume, base, first, digits, extension, N); \
  }

using namespace v3d::image;

V3D_IMAGE_SEQUENCE(TIFF, {V3D_ANY_COLOR, headerTIFFFile<kTiffSequenceAccess>,
                          decodeTIFFFile<kTiffSequenceAccess>})
V3D_IMAGE_SEQUENCE(BMP, fromBytes<kBmpHeaderBytes, headerBMP, decodeBMP>(V3D_THREE_CHANNELS))
V3D_IMAGE_SEQUENCE(TGA, fromBytes<kTgaHeaderBytes, headerTGA, decodeTGA>(V3D_ANY_COLOR))
V3D_IMAGE_SEQUENCE(GIF, fromBytes<kGifHeaderBytes, headerGIF, decodeGIF>(V3D_THREE_CHANNELS))
V3D_IMAGE_SEQUENCE(JPEG, {V3D_ANY_COLOR, headerJPEGFile, decodeJPEGFile})

#undef V3D_IMAGE_SEQUENCE
