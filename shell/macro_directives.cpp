#include "shell/macro_directives.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/basic_ops.h"
#include "core/image_sequence.h"
#include "core/raw_files.h"
#include "core/result_codes.h"
#include "core/tiff_stack.h"

namespace v3d::shell::macro {
namespace {

// Runs `write` on a fresh temporary name beside `path` and renames the file to `path` when it
// returns 0; otherwise the temporary file is removed and the code returned.
template <class Write>
int throughTemporary(const std::string& path, Write&& write) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temporary = folder + "." + file + ".partXXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return kFopenError;
  // mkstemp makes the file private; the result gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  int code = write(temporary.c_str());
  if (code == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) code = kFopenError;
  if (code != 0) ::unlink(temporary.c_str());
  return code;
}

bool voiIsWhole(const Volume& v) {
  return v.voiZ0 == 0 && v.voiZ1 == v.Z && v.voiY0 == 0 && v.voiY1 == v.Y && v.voiX0 == 0 &&
         v.voiX1 == v.X;
}

// The VOI of `volume` as a volume of its own (outside the table), for the raw writer, which
// writes whole frames.
int writeRawVoi(Volume* volume, const std::string& path) {
  if (const int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR); code != 0) return code;
  if (voiIsWhole(*volume))
    return throughTemporary(
        path, [&](const char* name) { return WriteVolume(volume, name, 0, volume->Z); });
  Volume copy{};
  InitializeVolume(&copy, volume->voiZ1 - volume->voiZ0, volume->voiY1 - volume->voiY0,
                   volume->voiX1 - volume->voiX0, volume->dataType, volume->colorType);
  if (const int code = CreateVolume(&copy); code != 0) return code;
  fill_in_VOI(&copy, 0, copy.Z, 0, copy.Y, 0, copy.X);
  int code = CopyVolume(volume, &copy, 0, 0, 0);
  if (code == 0)
    code = throughTemporary(path,
                            [&](const char* name) { return WriteVolume(&copy, name, 0, copy.Z); });
  DestroyVolume(&copy);
  return code;
}

}  // namespace

int writeVolume(const Directive& d, Volume* volume) {
  switch (d.kind) {
    case WriterKind::TiffStack:
      return WriteTiffStack(volume, d.path.c_str(), d.compression);
    case WriterKind::TiffSequence:
      return local_WriteImageSeqTIFF(volume, d.path.c_str(), d.first, d.extension.c_str(),
                                     d.compression, d.photometric);
    case WriterKind::TiffFrames:
      return WriteTiffSequence(volume, d.path.c_str(), d.digits, d.compression);
    case WriterKind::RawVolume:
      return writeRawVoi(volume, d.path);
    case WriterKind::TextDump:
      if (const int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR); code != 0) return code;
      return throughTemporary(d.path, [&](const char* name) { return dumpUCFI3D(volume, name); });
  }
  return kInvalidParameters;
}

}  // namespace v3d::shell::macro
