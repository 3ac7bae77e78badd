// The writer directives of macros: a volume written through the library's own writers, so
// that a macro saves what it computed without the saver's dialogs.
#pragma once

#include "core/volume.h"
#include "shell/macro_format.h"

namespace v3d::shell::macro {

// Writes `volume` as the directive says: 0 or a result code.
//   write-tiff-stack     WriteTiffStack: the VOI, one page per VOI frame
//   write-tiff-sequence  local_WriteImageSeqTIFF: every frame of a UC volume, "%s%d.%s"
//   write-tiff-frames    WriteTiffSequence: one file per VOI frame, "%s%0*d.tif"
//   write-raw            WriteVolume of the VOI (a copy of it when the VOI is not the whole)
//   write-dump           dumpUCFI3D: the text dump of the VOI
// The raw file and the dump are written under a temporary name in the file's folder and
// renamed when complete, so a failed write leaves an existing file as it was.
int writeVolume(const Directive& directive, Volume* volume);

}  // namespace v3d::shell::macro
