// The motion module's own texts: its menu, the titles and labels of its dialog, the names of
// the volumes it creates and its warnings, verbatim as the user sees them.
#pragma once

#include <string_view>

namespace v3d::motion::module {

inline constexpr const char* kMenuItem = "&Block Matching";
inline constexpr const char* kMenuTitle = "&Motion Estimation";

inline constexpr const char* kSelectInputTitle = "Select Input Volume";
inline constexpr const char* kOptionsTitle = "Block Matching Options";
inline constexpr const char* kWarningCaption = "Warning";

// Names written into the information text of the volumes the command creates.
inline constexpr const char* kNameVectorX = "Motion Vector X";
inline constexpr const char* kNameVectorY = "Motion Vector Y";
inline constexpr const char* kNameField = "Motion Vector Field";
inline constexpr const char* kNameDisplayX = "Motion Vector X Displacements";
inline constexpr const char* kNameDisplayY = "Motion Vector Y Displacements";
inline constexpr const char* kNameAmplitude = "Motion Vector Amplitude";

// Warning ids of the module's string table.
enum Warning {
  kWarnOverlapX = 1,
  kWarnOverlapY = 2,
  kWarnFieldVolume = 3,
  kWarnDisplacementVolume = 4,
  kWarnAmplitudeVolume = 5
};

// The text of a warning id; empty for an id the table does not hold. "\n" is a line break.
constexpr std::string_view warningText(int id) {
  switch (id) {
    case kWarnOverlapX:
      return "OverapX should be less than block width.\nMaximum value inserted.";
    case kWarnOverlapY:
      return "OverlapY should be less than block height.\nMaximum value inserted.";
    case kWarnFieldVolume:
      return "Could not create motion field display volume.";
    case kWarnDisplacementVolume:
      return "Could not create Motion Vector  displacements display volume.";
    case kWarnAmplitudeVolume:
      return "Could not create Motion Vector Amplitude display volume.";
    default:
      return {};
  }
}

}  // namespace v3d::motion::module
