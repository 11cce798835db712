#include "config/QtPanelFont.h"

#include <QStringList>

QFont PanelFont() {
  // Adds only the names not yet in the list, so every window may ask.
  QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                                        QStringLiteral("DejaVu Sans")});
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  font.setStyleHint(QFont::SansSerif);
  return font;
}
