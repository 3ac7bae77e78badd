// The per-file image decoders behind the image-sequence readers, and the sequence driver
// they share.
//
// Every decoder works on bytes it was given (a whole file, or a fuzzer's input) and is safe on
// any bytes: it never reads past the input, never writes past its DecodedImage, and answers
// a malformed file with its format's code. A decoder writes only into a DecodedImage; the
// sequence driver copies a fully decoded image into its frame, so a file that fails leaves
// its frame as it was.
//
// Every decoder refuses an image larger than the limit it is given (the current image size
// for sequence reads), before it allocates anything for the pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/alloc.h"
#include "core/image_size.h"
#include "core/volume.h"

namespace v3d::image {

// What a file's header says: its size and whether it is grey (0) or colour (1).
struct ImageInfo {
  int rows = 0;
  int columns = 0;
  int colour = 0;
};

// A decoded image: one plane (grey) or three (red, green, blue) of rows x columns bytes.
// Each row also records how many of its leading columns the file actually supplied (all of
// them, except for a GIF whose image is smaller than its screen or whose data ends early);
// only those are copied into a frame.
class DecodedImage {
 public:
  // Sizes the image and marks every row fully decoded; reuses its storage when it is large
  // enough. False when the storage cannot be had.
  bool reset(int rows, int columns, int colour);

  int rows() const { return rows_; }
  int columns() const { return columns_; }
  int colour() const { return colour_; }
  int channels() const { return colour_ ? 3 : 1; }
  ImageInfo info() const { return {rows_, columns_, colour_}; }

  std::uint8_t* row(int c, int y) const {
    return pixels_.get() + (static_cast<std::size_t>(c) * rows_ + y) * columns_;
  }
  int decodedColumns(int y) const { return decoded_[static_cast<std::size_t>(y)]; }
  void setDecodedColumns(int y, int n) { decoded_[static_cast<std::size_t>(y)] = n; }

 private:
  ScratchArray<std::uint8_t> pixels_{0};
  ScratchArray<std::int32_t> decoded_{0};
  int rows_ = 0, columns_ = 0, colour_ = 0;
};

// ---- Decoders over bytes in memory --------------------------------------------------------
// header*: parse only what the sequence check needs, which lies in the first k*HeaderBytes
// bytes of a file. decode*: the whole image, refusing images larger than `limit`.

inline constexpr std::size_t kBmpHeaderBytes = 54;  // file header + 40-byte information header
inline constexpr std::size_t kTgaHeaderBytes = 18;
inline constexpr std::size_t kGifHeaderBytes = 13;  // signature + logical screen descriptor

int headerBMP(const std::uint8_t* data, std::size_t size, ImageInfo& info);
int decodeBMP(const std::uint8_t* data, std::size_t size, ImageSize limit, DecodedImage& out);

int headerTGA(const std::uint8_t* data, std::size_t size, ImageInfo& info);
int decodeTGA(const std::uint8_t* data, std::size_t size, ImageSize limit, DecodedImage& out);

int headerGIF(const std::uint8_t* data, std::size_t size, ImageInfo& info);
int decodeGIF(const std::uint8_t* data, std::size_t size, ImageSize limit, DecodedImage& out);

int decodeJPEGMemory(const std::uint8_t* data, std::size_t size, ImageSize limit,
                     DecodedImage& out);
int decodeTIFFMemory(const std::uint8_t* data, std::size_t size, ImageSize limit,
                     DecodedImage& out);

// The two TIFF decoding paths, for tests that compare them: the whole-image RGBA reader, and
// the direct strip path for plain 8-bit grey and RGB files. `decodeTIFFMemory` picks the
// strip path whenever the file qualifies. The strip variant answers +1 when the file does
// not qualify.
int decodeTIFFMemoryRGBA(const std::uint8_t* data, std::size_t size, ImageSize limit,
                         DecodedImage& out);
int decodeTIFFMemoryStrips(const std::uint8_t* data, std::size_t size, ImageSize limit,
                           DecodedImage& out);

// ---- Files and sequences --------------------------------------------------------------------

// JPEG files are read through a stdio stream, so that the check reads no more than the
// header.
int headerJPEGFile(const char* name, ImageInfo& info);
int decodeJPEGFile(const char* name, ImageSize limit, DecodedImage& out);

// The two ways the TIFF reader can get at a file: libtiff opening the path itself (it maps
// the file), or the whole file loaded with one read and decoded from memory through libtiff's
// client I/O. Neither is faster for every file (bench/image_bench.cpp on 2 shared cores, CPU
// time, medians of five runs; check + read): loading saves a fixed cost per open and wins on
// small files (the standard sequence of 128 files of 64 KiB: 4.4 ms against 5.6 ms), but it
// copies the whole file even when the check needs only the header, so it loses from 256 KiB
// up (32 files of 256 KiB: 2.7 ms against 1.8 ms; 8 of 4 MiB: 21 ms against 9.3 ms). The
// sequence reader therefore chooses by size: the bytes for regular files up to
// kTiffBytesLimit, the path above. Each way stays callable for the benchmark.
enum class TiffAccess { Path, Bytes, BySize };
inline constexpr std::size_t kTiffBytesLimit = std::size_t{128} << 10;
inline constexpr TiffAccess kTiffSequenceAccess = TiffAccess::BySize;

// (Instantiated in image_tiff.cpp for every TiffAccess.)
template <TiffAccess access>
int headerTIFFFile(const char* name, ImageInfo& info);
template <TiffAccess access>
int decodeTIFFFile(const char* name, ImageSize limit, DecodedImage& out);

// The first `maxBytes` bytes of a file (the whole file when it is shorter).
class FileBytes {
 public:
  // 0, `openCode` when the file cannot be opened or read, kCannotAllocateBuffer when memory
  // fails.
  int load(const char* name, std::size_t maxBytes, int openCode);
  const std::uint8_t* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }

