#include "ui/main/ShownSystems.h"

#include <QString>
#include <algorithm>

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
  // Every prefix means those made since the last look too.
  connect(chooser_, &PrefixChooser::allChosen, this, [this] {
    ++searches_;
    prefixes_ = findPrefixes_();
    ShowAll();
  });
  connect(chooser_, &PrefixChooser::cancelled, this, &ShownSystems::Fill);
}

ShownSystems::~ShownSystems() {
  if (background_.joinable()) background_.join();
}

void ShownSystems::SetLanguage(Language lang) {
  lang_ = lang;
  Fill();
}

void ShownSystems::FindPrefixes() {
  ++searches_;
  prefixes_ = findPrefixes_();
  Fill();
}

void ShownSystems::FindPrefixesInBackground() {
  if (background_.joinable()) return;  // one at the start is all there is
  background_ = std::thread([this, find = findPrefixes_, before = searches_] {
    std::vector<KnownSystem> found = find();
    QMetaObject::invokeMethod(
        this,
        [this, before, found = std::move(found)]() mutable {
          if (searches_ != before) return;
          prefixes_ = std::move(found);
          Fill();
        },
        Qt::QueuedConnection);
  });
}

void ShownSystems::SetFinder(std::function<std::vector<KnownSystem>()> find) {
  findPrefixes_ = std::move(find);
  FindPrefixes();
}

void ShownSystems::SetPrefixes(std::vector<KnownSystem> prefixes) {
  findPrefixes_ = [prefixes] { return prefixes; };
  ++searches_;
  prefixes_ = std::move(prefixes);
  Fill();
}

void ShownSystems::RememberShown() {
  if (set_.Empty() || set_.All()) return;
  const ManagedSystem& shown = set_.Primary();
  const auto same = [&](const KnownSystem& k) { return SameFolder(k.path, shown.prefixDir); };
  if (std::none_of(prefixes_.begin(), prefixes_.end(), same) &&
      std::none_of(shownOnly_.begin(), shownOnly_.end(), same))
    shownOnly_.push_back(
        {shown.name.empty() ? shown.prefixDir : shown.name, shown.prefixDir, "", ""});
}

std::vector<KnownSystem> ShownSystems::AllKnown() const {
  std::vector<KnownSystem> all;
  for (const KnownSystem& k : shownOnly_)
    if (std::none_of(prefixes_.begin(), prefixes_.end(),
                     [&](const KnownSystem& p) { return SameFolder(p.path, k.path); }))
      all.push_back(k);
  all.insert(all.end(), prefixes_.begin(), prefixes_.end());
  return all;
}

void ShownSystems::Rescan() {
  FindPrefixes();
  if (set_.All()) ShowAll();
}

void ShownSystems::Fill() {
  if (set_.Empty()) return;
  ManagedSystem& shown = set_.Primary();
  // A prefix opened before the home was searched goes by its folder until its front end's name
  // is known.
  if (!set_.All()) {
    std::string name = KnownNameOf(prefixes_, shown.prefixDir, shown.name);
    if (name != shown.name) {
      shown.name = std::move(name);
      emit renamed();
    }
  }
  RememberShown();
  chooser_->Fill(AllKnown(), shown.name, shown.prefixDir, set_.All(), lang_);
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
  for (const KnownSystem& known : AllKnown()) {
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

std::vector<std::string> ShownSystems::ShownDirs() const {
  std::vector<std::string> dirs;
  for (int i = 0; i < set_.Count(); ++i) dirs.push_back(set_.System(i).prefixDir);
  return dirs;
}

}  // namespace pgl
