// The real open and save dialogs of the Load and Save buttons, driven as the operator would.
#include "app/QtPrompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// The names the dialog's list shows, sorted, once `awaited` is among them (the folder is read
// in the background) or after a while without it.
Names Listed(QFileDialog* dialog, const std::string& awaited) {
  auto* view = dialog->findChild<QListView*>("listView");
  Names names;
  const QDeadlineTimer deadline(10000);
  while (!deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    names.clear();
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
      names.push_back(view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
    std::sort(names.begin(), names.end());
    if (std::find(names.begin(), names.end(), awaited) != names.end()) break;
  }
  return names;
}

}  // namespace

TEST(FileDialogs, AllFilesListsEveryFileWithItsCaptionKept) {
  QTemporaryDir directory;
  for (const char* name : {"unit.dat", "README"}) {
    QFile file(directory.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  QtPrompts prompts;
  for (const bool save : {false, true}) {
    SCOPED_TRACE(save ? "save dialog" : "open dialog");
    QStringList captions;
    Names dataListed, allListed;
    std::string typedName;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_TRUE(dialog);
      dialog->setDirectory(directory.path());
      captions = dialog->nameFilters();
      dataListed = Listed(dialog, "unit.dat");
      if (save) dialog->findChild<QLineEdit*>("fileNameEdit")->setText("unit.dat");
      auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
      types->setFocus();
      QTest::keyClick(types, Qt::Key_Down);  // the operator picks "All Files"
      allListed = Listed(dialog, "README");
      if (save) typedName = dialog->findChild<QLineEdit*>("fileNameEdit")->text().toStdString();
      dialog->reject();
    });
    EXPECT_EQ(save ? prompts.ChooseFileToSave() : prompts.ChooseFileToOpen(), std::nullopt);
    EXPECT_EQ(captions, (QStringList{save ? "Data Files (*.dat)" : "Data files (*.dat)", "All Files (*.*)"}));
    EXPECT_EQ(dataListed, Names{"unit.dat"});
    EXPECT_EQ(allListed, (Names{"README", "unit.dat"}));
    if (save) {
      EXPECT_EQ(typedName, "unit.dat");  // not "unit.*"
    }
  }
}
