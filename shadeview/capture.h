// "Take Snapshot" and "Make Movie": the rendering window's picture read back into colour
// volumes. The window is reached through PictureSource, so the copying, the volume handling
// and the movie's turntable run the same against the real OpenGL window and a test double.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "shadeview/gl_scene.h"
#include "shadeview/program.h"

namespace v3d::shade {

class PictureSource {
 public:
  virtual ~PictureSource() = default;
  // The viewport's size in pixels.
  virtual void viewportSize(int& width, int& height) = 0;
  // Reads the picture last drawn: `height` rows bottom-up of `width` RGB byte triples.
  // False when it cannot.
  virtual bool readPixels(int width, int height, std::uint8_t* rgb) = 0;
  virtual ViewRotation rotation() const = 0;
  // Turns the view and repaints it at once.
  virtual void setRotation(const ViewRotation& view) = 0;
};

// What the two commands ask of the user besides the volume dialog.
class CaptureUi {
 public:
  virtual ~CaptureUi() = default;
  // The text-entry dialog; nullopt on Cancel.
  virtual std::optional<std::string> askText(const char* title, const char* prompt) = 0;
  // Wait cursor on and off, in pairs.
  virtual void setBusy(bool busy) = 0;
};

// Copies a read-back picture into frame `frame` of a UC colour volume at least width x height:
// volume row r receives picture row height - 1 - r (the picture is stored bottom-up), red,
// green and blue into the three channels.
void copyPicture(const std::uint8_t* rgb, int width, int height, Volume& volume, int frame);

// Records `frames` pictures turned about the Y axis by k * 360 / frames degrees into the
// frames of `volume`, then restores the view. 0, kInvalidParameters when the volume is smaller
// than width x height x frames or not UC colour, kGenericError when the viewport is not (or
// stops being) width x height, kCannotAllocateBuffer when the picture buffer cannot be had.
int RecordMovie(Volume* volume, int width, int height, int frames, PictureSource& source);

// The two commands. They report failures through the program's error_handler and return the
// code reported (0 when none; also 0 when the user cancelled). The volume is not displayed.
int takeSnapshot(const ProgramBindings& program, PictureSource& source, CaptureUi& ui);
int makeMovie(const ProgramBindings& program, PictureSource& source, CaptureUi& ui);

}  // namespace v3d::shade
