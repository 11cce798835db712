#include "app/QtPrompts.h"

#include "app/PanelCore.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {
// File names go to the file system as the platform spells them, not through the 8-bit codec.
std::string LocalName(const QString& name) { return QFile::encodeName(name).toStdString(); }

// The error boxes carry the main window's title, set here: the application lends its name to
// no window.
void ShowErrorBox(const QString& message) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(MainWindowTitle()), message, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}
}  // namespace

void ShowStandardError(const char* what) { ShowErrorBox(QString::fromLocal8Bit(what)); }

void QtPrompts::ShowError(std::string_view message) {
  ShowErrorBox(QString::fromLocal8Bit(message.data(), static_cast<qsizetype>(message.size())));
}

SaveAnswer QtPrompts::AskSave() {
  QMessageBox box(QMessageBox::Warning, QString(), QStringLiteral("Data has changed. Save?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, nullptr);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes: return SaveAnswer::Yes;
    case QMessageBox::No: return SaveAnswer::No;
    default: return SaveAnswer::Cancel;  // Cancel, or the box closed without an answer
  }
}

std::optional<std::string> QtPrompts::ChooseFileToOpen() {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setObjectName("OpenDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("Data files (*.dat)"), QStringLiteral("All Files (*.*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return LocalName(dialog.selectedFiles().front());
}

std::optional<std::string> QtPrompts::ChooseFileToSave() {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setObjectName("SaveDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({QStringLiteral("Data Files (*.dat)"), QStringLiteral("All Files (*.*)")});
  dialog.setDefaultSuffix(QStringLiteral("dat"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return LocalName(dialog.selectedFiles().front());
}
