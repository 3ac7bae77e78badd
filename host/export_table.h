// The program's exports by fixed ordinal. Ordinals 1 to 130 keep the numbers modules have
// always bound; ours start at 131. An entry whose function is not built yet is pending: it
// keeps its ordinal and name, and the lookup answers null for it.
#pragma once

#include <span>

namespace v3d::host {

struct ExportEntry {
  int ordinal;
  const char* name;
  void* address;  // null while pending
};

// Every assigned ordinal, in ascending order.
std::span<const ExportEntry> exportTable();

}  // namespace v3d::host

extern "C" {
// The address of the export with this ordinal; null for pending entries and for ordinals
// assigned to no function.
void* Velmora3DExportByOrdinal(int ordinal);
}
