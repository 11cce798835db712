#include "app/QtPrompts.h"

#include "app/PanelCore.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>

#include <memory>

namespace {
// File names go to the file system as the platform spells them, not through the 8-bit codec.
std::string LocalName(const QString& name) { return QFile::encodeName(name).toStdString(); }

const QString AllFiles = QStringLiteral("All Files (*.*)");

// The error boxes carry the main window's title, set here: the application lends its name to
// no window.
void ShowErrorBox(const QString& message) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(MainWindowTitle()), message, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

// "*.*" asks for a dot in the name on this platform. "All Files" keeps its caption, lists
// every file and leaves a typed name as typed, where the toolkit would turn "unit.dat" into
// "unit.*". The toolkit's own dialog on every desktop, so this holds everywhere.
void PrepareFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  auto* model = dialog.findChild<QFileSystemModel*>();
  if (!types || !name || !model) return;
  auto typed = std::make_shared<QString>();
  // The choice changes the index first; the toolkit applies the filter after that.
  QObject::connect(types, &QComboBox::currentIndexChanged, &dialog, [name, typed] { *typed = name->text(); });
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [name, model, typed](const QString& filter) {
    if (filter != AllFiles) return;
    model->setNameFilters({QStringLiteral("*")});
    name->setText(*typed);
  });
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
  PrepareFileDialog(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("Data files (*.dat)"), AllFiles});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return LocalName(dialog.selectedFiles().front());
}

std::optional<std::string> QtPrompts::ChooseFileToSave() {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setObjectName("SaveDialog1");
  PrepareFileDialog(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({QStringLiteral("Data Files (*.dat)"), AllFiles});
  dialog.setDefaultSuffix(QStringLiteral("dat"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return LocalName(dialog.selectedFiles().front());
}
