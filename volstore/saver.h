// The saver's work without widgets: the formats it offers, the files a choice writes, and the
// writing itself through the program's exports, each file under a temporary name in its own
// folder, renamed only when complete.
#pragma once

#include <string>
#include <vector>

#include "host/module_api.h"

namespace v3d::volstore {

// The program's exports the saver uses, bound by ordinal (tests fill them with the library's
// functions directly).
struct Program {
  V3dGetInputVolumeFn getInputVolume = nullptr;
  V3dErrorHandlerFn errorHandler = nullptr;
  V3dGetVelmora3DInfoFn info = nullptr;
  V3dInitializeVolumeFn initializeVolume = nullptr;
  V3dCreateVolumeFn createVolume = nullptr;
  V3dDestroyVolumeFn destroyVolume = nullptr;
  V3dWriteVolumeFn writeVolume = nullptr;
  V3dDumpFn dump = nullptr;
  V3dSaveTiffFn savetiff = nullptr;
  V3dWriteTiffStackFn writeTiffStack = nullptr;
  V3dWriteTiffSequenceFn writeTiffSequence = nullptr;
  // Optional: a program without them is told nothing about what was saved.
  V3dSaverWroteVolumeFn saverWrote = nullptr;
  int (*volumeIndex)(Volume*) = nullptr;
};
// False when the lookup misses one of them.
bool bindProgram(V3dExportByOrdinalFn lookup, Program& program);

// The formats of "&Save", in the order of the dialog's filters.
enum class VolumeFormat { TiffStack, TiffSequence, RawVolume, TextDump };
// The formats of a projection picture, in the order of the dialog's filters.
enum class PictureFormat { Png, Tiff };

struct FormatRow {
  const char* filter;     // the dialog's filter text
  const char* extension;  // added to a name without one of `extensions`
  std::vector<const char*> extensions;
  bool tiff;  // offers the compression choice
};
const std::vector<FormatRow>& volumeFormats();
const std::vector<FormatRow>& pictureFormats();

// `path` with the row's extension added unless it ends in one of the row's extensions
// (compared without regard to case).
std::string withExtension(const std::string& path, const FormatRow& row);

// The digits of the frame numbers of a sequence of `frames` files: at least 3.
int sequenceDigits(int frames);
// The base name of a sequence chosen as `path` (its ".tif" taken off).
std::string sequenceBase(const std::string& path);

// Every file a volume save writes (one per VOI frame for a sequence). `path` already has its
// extension.
std::vector<std::string> volumeTargets(const Volume& volume, VolumeFormat format,
                                       const std::string& path);
// Those of `files` that exist.
std::vector<std::string> existingFiles(const std::vector<std::string>& files);

// Writes the VOI of `volume`. 0 or a code for error_handler. Compression: V3D_TIFF_NONE,
// V3D_TIFF_LZW or V3D_TIFF_DEFLATE for the TIFF formats.
int saveVolume(const Program& program, Volume* volume, VolumeFormat format, int compression,
               const std::string& path);

// Tells the program what a successful saveVolume wrote (the slot, the format, the file, or for
// a sequence its base name and digits, the compression), so that a running macro records it.
void reportSave(const Program& program, Volume* volume, VolumeFormat format, int compression,
                const std::string& path);

// Checks a projection buffer: kind 1 with plane 0, or kind 2 with three planes, and a size.
int checkBuffer(const V3dBuffer* buffer);

// Writes a buffer as TIFF (grey or RGB, through the program's savetiff). PNG is written by the
// widget layer's image support, through writeThroughTemporary.
int saveBufferTiff(const Program& program, const V3dBuffer* buffer, int compression,
                   const std::string& path);

// Writes a buffer as PNG (grey or RGB) through Qt's image writer (volstore/qt/picture.cpp).
int saveBufferPng(const V3dBuffer* buffer, const std::string& path);

// Runs `write` on a temporary name in the folder of `path` and renames the file to `path` when
// it returns 0 (the file synced first); otherwise the temporary file is removed and the code
// returned. kCannotWriteFile when no temporary file can be made or the rename fails.
template <class Write>
int writeThroughTemporary(const std::string& path, Write&& write);

// The non-template part of writeThroughTemporary.
std::string makeTemporary(const std::string& path);  // empty on failure
int finishTemporary(const std::string& temporary, const std::string& path, int code);

template <class Write>
int writeThroughTemporary(const std::string& path, Write&& write) {
  const std::string temporary = makeTemporary(path);
  if (temporary.empty()) return kCannotWriteFile;
  return finishTemporary(temporary, path, write(temporary.c_str()));
}

}  // namespace v3d::volstore
