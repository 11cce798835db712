// DecimalEdit: the editor's decimal field with a calculator. It holds the exact ten bytes
// of an extended value, so a field the operator never edits hands back the very bits it was
// given (NaN payloads and odd encodings from a file included), not a re-reading of its text.
#pragma once

#include "config/Extended.h"

#include <cstdint>

#include <QLineEdit>

class DecimalEdit final : public QLineEdit {
  Q_OBJECT
 public:
  explicit DecimalEdit(QWidget* parent = nullptr);

  // Shows the value as ShortestDecimalText and clears any invalid mark.
  void SetExtended(const Extended& value);
  void SetValue(std::int32_t value) { SetExtended(Extended::FromInt(value)); }
  // Takes any typed text first (as at the end of editing), then gives the held value.
  [[nodiscard]] Extended ExtendedValue();

  // Reads the typed text: a number or expression becomes the value and is shown in its
  // shortest form; anything else keeps the previous value and marks the field invalid.
  // Text that still reads exactly as shown changes nothing.
  void CommitText();

 private:
  void MarkInvalid(bool invalid);

  Extended value_{};
  QString shownText_;
};
