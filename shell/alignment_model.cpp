#include "shell/alignment_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/basic_ops.h"
#include "core/samples.h"

namespace v3d::shell {
namespace {

// A one-frame UC canvas of side S; false when memory is short.
bool makeCanvas(Volume& v, int S, int colorType) {
  InitializeVolume(&v, 1, S, S, V3D_UC, colorType);
  if (CreateVolume(&v) != 0) {
    v = Volume{};
    return false;
  }
  fill_in_VOI(&v, 0, 1, 0, S, 0, S);
  return true;
}

void clearCanvas(Volume& v) {
  for (int c = 0; c < channelCount(v); ++c) {
    UC** rows = channelData<UC>(v, c)[0];
    for (int y = 0; y < v.Y; ++y) std::memset(rows[y], 0, static_cast<std::size_t>(v.X));
  }
}

// The columns x of 0..width - 1 whose canvas column x + offset lies in 0..S - 1.
void columnsOnCanvas(int width, int offset, int S, int* from, int* to) {
  *from = std::clamp(-offset, 0, width);
  *to = std::clamp(S - offset, *from, width);
}

}  // namespace

AlignmentCanvas alignmentCanvas(int X, int Y) {
  const double diagonal = std::sqrt(static_cast<double>(X) * X + static_cast<double>(Y) * Y);
  AlignmentCanvas c;
  c.size = static_cast<int>(diagonal);
  c.columnOffset = (c.size - X) / 2;
  c.rowOffset = (c.size - Y) / 2;
  return c;
}

int AlignmentModel::create(Volume* input, Volume* output, int lower, int upper,
                           std::unique_ptr<AlignmentModel>& made) {
  if (int code = CheckVolume(input, V3D_UC, V3D_ANY_COLOR); code != 0) return code;
  if (int code = CheckVolume(output, V3D_ANY_TYPE, V3D_ANY_COLOR); code != 0) return code;
  if (input == output) return kSameInputOutput;
  if (lower < 0 || lower >= upper || upper >= input->Z) return kInvalidParameters;
  // A frame whose diagonal does not fit an int cannot be placed on a canvas.
  if (std::hypot(static_cast<double>(input->X), static_cast<double>(input->Y)) >
      static_cast<double>(std::numeric_limits<int>::max()))
    return kInvalidInputDimensions;

  auto m = std::make_unique<AlignmentModel>(Key{});
  m->input_ = input;
  m->output_ = output;
  m->X_ = input->X;
  m->Y_ = input->Y;
  m->Z_ = input->Z;
  m->colorType_ = input->colorType;
  if (int code = m->checkVolumes(); code != 0) return code;
  m->lower_ = lower;
  m->upper_ = upper;
  m->current_ = lower;
  m->canvas_ = alignmentCanvas(m->X_, m->Y_);
  const AlignmentTransform fresh{0.0f, m->canvas_.columnOffset, m->canvas_.rowOffset};
  m->working_ = fresh;

  const auto frames = static_cast<std::size_t>(upper - lower + 1);
  const auto pixels = static_cast<std::size_t>(m->X_) * static_cast<std::size_t>(m->Y_);
  m->table_ = ScratchArray<AlignmentTransform>(frames);
  m->reference_ = ScratchArray<std::uint8_t>(pixels);
  m->picture_ = ScratchArray<std::uint8_t>(pixels * 3);
  const int S = m->canvas_.size;
  if (!m->table_ || !m->reference_ || !m->picture_ || !makeCanvas(m->placed_, S, V3D_ONE_CHANNEL) ||
      !makeCanvas(m->turned_, S, V3D_ONE_CHANNEL) ||
      !makeCanvas(m->colourPlaced_, S, m->colorType_) ||
      !makeCanvas(m->colourTurned_, S, m->colorType_))
    return kCannotAllocateBuffer;  // what was made goes with m
  for (std::size_t i = 0; i < frames; ++i) m->table_[i] = fresh;
  if (int code = m->moveTo(lower); code != 0) return code;
  made = std::move(m);
  return 0;
}

AlignmentModel::~AlignmentModel() {
  DestroyVolume(&placed_);
  DestroyVolume(&turned_);
  DestroyVolume(&colourPlaced_);
  DestroyVolume(&colourTurned_);
}

const AlignmentTransform& AlignmentModel::stored(int frame) const {
  return table_[static_cast<std::size_t>(std::clamp(frame, lower_, upper_) - lower_)];
}

void AlignmentModel::store() {
  table_[static_cast<std::size_t>(current_ - lower_)] = working_;
}

int AlignmentModel::checkVolumes() const {
  if (int code = CheckVolume(input_, V3D_UC, V3D_ANY_COLOR); code != 0) return code;
  if (input_->X != X_ || input_->Y != Y_ || input_->Z != Z_ || input_->colorType != colorType_)
    return kInvalidInputDimensions;
  if (int code = CheckVolume(output_, V3D_ANY_TYPE, V3D_ANY_COLOR); code != 0) return code;
  if (output_->dataType != V3D_UC) return kInvalidOutputDataType;
  if (output_->colorType != colorType_) return kInvalidOutputColorType;
  if (output_->X < X_ || output_->Y < Y_ || output_->Z < Z_) return kInvalidOutputDimensions;
  return 0;
}

int AlignmentModel::turnGrey(int frame, float angle) {
  const int channels = channelCount(*input_);
  UC** placed = channelData<UC>(placed_, 0)[0];
  const int r0 = canvas_.rowOffset, c0 = canvas_.columnOffset;
  // The frame covers the same rectangle every time, so the rest of the canvas stays 0.
  for (int y = 0; y < Y_; ++y) {
    UC* dst = placed[y + r0] + c0;
    std::memcpy(dst, channelData<UC>(*input_, 0)[frame][y], static_cast<std::size_t>(X_));
    for (int c = 1; c < channels; ++c) {
      const UC* src = channelData<UC>(*input_, c)[frame][y];
      for (int x = 0; x < X_; ++x) dst[x] = std::max(dst[x], src[x]);
    }
  }
  // The rotation leaves target samples whose source is off the canvas as they were.
  clearCanvas(turned_);
  const int centre = canvas_.size / 2;
  return RotateVol2d(&placed_, &turned_, angle, centre, centre, centre, centre, 0, 0);
}

int AlignmentModel::makeReference() {
  std::uint8_t* ref = reference_.get();
  std::memset(ref, 0, static_cast<std::size_t>(X_) * static_cast<std::size_t>(Y_));
  if (current_ == lower_) return 0;
  const AlignmentTransform& t = stored(current_ - 1);
  if (int code = turnGrey(current_ - 1, t.angle); code != 0) return code;
  UC** turned = channelData<UC>(turned_, 0)[0];
  int from = 0, to = 0;
  columnsOnCanvas(X_, t.horizontal, canvas_.size, &from, &to);
  for (int y = 0; y < Y_; ++y) {
    const int cy = y + t.vertical;
    if (cy < 0 || cy >= canvas_.size) continue;
    std::memcpy(ref + static_cast<std::size_t>(y) * X_ + from, turned[cy] + from + t.horizontal,
                static_cast<std::size_t>(to - from));
  }
  return 0;
}

void AlignmentModel::compose() {
  UC** turned = channelData<UC>(turned_, 0)[0];
  const std::uint8_t* ref = reference_.get();
  std::uint8_t* out = picture_.get();
  int from = 0, to = 0;
  columnsOnCanvas(X_, working_.horizontal, canvas_.size, &from, &to);
  for (int y = 0; y < Y_; ++y) {
    const std::uint8_t* refRow = ref + static_cast<std::size_t>(y) * X_;
    std::uint8_t* line = out + static_cast<std::size_t>(y) * X_ * 3;
    const int cy = y + working_.vertical;
    const UC* red = cy >= 0 && cy < canvas_.size ? turned[cy] + working_.horizontal : nullptr;
    for (int x = 0; x < X_; ++x) {
      line[3 * x] = red != nullptr && x >= from && x < to ? red[x] : 0;
      line[3 * x + 1] = 0;
      line[3 * x + 2] = refRow[x];
    }
  }
}

int AlignmentModel::moveTo(int frame) {
  if (int code = checkVolumes(); code != 0) return code;
  store();
  current_ = std::clamp(frame, lower_, upper_);
  working_ = stored(current_);
  if (int code = makeReference(); code != 0) return code;
  if (int code = turnGrey(current_, working_.angle); code != 0) return code;
  compose();
  return 0;
}

int AlignmentModel::shift(int horizontal, int vertical) {
  if (int code = checkVolumes(); code != 0) return code;
  working_.horizontal += horizontal;
  working_.vertical += vertical;
  compose();
  return 0;
}

int AlignmentModel::rotate(float degrees) {
  if (int code = checkVolumes(); code != 0) return code;
  working_.angle += degrees;
  if (int code = turnGrey(current_, working_.angle); code != 0) return code;
  compose();
  return 0;
}

int AlignmentModel::writeChecked(int frame) {
  const AlignmentTransform& t = stored(frame);
  // The frame is read through a copy of the input's record, so the input's own VOI stays.
  Volume view = *input_;
  fill_in_VOI(&view, frame, frame + 1, 0, Y_, 0, X_);
  if (int code = CopyVolume(&view, &colourPlaced_, 0, canvas_.rowOffset, canvas_.columnOffset);
      code != 0)
    return code;
  clearCanvas(colourTurned_);
  const int centre = canvas_.size / 2;
  if (int code = RotateVol2d(&colourPlaced_, &colourTurned_, t.angle, centre, centre, centre,
                             centre, 0, 0);
      code != 0)
    return code;
  int from = 0, to = 0;
  columnsOnCanvas(X_, t.horizontal, canvas_.size, &from, &to);
  for (int c = 0; c < channelCount(*input_); ++c) {
    UC** turned = channelData<UC>(colourTurned_, c)[0];
    UC** out = channelData<UC>(*output_, c)[frame];
    for (int y = 0; y < Y_; ++y) {
      std::memset(out[y], 0, static_cast<std::size_t>(X_));
      const int cy = y + t.vertical;
      if (cy < 0 || cy >= canvas_.size) continue;
      std::memcpy(out[y] + from, turned[cy] + from + t.horizontal,
                  static_cast<std::size_t>(to - from));
    }
  }
  return 0;
}

int AlignmentModel::writeFrame(int frame) {
  if (int code = checkVolumes(); code != 0) return code;
  if (frame < lower_ || frame > upper_) return kInvalidParameters;
  return writeChecked(frame);
}

int AlignmentModel::writeAll() {
  if (int code = checkVolumes(); code != 0) return code;
  for (int k = lower_; k <= upper_; ++k)
    if (int code = writeChecked(k); code != 0) return code;
  return 0;
}

}  // namespace v3d::shell
