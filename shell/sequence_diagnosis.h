// Which file of an image sequence a failed check or read stumbled on, and why, for the
// status line: the files are checked one by one, in frame order, with the sequence check of
// their kind.
#pragma once

#include <string>

namespace v3d::shell {

// A sequence check: (base, first frame, digits, extension, frames, &rows, &columns, &colour).
using SequenceCheck = int (*)(const char*, int, int, const char*, int, int*, int*, int*);

// "<file>: <reason>" for the first of `frames` files from `lower` that cannot be opened, fails
// the check on its own, or differs in size from the first file; empty when each file passes.
std::string diagnoseSequence(SequenceCheck check, const std::string& base, int lower, int digits,
                             const std::string& extension, int frames);

}  // namespace v3d::shell
