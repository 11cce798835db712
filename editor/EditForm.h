// TEditForm: the settings editor window.
#pragma once

#include "config/ConfigurationOwner.h"
#include "config/Prompts.h"
#include "config/UnitConfiguration.h"

#include <QWidget>

class TEditForm final : public QWidget {
  Q_OBJECT
 public:
  TEditForm(ConfigurationOwner& owner, Prompts& prompts, QWidget* parent = nullptr);
  // Shows the window without blocking; an already visible editor is only raised.
  void ShowEditor();

 private:
  ConfigurationOwner& owner_;
  Prompts& prompts_;
};
