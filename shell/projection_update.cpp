#include "shell/projection_update.h"

#include "shell/window_desk.h"

namespace v3d::shell {
namespace {

// Removes the box on every way out.
class UpdatingBox {
 public:
  explicit UpdatingBox(WindowDesk* desk) : desk_(desk) {}
  ~UpdatingBox() {
    if (desk_ != nullptr && shown_) desk_->closeUpdatingBox();
  }
  UpdatingBox(const UpdatingBox&) = delete;
  UpdatingBox& operator=(const UpdatingBox&) = delete;
  void name(const std::string& title) {
    if (desk_ == nullptr) return;
    desk_->showUpdatingBox(title);
    shown_ = true;
  }

 private:
  WindowDesk* desk_;
  bool shown_ = false;
};

}  // namespace

void updateProjections(WindowDesk* desk, const std::vector<ProjectionUpdate>& windows) {
  if (windows.empty()) return;
  UpdatingBox box(desk);
  for (const ProjectionUpdate& w : windows) {
    box.name(w.title);
    if (w.update) w.update();
  }
}

}  // namespace v3d::shell
