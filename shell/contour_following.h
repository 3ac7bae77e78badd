// Contour following: chains drawn into an output volume beside the original they follow,
// edited in a pair of display windows that always show the same frame.
//
// A chain is a run of 8-connected voxels in one frame, marked in the output in the drawing
// colour (255 in a one-channel output). Chains are made three ways, each in the shown frame:
//  - followed: from a clicked voxel, edge_follow_3d walks to the neighbour closest in value
//    among those at least half as bright as the clicked voxel;
//  - drawn: a straight 8-connected line between two voxels;
//  - erased: every output voxel within one voxel of a line becomes 0 in every channel.
// The follower reads a grey copy of the original (the temporary volume) and zeroes what it
// passes, so a later chain stops where it meets an earlier one; drawing zeroes the copy too
// and erasing restores it from the original. The original's samples are never written: its
// window shows the output's non-zero voxels over the picture instead.
//
// No toolkit in here; the Qt pair (shell/qt/contour_pair.*) turns pointer events into these
// edits, and the command (shell/commands_contour.cpp) starts and ends the mode.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/samples.h"
#include "core/volume.h"
#include "shell/display_model.h"

namespace v3d::shell {

// The colour chains are drawn in; white when the mode starts.
struct DrawingColour {
  UC red = 255, green = 255, blue = 255;
  bool operator==(const DrawingColour&) const = default;
};

// A volume outside the volume table, destroyed with its holder.
class TemporaryVolume {
 public:
  TemporaryVolume() = default;
  TemporaryVolume(const TemporaryVolume&) = delete;
  TemporaryVolume& operator=(const TemporaryVolume&) = delete;
  ~TemporaryVolume() { DestroyVolume(&v_); }
  // CreateVolume's code.
  int create(int Z, int Y, int X, int dataType, int colorType) {
    InitializeVolume(&v_, Z, Y, X, dataType, colorType);
    return CreateVolume(&v_);
  }
  Volume* get() { return &v_; }
  const Volume* get() const { return &v_; }

 private:
  Volume v_{};
};

class ContourSession {
 public:
  // A session on `original` and `output` (UC volumes of the same size; the output has one
  // channel or three). Makes the temporary volumes; nullptr and *code =
  // kCannotAllocateVolume when they cannot be had.
  static std::unique_ptr<ContourSession> start(int command, Volume* original, Volume* output,
                                               int* code);

  int command() const { return command_; }
  Volume* original() const { return original_; }
  Volume* output() const { return output_; }
  // The colour variant (three-channel output, colour chooser).
  bool colourVariant() const;

  DrawingColour colour() const { return colour_; }
  void setColour(DrawingColour c) { colour_ = c; }

  // The frame both windows show; edits happen in it.
  int frame() const { return frame_; }
  void setFrame(int z);

  // Follows a chain from voxel (x, y): the number of voxels marked (0 when the voxel is
  // outside the frame, dark or already on a chain), or a negative result code.
  int follow(int x, int y);
  // Draws a chain piece from (x0, y0) to (x1, y1); the number of voxels inside the frame.
  int draw(int x0, int y0, int x1, int y1);
  // Erases within one voxel of the line from (x0, y0) to (x1, y1).
  void erase(int x0, int y0, int x1, int y1);

  // Paints the chains of the shown frame over a display picture of the original (pixels of
  // the window `view`, paneWidth * paneHeight, row after row): every voxel where the output
  // is not 0 shows the output's colour.
  void paintChains(const DisplayModel& view, std::vector<std::uint32_t>& pixels, int paneWidth,
                   int paneHeight) const;

  // The grey copy the follower reads (for tests).
  const Volume* followed() const { return grey_.get(); }

 private:
  ContourSession(int command, Volume* original, Volume* output)
      : command_(command), original_(original), output_(output) {}
  bool inside(int x, int y) const;
  void mark(int x, int y);
  UC originalGrey(int x, int y, int z) const;

  int command_;
  Volume* original_;
  Volume* output_;
  DrawingColour colour_;
  int frame_ = 0;
  TemporaryVolume grey_;   // the original in grey, zeroed where chains pass
  TemporaryVolume trace_;  // where edge_follow_3d marks its chain; kept at 0 between chains
};

// The 8-connected voxels of the straight line from (x0, y0) to (x1, y1), both ends included.
std::vector<std::pair<int, int>> lineVoxels(int x0, int y0, int x1, int y1);

// Turns a one-channel UC volume into a three-channel one holding its samples in every
// channel; its VOI and information stay, its windows are closed first. 0, or
// kCannotAllocateVolume with the volume untouched.
int convertToColour(Volume* volume);

// Both windows of the pair show the frame of the one stepped.
void stepTogether(const DisplayModel& stepped, DisplayModel& other, ContourSession& session);

// The running mode, one for the program: the command that started it (its menu item carries
// the check mark) and its session.
class ContourMode {
 public:
  int command() const { return session_ ? session_->command() : 0; }
  ContourSession* session() const { return session_.get(); }
  void begin(std::unique_ptr<ContourSession> session) { session_ = std::move(session); }
  // Frees the session and its temporary volumes.
  void clear() { session_.reset(); }

 private:
  std::unique_ptr<ContourSession> session_;
};
ContourMode& contourMode();

}  // namespace v3d::shell
