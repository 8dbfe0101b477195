#include "ui/main/UninstallProgress.h"

#include <QApplication>
#include <QProgressDialog>

#include "ui/UiText.h"
#include "ui/main/EntryCommands.h"
#include "ui/main/MainTexts.h"

namespace pgl {

UninstallProgress::UninstallProgress(QWidget* parent, Language lang, EntryCommands& commands)
    : progress_(new QProgressDialog(parent)), lang_(lang), commands_(commands) {
  progress_->setWindowModality(Qt::NonModal);
  progress_->setRange(0, 0);
  progress_->setMinimumDuration(0);
  progress_->setCancelButtonText(Utf8(Text(MainText::StopWaiting, lang)));
  QObject::connect(progress_, &QProgressDialog::canceled, [this] { stop_ = true; });
}

UninstallProgress::~UninstallProgress() {
  delete progress_;
}

void UninstallProgress::NextGroup(int before, int total) {
  before_ = before;
  total_ = total;
}

void UninstallProgress::UninstallerStarting(const TUninstallInfo& entry, int position, int count) {
  stop_ = false;
  emit commands_.uninstallerRunning(true);
  progress_->setLabelText(Utf8(Text(MainText::UninstallProgress, lang_))
                              .arg(before_ + position + 1)
                              .arg(total_ > 0 ? total_ : count)
                              .arg(Utf8(entry.DisplayName.str())));
  progress_->show();
  QApplication::processEvents();
}

void UninstallProgress::UninstallerEnded(const TUninstallInfo&) {
  emit commands_.uninstallerRunning(false);
}

bool UninstallProgress::StopWaiting() {
  QApplication::processEvents();
  return stop_;
}

bool UninstallProgress::KeepWaitingForRegistry(int) {
  if (!waiting_) {
    waiting_ = true;
    stop_ = false;
    progress_->setLabelText(Utf8(Text(MainText::WaitingForWine, lang_)));
    progress_->show();
  }
  QApplication::processEvents();
  return !stop_;
}

}  // namespace pgl
