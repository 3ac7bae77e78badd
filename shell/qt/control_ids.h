// Names the widget layer gives its windows and the ids of the controls that only the widgets
// know (the dialog resources and the presenters' controls are named in shell/dialogs.h). Every
// window carries its class name as its object name and every dialog and control its resource or
// control id, so tests and tools find them; each name or number is written here once.
#pragma once

namespace v3d::shell::qt {

// Window classes: the object name of each kind of window.
inline constexpr char kClassFrame[] = "menu";
inline constexpr char kClassMdiClient[] = "MDICLIENT";
inline constexpr char kClassDisplay[] = "child_3D";
inline constexpr char kClassDisplayPane[] = "display";
inline constexpr char kClassCoordinates[] = "write";
inline constexpr char kClassSectionView[] = "section_view";
inline constexpr char kClassSectionPane[] = "sections";
inline constexpr char kClassPlot[] = "signal";
// The menu bar's place for the modules' menu.
inline constexpr char kModulesMenu[] = "modules";
// The progress dialog of long work and its frame count, bar and elapsed time.
inline constexpr char kProgressDialog[] = "progress";
inline constexpr char kProgressFrames[] = "frames";
inline constexpr char kProgressBar[] = "bar";
inline constexpr char kProgressElapsed[] = "elapsed";

// The section view's cursor fields (frame, column, row) and factor sliders (X, Y, Z).
enum SectionViewControl : int {
  kCtlCursorZ = 3,
  kCtlCursorX = 4,
  kCtlCursorY = 5,
  kCtlFactorX = 6,
  kCtlFactorY = 7,
  kCtlFactorZ = 8,
};

// The colour chooser of the colour contour following pair.
inline constexpr char kColourChooser[] = "colour_chooser";

}  // namespace v3d::shell::qt
