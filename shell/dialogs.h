// Presenters of the shell's dialogs: their state, their lists, their validation and what
// they write back into the volume table. No toolkit in here: the Qt views and the scripted
// desk act on these objects the same way (select a row, edit a field, press a button).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/table.h"
#include "core/volume.h"

namespace v3d::shell {

// Parses a whole text as one decimal integer (surrounding blanks allowed); false for
// anything else, including numbers out of the int range.
bool parseInt(const std::string& text, int& value);
// Parses a whole text as one real number (surrounding blanks allowed).
bool parseFloat(const std::string& text, float& value);

// Program-wide exchange state of the volume dialogs: what the last dialog chose. It outlives
// each dialog, so a cancelled dialog hands back the previous choice.
struct DialogExchange {
  Volume* chosenVolume = nullptr;
  int chosenIndex = -1;
  bool chosenNew = false;
  std::string selectedText;
  std::string secondSelectedText;  // the choice dialog's text while exclusions are active
  int dialogX = 0, dialogY = 0, dialogZ = 0;
};
DialogExchange& exchange();

// The dialog resources of the volume family; the views name their dialogs after them.
enum class VolumeDialogKind {
  Input = 102,
  Choice = 104,
  OpenTarget = 105,
  Output = 106,
  Create = 113,
  Voi = 115,
  State = 117,
  Destroy = 126,
};

// The other dialog resources; the views name their dialogs after them.
enum DialogResource : int {
  kDialogOpen = 103,
  kDialogOneValue = 107,
  kDialogTwoValues = 108,
  kDialogThreeValues = 109,
  kDialogFourValues = 110,
  kDialogDisplayLevels = 114,
  kDialogInterpolation = 116,
  kDialogWeightsSource = 118,
  kDialogBinaryInterpolation = 119,
  kDialogFrameGallery = 111,
  kDialogAbout = 120,
  kDialogAlignment = 121,
  kDialogPixelInput = 123,
  kDialogAlignToolBox = 112,
  kDialogLabelledView = 122,
  kDialogUpdatingProjections = 125,
};

// Control ids of the volume dialogs; the views name their widgets after them.
enum VolumeControl {
  kCtlList = 604,
  kCtlX = 745,
  kCtlY = 747,
  kCtlZ = 1303,
  kCtlDataType = 1313,
  kCtlColorType = 1314,
  kCtlInformation = 1187,
  kCtlLowVoi = 1102,
  kCtlUpVoi = 1103,
  kCtlTopVoi = 1104,
  kCtlBottomVoi = 1105,
  kCtlLeftVoi = 1106,
  kCtlRightVoi = 1107,
  kCtlChangeVoi = 1108,
  kCtlOk = 1,
  kCtlCancel = 2,
  kCtlDestroy = 1109,
};

class VolumeDialog {
 public:
  explicit VolumeDialog(VolumeDialogKind kind);
  // A dialog captioned `title` that lists the volumes matching the two masks.
  VolumeDialog(VolumeDialogKind kind, std::string title, int typeMask = V3D_ANY_TYPE,
               int colorMask = V3D_ANY_COLOR);

  // The size the "New[%d]" entry offers (the output and open target dialogs).
  void suggest(int X, int Y, int Z);

  // Set by the caller before the dialog runs.
  VolumeDialogKind kind;
  std::string title;
  int typeMask = V3D_ANY_TYPE;
  int colorMask = V3D_ANY_COLOR;
  bool informationEditable = false;
  bool noNewEntry = false;  // output dialog: offer no "New[%d]" entry
  int suggestedX = 0, suggestedY = 0, suggestedZ = 0;
  int excludedA = -1, excludedB = -1;       // choice dialog: slots not listed
  int fileDataType = 0, fileColorType = 0;  // open target dialog: what the files hold

  // Builds the list; the views call it when the dialog opens.
  void open();

  const std::vector<VolumeListEntry>& entries() const { return entries_; }
  int selectedRow() const { return selected_; }
  // Selects a list row and fills the panel from it. Out-of-range rows select nothing.
  void select(int row);
  // Selects the row whose text is `label` ("3", "New[4]"); false when there is none.
  bool selectLabel(const std::string& label);

  bool okEnabled() const { return selected_ >= 0; }
  bool destroyEnabled() const { return kind == VolumeDialogKind::Destroy && selected_ >= 0; }
  bool dimensionsEditable() const;
  bool voiEditable() const;
  bool informationFieldEditable() const;
  bool showsVoi() const;
  bool createLists() const { return kind == VolumeDialogKind::Create; }

