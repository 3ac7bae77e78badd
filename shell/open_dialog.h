// The open dialog's own panel: the file kind, the frame range, the frame-file naming, and for
// raw data the dimensions and sample types; the control states of each kind, the base-name
// rule and the validation at OK. The Qt view puts this panel under a file dialog.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/volume.h"

namespace v3d::shell {

enum OpenControl {
  kOpenLower = 1000,
  kOpenUpper = 1001,
  kOpenWidth = 1002,
  kOpenHeight = 1004,
  kOpenDigits = 1011,
  kOpenDigitsSpin = 1012,
  kOpenDataType = 1015,
  kOpenColorType = 1016,
  kOpenExt1 = 1017,
  kOpenExt2 = 1018,
  kOpenExt3 = 1019,
};

// The file kinds of the type list, in list order: five image sequences (one file per
// frame), raw frame files, and a raw volume file.
enum OpenKindId : int {
  kOpenTiff = 1,
  kOpenBmp,
  kOpenTga,
  kOpenGif,
  kOpenJpeg,
  kOpenRawFrames,
  kOpenRawVolume,
};
inline constexpr int kOpenKinds = kOpenRawVolume;

// Whether a kind is an image sequence, read by the per-file image readers.
constexpr bool isImageSequence(int kind) {
  return kind >= kOpenTiff && kind <= kOpenJpeg;
}

struct OpenKind {
  int filterText;         // string id of the file type text
  const char* patterns;   // ";"-separated
  const char* extension;  // default extension of channel 1 ("" for the raw volume)
};
const OpenKind& openKind(int kind);  // kOpenTiff to kOpenRawVolume

class OpenDialog {
 public:
  OpenDialog();

  // The file type list: sets the kind and applies its control states.
  void setKind(int kind);
  int kind() const { return kind_; }
  // The colour list (row 0 "1 Channel", row 1 "3 Channel") and the data type list ("UC",
  // "F", "I").
  void setColorRow(int row);
  void setTypeRow(int row) { typeRow_ = row; }
  int colorRow() const { return colorRow_; }
  int typeRow() const { return typeRow_; }

  // Control states of the current kind.
  int fileNameLabel() const;  // string id
  bool typeListEnabled() const { return !isImageSequence(kind_); }
  bool colorListEnabled() const { return !isImageSequence(kind_); }
  bool sizeEnabled() const { return !isImageSequence(kind_); }
  bool ext1Enabled() const { return kind_ != kOpenRawVolume; }
  bool ext23Enabled() const { return kind_ == kOpenRawFrames && colorRow_ == 1; }
  bool digitsEnabled() const { return kind_ != kOpenRawVolume; }

  // A file picked in the list: the base name written back into the file name field.
  void fileSelected(const std::string& name);
  // A file clicked in the list, `folder` the names of the files beside it: the base name as
  // fileSelected gives it and, when it is a frame of a numbered sequence, the sequence's
  // first and last frame and digit count proposed in their fields (still the user's to
  // change). True when a sequence was found.
  bool fileClicked(const std::string& name, const std::vector<std::string>& folder);

  // OK: false keeps the dialog open (no message).
  bool accept();

  // Fields as typed.
  std::string fileName;
  std::string lower = "0", upper = "0", width, height, digits = "0";
  std::array<std::string, 3> extensions;

  // The request after accept().
  int lowerFrame = 0, upperFrame = 0, frames = 0, columns = 0, rows = 0, digitCount = 0;
  int dataType = V3D_UC, colorType = V3D_ONE_CHANNEL;
  std::string baseName;

 private:
  void applyStates();
  int kind_ = kOpenTiff;
  int colorRow_ = 0;
  int typeRow_ = 0;
};

// The base-name rule: the name cut where the rest up to the first "." (or the end) is all
// digits; names with "*" or "?" stay as they are. The directory part is kept.
std::string baseNameOf(const std::string& fileName);

}  // namespace v3d::shell
