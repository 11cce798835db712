// A vertical bar gauge: a bar of its colour filled in proportion to value / maximum.
// Readings above the maximum draw the bar full; negative ones draw it empty.
#pragma once

#include "config/Colour.h"

#include <QWidget>

#include <cstdint>

class BarIndicator final : public QWidget {
  Q_OBJECT
 public:
  explicit BarIndicator(QWidget* parent = nullptr);

  [[nodiscard]] std::int32_t maximum() const { return maximum_; }
  void setMaximum(std::int32_t maximum);
  [[nodiscard]] std::int32_t value() const { return value_; }
  void SetValue(std::int32_t value);
  [[nodiscard]] Colour barColour() const { return colour_; }
  void SetBarColor(Colour colour);

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::int32_t maximum_ = 1023;
  std::int32_t value_ = 0;
  Colour colour_ = Colours::Green;
};
