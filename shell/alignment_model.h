// Manual frame alignment without a toolkit: the canvas the frames are turned on, the table of
// per-frame transforms, the overlay picture of the current frame on its aligned predecessor,
// and the writing of aligned frames into the output volume.
//
// Geometry. A frame of X columns and Y rows is placed on a square canvas of S = trunc(sqrt(X^2
// + Y^2)) samples, at the column offset (S - X) / 2 and the row offset (S - Y) / 2, so that
// any rotation about the canvas centre (S / 2, S / 2) keeps it on the canvas. A frame's
// transform is its angle (degrees; positive turns clockwise on the screen, rows counted
// downward) and the place it is read back from: aligned sample (row, column) is the rotated
// canvas at (row + vertical, column + horizontal), 0 off the canvas. A fresh transform (0,
// column offset, row offset) gives the frame back unchanged; a larger horizontal offset moves
// the content left, a larger vertical offset moves it up.
//
// The picture is X x Y RGB: blue is the previous frame as it would be written (black for the
// first frame), red the current frame with the working transform, green 0. Grey values of a
// three-channel frame are the maximum of its channels.
//
// The model reads its volumes through their table records on every call and never keeps their
// sample pointers, and it checks their shape before it reads: a volume reallocated or destroyed
// behind its back gives a code, never a read of freed storage.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/alloc.h"
#include "core/volume.h"

namespace v3d::shell {

// Where frames of X columns and Y rows sit on the alignment canvas.
struct AlignmentCanvas {
  int size = 0;          // S, the canvas side
  int columnOffset = 0;  // (S - X) / 2
  int rowOffset = 0;     // (S - Y) / 2
};
AlignmentCanvas alignmentCanvas(int X, int Y);

// One frame's alignment.
struct AlignmentTransform {
  float angle = 0.0f;  // degrees about the canvas centre
  int horizontal = 0;  // canvas column read for column 0 of the frame
  int vertical = 0;    // canvas row read for row 0 of the frame
};

class AlignmentModel {
  struct Key {
    explicit Key() = default;
  };

 public:
  // An empty model, for create() only.
  explicit AlignmentModel(Key) {}
  // The state for aligning frames lower..upper of `input` (UC, either colour type) into
  // `output` (UC, the input's colour type, at least the input's size). 0 and the model in
  // `made`, or: the CheckVolume code of either volume, kSameInputOutput, kInvalidParameters for
  // a range that is not 0 <= lower < upper < Z, kInvalidOutput* for an unfit output,
  // kCannotAllocateBuffer when memory is short (nothing is kept then).
  static int create(Volume* input, Volume* output, int lower, int upper,
                    std::unique_ptr<AlignmentModel>& made);
  ~AlignmentModel();
  AlignmentModel(const AlignmentModel&) = delete;
  AlignmentModel& operator=(const AlignmentModel&) = delete;

  Volume* input() const { return input_; }
  Volume* output() const { return output_; }
  int lower() const { return lower_; }
  int upper() const { return upper_; }
  int current() const { return current_; }
  const AlignmentCanvas& canvas() const { return canvas_; }
  int width() const { return X_; }
  int height() const { return Y_; }

  // The working transform of the current frame, and the stored one of any frame of the range.
  const AlignmentTransform& working() const { return working_; }
  const AlignmentTransform& stored(int frame) const;
  // Copies the working transform into the table.
  void store();

  // Each of these updates the picture and returns 0, or the code of a volume that no longer
  // has its shape (the picture is left as it was then), or a rotation's code.
  // Stores the working transform, makes `frame` (clamped to the range) current and loads its
  // transform.
  int moveTo(int frame);
  // Adds to the working offsets.
  int shift(int horizontal, int vertical);
  // Adds to the working angle.
  int rotate(float degrees);

  // The picture: width() x height() pixels of red, green, blue bytes, row after row.
  const std::uint8_t* picture() const { return picture_.get(); }

  // Writes frame `frame` (of the range) of the input, turned and shifted by its stored
  // transform, into the same frame of the output. Every check runs first; a failing call
  // leaves the output as it was. The working transform is not stored by this call.
  int writeFrame(int frame);
  // Writes every frame of the range; the checks run once before the first frame.
  int writeAll();

  // 0 while both volumes still have the shape and types the alignment was made for, else the
  // code: the input's CheckVolume code or kInvalidInputDimensions, the output's CheckVolume
  // code, kInvalidOutputDataType, kInvalidOutputColorType or kInvalidOutputDimensions.
  int checkVolumes() const;

 private:
  // Grey frame `frame` placed on the canvas and turned by `angle` into `turned_`.
  int turnGrey(int frame, float angle);
  // The previous frame as it is written, into the reference plane (zeros at the first frame).
  int makeReference();
  // Red over blue into the picture.
  void compose();
  int writeChecked(int frame);

  Volume* input_ = nullptr;
  Volume* output_ = nullptr;
  int X_ = 0, Y_ = 0, Z_ = 0, colorType_ = 0;
  int lower_ = 0, upper_ = 0, current_ = 0;
  AlignmentCanvas canvas_;
  AlignmentTransform working_;
  ScratchArray<AlignmentTransform> table_;
  // One-frame UC work volumes of S x S: the grey placing canvas, the grey turned canvas, and
  // two with the input's colour type for writing.
  Volume placed_{}, turned_{}, colourPlaced_{}, colourTurned_{};
  ScratchArray<std::uint8_t> reference_;  // X x Y
  ScratchArray<std::uint8_t> picture_;    // X x Y x 3
};

}  // namespace v3d::shell
