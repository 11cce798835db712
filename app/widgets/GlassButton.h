// A rounded push button (corner radius 8) with white caption text on a settable back colour.
#pragma once

#include "config/Colour.h"

#include <QAbstractButton>

#include <string>
#include <string_view>

class GlassButton final : public QAbstractButton {
  Q_OBJECT
 public:
  explicit GlassButton(QWidget* parent = nullptr);

  [[nodiscard]] Colour backColour() const { return back_; }
  void setBackColour(Colour colour);
  // 8-bit caption, as the panel's logic holds it.
  void setCaption(std::string_view caption);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Colour back_ = Colours::Grey;
};
