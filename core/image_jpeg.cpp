// JPEG frames through the IJG release-6 interface (libjpeg62-turbo).
//
// The standard error manager's fatal exit is replaced by a long jump back into the reader,
// which destroys the decompressor (freeing everything libjpeg allocated) and answers
// kJpegReadError; libjpeg's messages are not shown. The only frames a jump crosses are libjpeg's
// own, and the function holding the jump target keeps no object with a destructor, so nothing
// leaks. Greyscale files are read as one channel, every other colour space as RGB (a colour space
// libjpeg cannot convert to RGB, such as CMYK, is an error).
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "core/image_codecs.h"
#include "core/stdio_file.h"
#include "core/volume.h"

namespace v3d::image {
namespace {

struct ErrorManager {
  jpeg_error_mgr standard;
  std::jmp_buf jump;
};

[[noreturn]] void jumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void showNothing(j_common_ptr) {}

// Reads the header of `f` into `info` and, when `out` is set, decodes the image into it.
// Only plain values live in this frame, so the long jump skips no destructor.
int run(std::FILE* f, ImageInfo& info, const ImageSize* limit, DecodedImage* out) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.standard);
  err.standard.error_exit = jumpBack;
  err.standard.output_message = showNothing;
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
