// The "Set Object Colors" dialog without a toolkit: a working copy of every object's colour
// and visibility, edited through the three component edits and scroll bars and the "Display
// Object" box, and committed to the scene by "Update Current" or "Update All".
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace v3d::shade {

// Control ids of the dialog (resource 101).
enum ColourControl : int {
  kCtlObjectList = 1208,
  kCtlDisplayObject = 1209,
  kCtlRedEdit = 1210,
  kCtlRedBar = 1211,
  kCtlGreenEdit = 1212,
  kCtlGreenBar = 1213,
  kCtlBlueEdit = 1214,
  kCtlBlueBar = 1215,
  kCtlUpdateCurrent = 1216,
  kCtlUpdateAll = 1217,
  kCtlClose = 1218,
  kCtlPreview = 1219
};

// Scroll bar actions.
enum class Scroll { LineLeft, LineRight, PageLeft, PageRight, Thumb, LeftEnd, RightEnd };

// An object's look as the scene holds it.
struct ObjectLook {
  std::array<float, 4> colour{};
  bool visible = true;
};

class ColourPresenter {
 public:
  // `commit` stores a look into the scene's object `index`; `repaint` redraws the window.
  ColourPresenter(const std::vector<ObjectLook>& looks,
                  std::function<void(int index, const ObjectLook& look)> commit,
                  std::function<void()> repaint);

  int count() const { return static_cast<int>(entries_.size()); }
  // "Object 1", "Object 2", ...
  std::vector<std::string> labels() const;
  int current() const { return current_; }  // -1 when there is no object
  void select(int index);

  // Component 0 red, 1 green, 2 blue of the current entry, and its edit's text.
  int component(int c) const;
  std::string text(int c) const;
  bool pendingVisible() const;

  // An edit's text changed while it has the focus. False asks for a beep: the text is not an
  // unsigned number 0..255 (an empty blue edit counts as 0), and the stored value stands.
  bool edit(int c, const std::string& text);
  // A scroll bar moved; `position` is the thumb's for Scroll::Thumb.
  void scroll(int c, Scroll action, int position = 0);
  // "Display Object" checked or cleared.
  void setPendingVisible(bool visible);

  bool updateCurrentEnabled() const;
  bool updateAllEnabled() const;
  void updateCurrent();
  void updateAll();

  // The preview's colour: the current entry's components (black without an object).
  std::array<int, 3> preview() const;

 private:
  struct Entry {
    std::array<int, 3> rgb{};
    float alpha = 0;
    bool changed = false;
    bool pendingVisible = true;
    bool committedVisible = true;
  };
  bool entryDirty(const Entry& e) const {
    return e.changed || e.pendingVisible != e.committedVisible;
  }
  void commit(int index);
  void set(int c, int value);

  std::vector<Entry> entries_;
  int current_ = -1;
  std::function<void(int, const ObjectLook&)> commit_;
  std::function<void()> repaint_;
};

}  // namespace v3d::shade
