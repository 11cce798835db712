#include "app/widgets/StatusIndicator.h"

#include "config/AnsiCodec.h"

#include <QMouseEvent>
#include <QPainter>

StatusIndicator::StatusIndicator(QWidget* parent) : QWidget(parent) { setCursor(Qt::PointingHandCursor); }

void StatusIndicator::setFillColour(Colour colour) {
  if (fill_ == colour) return;
  fill_ = colour;
  update();
}

void StatusIndicator::setCaption(std::string_view caption) {
  if (caption_ == caption) return;
  caption_ = std::string(caption);
  update();
}

void StatusIndicator::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF circle = QRectF(rect()).adjusted(1, 1, -1, -1);
  painter.setPen(QPen(QColor(128, 128, 128), 1.5));
  painter.setBrush(QColor(ColourRed(fill_), ColourGreen(fill_), ColourBlue(fill_)));
  painter.drawEllipse(circle);
  painter.setPen(Qt::white);
  painter.drawText(rect(), Qt::AlignCenter, FromAnsi(caption_));
}

void StatusIndicator::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}
