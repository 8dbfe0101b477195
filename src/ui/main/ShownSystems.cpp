#include "ui/main/ShownSystems.h"

#include <QString>

#include "ui/main/MainTexts.h"
#include "ui/main/PrefixChooser.h"
#include "ui/main/PrefixRules.h"
#include "ui/windows/WindowServices.h"

namespace pgl {

ShownSystems::ShownSystems(SystemSet& set, PrefixChooser* chooser, WindowServices& services,
                           QObject* parent)
    : QObject(parent), set_(set), chooser_(chooser), services_(services) {
  findPrefixes_ = [] {
    std::vector<std::string> notes;  // front-end files that could not be read: nothing to show
    return KnownSystems(notes);
  };
  connect(chooser_, &PrefixChooser::chosen, this,
          [this](const QString& dir) { SwitchTo(dir.toStdString()); });
  connect(chooser_, &PrefixChooser::allChosen, this, &ShownSystems::ShowAll);
  connect(chooser_, &PrefixChooser::cancelled, this, &ShownSystems::Fill);
}

void ShownSystems::SetLanguage(Language lang) {
  lang_ = lang;
  Fill();
}

void ShownSystems::FindPrefixes() {
  prefixes_ = findPrefixes_();
  Fill();
}

void ShownSystems::SetPrefixes(std::vector<KnownSystem> prefixes) {
  findPrefixes_ = [prefixes] { return prefixes; };
  prefixes_ = std::move(prefixes);
  Fill();
}

void ShownSystems::Fill() {
  if (set_.Empty()) return;
  const ManagedSystem& shown = set_.Primary();
  chooser_->Fill(prefixes_, shown.name, shown.prefixDir, set_.All(), lang_);
}

bool ShownSystems::SwitchTo(const std::string& dir) {
  // Whatever happens, the chooser then shows what is in use.
  const bool switched = Open(dir);
  Fill();
  return switched;
}

bool ShownSystems::ShowAll() {
  const bool shown = OpenAll();
  Fill();
  return shown;
}

bool ShownSystems::Open(const std::string& dir) {
  if ((busy && busy()) || set_.Empty()) return false;
  std::string error;
  std::unique_ptr<ManagedSystem> next = services_.openPrefix(dir, error);
  if (!next) {
    services_.tellUser("Purgelet", QString::fromStdString(error));
    return false;
  }
  next->name = KnownNameOf(prefixes_, next->prefixDir, next->name);
  const std::vector<std::string> problems = next->problems;
  emit leaving();
  set_.ShowOne(std::move(next));  // the old prefix goes only after nothing refers to it
  emit shown(problems);
  return true;
}

bool ShownSystems::OpenAll() {
  if ((busy && busy()) || set_.Empty()) return false;
  std::vector<std::unique_ptr<ManagedSystem>> systems;
  std::vector<std::string> problems;
  for (const KnownSystem& known : prefixes_) {
    std::string error;
    std::unique_ptr<ManagedSystem> system = services_.openPrefix(known.path, error);
    if (!system) {
      problems.push_back(known.name + ": " + error);
      continue;
    }
    system->name = known.name;
    for (const auto& problem : system->problems) problems.push_back(known.name + ": " + problem);
    systems.push_back(std::move(system));
  }
  if (systems.empty()) {
    QString text = QString::fromStdString(Text(MainText::NoPrefixRead, lang_));
    for (const auto& problem : problems) text += "\n" + QString::fromStdString(problem);
    services_.tellUser("Purgelet", text);
    return false;
  }
  emit leaving();
  set_.ShowAll(std::move(systems));
  emit shown(problems);
  return true;
}

std::string ShownSystems::Title() const {
  if (set_.Empty()) return {};
  if (set_.All()) return Text(MainText::AllPrefixes, lang_);
  const ManagedSystem& shown = set_.Primary();
  return shown.name.empty() ? shown.prefixDir : shown.name;
}

std::string ShownSystems::Description() const {
  if (set_.Empty()) return {};
  return set_.All() ? PrefixCountText(set_.Count(), lang_) : set_.Primary().description;
}

}  // namespace pgl
