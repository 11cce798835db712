// The real prompts: the toolkit's message boxes and file dialogs. Messages may carry file
// names, which are in the platform's local 8-bit encoding.
#pragma once

#include "config/Prompts.h"

class QtPrompts final : public Prompts {
 public:
  void ShowError(std::string_view message) override;
  [[nodiscard]] SaveAnswer AskSave() override;
  [[nodiscard]] std::optional<std::string> ChooseFileToOpen() override;
  [[nodiscard]] std::optional<std::string> ChooseFileToSave() override;
};

// The toolkit's standard error report, for an error that escapes a handler or the event loop.
void ShowStandardError(const char* what);
