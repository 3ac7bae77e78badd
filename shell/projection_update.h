// Bringing the projection windows of a changed volume up to date, one after the other, with
// the "Updating projections ..." box naming each window while it is made again. The box is
// shown only while there is a window to update.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace v3d::shell {

class WindowDesk;

// One projection window of the volume: its title and what makes its picture again.
struct ProjectionUpdate {
  std::string title;
  std::function<void()> update;
};

// Runs every update in order; `desk` (may be null) shows the box around them.
void updateProjections(WindowDesk* desk, const std::vector<ProjectionUpdate>& windows);

}  // namespace v3d::shell
