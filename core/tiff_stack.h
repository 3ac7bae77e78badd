/* TIFF stacks: one multi-page TIFF file whose pages are the frames of a volume, and the
 * single-page TIFF files of a sequence written with the same sample types.
 *
 * Pages of 8-bit grey or RGB samples are UC volumes; 16-bit samples (signed or not), signed
 * 8-bit and signed 32-bit samples are I volumes; 32-bit IEEE float samples are F volumes.
 * Grey pages (photometric min-is-black or min-is-white, one sample, or more with the extra
 * samples ignored) give one channel, RGB pages (three samples or more) three. Samples are
 * taken as stored: min-is-white values are not inverted. Strips of any compression libtiff
 * decodes, contiguous or separate planes, classic TIFF and BigTIFF. Every page must have the
 * size, sample type and channel count of the first.
 *
 * Writing: the VOI of a volume, one page per VOI frame, UC as 8-bit unsigned, F as 32-bit
 * IEEE float, I as 32-bit signed samples, one channel min-is-black or three channels RGB
 * (contiguous), top-left orientation, compression 1 (none), 5 (LZW) or 8 (Deflate). A file is
 * written under a temporary name in its own folder and renamed to its name only when complete,
 * so a failed write (disk full, no permission, a missing folder) leaves no truncated file and
 * an existing file as it was. */
#ifndef VELMORA3D_CORE_TIFF_STACK_H
#define VELMORA3D_CORE_TIFF_STACK_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Compression codes the writers take. */
enum { V3D_TIFF_NONE = 1, V3D_TIFF_LZW = 5, V3D_TIFF_DEFLATE = 8 };

/* Walks every page of a TIFF file and reports the volume it makes: pages Z, rows Y, columns
 * X, sample type and colour type. Outputs are written only on success. Codes: kTiffError (not
 * opened, not a TIFF file), kTiffStackMismatch (a page differs from the first),
 * kTiffUnsupportedSamples, kTiffDamagedPage (a directory cannot be read). */
int CheckTiffStack(const char* fileName, int* Z, int* Y, int* X, int* dataType, int* colorType);

/* Reads every page of a TIFF file into frames 0 .. Z - 1 of `volume`, image row 0 into frame
 * row 0. The volume must have the file's sample and colour types (kWrongDataType,
 * kWrongColorType) and at least its frames, rows and columns (kInvalidInputDimensions); the
 * whole file is checked as by CheckTiffStack before the first sample is written. Strip data
 * that cannot be decoded gives kTiffDamagedPage, with the frames before it filled: callers
 * that must not keep a partial volume read into a volume of their own first. */
int ReadTiffStack(Volume* volume, const char* fileName);

/* Writes the VOI of `volume` as one TIFF file of one page per VOI frame. */
int WriteTiffStack(Volume* volume, const char* fileName, int compression);

/* Writes each VOI frame of `volume` as its own one-page TIFF file, frame k of the VOI (from
 * 0) named "%s%0*d.tif" (digits > 0) or "%s%d.tif" from the base. Each file is written and
 * renamed on its own: a failure ends the run, the files before it complete. */
int WriteTiffSequence(Volume* volume, const char* baseName, int digits, int compression);

#ifdef __cplusplus
} /* extern "C" */

#include <cstddef>
#include <cstdint>

namespace v3d::tiffstack {

struct StackInfo {
  int pages = 0, rows = 0, columns = 0, dataType = 0, colorType = 0;
};

// The check and the read on a file held in memory (the fuzzer's and the tests' entry).
int checkMemory(const std::uint8_t* data, std::size_t size, StackInfo& info);
int readMemory(const std::uint8_t* data, std::size_t size, Volume* volume);

}  // namespace v3d::tiffstack
#endif

#endif /* VELMORA3D_CORE_TIFF_STACK_H */
