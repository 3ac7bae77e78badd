// The projector module's own texts, verbatim as the user sees them.
#pragma once

namespace v3d::projector {

inline constexpr const char* kMenuItem = "Projection &Viewer";
inline constexpr const char* kMenuTitle = "&Projections";
inline constexpr const char* kSelectInputTitle = "Select Input Volume";
// Window titles, with the volume's slot.
inline constexpr const char* kWindowTitle = "Projections of Volume %d";
inline constexpr const char* kControlsTitle = "Projection Controls of Volume %d";
// The information text of a turntable volume, with the source slot.
inline constexpr const char* kTurntableName = "Turntable of vol %d";
inline constexpr const char* kTurntableButton = "Turntable to volume";

}  // namespace v3d::projector
