// The progress and cancellation hook of long operations. A shell that runs an operation on a
// worker thread installs a hook on that thread; the operation reports after each frame (or
// block of rows) and stops with kOperationCancelled when the hook says so. Without a hook
// (scripts, tests, modules, batch runs) the calls cost a thread-local read and change nothing.
//
// An operation that stops part-way has written part of its output: only an output made for
// the run may be cancelled, and the caller destroys it then.
#pragma once

#include "core/result_codes.h"

namespace v3d {

class ProgressHook {
 public:
  virtual ~ProgressHook() = default;
  // `done` of `total` steps (frames, or passes when the total is not known: 0) are finished.
  virtual void stepDone(long long done, long long total) = 0;
  // Whether the operation is to stop now.
  virtual bool cancelled() const = 0;
};

namespace detail {
inline thread_local ProgressHook* tlProgressHook = nullptr;
}  // namespace detail

// Installs `hook` for the calling thread while it lives.
class ScopedProgressHook {
 public:
  explicit ScopedProgressHook(ProgressHook* hook) : previous_(detail::tlProgressHook) {
    detail::tlProgressHook = hook;
  }
  ~ScopedProgressHook() { detail::tlProgressHook = previous_; }
  ScopedProgressHook(const ScopedProgressHook&) = delete;
  ScopedProgressHook& operator=(const ScopedProgressHook&) = delete;

 private:
  ProgressHook* previous_;
};

// Reports `done` of `total` steps; true when the operation is to stop (and return
// kOperationCancelled).
inline bool progressStop(long long done, long long total) {
  ProgressHook* hook = detail::tlProgressHook;
  if (hook == nullptr) return false;
  hook->stepDone(done, total);
  return hook->cancelled();
}

}  // namespace v3d
