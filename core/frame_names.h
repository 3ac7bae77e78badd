// The frame-file naming rule shared by the raw frame files and the image sequences.
#pragma once

#include <string>

namespace v3d {

// "%s%0*d.%s" with (base, digits, frame, extension) when digits > 0, otherwise "%s%d.%s".
std::string frameFileName(const char* base, int frame, int digits, const char* extension);

}  // namespace v3d
