// What the settings editor needs of the main window: its working configuration and the
// two apply operations that put a handed-back configuration into force.
#pragma once

#include "config/UnitConfiguration.h"

class ConfigurationOwner {
 public:
  virtual ~ConfigurationOwner() = default;
  [[nodiscard]] virtual UnitConfiguration& WorkingConfiguration() = 0;
  virtual void ApplyEndpoint() = 0;
  virtual void ApplyDesignators() = 0;
};
