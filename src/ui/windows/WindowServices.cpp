#include "ui/windows/WindowServices.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "ui/windows/ConfirmDialogs.h"

namespace pgl {

WindowServices DialogServices(QWidget* parent, const std::string& startDir,
                              std::function<QString()> folderTitle) {
  WindowServices services;
  services.confirm = [](TConfirmDialog& dialog) { return dialog.Confirm(); };
  services.tellUser = [parent](const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text);
  };
  services.ask = [parent](const QString& question) {
    return QMessageBox::question(parent, "Purgelet", question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  const QString dir = QString::fromStdString(startDir);
  services.chooseSaveFile = [parent, dir](const QString& title, const QString& suggested,
                                          const QString& filter) {
    QFileDialog dialog(parent, title, dir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(suggested);
    dialog.setDefaultSuffix(QFileInfo(suggested).suffix());
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
  };
  services.setClipboard = [](const QString& text) { QApplication::clipboard()->setText(text); };
  services.chooseFolder = [parent, folderTitle = std::move(folderTitle)] {
    return QFileDialog::getExistingDirectory(parent, folderTitle(), QDir::homePath());
  };
  return services;
}

}  // namespace pgl
