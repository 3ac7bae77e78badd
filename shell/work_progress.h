// A command's computing step as a piece of work that a desk may run off the user-interface
// thread: the Qt desk runs it on a worker thread behind a progress dialog while the user
// interface waits modally (so no other command starts and the volume table is touched by
// one thread at a time); the scripted desk runs it in place.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/volume.h"

namespace v3d::shell {

struct LongWork {
  std::string name;  // the command's name, the progress dialog's title
  // The user may cancel: only when the command made its output, which is then destroyed.
  bool cancellable = false;
  // The volumes the work writes; windows showing them are not repainted until it ends.
  std::vector<const Volume*> writes;
  // The computing itself: the operation's result code (kOperationCancelled when stopped).
  std::function<int()> compute;
};

// Whether a running work writes `volume` (windows then keep their last picture). Used on the
// user-interface thread only.
bool volumeBeingWritten(const Volume* volume);

// Marks the volumes of a work as being written while it lives.
class WritingVolumes {
 public:
  explicit WritingVolumes(const std::vector<const Volume*>& volumes);
  ~WritingVolumes();
  WritingVolumes(const WritingVolumes&) = delete;
  WritingVolumes& operator=(const WritingVolumes&) = delete;

 private:
  std::size_t count_;
};

}  // namespace v3d::shell
