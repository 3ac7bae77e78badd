// The saver's work without widgets; see saver.h.
#include "volstore/saver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/samples.h"

namespace v3d::volstore {

bool bindProgram(V3dExportByOrdinalFn lookup, Program& p) {
  if (lookup == nullptr) return false;
  auto bind = [&](auto& fn, int ordinal) {
    fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(lookup(ordinal));
    return fn != nullptr;
  };
  return bind(p.getInputVolume, V3D_ORD_GetInputVolume) &&
         bind(p.errorHandler, V3D_ORD_error_handler) && bind(p.info, V3D_ORD_GetVelmora3DInfo) &&
         bind(p.initializeVolume, V3D_ORD_InitializeVolume) &&
         bind(p.createVolume, V3D_ORD_CreateVolume) &&
         bind(p.destroyVolume, V3D_ORD_DestroyVolume) && bind(p.writeVolume, V3D_ORD_WriteVolume) &&
         bind(p.dump, V3D_ORD_dumpUCFI3D) && bind(p.savetiff, V3D_ORD_savetiff) &&
         bind(p.writeTiffStack, V3D_ORD_WriteTiffStack) &&
         bind(p.writeTiffSequence, V3D_ORD_WriteTiffSequence) &&
         (bind(p.saverWrote, V3D_ORD_SaverWroteVolume), bind(p.volumeIndex, V3D_ORD_GetVolumeIndex),
          true);
}

const std::vector<FormatRow>& volumeFormats() {
  // Qt reads the patterns of a filter from its last parentheses, separated by blanks.
  static const std::vector<FormatRow> rows = {
      {"TIFF stack (*.tif)", ".tif", {".tif", ".tiff"}, true},
      {"TIFF sequence, one file per frame (*.tif)", ".tif", {".tif"}, true},
      {"Raw volume (*.rv *.vol)", ".rv", {".rv", ".vol"}, false},
      {"Text dump (*.txt)", ".txt", {".txt"}, false},
  };
  return rows;
}

const std::vector<FormatRow>& pictureFormats() {
  static const std::vector<FormatRow> rows = {
      {"PNG image (*.png)", ".png", {".png"}, false},
      {"TIFF image (*.tif)", ".tif", {".tif", ".tiff"}, true},
  };
  return rows;
}

namespace {
bool endsWithNoCase(const std::string& s, const std::string& end) {
  if (s.size() < end.size()) return false;
  return std::equal(end.begin(), end.end(), s.end() - static_cast<long>(end.size()),
                    [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}
}  // namespace

std::string withExtension(const std::string& path, const FormatRow& row) {
  for (const char* e : row.extensions)
    if (endsWithNoCase(path, e)) return path;
  return path + row.extension;
}

int sequenceDigits(int frames) {
  int digits = 1;
  for (int n = std::max(frames - 1, 0); n >= 10; n /= 10) ++digits;
  return std::max(digits, 3);
}

std::string sequenceBase(const std::string& path) {
  for (const char* e : {".tiff", ".tif"})
    if (endsWithNoCase(path, e)) return path.substr(0, path.size() - std::strlen(e));
  return path;
}

std::vector<std::string> volumeTargets(const Volume& v, VolumeFormat format,
                                       const std::string& path) {
  if (format != VolumeFormat::TiffSequence) return {path};
  const int frames = v.voiZ1 - v.voiZ0;
  const int digits = sequenceDigits(frames);
  const std::string base = sequenceBase(path);
  std::vector<std::string> names;
  for (int k = 0; k < frames; ++k) {
    char number[16];
    std::snprintf(number, sizeof number, "%0*d", digits, k);
    names.push_back(base + number + ".tif");
  }
  return names;
}

std::vector<std::string> existingFiles(const std::vector<std::string>& files) {
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& f : files)
    if (std::filesystem::exists(f, error)) found.push_back(f);
  return found;
}

std::string makeTemporary(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string name = folder + "." + file + ".partXXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return {};
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  return name;
}

int finishTemporary(const std::string& temporary, const std::string& path, int code) {
  if (code == 0) {
    // The data reaches the disk before the name does.
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) code = kCannotWriteFile;
    if (fd >= 0) ::close(fd);
  }
  if (code == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) code = kCannotWriteFile;
  if (code != 0) ::unlink(temporary.c_str());
  return code;
}

namespace {

// A copy of the VOI of `v` in a record of the saver's own (not in the volume table).
struct VoiCopy {
  const Program& program;
  Volume copy{};
  bool made = false;
  VoiCopy(const Program& p) : program(p) {}
  ~VoiCopy() {
    if (made) program.destroyVolume(&copy);
  }
  int make(const Volume& v) {
    const Box b = voiOf(v);
    program.initializeVolume(&copy, b.depth(), b.height(), b.width(), v.dataType, v.colorType);
    if (const int code = program.createVolume(&copy); code != 0) return code;
    made = true;
    const std::size_t bytes = sampleSize(v.dataType) * static_cast<std::size_t>(b.width());
    withSampleType(v.dataType, [&](auto tag) {
      using T = typename decltype(tag)::type;
      for (int c = 0; c < channelCount(v); ++c)
        for (int z = b.z0; z < b.z1; ++z)
          for (int y = b.y0; y < b.y1; ++y)
            std::memcpy(channelData<T>(copy, c)[z - b.z0][y - b.y0],
                        channelData<T>(v, c)[z][y] + b.x0, bytes);
    });
    return 0;
  }
};

bool voiIsWhole(const Volume& v) {
  return v.voiZ0 == 0 && v.voiZ1 == v.Z && v.voiY0 == 0 && v.voiY1 == v.Y && v.voiX0 == 0 &&
         v.voiX1 == v.X;
}

bool voiIsValid(const Volume& v) {
  return v.voiZ0 >= 0 && v.voiY0 >= 0 && v.voiX0 >= 0 && v.voiZ0 < v.voiZ1 && v.voiY0 < v.voiY1 &&
         v.voiX0 < v.voiX1 && v.voiZ1 <= v.Z && v.voiY1 <= v.Y && v.voiX1 <= v.X;
}

}  // namespace

int saveVolume(const Program& program, Volume* volume, VolumeFormat format, int compression,
               const std::string& path) {
  if (volume == nullptr || volume->dataType == 0) return kNullVolume;
  if (!voiIsValid(*volume)) return kInvalidVoi;
  if (path.empty()) return kNoFileName;
  switch (format) {
    case VolumeFormat::TiffStack:
      // The library writes through a temporary file itself.
      return program.writeTiffStack(volume, path.c_str(), compression);
    case VolumeFormat::TiffSequence:
      return program.writeTiffSequence(volume, sequenceBase(path).c_str(),
                                       sequenceDigits(volume->voiZ1 - volume->voiZ0), compression);
    case VolumeFormat::RawVolume: {
      VoiCopy copy(program);
      Volume* source = volume;
      if (!voiIsWhole(*volume)) {
        if (const int code = copy.make(*volume); code != 0) return code;
        source = &copy.copy;
      }
      return writeThroughTemporary(
          path, [&](const char* name) { return program.writeVolume(source, name, 0, source->Z); });
    }
    case VolumeFormat::TextDump:
      return writeThroughTemporary(path,
                                   [&](const char* name) { return program.dump(volume, name); });
  }
  return kInvalidParameters;
}

void reportSave(const Program& program, Volume* volume, VolumeFormat format, int compression,
                const std::string& path) {
  if (program.saverWrote == nullptr || program.volumeIndex == nullptr) return;
  const int slot = program.volumeIndex(volume);
  if (slot < 0) return;
  switch (format) {
    case VolumeFormat::TiffStack:
      program.saverWrote(slot, V3D_SAVED_TIFF_STACK, path.c_str(), compression, 0);
      break;
    case VolumeFormat::TiffSequence:
      program.saverWrote(slot, V3D_SAVED_TIFF_SEQUENCE, sequenceBase(path).c_str(), compression,
                         sequenceDigits(volume->voiZ1 - volume->voiZ0));
      break;
    case VolumeFormat::RawVolume:
      program.saverWrote(slot, V3D_SAVED_RAW_VOLUME, path.c_str(), 0, 0);
      break;
    case VolumeFormat::TextDump:
      program.saverWrote(slot, V3D_SAVED_TEXT_DUMP, path.c_str(), 0, 0);
      break;
  }
}

int checkBuffer(const V3dBuffer* b) {
  if (b == nullptr || b->plane[0] == nullptr) return kNullImagePointer;
  if (b->kind != V3D_BUFFER_GREY && b->kind != V3D_BUFFER_COLOUR) return kInvalidParameters;
  if (b->kind == V3D_BUFFER_COLOUR && (b->plane[1] == nullptr || b->plane[2] == nullptr))
    return kNullImagePointer;
  if (b->width <= 0 || b->height <= 0) return kInvalidWorkingArea;
  return 0;
}

int saveBufferTiff(const Program& program, const V3dBuffer* b, int compression,
                   const std::string& path) {
  if (const int code = checkBuffer(b); code != 0) return code;
  const bool colour = b->kind == V3D_BUFFER_COLOUR;
  return writeThroughTemporary(path, [&](const char* name) {
    return program.savetiff(b->plane[0], colour ? b->plane[1] : nullptr,
                            colour ? b->plane[2] : nullptr, name, compression, colour ? 2 : 1, 0, 0,
                            b->height, b->width);
  });
}

}  // namespace v3d::volstore
