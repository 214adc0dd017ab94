#include "app/date_typing_qt.h"

#include <vector>

#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace app {

namespace {

struct Part {
  int start;
  int end;  // one past the last digit
};

// The runs of digits in a date text: day, month and year in the format's order.
std::vector<Part> partsOf(const QString& text) {
  std::vector<Part> parts;
  for (int i = 0; i < text.size();) {
    if (!text[i].isDigit()) {
      ++i;
      continue;
    }
    const int start = i;
    while (i < text.size() && text[i].isDigit()) ++i;
    parts.push_back({start, i});
  }
  return parts;
}

// The format's numeric parts in order: 'd', 'M' or 'y' with the digits
// each may have.
struct FormatPart {
  QChar letter;
  int maxDigits;
};

std::vector<FormatPart> formatParts(const QString& format) {
  std::vector<FormatPart> parts;
  bool quoted = false;
  for (int i = 0; i < format.size();) {
    const QChar c = format[i];
    if (c == QLatin1Char('\'')) {
      quoted = !quoted;
      ++i;
      continue;
    }
    int run = 1;
    while (i + run < format.size() && format[i + run] == c) ++run;
    if (!quoted && (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y'))) {
      // Day and month names (ddd, MMM) are not typed as digits.
      if (c == QLatin1Char('y') || run <= 2) parts.push_back({c, c == QLatin1Char('y') ? (run >= 4 ? 4 : 2) : 2});
    }
    i += run;
  }
  return parts;
}

class DateTyping : public QObject {
 public:
  DateTyping(QObject* owner, QLineEdit* text, QDateEdit* dateEdit, QString format)
      : QObject(owner), text_(text), dateEdit_(dateEdit), format_(std::move(format)), parts_(formatParts(format_)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::FocusIn:
      case QEvent::FocusOut:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        startPart();
        break;
      case QEvent::KeyPress:
        if (typeKey(static_cast<QKeyEvent*>(event))) return true;
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void startPart() {
    typedDigits_ = 0;
    movedOn_ = false;
    wanted_.clear();
  }

  bool isDate(const QString& text) const { return QDate::fromString(text, format_).isValid(); }

  bool typeKey(QKeyEvent* key) {
    const QString typed = key->text();
    const Qt::KeyboardModifiers chords = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (typed.size() != 1 || !typed[0].isPrint() || chords != Qt::NoModifier) {
      // Home, arrows, Backspace and the rest move or edit as usual; the
      // next digit starts the part it meets.
      if (key->key() != Qt::Key_Shift) startPart();
      return false;
    }
    // While a date is being typed, the text typed so far: a date edit may
    // show a day that its month lacks (31.11.) cut to the month.
    const QString text = wanted_.isEmpty() ? text_->text() : wanted_;
    const std::vector<Part> parts = partsOf(text);
    // A selection is replaced as usual, and a text with parts missing is
    // no date to go by.
    if (text_->hasSelectedText() || parts.size() != parts_.size() || parts.empty()) {
      startPart();
      return false;
    }
    const int cursor = wanted_.isEmpty() ? text_->cursorPosition() : wantedCursor_;
    std::size_t index = 0;
    while (index + 1 < parts.size() && cursor > parts[index].end) ++index;
    if (typed[0].isDigit()) {
      typeDigit(text, parts, index, cursor, typed[0]);
    } else {
      // A separator ends the part; right after a part filled up, it is the
      // one the user typed for it.
      if (movedOn_) {
        movedOn_ = false;
      } else if (index + 1 < parts.size()) {
        text_->setCursorPosition(parts[index + 1].start);
        wantedCursor_ = parts[index + 1].start;
        typedDigits_ = 0;
      }
    }
    return true;
  }

  void typeDigit(const QString& text, const std::vector<Part>& parts, std::size_t index, int cursor, QChar digit) {
    QString digits;
    QString changed = text;
    int at;
    if (typedDigits_ == 0) {
      // The first digit replaces the whole part.
      changed.replace(parts[index].start, parts[index].end - parts[index].start, digit);
      at = parts[index].start + 1;
      digits = digit;
    } else {
      changed.insert(cursor, digit);
      at = cursor + 1;
      digits = changed.mid(parts[index].start, at - parts[index].start);
    }
    ++typedDigits_;
    movedOn_ = false;
    // A part that holds all its digits, or that no further digit could
    // make a day or month, is done.
    const FormatPart part = parts_[index];
    const int value = digits.toInt();
    const bool full = typedDigits_ >= part.maxDigits ||
                      (part.letter == QLatin1Char('d') && value * 10 > 31) ||
                      (part.letter == QLatin1Char('M') && value * 10 > 12);
    std::size_t cursorPart = index;
    int cursorOffset = at - parts[index].start;
    if (full && index + 1 < parts.size()) {
      ++cursorPart;
      cursorOffset = 0;
      typedDigits_ = 0;
      movedOn_ = true;
    }
    setText(changed, cursorPart, cursorOffset);
  }

  void setText(const QString& changed, std::size_t cursorPart, int cursorOffset) {
    if (dateEdit_ != nullptr && isDate(changed)) {
      dateEdit_->setDate(QDate::fromString(changed, format_));
    } else {
      text_->setText(changed);
      text_->setModified(true);
      // A text box reports the change as typing does.
      if (dateEdit_ == nullptr) emit text_->textEdited(changed);
    }
    // The date edit writes the date its own way (without leading zeros).
    const std::vector<Part> now = partsOf(text_->text());
    if (cursorPart < now.size()) {
      text_->setCursorPosition(std::min(now[cursorPart].start + cursorOffset, now[cursorPart].end));
    }
    wanted_ = changed;
    const std::vector<Part> typed = partsOf(changed);
    wantedCursor_ = cursorPart < typed.size() ? std::min(typed[cursorPart].start + cursorOffset, typed[cursorPart].end)
                                              : changed.size();
  }

  QLineEdit* text_;
  QDateEdit* dateEdit_;
  QString format_;
  std::vector<FormatPart> parts_;
  int typedDigits_ = 0;
  bool movedOn_ = false;
  QString wanted_;
  int wantedCursor_ = 0;
};

}  // namespace

void typeDatesWhole(QDateEdit* edit) {
  auto* text = edit->findChild<QLineEdit*>();
  if (text == nullptr) return;
  auto* typing = new DateTyping(edit, text, edit, edit->displayFormat());
  edit->installEventFilter(typing);
  text->installEventFilter(typing);
}

void typeDatesWhole(QLineEdit* edit, const QString& qtDateFormat) {
  auto* typing = new DateTyping(edit, edit, nullptr, qtDateFormat);
  edit->installEventFilter(typing);
}

}  // namespace app
