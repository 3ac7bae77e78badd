// JPEG frames through the IJG release-6 interface (libjpeg62-turbo).
//
// The standard error manager's fatal exit is replaced by a long jump back into the reader,
// which destroys the decompressor (freeing everything libjpeg allocated) and answers
// kJpegReadError; libjpeg's messages are not shown. The only frames a jump crosses are
// libjpeg's own, and the function holding the jump target keeps no object with a destructor,
// so nothing leaks. Greyscale files are read as one channel, every other colour space as RGB
// (a colour space libjpeg cannot convert to RGB, such as CMYK, is an error).
//
// Damaged data: libjpeg reports it only as a warning and carries on, putting padding where
// the data was lost, so a file cut at a third of its length would read "successfully" with
// two thirds of its rows grey. The warnings that mean pixels were lost jump back like an
// error, so such a file is kJpegReadError and its frame is left as it was (see lostData).
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
// After jpeglib.h, which it needs: the message codes.
#include <jerror.h>

#include "core/image_codecs.h"
#include "core/image_sequence.h"
#include "core/stdio_file.h"
#include "core/volume.h"

namespace v3d::image {
namespace {

struct ErrorManager {
  jpeg_error_mgr standard;
  void (*standardEmit)(j_common_ptr, int);
  std::jmp_buf jump;
};

[[noreturn]] void jumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void showNothing(j_common_ptr) {}

// Whether a warning means that pixels were lost:
//  - JWRN_JPEG_EOF: the file ends before its end marker (libjpeg supplies one). Rows or
//    whole scans after the cut are missing; a progressive file cut between two scans can
//    only be told from a complete one by this warning.
//  - JWRN_HIT_MARKER: a scan's coded data ends before its last block (the rest is padded).
//  - JWRN_HUFF_BAD_CODE, JWRN_ARITH_BAD_CODE: coded data that decodes to no value.
//  - JWRN_MUST_RESYNC: a restart marker missing or out of order, so blocks are skipped or
//    padded.
// The other warnings leave every pixel decoded from data that is present, and stay harmless:
// stray bytes between segments (JWRN_EXTRANEOUS_DATA), scan parameters that a sequential
// decoder ignores (JWRN_NOT_SEQUENTIAL), a progressive scan order that libjpeg follows anyway
// (JWRN_BOGUS_PROGRESSION), an unknown Adobe transform or JFIF revision, and a damaged ICC
// profile marker, which this reader does not use.
bool lostData(int code) {
  switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
#if JPEG_LIB_VERSION >= 70 || defined(C_ARITH_CODING_SUPPORTED) || defined(D_ARITH_CODING_SUPPORTED)
    case JWRN_ARITH_BAD_CODE:
#endif
    case JWRN_MUST_RESYNC:
      return true;
    default:
      return false;
  }
}

// Warnings have level -1; trace messages (0 and up) and harmless warnings take the standard
// route (counted, and shown through showNothing).
void emitMessage(j_common_ptr info, int level) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  if (level < 0 && lostData(err->standard.msg_code)) std::longjmp(err->jump, 1);
  err->standardEmit(info, level);
}

// Reads the header of `f` into `info` and, when `out` is set, decodes the image into it.
// Only plain values live in this frame, so the long jump skips no destructor.
int run(std::FILE* f, ImageInfo& info, const ImageSize* limit, DecodedImage* out) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.standard);
  err.standard.error_exit = jumpBack;
  err.standard.output_message = showNothing;
  err.standardEmit = err.standard.emit_message;
  err.standard.emit_message = emitMessage;
  if (setjmp(err.jump) != 0) {
    jpeg_destroy_decompress(&cinfo);
    return kJpegReadError;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  info = {static_cast<int>(cinfo.image_height), static_cast<int>(cinfo.image_width),
          cinfo.jpeg_color_space == JCS_GRAYSCALE ? 0 : 1};
  if (out == nullptr) {
    jpeg_destroy_decompress(&cinfo);
    return 0;
  }
  if (cinfo.image_width > static_cast<unsigned>(limit->columns) ||
      cinfo.image_height > static_cast<unsigned>(limit->rows)) {
    jpeg_destroy_decompress(&cinfo);
    return kJpegReadError;
  }
  cinfo.out_color_space = info.colour ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_start_decompress(&cinfo);
  const int components = info.colour ? 3 : 1;
  if (cinfo.output_components != components ||
      cinfo.output_width != static_cast<unsigned>(info.columns) ||
      cinfo.output_height != static_cast<unsigned>(info.rows) ||
      !out->reset(info.rows, info.columns, info.colour)) {
    jpeg_destroy_decompress(&cinfo);
    return kJpegReadError;
  }
  JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                               cinfo.output_width * components, 1);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    if (jpeg_read_scanlines(&cinfo, line, 1) != 1) break;
    const JSAMPLE* p = line[0];
    if (components == 1) {
      std::memcpy(out->row(0, y), p, static_cast<std::size_t>(info.columns));
      continue;
    }
    std::uint8_t* r = out->row(0, y);
    std::uint8_t* g = out->row(1, y);
    std::uint8_t* b = out->row(2, y);
    for (int x = 0; x < info.columns; ++x, p += 3) {
      r[x] = p[0];
      g[x] = p[1];
      b[x] = p[2];
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return 0;
}

}  // namespace

int headerJPEGFile(const char* name, ImageInfo& info) {
  File f(name ? std::fopen(name, "rb") : nullptr);
  if (!f) return kCannotOpenFile;
  return run(f.get(), info, nullptr, nullptr);
}

int decodeJPEGFile(const char* name, ImageSize limit, DecodedImage& out) {
  File f(name ? std::fopen(name, "rb") : nullptr);
  if (!f) return kCannotOpenFile;
  ImageInfo info;
  return run(f.get(), info, &limit, &out);
}

int decodeJPEGMemory(const std::uint8_t* data, std::size_t size, ImageSize limit,
                     DecodedImage& out) {
  if (data == nullptr || size == 0) return kJpegReadError;
  File f(fmemopen(const_cast<std::uint8_t*>(data), size, "rb"));
  if (!f) return kCannotOpenFile;
  ImageInfo info;
  return run(f.get(), info, &limit, &out);
}

}  // namespace v3d::image
