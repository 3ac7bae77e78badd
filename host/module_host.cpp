// The module host. A module is a shared library that answers the attach call (it found the
// program's export table) and then the three entry points, looked up by name. Loading code is
// the one place where outside input runs inside the program, so everything a module hands
// back is checked before the menu or the lists change: a module that fails a check is
// reported with kModuleError (once) and gets no menu, and one that cannot be loaded or
// attached is skipped without a word.
#include "host/module_host.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "core/messages.h"

namespace v3d::host {

struct ModuleHost::ModuleRecord {
  int popup = -1;   // the sink's handle of the module's popup
  int firstId = 0;  // first command id of the module
  int endId = 0;    // one past its last command id
  V3dCommandHandler handler = nullptr;
};

struct ModuleHost::MenuItem {
  bool separatorBefore = false;
  bool greyed = false;
  std::string label;
};

namespace {

ModuleHost* g_host = nullptr;

// The record GetVelmora3DInfo answers while no host is installed, so that a module asking
// early reads zeros instead of following a null pointer.
V3dShellInfo g_emptyInfo{};

// The host callback: a hook reports whether it handled a message and the result.
void hostCallback(int handled, int result) {
  V3dShellInfo* info = g_host != nullptr ? &g_host->shellInfo() : &g_emptyInfo;
  info->handled = handled;
  info->result = result;
}

std::string lowerCase(std::string_view name) {
  std::string s(name);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

template <typename Fn>
Fn lookUp(void* library, const char* name) {
  return reinterpret_cast<Fn>(::dlsym(library, name));
}

}  // namespace

ModuleHost::ModuleHost(MenuSink& sink) : sink_(sink) {}

ModuleHost::~ModuleHost() {
  if (g_host == this) g_host = nullptr;
  // Modules stay loaded: they may still hold pointers into the program, and unloading a
  // library whose functions are on some list is never safe.
}

void ModuleHost::setShellWindows(void* frameWindow, void* mdiClient, std::string startupDirectory) {
  startupDirectory_ = std::move(startupDirectory);
  info_.frameWindow = frameWindow;
  info_.mdiClient = mdiClient;
  info_.startupDirectory = startupDirectory_.c_str();
}

void ModuleHost::report(int code, const std::string& path, std::string reason) {
  // The message box of the module error has no text of its own, so the file and the
  // reason go to standard error for whoever is debugging the module.
  std::fprintf(stderr, "velmora3d: %s: %s\n", path.c_str(), reason.c_str());
  reports_.push_back({code, path, std::move(reason)});
  error_handler(code);
}

void ModuleHost::scan(const std::vector<std::string>& directories) {
  for (const std::string& d : directories) scanDirectory(d);
}

void ModuleHost::scanDirectory(const std::string& directory) {
  // The pattern "/*.so" and its terminator must fit the platform's path limit after the
  // directory, as the module path always had to.
  if (directory.size() + 7 >= static_cast<std::size_t>(PATH_MAX)) {
    report(kBadVolumeDimensions, directory, "module directory path too long");
    return;
  }
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(directory.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      const std::string lower = lowerCase(e->d_name);
      if (lower.size() > 3 && lower.ends_with(".so")) names.emplace_back(e->d_name);
    }
    ::closedir(dir);
  }
  for (const std::string& name : names) {
    const std::string path = directory + "/" + name;
    // Only regular files: opening a FIFO or a device named *.so would block or worse.
    if (!isRegularFile(path)) continue;
    if (lowerCase(name) == kSaverFileName)
      bindSaver(path);
    else
      loadModule(path);
  }
}

void ModuleHost::bindSaver(const std::string& path) {
  if (saverPresent()) return;  // the first saver found stays
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return;
  const auto save = lookUp<V3dSaveVolumeFn>(library, "save_volume");
  const auto buffer = lookUp<V3dSaveBufferFn>(library, "save_buffer");
  if (save == nullptr || buffer == nullptr) {
    ::dlclose(library);
    return;
  }
  libraries_.push_back(library);
  saveVolume_ = save;
  saveBuffer_ = buffer;
  sink_.enableSave();
}

int ModuleHost::saveVolume() {
  return saveVolume_ != nullptr ? saveVolume_() : kModuleError;
}

void ModuleHost::saveBuffer(void* buffer) {
  if (saveBuffer_ != nullptr) saveBuffer_(buffer);
}

void ModuleHost::loadModule(const std::string& path) {
  // RTLD_NOW: a module with unresolved symbols fails here instead of at its first call.
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return;
  // The same library reached again (a link, or a directory listed under two names) would
  // attach twice and get a second menu with the first one's state.
  if (std::find(libraries_.begin(), libraries_.end(), library) != libraries_.end()) {
    ::dlclose(library);
    return;
  }
  const auto attach = lookUp<V3dModuleAttachFn>(library, "Velmora3DModuleAttach");
  if (attach == nullptr || attach() == 0) {
    ::dlclose(library);
    return;
  }
  libraries_.push_back(library);
  try {
    registerModule(library, path);
  } catch (const std::bad_alloc&) {
    report(kModuleError, path, "out of memory while registering the module");
  }
}

void ModuleHost::registerModule(void* library, const std::string& path) {
  const auto returnHandler =
      lookUp<V3dReturnMessageHandlerFn>(library, "Velmora3DDLLReturnMessageHandler");
  if (returnHandler == nullptr) {
    report(kModuleError, path, "no Velmora3DDLLReturnMessageHandler");
    return;
  }
  projectionHooks_.reserve(projectionHooks_.size() + 1);
  displayHooks_.reserve(displayHooks_.size() + 1);
  if (V3dMessageHandler h = returnHandler(&hostCallback)) projectionHooks_.push_back(h);
  if (V3dMessageHandler h = returnHandler(&hostCallback)) displayHooks_.push_back(h);

  const auto returnMenu = lookUp<V3dReturnMenuFn>(library, "Velmora3DDLLReturnMenu");
  if (returnMenu == nullptr) {
    report(kModuleError, path, "no Velmora3DDLLReturnMenu");
    return;
  }
  records_.push_back(std::make_unique<ModuleRecord>());
  ModuleRecord* record = records_.back().get();
  const char** menu = returnMenu(record);
  if (menu == nullptr) return;  // no menu and no commands; the hooks stay

  // Read the whole description before the menu changes. At most the ids still free may be
  // labels, so a description without its terminator is never read far.
  const std::size_t idsLeft = static_cast<std::size_t>(kModuleIdLimit - nextId_);
  std::vector<MenuItem> items;
  std::size_t n = 0;
  for (; menu[n] != nullptr; ++n) {
    if (n == idsLeft) {
      report(kModuleError, path, "more menu items than command ids are left");
      return;
    }
    std::string_view label = menu[n];
    MenuItem item;
    if (label.starts_with('-')) {
      item.separatorBefore = true;
      label.remove_prefix(1);
    }
    if (label.starts_with('!')) {
      item.greyed = true;
      label.remove_prefix(1);
    }
    if (label.empty()) {
      report(kModuleError, path, "empty menu label");
      return;
    }
    item.label = label;
    items.push_back(std::move(item));
  }
  const char* title = menu[n + 1];
  if (title == nullptr || *title == '\0') {
    report(kModuleError, path, "menu without a title");
    return;
  }

  if (!modulesPopup_) {
    sink_.createModulesPopup();
    modulesPopup_ = true;
  }
  record->popup = sink_.appendModulePopup(title);
  record->firstId = nextId_;
  for (const MenuItem& item : items) {
    if (item.separatorBefore) sink_.appendSeparator(record->popup);
    sink_.appendItem(record->popup, nextId_++, item.label, item.greyed);
  }
  record->endId = nextId_;

  const auto returnCommand = lookUp<V3dReturnCmdHandlerFn>(library, "Velmora3DDLLReturnCmdHandler");
  if (returnCommand == nullptr) {
    report(kModuleError, path, "no Velmora3DDLLReturnCmdHandler");
    return;
  }
  record->handler = returnCommand();
  // A null handler would be called by the router; the items stay and do nothing.
  if (record->handler == nullptr) {
    report(kModuleError, path, "Velmora3DDLLReturnCmdHandler returned no handler");
    return;
  }
  moduleList_.push_back(record);
}

void ModuleHost::route(std::uintptr_t wParam) {
  for (auto it = moduleList_.rbegin(); it != moduleList_.rend(); ++it) {
    ModuleRecord& r = **it;
    if (static_cast<std::uintptr_t>(r.firstId) <= wParam &&
        wParam < static_cast<std::uintptr_t>(r.endId)) {
      r.handler(static_cast<int>(wParam - static_cast<std::uintptr_t>(r.firstId)));
      return;
    }
  }
}

HookOutcome ModuleHost::walkHooks(HookList list, void* window, unsigned int message,
                                  std::uintptr_t wParam, std::intptr_t lParam) {
  // Non-client creation and size calculation never reach the hooks.
  constexpr unsigned int kNcCreate = 0x0081, kNcCalcSize = 0x0083;
  if (message == kNcCreate || message == kNcCalcSize) return {};
  const std::vector<V3dMessageHandler>& hooks =
      list == HookList::Projection ? projectionHooks_ : displayHooks_;
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
    (*it)(window, message, wParam, lParam);
    if (info_.handled != 0) return {true, info_.result};
  }
  return {};
}

