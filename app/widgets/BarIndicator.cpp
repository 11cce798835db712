#include "app/widgets/BarIndicator.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

BarIndicator::BarIndicator(QWidget* parent) : QWidget(parent) { setCursor(Qt::PointingHandCursor); }

void BarIndicator::setMaximum(std::int32_t maximum) {
  maximum_ = std::max<std::int32_t>(1, maximum);
  update();
}

void BarIndicator::SetValue(std::int32_t value) {
  if (value_ == value) return;
  value_ = value;
  update();
}

void BarIndicator::SetBarColor(Colour colour) {
  if (colour_ == colour) return;
  colour_ = colour;
  update();
}

void BarIndicator::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.fillRect(frame, QColor(32, 32, 32));
  const double fraction = std::clamp(static_cast<double>(value_) / maximum_, 0.0, 1.0);
  const int inner = frame.height() - 3;
  const int filled = static_cast<int>(std::lround(inner * fraction));
  if (filled > 0)
    painter.fillRect(QRect(frame.left() + 2, frame.bottom() - 1 - filled, frame.width() - 3, filled),
                     QColor(ColourRed(colour_), ColourGreen(colour_), ColourBlue(colour_)));
  painter.setPen(QColor(128, 128, 128));
  painter.drawRect(frame);
}

void BarIndicator::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}
