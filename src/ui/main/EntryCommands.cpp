#include "ui/main/EntryCommands.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
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
#include "ui/UiText.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/ListPresentation.h"
#include "ui/main/MainTexts.h"
#include "ui/main/UninstallProgress.h"
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

// The wait cursor while the registry files are written: a batch of hundreds takes a tenth of a
// second, a slow disk longer, and the window takes no input meanwhile.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
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

void EntryCommands::SetSystems(SystemSet* systems) {
  removed_.clear();  // another prefix's keys are not put back here
  set_ = systems;
}

std::string EntryCommands::NameInList(const TUninstallInfo& entry) const {
  // Two prefixes may hold programs of one name: with every prefix shown, each says whose it is.
  if (!set_ || !set_->All()) return entry.DisplayName.str();
  return entry.DisplayName.str() + " (" + set_->SystemOf(entry).name + ")";
}

void EntryCommands::Uninstall(const std::vector<TUninstallInfo>& entries,
                              TConfirmDialog* confirmation, bool quietly) {
  const UninstallMode mode = quietly ? UninstallMode::Quiet : UninstallMode::Normal;
  if (!set_ || set_->Empty() || running_ || entries.empty()) return;
  // Each entry runs in its own prefix, with that prefix's Wine, in the list's order.
  const auto groups = set_->InRuns(entries);
  std::vector<std::vector<Evidence>> records(groups.size());
  {
    const ScopedFlag running(running_);
    if (params_.ConfirmUninstall && confirmation) {
      QStringList names, notes;
      for (const auto& [index, group] : groups) {
        ManagedSystem& system = set_->System(index);
        UninstallEngine engine(*system.registry, *system.platform, *system.runner, errors_);
        for (const auto& entry : group) {
          names << Utf8(NameInList(entry));
          if (const std::string why = engine.WhyNotRun(entry, lang_, mode); !why.empty())
            notes << Utf8(NameInList(entry) + ": " + why);
        }
      }
      confirmation->SetPrograms(names, notes);
      if (!services_.confirm(*confirmation)) return;
    }
    emit runningChanged();
    // One batch, one error list, whichever prefixes it runs in.
    errors_.ClearErrors();
    // What ties each program to its prefix, kept before anything runs (a batch cut short still
    // leaves the record its leftovers are found by).
    for (std::size_t g = 0; g < groups.size(); ++g) {
      const int index = groups[g].first;
      const LeftoverScope scope = MakeLeftoverScope(set_->System(index), set_->Collection(index));
      for (const auto& entry : groups[g].second)
        records[g].push_back(CollectEvidence(scope, entry));
      std::string recordError;
      if (!SaveEvidence(LeftoversFolder(), records[g], recordError))
        errors_.AddError(Text(MainText::RecordNotWritten, lang_) + recordError);
    }
    UninstallProgress observer(window_, lang_, *this);
    int before = 0;
    for (const auto& [index, group] : groups) {
      ManagedSystem& system = set_->System(index);
      UninstallEngine engine(*system.registry, *system.platform, *system.runner, errors_);
      observer.NextGroup(before, static_cast<int>(entries.size()));
      before += static_cast<int>(group.size());
      const UninstallBatch batch = engine.Run(group, lang_, observer, mode);
      // A program that is still there is an outcome the user must hear of, as a failure is;
      // those that failed to start are reported already.
      for (const UninstallStep& step : batch.steps) {
        const TUninstallInfo* entry = nullptr;
        for (const auto& e : group)
          if (RegistryKeyOf(e) == step.registryKey) entry = &e;
        const bool ran = step.result == UninstallResult::Finished ||
                         step.result == UninstallResult::StoppedWaiting;
        if (entry && ran &&
            RegKeyExists(*system.registry, PlaceOf(entry->View).root,
                         UninstallKeyPath(entry->View, EntrySubkey(*entry))))
          errors_.AddError(UninstallEngine::StillInstalledText(step.displayName, lang_));
      }
    }
  }
  emit runningChanged();
  if (errors_.ErrorCount() > 0) emit errorsAdded();
  Prune();
  // What the programs that are gone left behind.
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const auto& [index, group] = groups[g];
    RegistryStore& registry = *set_->System(index).registry;
    std::vector<Evidence> gone;
    for (std::size_t i = 0; i < group.size(); ++i)
      if (!RegKeyExists(registry, PlaceOf(group[i].View).root,
                        UninstallKeyPath(group[i].View, EntrySubkey(group[i]))))
        gone.push_back(records[g][i]);
    if (!gone.empty()) OfferLeftovers(index, gone, false);
  }
}

