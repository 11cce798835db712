#include "app/widgets/GlassButton.h"

#include "config/AnsiCodec.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

GlassButton::GlassButton(QWidget* parent) : QAbstractButton(parent) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
}

void GlassButton::setBackColour(Colour colour) {
  if (back_ == colour) return;
  back_ = colour;
  update();
}

void GlassButton::setCaption(std::string_view caption) { setText(FromAnsi(caption)); }

void GlassButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath path;
  path.addRoundedRect(body, 8, 8);
  QColor base(ColourRed(back_), ColourGreen(back_), ColourBlue(back_));
  if (isDown()) base = base.darker(130);
  painter.fillPath(path, base);
  // The glass: a lighter sheen over the upper half.
  QLinearGradient sheen(body.topLeft(), QPointF(body.left(), body.center().y()));
  sheen.setColorAt(0, QColor(255, 255, 255, 110));
  sheen.setColorAt(1, QColor(255, 255, 255, 20));
  QPainterPath upper;
  upper.addRoundedRect(body.adjusted(1, 1, -1, -body.height() / 2), 7, 7);
  painter.fillPath(upper, sheen);
  painter.setPen(QPen(base.darker(160), 1));
  painter.drawPath(path);
  painter.setPen(Qt::white);
  painter.drawText(rect(), Qt::AlignCenter, text());
}
