#include "ui/windows/WindowServices.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>

#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/LeftoversDialog.h"
#include "ui/windows/RestoreDialog.h"

namespace pgl {

namespace {

// Runs a dialog of ours above every window of ours, the tool windows that stay on top included,
// with the focus: a question hidden behind Details looks like a frozen program.
int RunOnTop(QDialog& dialog) {
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  dialog.setWindowModality(Qt::ApplicationModal);
  return dialog.exec();
}

}  // namespace

WindowServices DialogServices(QWidget* parent, const std::string& startDir) {
  WindowServices services;
  services.confirm = [](TConfirmDialog& dialog) { return dialog.Confirm(); };
  services.tellUser = [parent](const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    RunOnTop(box);
  };
  services.openLocalPage = [](const std::string& file) {
    // False where the desktop has no opener (no xdg-open).
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
  };
  services.ask = [parent](const QString& question) {
    QMessageBox box(QMessageBox::Question, "Purgelet", question, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setObjectName("questionBox");
    return RunOnTop(box) == QMessageBox::Yes;
  };
  const QString dir = QString::fromStdString(startDir);
  services.chooseSaveFile = [parent, dir](const QString& title, const QString& suggested,
                                          const QString& filter) {
    QFileDialog dialog(parent, title, dir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(suggested);
    // The file type the filter names ("Text files (*.txt)"), whatever the suggested name ends
    // with.
    const qsizetype star = filter.indexOf("*.");
    const QString suffix = star < 0
                               ? QFileInfo(suggested).suffix()
                               : filter.mid(star + 2).section(QRegularExpression("[ );]"), 0, 0);
    dialog.setDefaultSuffix(suffix);
    return RunOnTop(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
  };
  services.chooseOpenFile = [parent, dir](const QString& title, const QString& filter) {
    QFileDialog dialog(parent, title, dir, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return RunOnTop(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
  };
  services.confirmRestore = [](RestoreDialog& dialog) {
    return RunOnTop(dialog) == QDialog::Accepted;
  };
  services.confirmLeftovers = [](LeftoversDialog& dialog) {
    return RunOnTop(dialog) == QDialog::Accepted;
  };
  services.setClipboard = [](const QString& text) { QApplication::clipboard()->setText(text); };
  services.chooseFolder = [parent](const QString& title) {
    // Prefixes are mostly hidden folders (~/.wine, ~/.local/share/...): they are shown.
    QFileDialog dialog(parent, title, QDir::homePath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot);
    return RunOnTop(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
  };
  return services;
}

}  // namespace pgl
