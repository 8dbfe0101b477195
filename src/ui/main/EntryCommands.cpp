#include "ui/main/EntryCommands.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QProgressDialog>
#include <QStringList>
#include <QTimer>
#include <ctime>

#include "inventory/CommandAnalysis.h"
#include "inventory/EntryList.h"
#include "inventory/Report.h"
#include "inventory/Restore.h"
#include "inventory/UninstallEngine.h"
#include "inventory/UninstallPlaces.h"
#include "leftovers/Leftovers.h"
#include "platform/IconReader.h"
#include "registry/QV_Registry.h"
#include "registry/RegExport.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/ListPresentation.h"
#include "ui/main/MainTexts.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/RestoreDialog.h"
#include "ui/windows/WindowServices.h"
#include "util/CodePage.h"
#include "util/FileIO.h"
#include "util/Locale.h"
#include "util/QV_Conversion.h"
#include "util/ScopedFlag.h"

namespace pgl {

namespace {

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

// Keeps the window alive while an uninstaller or Wine's save is waited for, shows what it is
// waiting for and lets the user stop waiting.
class WindowObserver : public UninstallObserver {
 public:
  WindowObserver(QWidget* parent, bool polish, EntryCommands& commands)
      : polish_(polish), commands_(commands) {
    progress_ = new QProgressDialog(parent);
    progress_->setWindowModality(Qt::NonModal);
    progress_->setRange(0, 0);
    progress_->setMinimumDuration(0);
    progress_->setCancelButtonText(Utf8(StopWaitingText(polish)));
    QObject::connect(progress_, &QProgressDialog::canceled, [this] { stop_ = true; });
  }
  ~WindowObserver() override { delete progress_; }

  void UninstallerStarting(const TUninstallInfo& entry, int position, int count) override {
    stop_ = false;
    emit commands_.uninstallerRunning(true);
    progress_->setLabelText(Utf8(UninstallProgress(polish_))
                                .arg(position + 1)
                                .arg(count)
                                .arg(Utf8(entry.DisplayName.str())));
    progress_->show();
    QApplication::processEvents();
  }
  void UninstallerEnded(const TUninstallInfo&) override {
    emit commands_.uninstallerRunning(false);
  }
  bool StopWaiting() override {
    QApplication::processEvents();
    return stop_;
  }
  bool KeepWaitingForRegistry(int) override {
    if (!waiting_) {
      waiting_ = true;
      stop_ = false;
      progress_->setLabelText(Utf8(WaitingForWine(polish_)));
      progress_->show();
    }
    QApplication::processEvents();
    return !stop_;
  }