void EntryCommands::Remove(const std::vector<TUninstallInfo>& entries,
                           TConfirmDialog* confirmation) {
  if (!set_ || set_->Empty() || running_ || entries.empty()) return;
  std::vector<RemoveFailure> failures;
  {
    const ScopedFlag running(running_);
    if (params_.ConfirmRemove && confirmation) {
      QStringList names;
      for (const auto& entry : entries) names << Utf8(NameInList(entry));
      confirmation->SetPrograms(names, {});
      if (!services_.confirm(*confirmation)) return;
    }
    removed_.clear();
    const BusyCursor busy;
    for (const auto& [index, group] : set_->BySystem(entries)) {
      RegistryStore& registry = *set_->System(index).registry;
      // What is removed is kept first: Undo puts it back from memory.
      std::vector<SavedKey> saved;
      for (const auto& entry : group) {
        const RootKey root = PlaceOf(entry.View).root;
        for (const std::string& path : {UninstallKeyPath(entry.View, EntrySubkey(entry)),
                                        ARPCacheKeyPath(entry.View, EntrySubkey(entry))})
          if (auto key = SnapshotKey(registry, root, path))
            saved.push_back({root, path, std::move(*key)});
      }
      for (auto& failure : RemoveEntries(registry, group, lang_))
        failures.push_back(std::move(failure));
      std::vector<SavedKey> gone;
      for (auto& key : saved)
        if (!RegKeyExists(registry, key.root, key.path)) gone.push_back(std::move(key));
      if (!gone.empty()) removed_.emplace_back(index, std::move(gone));
    }
  }
  removedPrograms_ = entries.size() - std::min(entries.size(), failures.size());
  emit runningChanged();
  if (!failures.empty()) {
    QString text = Utf8(Text(MainText::NotRemovedTitle, lang_));
    for (const auto& f : failures)
      text +=
          QString("\n\n%1 (%2)\n%3").arg(Utf8(f.displayName), Utf8(f.registryKey), Utf8(f.reason));
    services_.tellUser("Purgelet", text);
  }
  if (removedPrograms_ > 0)
    emit undoableNotice(
        Utf8(Fill(Text(MainText::Removed, lang_), {std::to_string(removedPrograms_)})));
  Prune();
}

void EntryCommands::UndoRemove() {
  if (!set_ || running_ || removed_.empty()) return;
  std::string error;
  PutBack result = PutBack::Done;
  {
    const ScopedFlag running(running_);
    const BusyCursor busy;
    for (auto it = removed_.begin(); it != removed_.end();) {
      std::string why;
      const PutBack done = PutBackKeys(*set_->System(it->first).registry, it->second, why);
      // Given back, or made again by another program: either way there is nothing to undo now.
      if (done != PutBack::Failed) {
        it = removed_.erase(it);
      } else {
        ++it;
      }
      if (done != PutBack::Done && result != PutBack::Failed) {
        result = done;
        error = why;
      }
    }
  }
  emit runningChanged();
  if (result != PutBack::Done)
    services_.tellUser("Purgelet", Utf8(error));
  else
    emit notice(Utf8(Fill(Text(MainText::PutBack, lang_), {std::to_string(removedPrograms_)})));
  Refresh();  // the list shows the registry as it now is
}

void EntryCommands::Refresh() {
  if (!set_ || set_->Empty() || running_) return;
  emit listAboutToChange();
  set_->Refresh();
  set_->Scan(true);
  emit listChanged();
}

void EntryCommands::SortBy(int column) {
  if (!set_ || set_->Empty() || column < 0 || column >= model_->columnCount()) return;
  emit listAboutToChange();
  TUninstallCollection& shown = set_->Shown();
  shown.SortAscending = !shown.SortAscending;
  shown.SortItems(SortKeyOfTag(EntryListModel::ColumnTag(column)));
  emit listChanged();
}

void EntryCommands::Prune() {
  if (!set_ || set_->Empty() || running_) return;
  // The selection is remembered while the rows still match the collection.
  emit listAboutToChange();
  if (set_->Prune() > 0) emit listChanged();
}

