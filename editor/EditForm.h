// TEditForm: the settings editor window. It edits its own copy of the unit configuration
// and hands it back to the main window on Finish or when its window is closed, asking
// first whether to save when anything differs from the working configuration. Which
// control edits which field, and how, is EditorFields' to say.
#pragma once

#include "config/ConfigurationOwner.h"
#include "config/Prompts.h"
#include "config/UnitConfiguration.h"
#include "editor/EditorFields.h"

#include <QWidget>

#include <array>
#include <span>
#include <vector>

class QGroupBox;
class QPushButton;
class QTabWidget;

// The editing controls, row by row of EditorFields, a family's members in channel order.
using FieldControls = std::array<std::vector<QWidget*>, EditorFields.size()>;

class TEditForm final : public QWidget {
  Q_OBJECT
 public:
  TEditForm(ConfigurationOwner& owner, Prompts& prompts, QWidget* parent = nullptr);
  // Shows the window without blocking; an already visible editor is only raised.
  void ShowEditor();

  void FormCreate();
  void FormShow();
  void FinishButtonClick();
  void CancelButtonClick();
  void SaveButtonClick();
  void FormCloseQuery(bool& canClose);
  void SaveConfigurationFile();
  void ConfigurationToControls(const UnitConfiguration& config);
  void ControlsToConfiguration(UnitConfiguration& config);

  void EnableReportingAllCheckedButtonClick();
  void EnableReportingNoneCheckedButtonClick();
  void RequiresAcceptAllCheckedButtonClick();
  void RequiresAcceptNoneCheckedButtonClick();
  void RequiresResetAllCheckedButtonClick();
  void RequiresResetNoneCheckedButtonClick();
  void AnalogueEnableReportingAllCheckedButtonClick();
  void AnalogueEnableReportingNoneCheckedButtonClick();
  void AnalogueRequiresAcceptAllCheckedButtonClick();
  void AnalogueRequiresAcceptNoneCheckedButtonClick();
  void AnalogueRequiresResetAllCheckedButtonClick();
  void AnalogueRequiresResetNoneCheckedButtonClick();
  void OutputUsePulseCheckAllButtonClick();
  void OutputUsePulseCheckNoneButtonClick();

  // The editor's copy: filled from the working configuration at each showing, the source
  // of everything saved or handed back.
  UnitConfiguration Configuration{};

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Stores the controls into the copy, asks whether to save it when it differs from the working
  // configuration, then puts it in force; false when the operator cancelled the question.
  bool HandBack();
  void BuildControls();
  QWidget* BuildEthernetPage();
  QWidget* BuildDigitalReportingPage();
  QWidget* BuildAnalogueReportingPage();
  QWidget* BuildInputDesignatorsPage();
  QWidget* BuildOutputDesignatorsPage();
  QWidget* BuildGeneralPage();
  QWidget* BuildButtonPanel();
  QGroupBox* BoxGroup(const char* name, const char* title, FieldRow family, void (TEditForm::*all)(),
                      void (TEditForm::*none)());
  void SetAll(FieldRow family, bool checked);
  [[nodiscard]] std::span<QWidget* const> Controls(FieldRow row) const { return fieldControls_[row.index]; }
  [[nodiscard]] QWidget* Control(FieldRow row) const { return fieldControls_[row.index].front(); }

  ConfigurationOwner& owner_;
  Prompts& prompts_;
  bool applicationQuitting_ = false;

  QTabWidget* EditAdvPageControl = nullptr;
  FieldControls fieldControls_{};
  QPushButton* SaveButton = nullptr;
  QPushButton* FinishButton = nullptr;
  QPushButton* CancelButton = nullptr;
};
