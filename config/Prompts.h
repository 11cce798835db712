// What the panel asks of the operator about data files: the error box, the save
// question and the file dialogs. The real ones are message boxes and file dialogs;
// tests answer from a script.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class SaveAnswer { Yes, No, Cancel };

class Prompts {
 public:
  virtual ~Prompts() = default;
  // The toolkit's error box: error icon, one OK button.
  virtual void ShowError(std::string_view message) = 0;
  // "Data has changed. Save?": empty title, Yes/No/Cancel with Yes the default, warning icon, no owner.
  [[nodiscard]] virtual SaveAnswer AskSave() = 0;
  // The Load button's open dialog ("Data files" *.dat, "All Files" *.*); nullopt when cancelled.
  [[nodiscard]] virtual std::optional<std::string> ChooseFileToOpen() = 0;
  // The editor's save dialog ("Data Files" *.dat, "All Files" *.*, default suffix dat).
  [[nodiscard]] virtual std::optional<std::string> ChooseFileToSave() = 0;
};
