// error_handler, the question boxes and the text-loading helpers. Every message goes through
// the installed Reporter; the headless default writes the caption and the text to standard
// error, so batch tools and tests see every failure they cause.
#include "core/messages.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/report.h"
#include "core/strings.h"
#include "core/volume.h"

namespace v3d {
namespace {

class HeadlessReporter final : public Reporter {
 public:
  int showMessage(void*, std::string_view text, std::string_view caption, MessageIcon,
                  MessageButtons buttons) override {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    switch (buttons) {
      case MessageButtons::Ok:
        return kAnswerOk;
      case MessageButtons::OkCancel:
        return affirmative ? kAnswerOk : kAnswerCancel;
      case MessageButtons::YesNo:
        return affirmative ? kAnswerYes : kAnswerNo;
      case MessageButtons::YesNoCancel:
        return affirmative ? kAnswerYes : kAnswerNo;
    }
    return kAnswerOk;
  }
  bool affirmative = true;
};

HeadlessReporter& headless() {
  static HeadlessReporter instance;
  return instance;
}

Reporter* g_installed = nullptr;

// Message boxes keep at most 119 characters of a text.
constexpr std::size_t kMessageCapacity = 120;

int absoluteId(int code) {
  // -INT_MIN does not exist; such a code has no text anyway.
  return code < 0 ? (code == INT_MIN ? 0 : -code) : code;
}

}  // namespace

Reporter* installReporter(Reporter* r) {
  Reporter* previous = g_installed;
  g_installed = r;
  return previous;
}

Reporter& reporter() {
  return g_installed ? *g_installed : headless();
}

void setHeadlessAffirmative(bool affirmative) {
  headless().affirmative = affirmative;
}
bool headlessAffirmative() {
  return headless().affirmative;
}

}  // namespace v3d

extern "C" {

char promptText[130];
char labelText1[70];
char labelText2[70];
char labelText3[70];
char dialogTitle[70];
char shortText[70];

int error_handler(int code) {
  v3d::Reporter& r = v3d::reporter();
  r.restoreCursor();
  char message[v3d::kMessageCapacity];
  v3d::loadText(v3d::absoluteId(code), message, sizeof message);
  return r.showMessage(nullptr, message, v3d::kCaption, v3d::MessageIcon::Error,
                       v3d::MessageButtons::Ok);
}

int AskWithInformation(void* owner, int id) {
  char message[v3d::kMessageCapacity];
  v3d::loadText(v3d::absoluteId(id), message, sizeof message);
  return v3d::reporter().showMessage(owner, message, v3d::kCaption, v3d::MessageIcon::Information,
                                     v3d::MessageButtons::OkCancel);
}

void LoadShortText(int id) {
  v3d::loadText(id, shortText, sizeof shortText);
}
void LoadPromptText(int id) {
  v3d::loadText(id, promptText, sizeof promptText);
}
void LoadDialogTitle(int id) {
  v3d::loadText(id, dialogTitle, sizeof dialogTitle);
}

void LoadPromptAndLabels(int id, int labelId1, int labelId2) {
  LoadPromptText(id);
  if (labelId1 != 0) v3d::loadText(labelId1, labelText1, sizeof labelText1);
  if (labelId2 != 0) v3d::loadText(labelId2, labelText2, sizeof labelText2);
}

void LoadPromptAndThreeLabels(int id, int labelId1, int labelId2, int labelId3) {
  LoadPromptAndLabels(id, labelId1, labelId2);
  if (labelId3 != 0) v3d::loadText(labelId3, labelText3, sizeof labelText3);
}

}  // extern "C"
