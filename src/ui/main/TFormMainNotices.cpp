// The main window's notices: what a prefix's opening found, and whether its registry can be
// changed while Wine runs there.
#include <QStringList>
#include <utility>

#include "platform/AppFiles.h"
#include "ui/UiText.h"
#include "ui/main/EntryCommands.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/MainTexts.h"
#include "ui/main/MessageBar.h"
#include "ui/main/ShownSystems.h"
#include "ui/main/Startup.h"
#include "ui/main/TFormMain.h"

namespace pgl {

void TFormMain::ShowProblems(const std::vector<std::string>& problems, bool readOnlyNote) {
  QStringList lines;
  for (const auto& problem : problems) lines << Utf8(problem);
  if (readOnlyNote)
    if (const QString note = ReadOnlyNote(); !note.isEmpty()) lines << note;
  messageBar_->Show(lines.join('\n'));  // one notice, a line each
}

QString TFormMain::ReadOnlyNote() {
  // While Wine runs in the prefix its registry cannot be changed: the user hears of it without
  // being stopped, and the note goes when Wine does.
  if (set_.Empty() || set_.All()) return {};
  const std::string why = set_.Primary().registry->WhyUnchangeable(Lang());
  if (why.empty()) return {};
  readOnlyPrefix_ = set_.Primary().prefixDir;
  return Utf8(Text(MainText::RegistryReadOnly, Lang())) + Utf8(why);
}

void TFormMain::RecordStart() {
  if (!startPending_) return;
  startPending_ = false;
  // The user's other prefixes, for the chooser, once the list is on screen: a home of many
  // prefixes and front ends takes a while to search. Looked for again at each refresh.
  shown_->FindPrefixesInBackground();
  // Not while a command works on the list: the scan after it brings them.
  if (std::exchange(filesPending_, false) && !commands_->Running()) {
    set_.FindFiles();
    model_->FilesFound();
    DisplaySelectedInfo();  // the panel's icon too
    UpdateStatus();         // the count of invalid entries
  }
  // A write that fails is skipped, as every start-up write is.
  if (startRecord_)
    RecordThisStart(*startRecord_,
                    files_.exePath.empty() ? ExecutableDir() + "/pgl" : files_.exePath);
  startRecord_.reset();
  // The first prefix's note joins what its start had to say.
  if (const QString note = ReadOnlyNote(); !note.isEmpty()) {
    const QString shown = messageBar_->Text();
    messageBar_->Show(shown.isEmpty() ? note : shown + '\n' + note);
  }
}

void TFormMain::tmCheckRegTimer() {
  commands_->CheckRegistry();
  // Once Wine has left the prefix, the note goes.
  if (readOnlyPrefix_.empty() || commands_->Running()) return;
  if (set_.Empty() || set_.All() || set_.Primary().prefixDir != readOnlyPrefix_) {
    readOnlyPrefix_.clear();  // another prefix is shown: the note went with the old one
    return;
  }
  if (!set_.Primary().registry->WhyUnchangeable(Lang()).empty()) return;
  readOnlyPrefix_.clear();
  for (const Language lang : kLanguages)
    messageBar_->Withdraw(Utf8(Text(MainText::RegistryReadOnly, lang)));
}

}  // namespace pgl
