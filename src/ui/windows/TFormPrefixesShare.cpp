// The Prefixes window's "Share identical files...": the copies the chosen prefixes hold,
// shared through the file system on a thread of the window's own.
#include <QApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <algorithm>
#include <iomanip>
#include <memory>
#include <sstream>
#include <thread>

#include "platform/SharedFiles.h"
#include "ui/windows/TFormPrefixes.h"

namespace pgl {

namespace {

std::string Megabytes(std::uint64_t bytes) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(1) << static_cast<double>(bytes) / (1024.0 * 1024.0);
  return text.str();
}

}  // namespace

void TFormPrefixes::ShareSelected() {
  if (sharingRuns_) return;
  std::vector<std::string> dirs;
  const std::vector<std::size_t> selected = SelectedRows();
  for (const PrefixRow& row : rows_)
    if (selected.size() < 2 ||
        std::find(selected.begin(), selected.end(), &row - rows_.data()) != selected.end())
      dirs.push_back(row.prefix.path);
  const auto tell = [this](const std::string& text) {
    services_.tellUser("Purgelet", QString::fromStdString(text));
    raise();
    activateWindow();
  };
  if (const std::string why = WhySharingIsImpossible(dirs); !why.empty()) return tell(why);
  for (const PrefixRow& row : rows_)
    if (std::find(dirs.begin(), dirs.end(), row.prefix.path) != dirs.end() &&
        KnownSystemInUse(row.prefix))
      return tell(pgl::Fill(Text(PrefixesText::WineRuns, lang_), {row.prefix.name}));
  QApplication::setOverrideCursor(Qt::WaitCursor);
  auto report = std::make_shared<DuplicateReport>(FindDuplicates(dirs));
  QApplication::restoreOverrideCursor();
  if (report->sets.empty()) return tell(Text(PrefixesText::NothingToShare, lang_));
  std::size_t copies = 0;
  for (const DuplicateSet& set : report->sets) copies += set.files.size() - 1;
  const bool yes = services_.ask(QString::fromStdString(
      pgl::Fill(Text(PrefixesText::ShareQuestion, lang_),
                {std::to_string(copies), std::to_string(report->sets.size()),
                 Megabytes(report->totalDuplicateBytes), Megabytes(report->totalSharedBytes)})));
  raise();
  activateWindow();
  if (!yes) return;
  StopMeasuring();  // nothing else reads the prefixes meanwhile
  if (sharing_.joinable()) sharing_.join();
  sharingRuns_ = true;
  btnShare_->setEnabled(false);
  sharing_ = std::thread([this, report, lang = lang_] {
    const SharingResult result =
        ShareDuplicates(report->sets, [this, lang](std::size_t done, std::size_t all) {
          const QString text = QString::fromStdString(pgl::Fill(
              Text(PrefixesText::Sharing, lang), {std::to_string(done), std::to_string(all)}));
          QMetaObject::invokeMethod(
              this, [this, text] { summary_->setText(text); }, Qt::QueuedConnection);
        });
    QMetaObject::invokeMethod(
        this,
        [this, result, lang] {
          sharingRuns_ = false;
          btnShare_->setEnabled(true);
          Fill();  // the summary the progress stood in for
          if (result.sharedBytes > 0)
            emit notice(QString::fromStdString(
                pgl::Fill(Text(PrefixesText::Shared, lang),
                          {Megabytes(result.sharedBytes), std::to_string(result.filesShared)})));
          std::string failures;
          if (result.unsupported) failures += "\n" + Text(PrefixesText::CannotShare, lang);
          for (const std::string& f : result.failures) failures += "\n" + f;
          if (!failures.empty())
            services_.tellUser(
                "Purgelet",
                QString::fromStdString(Text(PrefixesText::NotSharedTitle, lang) + failures));
        },
        Qt::QueuedConnection);
  });
}

}  // namespace pgl