 private:
  QProgressDialog* progress_;
  bool polish_;
  EntryCommands& commands_;
  bool stop_ = false;
  bool waiting_ = false;
};

// A file name made from a program's name: no folder separators or control characters.
QString FileNameFrom(const std::string& name) {
  QString text = Utf8(name).trimmed();
  for (QChar& c : text)
    if (c == '/' || c == '\\' || c.unicode() < 32 || c == ':') c = '_';
  if (text.isEmpty() || text == "." || text == "..") text = "icon";
  return text;
}

}  // namespace

EntryCommands::EntryCommands(QWidget* window, EntryListModel* model, TErrorList& errors,
                             WindowServices& services, const TMainParams& params)
    : QObject(window),
      window_(window),
      model_(model),
      errors_(errors),
      services_(services),
      params_(params) {
  // Entries that others remove leave the list within one period.
  timer_ = new QTimer(this);
  timer_->setObjectName("tmCheckReg");
  timer_->setInterval(30000);
  connect(timer_, &QTimer::timeout, this, &EntryCommands::CheckRegistry);
}

void EntryCommands::SetSystem(ManagedSystem* system, TUninstallCollection* collection) {
  if (system != system_) removed_.clear();  // another prefix's keys are not put back here
  system_ = system;
  collection_ = collection;
}

void EntryCommands::Uninstall(const std::vector<TUninstallInfo>& entries,
                              TConfirmDialog* confirmation, bool quietly) {
  const UninstallMode mode = quietly ? UninstallMode::Quiet : UninstallMode::Normal;
  if (!collection_ || running_ || entries.empty()) return;
  std::vector<Evidence> records;
  {
    const ScopedFlag running(running_);
    UninstallEngine engine(*system_->registry, *system_->platform, *system_->runner, errors_);
    if (params_.ConfirmUninstall && confirmation) {
      QStringList names, notes;
      for (const auto& entry : entries) {
        names << Utf8(entry.DisplayName.str());
        if (const std::string why = engine.WhyNotRun(entry, polish_, mode); !why.empty())
          notes << Utf8(entry.DisplayName.str() + ": " + why);
      }
      confirmation->SetPrograms(names, notes);
      if (!services_.confirm(*confirmation)) return;
    }
    emit runningChanged();
    // What ties each program to the prefix, kept before anything runs (a batch cut short still
    // leaves the record its leftovers are found by).
    const LeftoverScope scope = MakeLeftoverScope(*system_, *collection_);
    for (const auto& entry : entries) records.push_back(CollectEvidence(scope, entry));
    std::string recordError;
    if (!SaveEvidence(LeftoversFolder(), records, recordError))
      errors_.AddError((polish_ ? "Nie zapisano zapisu do szukania pozostałości: "
                                : "The record for finding leftovers could not be written: ") +
                       recordError);
    WindowObserver observer(window_, polish_, *this);
    const UninstallBatch batch = engine.Run(entries, polish_, observer, mode);
    // A program that is still there is an outcome the user must hear of, as a failure is;
    // those that failed to start are reported already.
    for (const UninstallStep& step : batch.steps) {
      const TUninstallInfo* entry = nullptr;
      for (const auto& e : entries)
        if (e.RegistryKey == step.registryKey) entry = &e;
      const bool ran = step.result == UninstallResult::Finished ||
                       step.result == UninstallResult::StoppedWaiting;
      if (entry && ran &&
          RegKeyExists(*system_->registry, PlaceOf(entry->View).root,
                       UninstallKeyPath(entry->View, EntrySubkey(*entry))))
        errors_.AddError(UninstallEngine::StillInstalledText(step.displayName, polish_));
    }
  }
  emit runningChanged();
  if (errors_.ErrorCount() > 0) emit errorsAdded();
  Prune();
  // What the programs that are gone left behind.
  std::vector<Evidence> gone;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (!RegKeyExists(*system_->registry, PlaceOf(entries[i].View).root,
                      UninstallKeyPath(entries[i].View, EntrySubkey(entries[i]))))
      gone.push_back(records[i]);
  if (!gone.empty()) OfferLeftovers(gone, false);
}

void EntryCommands::Remove(const std::vector<TUninstallInfo>& entries,
                           TConfirmDialog* confirmation) {
  if (!collection_ || running_ || entries.empty()) return;
  std::vector<RemoveFailure> failures;
  {
    const ScopedFlag running(running_);
    if (params_.ConfirmRemove && confirmation) {
      QStringList names;
      for (const auto& entry : entries) names << Utf8(entry.DisplayName.str());
      confirmation->SetPrograms(names, {});
      if (!services_.confirm(*confirmation)) return;
    }
    // What is removed is kept first: Undo puts it back from memory.
    std::vector<SavedKey> saved;
    for (const auto& entry : entries) {
      const RootKey root = PlaceOf(entry.View).root;
      for (const std::string& path : {UninstallKeyPath(entry.View, EntrySubkey(entry)),
                                      ARPCacheKeyPath(entry.View, EntrySubkey(entry))})
        if (auto key = SnapshotKey(*system_->registry, root, path))
          saved.push_back({root, path, std::move(*key)});
    }
    failures = RemoveEntries(*system_->registry, entries, polish_);
    removed_.clear();
    for (auto& key : saved)
      if (!RegKeyExists(*system_->registry, key.root, key.path)) removed_.push_back(std::move(key));
  }
  emit runningChanged();
  if (!failures.empty()) {
    QString text = Utf8(NotRemovedTitle(polish_));
    for (const auto& f : failures)
      text +=
          QString("\n\n%1 (%2)\n%3").arg(Utf8(f.displayName), Utf8(f.registryKey), Utf8(f.reason));
    services_.tellUser("Purgelet", text);
  }
  Prune();
}

void EntryCommands::UndoRemove() {
  if (!system_ || running_ || removed_.empty()) return;
  std::string error;
  PutBack result = PutBack::Failed;
  {
    const ScopedFlag running(running_);
    result = PutBackKeys(*system_->registry, removed_, error);
    // Given back, or made again by another program: either way there is nothing to undo now.
    if (result != PutBack::Failed) removed_.clear();
  }
  emit runningChanged();
  if (result != PutBack::Done) services_.tellUser("Purgelet", Utf8(error));
  Refresh();  // the list shows the registry as it now is
}

void EntryCommands::Refresh() {
  if (!collection_ || running_) return;
  emit listAboutToChange();
  system_->registry->Refresh();
  collection_->ReadKeyNames();
  collection_->ScanSorted();
  emit listChanged();
}

void EntryCommands::SortBy(int column) {
  if (!collection_ || column < 0 || column >= static_cast<int>(kListColumnCount)) return;
  emit listAboutToChange();
  collection_->SortAscending = !collection_->SortAscending;
  collection_->SortItems(ListColumns()[static_cast<std::size_t>(column)].tag);
  emit listChanged();
}

void EntryCommands::Prune() {
  if (!collection_ || running_) return;
  // The selection is remembered while the rows still match the collection.
  emit listAboutToChange();
  if (PruneNonExisting(*collection_) > 0) emit listChanged();
}

void EntryCommands::CheckRegistry() {
  if (!collection_ || running_) return;
  // Nothing changed on disk, nothing to test: the check then costs two file stamps. When Wine
  // saved a file, it is read again before the keys are tested.
  if (system_->registry->Refresh()) Prune();
}

void EntryCommands::Report(const QString& title) {
  if (!collection_) return;
  const QString file =
      services_.chooseSaveFile(title, lastReportName_, "HTML documents (*.html *.htm)");
  if (file.isEmpty()) return;
  lastReportName_ = file;  // offered again next time
  std::vector<std::string> captions;
  for (const auto& column : ListColumns()) captions.push_back(ColumnCaption(column, polish_));
  std::vector<std::vector<std::string>> rows;
  rows.reserve(static_cast<std::size_t>(model_->rowCount()));
  for (int row = 0; row < model_->rowCount(); ++row) {
    std::vector<std::string> cells;
    for (int column = 0; column < model_->columnCount(); ++column)
      cells.push_back(model_->CellText(row, column));
    rows.push_back(std::move(cells));
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string error;
  if (!WriteFileAtomic(file.toStdString(), BuildReport(captions, rows, polish_, local), error))
    services_.tellUser("Purgelet", Utf8(error));
}

void EntryCommands::Backup(const QString& title) {
  if (!system_) return;
  const QString file = services_.chooseSaveFile(
      title, Utf8("registry_backup_" + DateTimeFileName(".reg", LocalNow())),
      "Registry Script Files (*.reg)");
  if (file.isEmpty()) return;
  // Every place's Uninstall key, in one script that gives back what it holds exactly.
  try {
    const RegExportResult result = ExportRegistryKeys(
        *system_->registry, BackupKeys(*system_->registry), file.toStdString(), UserAnsiCodePage());
    if (!result.leftOut.empty()) {
      QString text = polish_ ? QString::fromUtf8("Pominięto w kopii (nazwy nie do zapisania):")
                             : QString("Left out of the backup (names no script can hold):");
      for (const auto& key : result.leftOut) text += "\n" + Utf8(key);
      services_.tellUser("Purgelet", text);
    }
  } catch (const std::exception& e) {
    services_.tellUser("Purgelet", Utf8(e.what()));
  }
}

void EntryCommands::Restore(const QString& title) {
  if (!system_ || running_) return;
  const QString file = services_.chooseOpenFile(title, "Registry Script Files (*.reg)");
  if (file.isEmpty()) return;
  std::string bytes, error;
  RestorePlan plan;
  if (!ReadWholeFile(file.toStdString(), bytes, error, kMaxScriptBytes + 1) ||
      !PlanRestore(*system_->registry, bytes, UserAnsiCodePage(), plan, error,
                   IsOurLeftoversExport(LeftoversFolder(), bytes))) {
    services_.tellUser("Purgelet", file + ":\n" + Utf8(error));
    return;
  }
  bytes = {};
  RestoreDialog dialog(window_, file, plan, polish_);
  if (!services_.confirmRestore(dialog) || plan.writes.empty()) return;
  bool written = false;
  {
    const ScopedFlag running(running_);
    written = ApplyRestore(*system_->registry, plan, polish_, error);
  }
  emit runningChanged();
  if (!written)
    services_.tellUser("Purgelet", (polish_ ? QString::fromUtf8("Nic nie przywrócono: ")
                                            : QString("Nothing was restored: ")) +
                                       Utf8(error));
  Refresh();
}

void EntryCommands::SaveIcon(const TUninstallInfo& entry, const QIcon& shown) {
  if (!system_) return;
  const QString file =
      services_.chooseSaveFile(QString::fromUtf8(kSaveIconText),
                               FileNameFrom(entry.DisplayName.str()) + ".ico", "Icon (*.ico)");
  if (file.isEmpty()) return;
  // The entry's own icon is saved as its file holds it; our fallback icons as drawn.
  std::string bytes;
  if (IconSourceOf(entry) == IconSource::Own)
    if (const auto image =
            ExtractIconHandle(*system_->platform, entry.IconFile, entry.IconIndex, false))
      bytes = image->ico;
  if (bytes.empty()) {
    const QImage image = shown.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) argb.push_back(image.pixel(x, y));
    bytes = EncodeIco32(image.width(), image.height(), argb);
  }
  std::string error;
  if (bytes.empty() || !WriteFileAtomic(file.toStdString(), bytes, error))
    services_.tellUser("Purgelet", Utf8(error.empty() ? "The icon could not be read." : error));
}

}  // namespace pgl
