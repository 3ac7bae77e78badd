// The module host loading the test modules (tests/host_test_module.c, one library per
// variant) from a temporary directory per test, with a menu sink and a reporter that record
// what the host does.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/report.h"
#include "host/module_host.h"
#include "host_fixtures.h"

namespace v3d::test {
namespace {

namespace fs = std::filesystem;
using namespace v3d::host;

class RecordingSink : public MenuSink {
 public:
  struct Item {
    int id;
    std::string label;
    bool greyed;
    bool separatorBefore;
  };
  struct Popup {
    std::string title;
    std::vector<Item> items;
  };

  void createModulesPopup() override { ++modulesPopups; }
  int appendModulePopup(std::string_view title) override {
    popups.push_back({std::string(title), {}});
    return static_cast<int>(popups.size()) - 1;
  }
  void appendSeparator(int popup) override { pendingSeparator[popup] = true; }
  void appendItem(int popup, int id, std::string_view label, bool greyed) override {
    popups.at(popup).items.push_back({id, std::string(label), greyed, pendingSeparator[popup]});
    pendingSeparator[popup] = false;
  }
  void setItemGreyed(int popup, int id, bool greyed) override {
    for (Item& i : popups.at(popup).items)
      if (i.id == id) i.greyed = greyed;
  }
  void enableSave() override { ++saveEnabled; }

  const Popup* find(const std::string& title) const {
    for (const Popup& p : popups)
      if (p.title == title) return &p;
    return nullptr;
  }

  int modulesPopups = 0;
  int saveEnabled = 0;
  std::vector<Popup> popups;
  std::map<int, bool> pendingSeparator;
};

class RecordingReporter : public Reporter {
 public:
  int showMessage(void*, std::string_view text, std::string_view, MessageIcon,
                  MessageButtons) override {
    texts.emplace_back(text);
    return kAnswerOk;
  }
  std::vector<std::string> texts;
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousHost = installModuleHost(&host);
    previousReporter = installReporter(&reporter);
  }
  void TearDown() override {
    installReporter(previousReporter);
    installModuleHost(previousHost);
  }

  std::set<std::string> reportedFiles(int code) const {
    std::set<std::string> files;
    for (const ScanReport& r : host.reports())
      if (r.code == code) files.insert(fs::path(r.path).filename().string());
    return files;
  }

