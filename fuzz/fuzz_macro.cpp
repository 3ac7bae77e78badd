// libFuzzer target: the macro reader on arbitrary text, with one variable defined and the
// program's own command table as the lookup. A macro that reads is written back word by word
// and must read again to the same items.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/macro_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace v3d::shell;
  if (size > (1u << 16)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  macro::Error error;
  const auto m = macro::parse(text, {{"IN", "in ${x} \"q\""}}, macro::knownMenuCommand, error);
  if (!m) {
    if (error.line < 1) __builtin_trap();  // every fault names its line
    return 0;
  }
  // Directives written back with quoting read again to the same path.
  for (const macro::Item& item : m->items) {
    if (item.kind != macro::Item::Write) continue;
    const std::string line = std::string(macro::writerKeyword(item.directive.kind)) + " " +
                             std::to_string(item.directive.slot) + " " +
                             macro::quote(item.directive.path);
    const auto again = macro::parse(line, {}, macro::knownMenuCommand, error);
    if (!again || again->items.size() != 1 || again->items[0].directive.path != item.directive.path)
      __builtin_trap();
  }
  return 0;
}
