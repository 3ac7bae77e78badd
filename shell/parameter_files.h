// The parameter files of the weighted median ("WIN_UC3D.PAR": integer weights) and the
// L-filter ("WIN_F3D.PAR": real coefficients): three lines with the window's X, Y and Z
// sizes, then one number per line for every window position in frame, row, column order.
#pragma once

#include <string>
#include <vector>

#include "core/result_codes.h"
#include "core/text_ids.h"

namespace v3d::shell {

struct ParameterFile {
  int X = 0, Y = 0, Z = 0;
  std::vector<float> values;  // Z * Y * X values, frame by frame, row by row
};

// The message ids for the two files: not found, unreadable.
struct ParameterFileCodes {
  int notFound;
  int unreadable;
};
inline constexpr ParameterFileCodes kWeightsFileCodes{kTextWeightsFileMissing,
                                                      kTextWeightsFileUnreadable};
inline constexpr ParameterFileCodes kCoefficientsFileCodes{kTextCoefficientsFileMissing,
                                                           kTextCoefficientsFileUnreadable};

// The largest window the files may describe on one axis; a larger size cannot be a window
// of any volume the program holds in practice, and keeps the product far from overflowing.
inline constexpr int kMaxParameterWindow = 255;

// Reads `path`. Returns 0, or a message id for error_handler: codes.notFound when it cannot
// be opened, codes.unreadable when a line is missing or is not one number (an integer weight
// of 0 to 255 when `weights`), or -kInvalidWindowSize ("Invalid window size") for a size that
// is not a positive odd number up to kMaxParameterWindow.
int readParameterFile(const std::string& path, bool weights, const ParameterFileCodes& codes,
                      ParameterFile& out);

}  // namespace v3d::shell
