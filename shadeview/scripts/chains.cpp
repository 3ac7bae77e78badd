// Work in progress: every function answers kGenericError until its body lands.
#include "shadeview/scripts/connections.h"

namespace v3d::shade {
std::string TemporaryFileName(const std::string& prefix, int z) {
  return prefix;
}
int BuildChains(V3dCheckVolumeFn, Volume*, const char*, int, ColourTable*) {
  return kGenericError;
}
int WriteLinesScript(const char*, const char*, float, int, int, int) {
  return kGenericError;
}
int StitchContours(const char*, const char*, int, int, int, const ConnectionTable*, double,
                   double) {
  return kGenericError;
}
int WriteSurfaceScript(const char*, const char*, const char*, float, int, int, int) {
  return kGenericError;
}
int ReadLinesScript(V3dCheckVolumeFn, Volume*, const char*, int) {
  return kGenericError;
}
int ReadLinesScriptStream(V3dCheckVolumeFn, Volume*, std::FILE*, int) {
  return kGenericError;
}
Rgb LayerColour(int, int) {
  return {};
}
void DeleteTemporaryFiles(const char*, int, int) {}
ScratchFolder::ScratchFolder() {}
ScratchFolder::~ScratchFolder() {}
std::string ScratchFolder::prefix(const char* name) const {
  return name;
}
int BuildLinesScript(V3dCheckVolumeFn, Volume*, const char*, float) {
  return kGenericError;
}

ConnectionsPresenter::ConnectionsPresenter(V3dCheckVolumeFn c, SurfaceJob job)
    : checkVolume_(c), job_(std::move(job)) {}
ConnectionsPresenter::~ConnectionsPresenter() {}
int ConnectionsPresenter::open() {
  return kGenericError;
}
std::string ConnectionsPresenter::itemText(int) {
  return {};
}
Rgb ConnectionsPresenter::colour(int) const {
  return {};
}
void ConnectionsPresenter::selectA(int) {}
void ConnectionsPresenter::selectB(int) {}
bool ConnectionsPresenter::canSave() const {
  return false;
}
bool ConnectionsPresenter::canReset() const {
  return false;
}
bool ConnectionsPresenter::save() {
  return false;
}
void ConnectionsPresenter::undo() {}
void ConnectionsPresenter::reset() {}
int ConnectionsPresenter::finish() {
  return kGenericError;
}
}  // namespace v3d::shade
