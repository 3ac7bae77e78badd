// The contour following pair: a display window of the original and one of the output, each
// with the two-button bar. Both show the same frame: stepping one steps the other. In either
// picture the pointer edits the chains of the session (shell/contour_following.h):
//   left click                  follows a chain from the voxel clicked;
//   left drag                   draws a chain along the pointer's path;
//   shift + left click or drag  erases the chains within a voxel of the pointer's path;
//   right click or drag         erases too (B&W); opens the colour chooser (colour variant).
// The original's picture shows the output's chains over it. A left click armed for voxel
// writing or seed picking goes to the pane as in any display window.
#pragma once

#include <QPoint>
#include <QPointer>
#include <functional>
#include <optional>

#include "shell/contour_following.h"
#include "shell/qt/display_mode.h"
#include "shell/qt/display_window.h"

namespace v3d::shell::qt {

class WindowRegistry;

class ContourPair : public DisplayMode {
 public:
  // `closed` runs once when a window of the pair closes (the other one closes with it).
  ContourPair(WindowRegistry& windows, ContourSession& session, std::function<void()> closed);
  // Closes the windows still open, without running `closed`.
  ~ContourPair() override;
  ContourPair(const ContourPair&) = delete;
  ContourPair& operator=(const ContourPair&) = delete;

  // Opens both windows, the original's at the top left and the output's beside it.
  void open();
  DisplayWindow* originalWindow() const { return original_; }
  DisplayWindow* outputWindow() const { return output_; }

  bool paneEvent(DisplayWindow& window, QEvent* event) override;
  void stepped(DisplayWindow& window) override;
  void decorate(DisplayWindow& window, std::vector<std::uint32_t>& pixels, int paneWidth,
                int paneHeight) override;
  void closing(DisplayWindow& window) override;

 private:
  enum class Stroke { None, Pending, Drawing, Erasing };
  // Leaves both windows and closes those still open.
  void finish(DisplayWindow* closingWindow);
  // Repaints the pair and every other window of the output.
  void changed();
  void chooseColour(DisplayWindow& window);
  // A piece of the running stroke, from the last voxel to `v`.
  void strokeTo(const std::optional<Voxel>& v);

  WindowRegistry& windows_;
  ContourSession* session_;  // valid until finish()
  std::function<void()> closed_;
  QPointer<DisplayWindow> original_, output_;
  bool finished_ = false;
  Stroke stroke_ = Stroke::None;
  DisplayWindow* strokeWindow_ = nullptr;
  QPoint pressPos_;
  std::optional<Voxel> last_;
};

}  // namespace v3d::shell::qt
