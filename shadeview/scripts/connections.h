// The "Specify Object Connections" dialog without a toolkit: the surface job it works on, the
// chains it builds when it opens, the connection table its buttons edit, the rules that enable
// them, and "Finish" (stitching and the surface script). The Qt view only shows this state.
#pragma once

#include <string>

#include "shadeview/scripts/scripts.h"

namespace v3d::shade {

// What "Build &Surface Script" hands to the dialog.
struct SurfaceJob {
  Volume* volume = nullptr;
  int z0 = 0;  // the volume's VOI frames, z0 .. z1-1
  int z1 = 0;
  float distance = 1.0f;  // interlayer distance
  int minStep = kChainStep;
  std::string scriptPath;  // the surface script to write
};

class ConnectionsPresenter {
 public:
  // 1342: a lower contour of A continues in B below; 1343: an upper contour of A in B above.
  enum class Type { Lower, Upper };

  ConnectionsPresenter(V3dCheckVolumeFn checkVolume, SurfaceJob job);
  // Removes the chain and stitch files (and their private folder).
  ~ConnectionsPresenter();
  ConnectionsPresenter(const ConnectionsPresenter&) = delete;
  ConnectionsPresenter& operator=(const ConnectionsPresenter&) = delete;

  // Builds the chains of the job's frames. 0 when the dialog can be shown; otherwise the code
  // to report before closing: BuildChains' negative code, kCannotAllocateBuffer, or the
  // positive kTextNoChains when the volume holds no contour.
  int open();

  int objects() const { return static_cast<int>(colours_.size()); }
  // "Object <index>", the list item of an object.
  static std::string itemText(int object);
  // The colour of an object (black for no object or an index out of range).
  Rgb colour(int object) const;

  Type type() const { return type_; }
  void setType(Type type) { type_ = type; }
  // The chosen objects of the two lists, -1 for none.
  int objectA() const { return a_; }
  int objectB() const { return b_; }
  void selectA(int object);
  void selectB(int object);

  // The "Connections:" count.
  int count() const { return count_; }
  bool canSave() const;
  bool canUndo() const { return lastObject_ >= 0; }
  bool canReset() const;
  // "Save Connection": false (and nothing changed) when canSave() is false.
  bool save();
  // "Undo Last Connection", "Reset All Connections"; nothing when not enabled.
  void undo();
  void reset();

  const ConnectionTable& connections() const { return connections_; }
  const SurfaceJob& job() const { return job_; }

  // "Finish": stitches the contours and writes the surface script. 0 or the code to report.
  int finish();

 private:
  int& entry(int object, Type type);

  V3dCheckVolumeFn checkVolume_;
  SurfaceJob job_;
  ScratchFolder scratch_;
  ColourTable colours_;
  ConnectionTable connections_;
  Type type_ = Type::Lower;
  int a_ = -1, b_ = -1;
  int count_ = 0;
  int lastObject_ = -1;  // the last saved connection, forgotten by undo and reset
  Type lastType_ = Type::Lower;
  bool chainsBuilt_ = false;
};

}  // namespace v3d::shade
