#include "editor/DecimalEdit.h"

#include "editor/DecimalText.h"

namespace {
const QString ExpressionHint = QStringLiteral(
    "A number or an expression: + - * / with parentheses and unary minus, e.g. (1023 - 23) / 2.\n"
    "The result replaces the text when editing ends.");
}  // namespace

DecimalEdit::DecimalEdit(QWidget* parent) : QLineEdit(parent) {
  setProperty("invalid", false);
  setToolTip(ExpressionHint);
  SetValue(0);
  // Focus-out and Enter both end editing.
  connect(this, &QLineEdit::editingFinished, this, &DecimalEdit::CommitText);
}

void DecimalEdit::SetExtended(const Extended& value) {
  value_ = value;
  shownText_ = QString::fromStdString(ShortestDecimalText(value));
  setText(shownText_);
  setCursorPosition(0);
  MarkInvalid(false);
}

Extended DecimalEdit::ExtendedValue() {
  CommitText();
  return value_;
}

void DecimalEdit::CommitText() {
  const QString typed = text();
  if (typed == shownText_) {
    MarkInvalid(false);
    return;
  }
  // The calculator reads plain ASCII; any other character makes the text unreadable.
  const QByteArray ascii = typed.toLatin1();
  const bool plain = QString::fromLatin1(ascii) == typed;
  const auto result = plain ? EvaluateDecimalText(std::string_view(ascii.constData(), ascii.size())) : std::nullopt;
  if (!result) {
    MarkInvalid(true);
    return;
  }
  SetExtended(*result);
}

void DecimalEdit::MarkInvalid(bool invalid) {
  if (property("invalid").toBool() == invalid) return;
  setProperty("invalid", invalid);
  setStyleSheet(invalid ? QStringLiteral("DecimalEdit { border: 2px solid rgb(255, 0, 0); }") : QString());
  setToolTip(invalid ? QStringLiteral("Not a number: the previous value is kept.\n") + ExpressionHint : ExpressionHint);
}