 private:
  ScratchArray<std::uint8_t> bytes_{0};
  std::size_t size_ = 0;
};

// The most of one file the BMP, TGA and GIF readers load; a longer file is decoded from its
// first kMaxFileBytes bytes (a frame of any image size the system handles needs far less).
inline constexpr std::size_t kMaxFileBytes = std::size_t{1} << 30;

// One image format as the sequence driver sees it. Every format's exported check and read
// are one line of the table in image_sequence.cpp.
struct SequenceFormat {
  int colourMask;  // colour types a volume may have for this format
  int (*header)(const char* file, ImageInfo& info);
  int (*decode)(const char* file, ImageSize limit, DecodedImage& out);
};

// A format whose decoders work on bytes in memory: the check loads the first `headerBytes`
// bytes of each file, the read the whole file (its first kMaxFileBytes bytes).
template <std::size_t headerBytes, int (*header)(const std::uint8_t*, std::size_t, ImageInfo&),
          int (*decode)(const std::uint8_t*, std::size_t, ImageSize, DecodedImage&)>
constexpr SequenceFormat fromBytes(int colourMask) {
  return {colourMask,
          [](const char* name, ImageInfo& info) {
            FileBytes bytes;
            if (const int code = bytes.load(name, headerBytes, kCannotOpenFile); code != 0)
              return code;
            return header(bytes.data(), bytes.size(), info);
          },
          [](const char* name, ImageSize limit, DecodedImage& out) {
            FileBytes bytes;
            if (const int code = bytes.load(name, kMaxFileBytes, kCannotOpenFile); code != 0)
              return code;
            return decode(bytes.data(), bytes.size(), limit, out);
          }};
}

// The check of a sequence of N files: the first gives the size and colour flag, every other
// must agree (else kTiffSequenceMismatch, for every format). Outputs are written only on
// success.
int checkSequence(const SequenceFormat& format, const char* base, int first, int digits,
                  const char* extension, int N, int* rows, int* columns, int* colour);

// The read of a sequence into frames 0 .. N - 1 of a UC volume.
int readSequence(const SequenceFormat& format, Volume* volume, const char* base, int first,
                 int digits, const char* extension, int N);

// Copies the decoded part of `image` into rows 0.. and columns 0.. of frame z.
void storeFrame(const DecodedImage& image, Volume& volume, int z);

}  // namespace v3d::image