  // Panel fields, edited by the user where editable.
  std::string fieldX, fieldY, fieldZ, dataTypeText, colorTypeText, information;
  std::array<std::string, 6> voi;  // low, up, top, bottom, left, right
  bool changeVoi = false;
  void setChangeVoi(bool on) { changeVoi = on; }
  // Create dialog lists: the chosen rows of "UC", "F", "I" and "1 Channel", "3 Channels".
  int createTypeRow = 0;
  int createColorRow = 0;
  static const std::vector<std::string>& createTypeTexts();
  static const std::vector<std::string>& createColorTexts();

  // OK: validates and stores; true when the dialog closes (with result 1), false when it
  // stays open (a message has been shown).
  bool accept();
  // The destroy dialog's "Destroy" button.
  void destroySelected();

  // Results after accept().
  int chosenIndex = -1;
  Volume* chosenVolume = nullptr;
  bool chosenNew = false;
  int resultX = 0, resultY = 0, resultZ = 0;
  int resultDataType = 0, resultColorType = 0;  // create dialog
  std::array<int, 6> resultVoi{};               // VOI dialog: low, up, top, bottom, left, right

 private:
  void fillPanel();
  bool readVoi(const Volume& v, std::array<int, 6>& out) const;
  std::vector<VolumeListEntry> entries_;
  int selected_ = -1;
};

// The value dialogs kDialogOneValue to kDialogFourValues: one to four labelled edit fields; the
// caller parses.
class ValueDialog {
 public:
  explicit ValueDialog(int fieldCount);  // 1 to 4
  int resource() const { return kDialogOneValue + fields - 1; }
  int fields;
  std::string title;
  std::array<std::string, 4> prompts;
  std::array<std::string, 4> texts;  // as typed; OK keeps at most 9 characters of each
  void accept();
  static constexpr int kFirstEdit = 970, kFirstPrompt = 974;
  static constexpr std::size_t kMaxText = 9;
};

// Frame range and delay of a display (kDialogDisplayLevels).
class DisplayLevelsDialog {
 public:
  explicit DisplayLevelsDialog(int frames);
  std::string title;
  std::string lower = "0", upper, delay = "0.0";
  bool accept();  // false (message shown) keeps the dialog open
  int lowerFrame = 0, upperFrame = 0;
  float delaySeconds = 0.0f;
  static constexpr int kCtlLower = 1120, kCtlUpper = 1121, kCtlDelay = 1122;
};

// Interpolation options (kDialogInterpolation): three real factors and the method.
class InterpolationDialog {
 public:
  explicit InterpolationDialog(bool frameInterpolation);
  bool frameMode;
  std::string title;
  bool extractFromOutput = false;
  std::string factorX, factorY, factorZ;
  bool linear = true;
  bool factorXEnabled() const { return !frameMode && !extractFromOutput; }
  bool factorZEnabled() const { return !extractFromOutput; }
  bool nearestEnabled() const { return !frameMode; }
  bool accept();
  float x = 0, y = 0, z = 0;
  static constexpr int kCtlExtract = 1160, kCtlX = 1161, kCtlY = 1162, kCtlZ = 1163,
                       kCtlNearest = 1164, kCtlLinear = 1165;
};

// Weights source of the weighted median (kDialogWeightsSource): file or existing volume.
class WeightsSourceDialog {
 public:
  static constexpr int kFile = 1180, kVolume = 1181;
  int chosen = kFile;
};

// Binary frame interpolation options (kDialogBinaryInterpolation).
class BinaryInterpolationDialog {
 public:
  bool edgeCoherence = false;
  bool twoFrames = false;
  int factor() const { return twoFrames ? 3 : 2; }
  static constexpr int kCtlCoherence = 1190, kCtlOne = 1191, kCtlTwo = 1192;
};

// Frame range of a manual alignment (kDialogAlignment).
class AlignmentDialog {
 public:
  explicit AlignmentDialog(int frames);
  int frames;
  std::string lower = "0", upper;
  bool accept();
  int lowerFrame = 0, upperFrame = 0;
  static constexpr int kCtlLower = 1120, kCtlUpper = 1121;
};

// Frame gallery display options (kDialogFrameGallery): frames per row and the method.
class FrameGalleryDialog {
 public:
  std::string framesPerRow = "6";  // shown selected
  bool linear = true;              // "Linear", else "Nearest Neighbor"
  // OK: the field must be a whole number of at least 1 (read as a real number), else
  // kInvalidParameters is reported and the dialog stays open (false).
  bool accept();
  int frames = 0;  // after accept()
  static constexpr int kCtlFramesPerRow = 1170, kCtlNearest = 1171, kCtlLinear = 1172;
};

// A seed click at voxel (x, y, z) of a display of `input`: inside the input's VOI it labels
// the voxel of `output` with the next seed number (its low 8 bits); returns the new count.
int labelSeed(Volume* input, Volume* output, int x, int y, int z, int count);

class AboutDialog {
 public:
  std::string text;
};

}  // namespace v3d::shell