std::size_t ModuleHost::hookCount(HookList list) const {
  return list == HookList::Projection ? projectionHooks_.size() : displayHooks_.size();
}

void ModuleHost::setMenuItemState(void* moduleToken, int itemIndex, int state) {
  for (ModuleRecord* r : moduleList_) {
    if (r != moduleToken) continue;
    if (itemIndex < 0 || itemIndex >= r->endId - r->firstId) return;
    const bool greyed = (state & (V3D_MF_GRAYED | V3D_MF_DISABLED)) != 0;
    sink_.setItemGreyed(r->popup, r->firstId + itemIndex, greyed);
    return;
  }
}

ModuleHost* installModuleHost(ModuleHost* host) {
  ModuleHost* previous = g_host;
  g_host = host;
  return previous;
}

ModuleHost* moduleHost() {
  return g_host;
}

std::vector<std::string> moduleDirectories(const std::string& programDirectory,
                                           const char* modulePath) {
  std::vector<std::string> out;
  auto add = [&](const std::string& d) {
    if (d.empty() || d.front() != '/') return;
    std::error_code ec;
    std::string canonical = std::filesystem::canonical(d, ec).string();
    if (ec) canonical = d;  // missing or unreadable: scanned as written, loads nothing
    if (std::find(out.begin(), out.end(), canonical) == out.end()) out.push_back(canonical);
  };
  add(programDirectory);
  if (modulePath != nullptr) {
    std::string_view rest = modulePath;
    while (true) {
      const std::size_t colon = rest.find(':');
      add(std::string(rest.substr(0, colon)));
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  return out;
}

std::string programDirectory() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

}  // namespace v3d::host

extern "C" {

void SetMenuItemState(void* moduleToken, int itemIndex, int state) {
  if (v3d::host::ModuleHost* h = v3d::host::moduleHost())
    h->setMenuItemState(moduleToken, itemIndex, state);
}

V3dShellInfo* GetVelmora3DInfo(void) {
  v3d::host::ModuleHost* h = v3d::host::moduleHost();
  return h != nullptr ? &h->shellInfo() : &v3d::host::g_emptyInfo;
}

}  // extern "C"
