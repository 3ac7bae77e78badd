// Snapshot and movie. Both ask for the output volume with the picture's size, replace an
// unsuitable chosen volume after the program's question, and copy the read-back rows flipped,
// since OpenGL stores the bottom row first and a volume the top row first.
#include "shadeview/capture.h"

#include <cstdio>
#include <new>
#include <stdexcept>
#include <vector>

#include "core/result_codes.h"
#include "shadeview/module_texts.h"

namespace v3d::shade {
namespace {

// A zeroed picture buffer, or false when it cannot be allocated.
bool allocate(std::vector<std::uint8_t>& buffer, int width, int height) {
  try {
    buffer.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3u, 0);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

class Busy {
 public:
  explicit Busy(CaptureUi& ui) : ui_(ui) { ui_.setBusy(true); }
  ~Busy() { end(); }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;
  void end() {
    if (on_) ui_.setBusy(false);
    on_ = false;
  }

 private:
  CaptureUi& ui_;
  bool on_ = true;
};

bool fits(const Volume& v, int width, int height, int frames) {
  return v.dataType == V3D_UC && v.colorType == V3D_THREE_CHANNELS && v.X >= width &&
         v.Y >= height && v.Z >= frames;
}

// The output volume for a picture of width x height x frames, asked for and prepared. Null
// when the user cancelled or refused the reallocation; `code` holds a failure to report;
// `madeHere` tells whether this command created or reallocated it.
Volume* prepareOutput(const ProgramBindings& program, int width, int height, int frames, int& code,
                      bool& madeHere) {
  code = 0;
  madeHere = false;
  Volume* v = nullptr;
  if (program.getOutputVolume(V3D_UC, V3D_THREE_CHANNELS, kSelectOutputVolume, width, height,
                              frames, &v) == 0)
    return nullptr;
  if (v == nullptr) {
    code = program.createVolumeEx(V3D_UC, V3D_THREE_CHANNELS, frames, height, width, nullptr, &v);
    if (code == 0 && v == nullptr) code = kCannotAllocateVolume;
    if (code != 0) return nullptr;
    madeHere = true;
    return v;
  }
  if (fits(*v, width, height, frames)) return v;
  void* const owner = program.info != nullptr ? program.info->frameWindow : nullptr;
  if (program.verifyReallocation(owner) == 0) return nullptr;
  program.freedisWin(v);
  program.destroyVolume(v);
  program.initializeVolume(v, frames, height, width, V3D_UC, V3D_THREE_CHANNELS);
  code = program.createVolume(v);
  if (code != 0) return nullptr;
  madeHere = true;
  return v;
}

}  // namespace

void copyPicture(const std::uint8_t* rgb, int width, int height, Volume& volume, int frame) {
  auto** red = static_cast<std::uint8_t***>(volume.channel[0]);
  auto** green = static_cast<std::uint8_t***>(volume.channel[1]);
  auto** blue = static_cast<std::uint8_t***>(volume.channel[2]);
  for (int r = 0; r < height; ++r) {
    const std::uint8_t* row = rgb + static_cast<std::size_t>(height - 1 - r) * width * 3u;
    std::uint8_t* R = red[frame][r];
    std::uint8_t* G = green[frame][r];
    std::uint8_t* B = blue[frame][r];
    for (int c = 0; c < width; ++c) {
      R[c] = row[3 * c];
      G[c] = row[3 * c + 1];
      B[c] = row[3 * c + 2];
    }
  }
}

int RecordMovie(Volume* volume, int width, int height, int frames, PictureSource& source) {
  if (volume == nullptr || width < 1 || height < 1 || frames < 1 ||
      !fits(*volume, width, height, frames))
    return kInvalidParameters;
  int w = 0, h = 0;
  source.viewportSize(w, h);
  if (w != width || h != height) return kGenericError;
  std::vector<std::uint8_t> picture;
  if (!allocate(picture, width, height)) return kCannotAllocateBuffer;

  const ViewRotation saved = source.rotation();
  int code = 0;
  for (int k = 0; k < frames && code == 0; ++k) {
    source.setRotation({saved.x, double(k) * 360.0 / double(frames)});
    source.viewportSize(w, h);
    if (w != width || h != height)
      code = kGenericError;
    else if (!source.readPixels(width, height, picture.data()))
      code = kGenericError;
    else
      copyPicture(picture.data(), width, height, *volume, k);
  }
  source.setRotation(saved);
  return code;
}

int takeSnapshot(const ProgramBindings& program, PictureSource& source, CaptureUi& ui) {
  Busy busy(ui);
  int width = 0, height = 0;
  source.viewportSize(width, height);
  std::vector<std::uint8_t> picture;
  const auto report = [&](int code) {
    busy.end();
    program.errorHandler(code);
    return code;
  };
  if (width < 1 || height < 1) return report(kGenericError);
  if (!allocate(picture, width, height)) return report(kCannotAllocateBuffer);
  if (!source.readPixels(width, height, picture.data())) return report(kGenericError);

  int code = 0;
  bool madeHere = false;
  Volume* v = prepareOutput(program, width, height, 1, code, madeHere);
  if (code != 0) return report(code);
  if (v == nullptr) return 0;
  copyPicture(picture.data(), width, height, *v, 0);
  return 0;
}

int makeMovie(const ProgramBindings& program, PictureSource& source, CaptureUi& ui) {
  // A count of frames that reads as a positive number; the question comes back otherwise.
  int frames = 0;
  for (;;) {
    const std::optional<std::string> text = ui.askText(kMovieTitle, kMoviePrompt);
    if (!text) return 0;
    if (std::sscanf(text->c_str(), "%d", &frames) == 1 && frames > 0) break;
  }
  int width = 0, height = 0;
  source.viewportSize(width, height);
  if (width < 1 || height < 1) {
    program.errorHandler(kGenericError);
    return kGenericError;
  }
  int code = 0;
  bool madeHere = false;
  Volume* v = prepareOutput(program, width, height, frames, code, madeHere);
  if (code != 0) {
    program.errorHandler(code);
    return code;
  }
  if (v == nullptr) return 0;
  {
    Busy busy(ui);
    code = RecordMovie(v, width, height, frames, source);
  }
  if (code != 0) {
    if (madeHere) {
      program.freedisWin(v);
      program.destroyVolume(v);
    }
    program.errorHandler(code);
  }
  return code;
}

}  // namespace v3d::shade
