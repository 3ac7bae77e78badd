#include "shadeview/colour_dialog.h"

#include <algorithm>

namespace v3d::shade {

ColourPresenter::ColourPresenter(const std::vector<ObjectLook>& looks,
                                 std::function<void(int, const ObjectLook&)> commit,
                                 std::function<void()> repaint)
    : commit_(std::move(commit)), repaint_(std::move(repaint)) {
  entries_.reserve(looks.size());
  for (const ObjectLook& look : looks) {
    Entry e;
    for (int c = 0; c < 3; ++c) {
      // Times 256, truncated, limited to 0..255 (components above 1.0 occur with many layers).
      const float scaled = look.colour[static_cast<std::size_t>(c)] * 256.0f;
      e.rgb[static_cast<std::size_t>(c)] =
          scaled >= 255.0f ? 255 : (scaled > 0.0f ? static_cast<int>(scaled) : 0);
    }
    e.alpha = look.colour[3];
    e.pendingVisible = e.committedVisible = look.visible;
    entries_.push_back(e);
  }
  current_ = entries_.empty() ? -1 : 0;
}

std::vector<std::string> ColourPresenter::labels() const {
  std::vector<std::string> out;
  for (int i = 0; i < count(); ++i) out.push_back("Object " + std::to_string(i + 1));
  return out;
}

void ColourPresenter::select(int index) {
  if (index >= 0 && index < count()) current_ = index;
}

int ColourPresenter::component(int c) const {
  if (current_ < 0 || c < 0 || c > 2) return 0;
  return entries_[static_cast<std::size_t>(current_)].rgb[static_cast<std::size_t>(c)];
}

std::string ColourPresenter::text(int c) const {
  return current_ < 0 ? std::string() : std::to_string(component(c));
}

bool ColourPresenter::pendingVisible() const {
  return current_ >= 0 && entries_[static_cast<std::size_t>(current_)].pendingVisible;
}

void ColourPresenter::set(int c, int value) {
  Entry& e = entries_[static_cast<std::size_t>(current_)];
  if (e.rgb[static_cast<std::size_t>(c)] == value) return;
  e.rgb[static_cast<std::size_t>(c)] = value;
  e.changed = true;
}

bool ColourPresenter::edit(int c, const std::string& text) {
  if (current_ < 0 || c < 0 || c > 2) return true;
  if (text.empty()) {
    if (c != 2) return false;
    set(c, 0);
    return true;
  }
  if (text.size() > 3 ||
      !std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
    return false;
  const int value = std::stoi(text);
  if (value > 255) return false;
  set(c, value);
  return true;
}

void ColourPresenter::scroll(int c, Scroll action, int position) {
  if (current_ < 0 || c < 0 || c > 2) return;
  const int v = component(c);
  int next = v;
  switch (action) {
    case Scroll::LineLeft:
      next = v - 1;
      break;
    case Scroll::LineRight:
      next = v + 1;
      break;
    case Scroll::PageLeft:
      next = v > 127 ? v - 88 : 0;
      break;
    case Scroll::PageRight:
      next = v < 128 ? v + 88 : 255;
      break;
    case Scroll::Thumb:
      next = position;
      break;
    case Scroll::LeftEnd:
      next = 0;
      break;
    case Scroll::RightEnd:
      next = 255;
      break;
  }
  set(c, std::clamp(next, 0, 255));
}

void ColourPresenter::setPendingVisible(bool visible) {
  if (current_ >= 0) entries_[static_cast<std::size_t>(current_)].pendingVisible = visible;
}

bool ColourPresenter::updateCurrentEnabled() const {
  return current_ >= 0 && entryDirty(entries_[static_cast<std::size_t>(current_)]);
}

bool ColourPresenter::updateAllEnabled() const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [this](const Entry& e) { return entryDirty(e); });
}

void ColourPresenter::commit(int index) {
  Entry& e = entries_[static_cast<std::size_t>(index)];
  ObjectLook look;
  for (int c = 0; c < 3; ++c)
    look.colour[static_cast<std::size_t>(c)] = float(e.rgb[static_cast<std::size_t>(c)]) / 255.0f;
  look.colour[3] = e.alpha;
  look.visible = e.pendingVisible;
  e.committedVisible = e.pendingVisible;
  e.changed = false;
  if (commit_) commit_(index, look);
}

void ColourPresenter::updateCurrent() {
  if (current_ < 0) return;
  commit(current_);
  if (repaint_) repaint_();
}

void ColourPresenter::updateAll() {
  for (int i = 0; i < count(); ++i) commit(i);
  if (repaint_) repaint_();
}

std::array<int, 3> ColourPresenter::preview() const {
  return {component(0), component(1), component(2)};
}

}  // namespace v3d::shade
