// What a click on one file of a numbered sequence says about the whole sequence: the names
// of the folder that share the clicked name's stem and extension, with the clicked frame
// number in a gapless run, give the first and last frame and the width of the frame field.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace v3d::shell {

struct SequenceGuess {
  int lower = 0, upper = 0;
  // The digits of the frame field: its width when it is zero-padded ("stack007.tif"), 0 when
  // the numbers are written plainly ("img7.tif").
  int digits = 0;
};

// `clicked` is a file name without its folder, `folder` every file name of its folder. The
// frame field is the run of digits just before the first "." (or the end); the other names of
// the sequence carry the same text before and after it, and a frame field written the same
// way (zero-padded to the same width, or without leading zeros). Nothing when the clicked
// name has no frame field (or one of more than nine digits).
std::optional<SequenceGuess> guessSequence(const std::string& clicked,
                                           const std::vector<std::string>& folder);

}  // namespace v3d::shell
