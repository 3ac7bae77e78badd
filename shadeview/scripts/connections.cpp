// The "Specify Object Connections" dialog's state and the rules of its buttons.
#include "shadeview/scripts/connections.h"

#include <new>

#include "core/text_ids.h"

namespace v3d::shade {

ConnectionsPresenter::ConnectionsPresenter(V3dCheckVolumeFn checkVolume, SurfaceJob job)
    : checkVolume_(checkVolume), job_(std::move(job)) {}

ConnectionsPresenter::~ConnectionsPresenter() {
  // The scratch folder goes with whatever is left in it; the named walk comes first so that
  // the files go even where the folder outlives us.
  if (scratch_.valid()) {
    DeleteTemporaryFiles(scratch_.prefix(kChainPrefix).c_str(), job_.z0, job_.z1);
    DeleteTemporaryFiles(scratch_.prefix(kStitchPrefix).c_str(), job_.z0, job_.z1 - 1);
  }
}

int ConnectionsPresenter::open() {
  if (!scratch_.valid()) return kFopenError;
  const int objects = BuildChains(checkVolume_, job_.volume, scratch_.prefix(kChainPrefix).c_str(),
                                  job_.minStep, &colours_);
  if (objects < 0) return objects;
  if (objects == 0) return kTextNoChains;
  try {
    connections_.assign(size_t(objects), Connection{});
  } catch (const std::bad_alloc&) {
    colours_.clear();
    return kCannotAllocateBuffer;
  }
  chainsBuilt_ = true;
  return 0;
}

std::string ConnectionsPresenter::itemText(int object) {
  return "Object " + std::to_string(object);
}

Rgb ConnectionsPresenter::colour(int object) const {
  if (object < 0 || object >= objects()) return {};
  return colours_[object];
}

void ConnectionsPresenter::selectA(int object) {
  a_ = object >= 0 && object < objects() ? object : -1;
}
void ConnectionsPresenter::selectB(int object) {
  b_ = object >= 0 && object < objects() ? object : -1;
}

int& ConnectionsPresenter::entry(int object, Type type) {
  return type == Type::Upper ? connections_[object].upper : connections_[object].lower;
}

bool ConnectionsPresenter::canSave() const {
  if (a_ < 0 || b_ < 0 || a_ == b_) return false;
  const Connection& c = connections_[a_];
  return (type_ == Type::Upper ? c.upper : c.lower) != b_;
}

bool ConnectionsPresenter::canReset() const {
  for (const Connection& c : connections_)
    if (c.upper != -1 || c.lower != -1) return true;
  return false;
}

bool ConnectionsPresenter::save() {
  if (!canSave()) return false;
  int& e = entry(a_, type_);
  if (e == -1) ++count_;
  e = b_;
  lastObject_ = a_;
  lastType_ = type_;
  return true;
}

void ConnectionsPresenter::undo() {
  if (!canUndo()) return;
  entry(lastObject_, lastType_) = -1;
  --count_;
  lastObject_ = -1;
}

void ConnectionsPresenter::reset() {
  if (!canReset()) return;
  for (Connection& c : connections_) c = Connection{};
  count_ = 0;
  lastObject_ = -1;
}

int ConnectionsPresenter::finish() {
  if (!chainsBuilt_) return kGenericError;
  const std::string chains = scratch_.prefix(kChainPrefix);
  const std::string stitches = scratch_.prefix(kStitchPrefix);
  int code = StitchContours(chains.c_str(), stitches.c_str(), job_.z0, job_.z1, objects(),
                            &connections_, kStitchTolerance, kStitchRatio);
  if (code == 0)
    code = WriteSurfaceScript(job_.scriptPath.c_str(), chains.c_str(), stitches.c_str(),
                              job_.distance, job_.z0, job_.z1, objects() + 1);
  return code;
}

}  // namespace v3d::shade