  RecordingSink sink;
  RecordingReporter reporter;
  ModuleHost host{sink};
  ModuleHost* previousHost = nullptr;
  Reporter* previousReporter = nullptr;
};

using Items = std::vector<RecordingSink::Item>;

bool operator==(const RecordingSink::Item& a, const RecordingSink::Item& b) {
  return a.id == b.id && a.label == b.label && a.greyed == b.greyed &&
         a.separatorBefore == b.separatorBefore;
}

TEST_F(HostTest, TwoModulesGetConsecutiveIdsAndCommandsReachTheirItemIndex) {
  TempDir first, second;
  put(first, "two_items", "two.so");
  put(second, "three_items", "three.so");
  host.scan({first.path, second.path});

  EXPECT_TRUE(host.reports().empty());
  EXPECT_EQ(sink.modulesPopups, 1) << "the Modules popup replaces the plain item once";
  ASSERT_EQ(sink.popups.size(), 2u);
  EXPECT_EQ(sink.popups[0].title, "Two Items");
  EXPECT_EQ(sink.popups[0].items, (Items{{0, "&One", false, false}, {1, "&Two", true, true}}))
      << "\"-\" puts a separator before the item and \"!\" greys it, neither is shown";
  EXPECT_EQ(sink.popups[1].title, "Three Items");
  EXPECT_EQ(
      sink.popups[1].items,
      (Items{{2, "&Alpha", false, false}, {3, "&Beta", false, false}, {4, "&Gamma", false, true}}));
  EXPECT_EQ(host.nextCommandId(), 5);

  host.route(2);
  EXPECT_EQ(call(second, "three.so", "tm_last_command"), 0);
  host.route(4);
  EXPECT_EQ(call(second, "three.so", "tm_last_command"), 2);
  host.route(1);
  EXPECT_EQ(call(first, "two.so", "tm_last_command"), 1);
  EXPECT_EQ(call(first, "two.so", "tm_commands"), 1);
  // Ids outside every range, the first main-menu id and a wParam with high bits set: the
  // router compares the full wParam.
  for (std::uintptr_t w : {std::uintptr_t{5}, std::uintptr_t{kModuleIdLimit},
                           std::uintptr_t{0x10000 | 2}, ~std::uintptr_t{0}})
    host.route(w);
  EXPECT_EQ(call(first, "two.so", "tm_commands") + call(second, "three.so", "tm_commands"), 3);

  auto token = [&](const TempDir& d, const char* f) {
    return probe<void* (*)()>(d, f, "tm_token")();
  };
  EXPECT_NE(token(first, "two.so"), token(second, "three.so"));
}

TEST_F(HostTest, ModulesOfOneDirectoryComeInTheOrderItListsThem) {
  TempDir dir;
  for (const char* name : {"b.so", "a.so", "c.so"}) put(dir, "two_items", name);
  put(dir, "three_items", "d.so");
  host.scanDirectory(dir.path);

  // The reference order: what readdir answers, unsorted.
  std::vector<std::string> listed;
  DIR* d = ::opendir(dir.path.c_str());
  while (const dirent* e = ::readdir(d))
    if (std::string(e->d_name).ends_with(".so")) listed.emplace_back(e->d_name);
  ::closedir(d);
  ASSERT_EQ(listed.size(), 4u);
  // Each module's first item carries the counter's value when it was loaded.
  int first = 0;
  for (const std::string& name : listed) {
    host.route(static_cast<std::uintptr_t>(first));
    EXPECT_EQ(call(dir, name, "tm_last_command"), 0) << name;
    EXPECT_EQ(call(dir, name, "tm_commands"), 1) << name;
    first += name == "d.so" ? 3 : 2;
  }
  EXPECT_EQ(host.nextCommandId(), 9);
}

TEST_F(HostTest, NullMenuStillHooksAndSameHandlerHooksBothLists) {
  TempDir first, second;
  put(first, "null_menu", "null.so");
  put(second, "same_handler", "same.so");
  host.scan({first.path, second.path});

  EXPECT_TRUE(host.reports().empty());
  ASSERT_EQ(sink.popups.size(), 1u) << "the null menu shows nothing";
  EXPECT_EQ(sink.popups[0].title, "Hooked");
  EXPECT_EQ(sink.popups[0].items, (Items{{0, "&Hooked", false, false}}));
  EXPECT_EQ(host.hookCount(HookList::Projection), 2u);
  EXPECT_EQ(host.hookCount(HookList::Display), 1u);

  auto claim = [&](const TempDir& d, const char* f, unsigned message, int result, int silent) {
    probe<void (*)(unsigned, int, int)>(d, f, "tm_claim")(message, result, silent);
  };
  auto messages = [&](const TempDir& d, const char* f) { return call(d, f, "tm_messages"); };

  // Nobody claims: every hook runs, the last registered first, with the window's arguments.
  int window = 0;
  HookOutcome o = host.walkHooks(HookList::Projection, &window, V3D_WM_MOUSEMOVE, 1, 0x00200010);
  EXPECT_FALSE(o.handled);
  EXPECT_EQ(messages(first, "null.so"), 1);
  EXPECT_EQ(messages(second, "same.so"), 1);
  EXPECT_EQ(probe<void* (*)()>(first, "null.so", "tm_last_window")(), &window);
  EXPECT_EQ(probe<unsigned (*)()>(first, "null.so", "tm_last_message")(), V3D_WM_MOUSEMOVE);
  EXPECT_EQ(probe<std::uintptr_t (*)()>(first, "null.so", "tm_last_wparam")(), 1u);
  EXPECT_EQ(probe<std::intptr_t (*)()>(first, "null.so", "tm_last_lparam")(), 0x00200010);

  // The hook called first claims: the walk ends with its result, the other never runs.
  claim(second, "same.so", V3D_WM_PAINT, 42, 0);
  o = host.walkHooks(HookList::Projection, &window, V3D_WM_PAINT, 0, 0);
  EXPECT_TRUE(o.handled);
  EXPECT_EQ(o.result, 42);
  EXPECT_EQ(messages(first, "null.so"), 1);
  EXPECT_EQ(messages(second, "same.so"), 2);
  EXPECT_EQ(host.shellInfo().handled, 1);

  // The display list holds only the shared handler.
  o = host.walkHooks(HookList::Display, &window, V3D_WM_PAINT, 0, 0);
  EXPECT_TRUE(o.handled);
  EXPECT_EQ(messages(first, "null.so"), 1);
  EXPECT_EQ(messages(second, "same.so"), 3);

  // The hook called last claims: both run.
  claim(second, "same.so", 0, 0, 0);
  claim(first, "null.so", V3D_WM_LBUTTONDOWN, 7, 0);
  o = host.walkHooks(HookList::Projection, &window, V3D_WM_LBUTTONDOWN, 0, 0);
  EXPECT_TRUE(o.handled);
  EXPECT_EQ(o.result, 7);
  EXPECT_EQ(messages(second, "same.so"), 4);

  // A hook that never calls back leaves the flag as the last one set it: the host does not
  // clear it, so the walk stops after that hook.
  claim(second, "same.so", 0, 0, 1);
  o = host.walkHooks(HookList::Projection, &window, V3D_WM_KEYDOWN, 0, 0);
  EXPECT_TRUE(o.handled);
  EXPECT_EQ(o.result, 7);
  EXPECT_EQ(messages(first, "null.so"), 2);

  // Non-client creation and size calculation never reach a hook.
  for (unsigned m : {0x0081u, 0x0083u})
    EXPECT_FALSE(host.walkHooks(HookList::Display, &window, m, 0, 0).handled);
  EXPECT_EQ(messages(second, "same.so"), 5);
}

TEST_F(HostTest, ModulesReachTheShellRecordAndTheirItemsStatesThroughTheExports) {
  TempDir first, second;
  put(first, "two_items", "two.so");
  put(second, "three_items", "three.so");
  int frame = 0, mdi = 0;
  host.setShellWindows(&frame, &mdi, "/start/here");
  host.scan({first.path, second.path});

  V3dShellInfo* info = probe<V3dShellInfo* (*)()>(first, "two.so", "tm_info")();
  ASSERT_EQ(info, &host.shellInfo());
  EXPECT_EQ(info->frameWindow, &frame);
  EXPECT_EQ(info->mdiClient, &mdi);
  EXPECT_STREQ(info->startupDirectory, "/start/here");

  auto set = [&](const TempDir& d, const char* f, int index, int state) {
    probe<void (*)(int, int)>(d, f, "tm_set_item_state")(index, state);
  };
  set(first, "two.so", 1, V3D_MF_ENABLED);
  set(first, "two.so", 0, V3D_MF_GRAYED);
  set(second, "three.so", 2, V3D_MF_DISABLED);
  // Out of the module's range: index 2 of the first module would be the second's id 2.
  set(first, "two.so", 2, V3D_MF_GRAYED);
  set(first, "two.so", -1, V3D_MF_GRAYED);
  int stranger = 0;
  SetMenuItemState(&stranger, 0, V3D_MF_ENABLED);

  auto greyed = [&](int popup) {
    std::vector<bool> g;
    for (const auto& i : sink.popups.at(popup).items) g.push_back(i.greyed);
    return g;
  };
  EXPECT_EQ(greyed(0), (std::vector<bool>{true, false}));
  EXPECT_EQ(greyed(1), (std::vector<bool>{false, false, true}));
}

TEST_F(HostTest, FaultyModulesAreReportedOnceAndLeaveNoWorkingCommands) {
  TempDir dir;
  put(dir, "no_command_entry", "nocommand.so");
  put(dir, "null_command", "nullcommand.so");
  put(dir, "no_hook_entry", "nohook.so");
  put(dir, "empty_label", "emptylabel.so");
  host.scanDirectory(dir.path);

  EXPECT_EQ(reportedFiles(kModuleError), (std::set<std::string>{"nocommand.so", "nullcommand.so",
                                                                "nohook.so", "emptylabel.so"}));
  EXPECT_EQ(host.reports().size(), 4u) << "once per failing library";
  EXPECT_EQ(reporter.texts.size(), 4u) << "every report goes through error_handler";
  // Without a command entry the popup stays but its items do nothing; a description that
  // fails its checks adds nothing and takes no ids.
  ASSERT_EQ(sink.popups.size(), 2u);
  EXPECT_EQ(sink.popups[0].title, "Two Items");
  EXPECT_EQ(sink.popups[1].title, "Two Items");
  EXPECT_EQ(host.nextCommandId(), 4);
  for (std::uintptr_t id = 0; id < 4; ++id) host.route(id);
  EXPECT_EQ(call(dir, "nocommand.so", "tm_commands"), 0);
  EXPECT_EQ(call(dir, "nullcommand.so", "tm_commands"), 0);
  for (const char* f : {"nocommand.so", "nullcommand.so", "nohook.so", "emptylabel.so"})
    EXPECT_TRUE(loaded(dir, f)) << f << " stays loaded after it attached";
}

TEST_F(HostTest, ModuleIdsStopBelowTheMainMenusIds) {
  TempDir first, second, third;
  put(first, "half_ids", "half.so");
  put(second, "half_ids", "half.so");
  put(third, "two_items", "two.so");
  host.scan({first.path, second.path, third.path});
  EXPECT_EQ(host.nextCommandId(), kModuleIdLimit) << "two modules of 106 items take 0..211";
  EXPECT_EQ(reportedFiles(kModuleError), (std::set<std::string>{"two.so"}));
  ASSERT_EQ(sink.popups.size(), 2u);
  EXPECT_EQ(sink.popups[1].items.back().id, kModuleIdLimit - 1);
  host.route(kModuleIdLimit - 1);
  EXPECT_EQ(call(second, "half.so", "tm_last_command"), 105);
  EXPECT_EQ(call(third, "two.so", "tm_last_command"), -1);
}

TEST_F(HostTest, SaverIsTakenByItsNameInAnyCaseAndBoundOnlyWhenComplete) {
  TempDir dir, incomplete;
  put(dir, "saver", "VOLSTORE.SO");
  put(dir, "two_items", "two.so");
  put(incomplete, "saver_no_buffer", "volstore.so");
  host.scan({incomplete.path});
  EXPECT_FALSE(loaded(incomplete, "volstore.so")) << "a saver without save_buffer is unloaded";
  EXPECT_FALSE(host.saverPresent());
  EXPECT_EQ(sink.saveEnabled, 0);
  EXPECT_EQ(host.saveVolume(), kModuleError);
  host.saveBuffer(nullptr);

  host.scan({dir.path});
  ASSERT_TRUE(host.saverPresent());
  EXPECT_EQ(sink.saveEnabled, 1);
  EXPECT_TRUE(host.reports().empty()) << "the saver is not a module, so nothing is missing";
  ASSERT_EQ(sink.popups.size(), 1u);
  EXPECT_EQ(host.nextCommandId(), 2);

  probe<void (*)(int)>(dir, "VOLSTORE.SO", "ts_set_result")(kCannotSaveVolume);
  EXPECT_EQ(host.saveVolume(), kCannotSaveVolume);
  EXPECT_EQ(call(dir, "VOLSTORE.SO", "ts_calls"), 1);
  int buffer = 0;
  host.saveBuffer(&buffer);
  EXPECT_EQ(probe<void* (*)()>(dir, "VOLSTORE.SO", "ts_buffer")(), &buffer);
}

TEST_F(HostTest, FilesThatAreNoModulesLoadNothingAndKeepThePlainModulesItem) {
  TempDir dir;
  put(dir, "refuses", "refuses.so");
  put(dir, "no_attach", "noattach.so");
  std::ofstream(fs::path(dir.path) / "text.so") << "not a library\n";
  ASSERT_EQ(::mkfifo((dir.path + "/fifo.so").c_str(), 0600), 0);
  fs::create_directory(fs::path(dir.path) / "folder.so");
  put(dir, "two_items", "two.so.txt");
  host.scan({dir.path, dir.path + "/missing", ""});

  EXPECT_TRUE(host.reports().empty()) << "libraries that cannot be loaded are skipped silently";
  EXPECT_TRUE(reporter.texts.empty());
  EXPECT_EQ(sink.modulesPopups, 0) << "the main menu keeps its plain \"&Modules\" item";
  EXPECT_TRUE(sink.popups.empty());
  EXPECT_EQ(host.hookCount(HookList::Projection) + host.hookCount(HookList::Display), 0u);
  EXPECT_FALSE(loaded(dir, "refuses.so")) << "an attach that answers 0 unloads the library";
  EXPECT_FALSE(loaded(dir, "noattach.so"));
}

TEST_F(HostTest, ALibraryReachedTwiceRegistersOnce) {
  TempDir dir, other;
  put(dir, "two_items", "two.so");
  std::filesystem::create_symlink(pathOf(dir, "two.so"), pathOf(other, "alias.so"));
  host.scan({dir.path, other.path});
  EXPECT_EQ(sink.popups.size(), 1u);
  EXPECT_EQ(host.nextCommandId(), 2);
  EXPECT_TRUE(host.reports().empty());
}

TEST_F(HostTest, OverlongDirectoryIsReportedAndLoadsNothing) {
  TempDir dir;
  put(dir, "two_items", "two.so");
  // The same directory written with extra leading slashes, one character longer than the
  // path limit allows and at the longest it allows.
  auto padded = [&](std::size_t length) {
    return std::string(length - dir.path.size(), '/') + dir.path;
  };
  host.scan({padded(PATH_MAX - 7), padded(PATH_MAX - 8)});
  ASSERT_EQ(host.reports().size(), 1u);
  EXPECT_EQ(host.reports()[0].code, kBadVolumeDimensions);
  EXPECT_EQ(reporter.texts, std::vector<std::string>{"Incorrectly specified volume dimensions."});
  ASSERT_EQ(sink.popups.size(), 1u) << "the directory within the limit loads its module";
  EXPECT_EQ(host.nextCommandId(), 2);
}

TEST(ModuleDirectories, ProgramDirectoryFirstThenAbsoluteEntriesEachOnce) {
  TempDir a, b;
  const std::string ca = fs::canonical(a.path).string(), cb = fs::canonical(b.path).string();
  fs::create_directory_symlink(b.path, a.path + "/link");
  const std::string missing = a.path + "/missing";
  struct Case {
    const char* modulePath;
    std::vector<std::string> expected;
  };
  const std::string slashB = b.path + "/",
                    dotA = a.path + "/../" + fs::path(a.path).filename().string();
  const std::string viaLink = a.path + "/link";
  const std::string lists[] = {
      "",
      b.path,
      ":" + b.path + "::relative:./x:.:" + slashB,
      a.path + ":" + dotA,
      viaLink + ":" + b.path + ":" + missing,
  };
  const std::vector<std::string> expected[] = {
      {ca}, {ca, cb}, {ca, cb}, {ca}, {ca, cb, missing},
  };
  for (std::size_t i = 0; i < std::size(lists); ++i)
    EXPECT_EQ(moduleDirectories(a.path, lists[i].c_str()), expected[i]) << lists[i];
  EXPECT_EQ(moduleDirectories(a.path, nullptr), std::vector<std::string>{ca});
  EXPECT_EQ(moduleDirectories("", b.path.c_str()), std::vector<std::string>{cb});
  EXPECT_EQ(moduleDirectories("relative", nullptr), std::vector<std::string>{})
      << "the working directory is never scanned unless named absolutely";
}

TEST(ModuleDirectories, ProgramDirectoryHoldsTheRunningProgram) {
  const std::string dir = programDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_TRUE(fs::exists(fs::path(dir) / "host_tests"));
}

}  // namespace
}  // namespace v3d::test
