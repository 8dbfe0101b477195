// The Prefixes window: every prefix of the user with its owner, the owner's state, programs,
// size (drawn as a bar), saves and last use, largest first; a removed game's prefix stands
// out. "Remove prefix..." moves the chosen prefixes to the trash after keeping their saves;
// "Save the saves..." writes their saves to an archive in a folder the user picks. Sizes are
// measured by a thread of the window's own, and each row is filled in as its prefix is done.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "ui/windows/PrefixesRules.h"
#include "ui/windows/SecondaryWindow.h"
#include "ui/windows/WindowServices.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace pgl {

class TFormPrefixes : public TSecondaryWindow {
  Q_OBJECT

 public:
  TFormPrefixes(QWidget* owner, WindowServices& services);
  ~TFormPrefixes() override;
  void SetLang(Language lang) override;
  // Lists `known` (those `shown` by the main window are not removed here) and starts measuring.
  void ShowPrefixes(std::vector<KnownSystem> known, const std::vector<std::string>& shown);
  void RemoveSelected();
  void SaveSelected();
  // Shares the files the chosen prefixes (every one with fewer than two chosen) hold twice,
  // after a question, on a thread of its own; the window says how far it is.
  void ShareSelected();
  bool Sharing() const { return sharingRuns_; }
  QTableWidget* Table() const { return table_; }
  const std::vector<PrefixRow>& Rows() const { return rows_; }
  // Whether every row is measured.
  bool Measured() const;

 signals:
  // A short word for the main window's message bar.
  void notice(const QString& text);
  // Prefixes went: the main window looks for its prefixes again.
  void prefixesChanged();

 private:
  void StopMeasuring();
  void Fill();
  void TakeMeasure(std::size_t id, std::optional<std::size_t> programs, PrefixUsage usage);
  std::vector<std::size_t> SelectedRows() const;

  WindowServices& services_;
  QTableWidget* table_;
  QPushButton* btnRemove_;
  QPushButton* btnSave_;
  QPushButton* btnShare_;
  std::thread sharing_;
  bool sharingRuns_ = false;
  QLabel* summary_ = nullptr;  // what the removed games' rows would free
  std::vector<PrefixRow> rows_;
  std::vector<KnownSystem> known_;
  std::thread measuring_;
  std::shared_ptr<std::atomic<bool>> stop_;
  Language lang_ = Language::English;
};

}  // namespace pgl
