// The module host: finds the modules and the optional saver at start-up, builds the "&Modules"
// menu from the modules' menu descriptions, routes commands and window messages to them, and
// answers SetMenuItemState and GetVelmora3DInfo. No toolkit: the menus are reached through a
// MenuSink that the widget layer implements (tests use a recording one).
//
// Command ids of modules are 0 .. kModuleIdLimit - 1, handed out in load order by one counter
// that only grows; every id of the main menu is kModuleIdLimit or above, so the command
// dispatcher and the module router never claim the same id.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/module_api.h"

namespace v3d::host {

inline constexpr int kModuleIdLimit = 212;

// File name (compared in lower case) of the optional saver library.
inline constexpr std::string_view kSaverFileName = "volstore.so";

// Environment variable listing further module directories, separated by colons.
inline constexpr const char* kModulePathVariable = "VELMORA3D_MODULE_PATH";

// What the host asks of the main menu.
class MenuSink {
 public:
  virtual ~MenuSink() = default;
  // Replaces the plain "&Modules" item at position 3 of the main menu by a popup with the
  // same text. Called once, before the first module popup is appended.
  virtual void createModulesPopup() = 0;
  // Appends a module's popup titled `title` to the Modules popup and returns its handle,
  // which the calls below use.
  virtual int appendModulePopup(std::string_view title) = 0;
  virtual void appendSeparator(int popup) = 0;
  virtual void appendItem(int popup, int id, std::string_view label, bool greyed) = 0;
  // Changes only the greyed state of the item with command `id` in `popup`.
  virtual void setItemGreyed(int popup, int id, bool greyed) = 0;
  // The saver is bound: File > "&Save" (position 1 of the File menu) becomes available.
  virtual void enableSave() = 0;
};

enum class HookList { Projection, Display };

struct HookOutcome {
  bool handled = false;  // a hook reported the message handled
  intptr_t result = 0;   // what the window procedure returns then
};

// One failure reported through error_handler during the scan.
struct ScanReport {
  int code;          // kModuleError or kBadVolumeDimensions
  std::string path;  // the module file, or the directory
  std::string reason;
};

class ModuleHost {
 public:
  explicit ModuleHost(MenuSink& sink);
  ~ModuleHost();
  ModuleHost(const ModuleHost&) = delete;
  ModuleHost& operator=(const ModuleHost&) = delete;

  // Words 0 to 2 of the shell information record: the frame, the MDI area and the start-up
  // directory (copied).
  void setShellWindows(void* frameWindow, void* mdiClient, std::string startupDirectory);
  V3dShellInfo& shellInfo() { return info_; }

  // Loads the saver and the modules of each directory in turn. Within a directory files are
  // taken in the order the directory lists them. A directory whose path is too long is
  // reported (kBadVolumeDimensions) and skipped; an unreadable one loads nothing.
  void scan(const std::vector<std::string>& directories);
  void scanDirectory(const std::string& directory);

  // Gives a command to the module whose id range holds the full wParam, with the item's
  // 0-based index among the module's labels. Ids of no module are ignored.
  void route(std::uintptr_t wParam);

  // Runs the hooks of `list` in list order (the last registered first) and stops at the first
  // after which the handled flag (word 3) is set, answering word 4. The host never clears the
  // flag: a hook that does not handle a message clears it through the host callback.
  HookOutcome walkHooks(HookList list, void* window, unsigned int message, std::uintptr_t wParam,
                        std::intptr_t lParam);
  std::size_t hookCount(HookList list) const;

  // Greys (state V3D_MF_GRAYED or V3D_MF_DISABLED) or enables (V3D_MF_ENABLED) item
  // `itemIndex` of the module whose token is `moduleToken`; unknown tokens and indices out
  // of the module's range do nothing.
  void setMenuItemState(void* moduleToken, int itemIndex, int state);

  // The saver: present once a library named volstore.so with both entry points is bound.
  bool saverPresent() const { return saveVolume_ != nullptr; }
  // Runs the saver's save_volume; kModuleError when no saver is bound.
  int saveVolume();
  // Hands a projection buffer to the saver's save_buffer; nothing without a saver.
  void saveBuffer(void* buffer);

  // The next command id the counter will hand out.
  int nextCommandId() const { return nextId_; }
  bool modulesPopupCreated() const { return modulesPopup_; }
  const std::vector<ScanReport>& reports() const { return reports_; }

 private:
  struct ModuleRecord;
  struct MenuItem;
  void loadModule(const std::string& path);
  void registerModule(void* library, const std::string& path);
  void bindSaver(const std::string& path);
  void report(int code, const std::string& path, std::string reason);

  MenuSink& sink_;
  V3dShellInfo info_{};
  std::string startupDirectory_;
  std::vector<V3dMessageHandler> projectionHooks_;  // front of the list = back of the vector
  std::vector<V3dMessageHandler> displayHooks_;
  // Every record ever made stays alive (a module keeps its token), but only records of
  // modules with a command handler are in the module list.
  std::vector<std::unique_ptr<ModuleRecord>> records_;
  std::vector<ModuleRecord*> moduleList_;  // front of the list = back of the vector
  std::vector<void*> libraries_;           // modules and saver, never unloaded
  int nextId_ = 0;
  bool modulesPopup_ = false;
  V3dSaveVolumeFn saveVolume_ = nullptr;
  V3dSaveBufferFn saveBuffer_ = nullptr;
  std::vector<ScanReport> reports_;
};

// The host that the exported functions and the host callback reach. Returns the previous one.
ModuleHost* installModuleHost(ModuleHost* host);
ModuleHost* moduleHost();

// The directories to scan, in order and each once: the program's own directory, then the
// absolute entries of `modulePath` (colon-separated; empty and relative entries are skipped,
// since they would name directories relative to wherever the program is started).
// Directories that exist are compared and returned in canonical form.
std::vector<std::string> moduleDirectories(const std::string& programDirectory,
                                           const char* modulePath);

// The directory holding the running program (/proc/self/exe), or empty when unknown.
std::string programDirectory();

}  // namespace v3d::host

extern "C" {
void SetMenuItemState(void* moduleToken, int itemIndex, int state);
V3dShellInfo* GetVelmora3DInfo(void);
}
