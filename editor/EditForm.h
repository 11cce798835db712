// TEditForm: the settings editor window. It edits its own copy of the unit configuration
// and hands it back to the main window on Finish or when its window is closed, asking
// first whether to save when anything differs from the working configuration.
#pragma once

#include "config/ConfigurationOwner.h"
#include "config/Prompts.h"
#include "config/UnitConfiguration.h"

#include <QWidget>

#include <array>
#include <span>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class DecimalEdit;

class QBoxLayout;

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
  void AddGroupButtons(QBoxLayout* buttons, const char* allName, void (TEditForm::*all)(), const char* noneName,
                       void (TEditForm::*none)()) const;
  static void SetAll(std::span<QCheckBox* const> boxes, bool checked);

  ConfigurationOwner& owner_;
  Prompts& prompts_;
  bool applicationQuitting_ = false;

  QTabWidget* EditAdvPageControl = nullptr;
  QLineEdit* IPAddrEdit = nullptr;
  QSpinBox* PortCSpinEdit = nullptr;
  QSpinBox* UpdateCSpinEdit = nullptr;
  QSpinBox* TimeoutCSpinEdit = nullptr;
  QLineEdit* DeviceNameLabeledEdit = nullptr;
  std::array<QCheckBox*, DigitalInputCount> EnableReportingJvCheckBox{};
  std::array<QCheckBox*, DigitalInputCount> RequiresAcceptJvCheckBox{};
  std::array<QCheckBox*, DigitalInputCount> RequiresResetJvCheckBox{};
  std::array<QCheckBox*, AnalogueInputCount> AnalogueEnableReportingJvCheckBox{};
  std::array<QCheckBox*, AnalogueInputCount> AnalogueRequiresAcceptJvCheckBox{};
  std::array<QCheckBox*, AnalogueInputCount> AnalogueRequiresResetJvCheckBox{};
  std::array<DecimalEdit*, AnalogueInputCount> AlarmAboveJvCalcEdit{};
  std::array<DecimalEdit*, AnalogueInputCount> AlarmBelowJvCalcEdit{};
  std::array<DecimalEdit*, AnalogueInputCount> AnalogueScalingJvCalcEdit{};
  std::array<QLineEdit*, DigitalInputCount> InputDesignatorLabeledEdit{};
  std::array<QLineEdit*, OutputCount> OutputDesignatorLabeledEdit{};
  std::array<QLineEdit*, AnalogueInputCount> AnalogueDesignatorLabeledEdit{};
  std::array<QCheckBox*, OutputCount> OutputUsePulseJvCheckBox{};
  std::array<QSpinBox*, OutputCount> OutputPulsePeriodCSpinEdit{};
  QCheckBox* EnableLoggingJvCheckBox = nullptr;
  QCheckBox* LostLinkEnableReportingJvCheckBox = nullptr;
  QCheckBox* LostLinkRequiresAcceptJvCheckBox = nullptr;
  QCheckBox* LostLinkRequiresResetJvCheckBox = nullptr;
  QPushButton* SaveButton = nullptr;
  QPushButton* FinishButton = nullptr;
  QPushButton* CancelButton = nullptr;
};
