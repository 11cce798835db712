#include "config/AnsiCodec.h"

#include "config/CodePage.h"

QString FromAnsi(std::string_view bytes) {
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    text[static_cast<qsizetype>(i)] = QChar(AnsiCharacter(static_cast<unsigned char>(bytes[i])));
  return text;
}

std::string ToAnsi(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i].unicode();
    // A surrogate pair is one character the page cannot hold: one "?".
    if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) ++i;
    const std::optional<unsigned char> byte = AnsiByte(unit);
    bytes.push_back(byte ? static_cast<char>(*byte) : '?');
  }
  return bytes;
}
