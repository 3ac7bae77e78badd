#include "shell/section_model.h"

#include <cstdio>

#include "core/samples.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/pixels.h"

namespace v3d::shell {

SectionModel::SectionModel(Volume* volume)
    : cursorX(volume->X / 2), cursorY(volume->Y / 2), cursorZ(volume->Z / 2), volume_(volume) {}

int SectionModel::setSlider(Axis axis, int position) {
  if (position == 49 || position == 50) position = 48;
  const int f = position - 50;
  (axis == Axis::X ? fx_ : axis == Axis::Y ? fy_ : fz_) = f;
  return position;
}

int SectionModel::factor(Axis axis) const {
  return axis == Axis::X ? fx_ : axis == Axis::Y ? fy_ : fz_;
}

std::string SectionModel::factorText(Axis axis) const {
  const int f = factor(axis);
  const double shown = f >= 1 ? f : 1.0 / -f;
  const int formatId = axis == Axis::X ? kFormatXFactor : axis == Axis::Y ? kFormatYFactor : kFormatZFactor;
  char t[40];
  std::snprintf(t, sizeof t, std::string(text(formatId)).c_str(), shown);
  return t;
}

int SectionModel::scaled(int n, int f) { return f >= 1 ? n * f : n / -f; }
int SectionModel::voxel(int p, int f) { return f >= 1 ? p / f : p * -f; }

int SectionModel::width(Section s) const {
  return s == Section::ColumnPlane ? scaled(volume_->Z, fz_) : scaled(volume_->X, fx_);
}
int SectionModel::height(Section s) const {
  return s == Section::RowPlane ? scaled(volume_->Z, fz_) : scaled(volume_->Y, fy_);
}

bool SectionModel::click(Section s, int px, int py) {
  if (px < 0 || py < 0) return false;
  const Volume& v = *volume_;
  switch (s) {
    case Section::Frame: {
      const int x = voxel(px, fx_), y = voxel(py, fy_);
      if (x >= v.X || y >= v.Y) return false;
      cursorX = x;
      cursorY = y;
      return true;
    }
    case Section::RowPlane: {
      const int x = voxel(px, fx_), z = voxel(py, fz_);
      if (x >= v.X || z >= v.Z) return false;
      cursorX = x;
      cursorZ = z;
      return true;
    }
    case Section::ColumnPlane: {
      const int z = voxel(px, fz_), y = voxel(py, fy_);
      if (z >= v.Z || y >= v.Y) return false;
      cursorZ = z;
      cursorY = y;
      return true;
    }
  }
  return false;
}

bool SectionModel::setCursor(Axis axis, int value) {
  const int limit = axis == Axis::X ? volume_->X : axis == Axis::Y ? volume_->Y : volume_->Z;
  if (value < 0 || value >= limit) return false;
  (axis == Axis::X ? cursorX : axis == Axis::Y ? cursorY : cursorZ) = value;
  return true;
}

std::uint32_t SectionModel::colourAt(int z, int y, int x) const {
  const UC r = channelData<UC>(*volume_, 0)[z][y][x];
  if (channelCount(*volume_) == 1) return greyPixel(r);
  return rgbPixel(r, channelData<UC>(*volume_, 1)[z][y][x], channelData<UC>(*volume_, 2)[z][y][x]);
}

void SectionModel::render(Section s, int x0, int y0, int w, int h,
                          std::vector<std::uint32_t>& pixels) const {
  pixels.assign(static_cast<std::size_t>(w) * h, greyPixel(0));
  for (int py = y0; py < y0 + h; ++py)
    for (int px = x0; px < x0 + w; ++px) {
      std::uint32_t c;
      switch (s) {
        case Section::Frame:
          c = colourAt(cursorZ, voxel(py, fy_), voxel(px, fx_));
          break;
        case Section::RowPlane:
          c = colourAt(voxel(py, fz_), cursorY, voxel(px, fx_));
          break;
        default:
          c = colourAt(voxel(px, fz_), voxel(py, fy_), cursorX);
          break;
      }
      pixels[static_cast<std::size_t>(py - y0) * w + (px - x0)] = c;
    }
}

void SectionModel::cursorPixel(Section s, int& px, int& py) const {
  auto pixel = [](int v, int f) { return f >= 1 ? v * f + f / 2 : v / -f; };
  switch (s) {
    case Section::Frame:
      px = pixel(cursorX, fx_);
      py = pixel(cursorY, fy_);
      break;
    case Section::RowPlane:
      px = pixel(cursorX, fx_);
      py = pixel(cursorZ, fz_);
      break;
    case Section::ColumnPlane:
      px = pixel(cursorZ, fz_);
      py = pixel(cursorY, fy_);
      break;
  }
}

std::string sectionViewTitle(Volume* v) {
  char t[64];
  std::snprintf(t, sizeof t, std::string(text(kFormatSectionViewTitle)).c_str(), GetVolumeIndex(v));
  return t;
}

}  // namespace v3d::shell
