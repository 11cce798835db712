// The real prompts: the toolkit's message boxes and file dialogs.
#pragma once

#include "config/Prompts.h"

class QWidget;

class QtPrompts final : public Prompts {
 public:
  void ShowError(std::string_view message) override;
  [[nodiscard]] SaveAnswer AskSave() override;
  [[nodiscard]] std::optional<std::string> ChooseFileToOpen() override;
  [[nodiscard]] std::optional<std::string> ChooseFileToSave() override;
};
