// Texts of the string table as Qt strings, for every widget of the shell.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "core/strings.h"

namespace v3d::shell::qt {

// The text of a string-table id.
inline QString qtext(int id) {
  const std::string_view t = text(id);
  return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

// A standard string as a Qt string.
inline QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace v3d::shell::qt
