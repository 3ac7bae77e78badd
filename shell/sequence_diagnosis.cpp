#include "shell/sequence_diagnosis.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/frame_names.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/command_run.h"

namespace v3d::shell {

std::string diagnoseSequence(SequenceCheck check, const std::string& base, int lower, int digits,
                             const std::string& extension, int frames) {
  int firstRows = 0, firstColumns = 0;
  for (int k = 0; k < frames && lower + k >= lower; ++k) {
    const std::string name = frameFileName(base.c_str(), lower + k, digits, extension.c_str());
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
      std::fclose(f);
    } else {
      return formatText(kFormatFileFailed, name.c_str(), std::strerror(errno));
    }
    int rows = 0, columns = 0, colour = 0;
    if (int code =
            check(base.c_str(), lower + k, digits, extension.c_str(), 1, &rows, &columns, &colour);
        code < 0)
      return formatText(kFormatFileFailed, name.c_str(), std::string(text(-code)).c_str());
    if (k == 0) {
      firstRows = rows;
      firstColumns = columns;
    } else if (rows != firstRows || columns != firstColumns) {
      return formatText(kFormatFileFramesDiffer, name.c_str(), columns, rows, firstColumns,
                        firstRows);
    }
  }
  return {};
}

}  // namespace v3d::shell
