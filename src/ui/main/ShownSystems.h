// Which prefixes the window shows: one, or every prefix at once. It keeps the user's prefixes
// for the chooser, opens the one picked (or all of them) and tells the window, by signals,
// before the shown systems go and once the new ones are in the set.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "inventory/SystemSet.h"

namespace pgl {

class PrefixChooser;
struct WindowServices;

class ShownSystems : public QObject {
  Q_OBJECT

 public:
  // `set` is the window's, already showing the prefix it started on.
  ShownSystems(SystemSet& set, PrefixChooser* chooser, WindowServices& services, QObject* parent);
  ~ShownSystems() override;

  // Whether a command runs, during which nothing is switched.
  std::function<bool()> busy;
  void SetLanguage(Language lang);
  // Looks for the user's prefixes again (prefixes made since) and offers them.
  void FindPrefixes();
  // The same on another thread, for the window's start: the chooser offers what was found once
  // the search is done, unless a search of the calling thread came first.
  void FindPrefixesInBackground();
  // Tests: the prefixes offered, instead of those found in the home.
  void SetPrefixes(std::vector<KnownSystem> prefixes);
  // How prefixes are looked for (the user's home by default), and a look with it.
  void SetFinder(std::function<std::vector<KnownSystem>()> find);
  // Finds the prefixes again; with every prefix shown, opens them all again, new ones included.
  void Rescan();
  // Shows another prefix; false (and the user told why) when it cannot be opened.
  bool SwitchTo(const std::string& dir);
  // Shows every prefix offered; one that cannot be read is named among the problems. False
  // (and the user told why) when none can be.
  bool ShowAll();
  // Every prefix "All prefixes" holds: those found, and those shown that the search does not
  // find (the one WINEPREFIX names, a folder the user chose), the latter first.
  std::vector<KnownSystem> AllKnown() const;
  // The folders of the prefixes shown now.
  std::vector<std::string> ShownDirs() const;
  // What the title and the status bar name: the prefix, or every prefix.
  std::string Title() const;
  std::string Description() const;

 signals:
  // The systems shown are about to go: nothing may refer to them after this.
  void leaving();
  // Other systems are in the set; `problems` are what could not be read, for the user.
  void shown(const std::vector<std::string>& problems);
  // The prefix shown goes by another name (its front end's, known once the home was searched).
  void renamed();

 private:
  // Offers the prefixes and marks what is shown.
  void Fill();
  bool Open(const std::string& dir);
  bool OpenAll();

  SystemSet& set_;
  PrefixChooser* chooser_;
  WindowServices& services_;
  // Notes the single prefix shown when the search does not find it.
  void RememberShown();

  std::vector<KnownSystem> prefixes_;
  std::vector<KnownSystem> shownOnly_;
  std::function<std::vector<KnownSystem>()> findPrefixes_;
  std::thread background_;
  int searches_ = 0;  // searches made on the calling thread; one since outdates a background one
  Language lang_ = Language::English;
};

}  // namespace pgl