void EntryCommands::CheckRegistry() {
  if (!set_ || set_->Empty() || running_) return;
  // Nothing changed on disk, nothing to test: the check then costs two file stamps per prefix.
  // When Wine saved a file, it is read again before the keys are tested.
  if (set_->Refresh()) Prune();
}

void EntryCommands::Report(const QString& title) {
  if (!set_ || set_->Empty()) return;
  const QString file =
      services_.chooseSaveFile(title, lastReportName_, "HTML documents (*.html *.htm)");
  if (file.isEmpty()) return;
  lastReportName_ = file;  // offered again next time
  std::vector<std::string> captions;
  for (int column = 0; column < model_->columnCount(); ++column)
    captions.push_back(
        model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toStdString());
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
  if (!WriteFileAtomic(file.toStdString(), BuildReport(captions, rows, lang_, local), error))
    services_.tellUser("Purgelet", Utf8(error));
  else
    emit notice(Utf8(Fill(Text(MainText::ReportSaved, lang_), {file.toStdString()})));
}

void EntryCommands::Backup(const QString& title) {
  if (!set_ || set_->Empty() || set_->All()) return;
  ManagedSystem& system = set_->Primary();
  const QString file = services_.chooseSaveFile(
      title, Utf8("registry_backup_" + DateTimeFileName(".reg", LocalNow())),
      "Registry Script Files (*.reg)");
  if (file.isEmpty()) return;
  // Every place's Uninstall key, in one script that gives back what it holds exactly.
  try {
    const RegExportResult result = ExportRegistryKeys(
        *system.registry, BackupKeys(*system.registry), file.toStdString(), UserAnsiCodePage());
    if (!result.leftOut.empty()) {
      QString text = Utf8(Text(MainText::LeftOutOfBackup, lang_));
      for (const auto& key : result.leftOut) text += "\n" + Utf8(key);
      services_.tellUser("Purgelet", text);
    }
    emit notice(Utf8(Fill(Text(MainText::BackupSaved, lang_), {file.toStdString()})));
  } catch (const std::exception& e) {
    services_.tellUser("Purgelet", Utf8(e.what()));
  }
}

void EntryCommands::Restore(const QString& title) {
  if (!set_ || set_->Empty() || set_->All() || running_) return;
  ManagedSystem& system = set_->Primary();
  const QString file = services_.chooseOpenFile(title, "Registry Script Files (*.reg)");
  if (file.isEmpty()) return;
  std::string bytes, error;
  RestorePlan plan;
  if (!ReadWholeFile(file.toStdString(), bytes, error, kMaxScriptBytes + 1) ||
      !PlanRestore(*system.registry, bytes, UserAnsiCodePage(), plan, error,
                   IsOurLeftoversExport(LeftoversFolder(), bytes))) {
    services_.tellUser("Purgelet", file + ":\n" + Utf8(error));
    return;
  }
  bytes = {};
  RestoreDialog dialog(window_, file, plan, lang_);
  if (!services_.confirmRestore(dialog) || plan.writes.empty()) return;
  bool written = false;
  {
    const ScopedFlag running(running_);
    written = ApplyRestore(*system.registry, plan, lang_, error);
  }
  emit runningChanged();
  if (!written)
    services_.tellUser("Purgelet", Utf8(Text(MainText::NothingRestored, lang_) + error));
  else
    emit notice(Utf8(
        Fill(Text(MainText::Restored, lang_),
             {std::to_string(plan.Count(RestoreKind::AddBack) + plan.Count(RestoreKind::Replace)),
              file.toStdString()})));
  Refresh();
}

void EntryCommands::SaveIcon(const TUninstallInfo& entry, const QIcon& shown) {
  if (!set_ || set_->Empty()) return;
  const Platform& platform = *set_->SystemOf(entry).platform;
  const QString file =
      services_.chooseSaveFile(QString::fromUtf8(kSaveIconText),
                               FileNameFrom(entry.DisplayName.str()) + ".ico", "Icon (*.ico)");
  if (file.isEmpty()) return;
  // The entry's own icon is saved as its file holds it; our fallback icons as drawn.
  std::string bytes;
  if (IconSourceOf(entry) == IconSource::Own)
    if (const auto image = ExtractIconHandle(platform, entry.IconFile, entry.IconIndex, false))
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
