// Help for the options dialog: which page explains which control, and where the pages are.
// The pages are HTML files shipped beside the module in motionfield_help/, found from the
// module's own file so that help works whatever the working directory is.
#pragma once

#include <string>

namespace v3d::motion::module {

// Topics 0..11; kNoHelpTopic for a control without one (the block size and depth edits, the
// buttons).
inline constexpr int kNoHelpTopic = -1;
int helpTopicOfControl(int controlId);

inline constexpr int kHelpTopicCount = 12;
inline constexpr const char* kHelpFolder = "motionfield_help";

// The page of `topic` for the module file `modulePath` (the .so):
// "<folder of modulePath>/motionfield_help/topic<N>.html".
std::string helpPagePath(const std::string& modulePath, int topic);

// The absolute name of the file the module was loaded from, or an empty string when it
// cannot be told. The module asks once, when it attaches.
std::string moduleFilePath();

}  // namespace v3d::motion::module
