// A small round status lamp: a filled circle with a grey border and a white caption.
#pragma once

#include "config/Colour.h"

#include <QWidget>

#include <string>
#include <string_view>

class StatusIndicator final : public QWidget {
  Q_OBJECT
 public:
  explicit StatusIndicator(QWidget* parent = nullptr);

  [[nodiscard]] Colour fillColour() const { return fill_; }
  void setFillColour(Colour colour);
  // 8-bit caption, as the panel's logic holds it.
  [[nodiscard]] const std::string& caption() const { return caption_; }
  void setCaption(std::string_view caption);

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  Colour fill_ = Colours::Red;
  std::string caption_;
};
