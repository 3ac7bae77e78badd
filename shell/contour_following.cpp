#include "shell/contour_following.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "algorithms/edges.h"
#include "core/table.h"
#include "shell/command_ids.h"
#include "shell/pixels.h"

namespace v3d::shell {

std::unique_ptr<ContourSession> ContourSession::start(int command, Volume* original, Volume* output,
                                                      int* code) {
  const int Z = original->Z, Y = original->Y, X = original->X;
  if (output->Z != Z || output->Y != Y || output->X != X) {
    *code = kInvalidOutputDimensions;  // every edit addresses both at the same voxel
    return nullptr;
  }
  std::unique_ptr<ContourSession> s(new ContourSession(command, original, output));
  int result = s->grey_.create(Z, Y, X, V3D_UC, V3D_ONE_CHANNEL);
  if (result == 0) result = s->trace_.create(Z, Y, X, V3D_UC, V3D_ONE_CHANNEL);
  if (result != 0) {
    *code = result;
    return nullptr;  // the temporary volumes made so far go with the session
  }
  UC*** grey = channelData<UC>(*s->grey_.get(), 0);
  for (int z = 0; z < Z; ++z)
    for (int y = 0; y < Y; ++y)
      for (int x = 0; x < X; ++x) grey[z][y][x] = s->originalGrey(x, y, z);
  *code = 0;
  return s;
}

bool ContourSession::colourVariant() const {
  return command_ == kCmdColorContourFollowing;
}

void ContourSession::setFrame(int z) {
  frame_ = std::clamp(z, 0, original_->Z - 1);
}

bool ContourSession::inside(int x, int y) const {
  return x >= 0 && y >= 0 && x < original_->X && y < original_->Y;
}

UC ContourSession::originalGrey(int x, int y, int z) const {
  if (channelCount(*original_) == 1) return channelData<UC>(*original_, 0)[z][y][x];
  int sum = 0;
  for (int c = 0; c < 3; ++c) sum += channelData<UC>(*original_, c)[z][y][x];
  return static_cast<UC>(sum / 3);
}

void ContourSession::mark(int x, int y) {
  const int z = frame_;
  if (channelCount(*output_) == 1) {
    channelData<UC>(*output_, 0)[z][y][x] = 255;
  } else {
    channelData<UC>(*output_, 0)[z][y][x] = colour_.red;
    channelData<UC>(*output_, 1)[z][y][x] = colour_.green;
    channelData<UC>(*output_, 2)[z][y][x] = colour_.blue;
  }
  channelData<UC>(*grey_.get(), 0)[z][y][x] = 0;  // later chains stop here
}

int ContourSession::follow(int x, int y) {
  if (!inside(x, y)) return 0;
  Volume* grey = grey_.get();
  const int z = frame_;
  const int start = channelData<UC>(*grey, 0)[z][y][x];
  if (start == 0) return 0;
  // The follower keeps to its input's VOI: the shown frame, whole.
  fill_in_VOI(grey, z, z + 1, 0, grey->Y, 0, grey->X);
  const int code = edge_follow_3d(grey, trace_.get(), z, y, x, 255, (start + 1) / 2, 1);
  if (code != 0) return code;
  UC** trace = channelData<UC>(*trace_.get(), 0)[z];
  int count = 0;
  for (int row = 0; row < grey->Y; ++row)
    for (int column = 0; column < grey->X; ++column)
      if (trace[row][column] != 0) {
        trace[row][column] = 0;
        mark(column, row);
        ++count;
      }
  return count;
}

int ContourSession::draw(int x0, int y0, int x1, int y1) {
  int count = 0;
  for (auto [x, y] : lineVoxels(x0, y0, x1, y1))
    if (inside(x, y)) {
      mark(x, y);
      ++count;
    }
  return count;
}

void ContourSession::erase(int x0, int y0, int x1, int y1) {
  const int z = frame_;
  UC** grey = channelData<UC>(*grey_.get(), 0)[z];
  for (auto [cx, cy] : lineVoxels(x0, y0, x1, y1))
    for (int y = cy - 1; y <= cy + 1; ++y)
      for (int x = cx - 1; x <= cx + 1; ++x) {
        if (!inside(x, y)) continue;
        for (int c = 0; c < channelCount(*output_); ++c) channelData<UC>(*output_, c)[z][y][x] = 0;
        grey[y][x] = originalGrey(x, y, z);  // followable again
      }
}

void ContourSession::paintChains(const DisplayModel& view, std::vector<std::uint32_t>& pixels,
                                 int paneWidth, int paneHeight) const {
  if (pixels.size() < static_cast<std::size_t>(paneWidth) * paneHeight) return;
  const bool one = channelCount(*output_) == 1;
  for (int py = 0; py < paneHeight; ++py) {
    const auto first = view.voxelAt(0, py);
    if (!first || first->z >= output_->Z) continue;
    // The window's own mapping gives the row and its first column.
    const UC* r = channelData<UC>(*output_, 0)[first->z][first->y];
    const UC* g = one ? r : channelData<UC>(*output_, 1)[first->z][first->y];
    const UC* b = one ? r : channelData<UC>(*output_, 2)[first->z][first->y];
    std::uint32_t* row = pixels.data() + static_cast<std::size_t>(py) * paneWidth;
    // Pixel px + 1 shows the voxel a divisor to the right of pixel px's.
    const int step = view.divisor();
    for (int px = 0, x = first->x; px < paneWidth && x < output_->X; ++px, x += step)
      if ((r[x] | g[x] | b[x]) != 0) row[px] = rgbPixel(r[x], g[x], b[x]);
  }
}

std::vector<std::pair<int, int>> lineVoxels(int x0, int y0, int x1, int y1) {
  std::vector<std::pair<int, int>> out;
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    out.emplace_back(x0, y0);
    if (x0 == x1 && y0 == y1) return out;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

int convertToColour(Volume* volume) {
  if (int code = CheckVolume(volume, V3D_UC, V3D_ONE_CHANNEL); code != 0) return code;
  // The three channels are made and filled first, so a failure leaves the volume as it was.
  Volume colour{};
  InitializeVolume(&colour, volume->Z, volume->Y, volume->X, V3D_UC, V3D_THREE_CHANNELS);
  if (CreateVolume(&colour) != 0) return kCannotAllocateVolume;
  const std::size_t frameBytes = static_cast<std::size_t>(volume->Y) * volume->X;
  for (int z = 0; z < volume->Z; ++z)
    for (int c = 0; c < 3; ++c)
      std::memcpy(channelData<UC>(colour, c)[z][0], channelData<UC>(*volume, 0)[z][0], frameBytes);
  // Windows of the volume read its channels: they close before the storage changes hands.
  closeVolumeWindows(volume);
  for (int c = 0; c < 3; ++c) std::swap(volume->channel[c], colour.channel[c]);
  volume->colorType = V3D_THREE_CHANNELS;
  colour.colorType = V3D_ONE_CHANNEL;  // now holds the old grey channel alone
  DestroyVolume(&colour);
  return 0;
}

void stepTogether(const DisplayModel& stepped, DisplayModel& other, ContourSession& session) {
  other.setCurrent(stepped.current());
  session.setFrame(stepped.current());
}

ContourMode& contourMode() {
  static ContourMode mode;
  return mode;
}

}  // namespace v3d::shell
