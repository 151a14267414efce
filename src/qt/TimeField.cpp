#include "qt/TimeField.h"

#include <QApplication>
#include <QKeyEvent>
#include <QValidator>
#include <algorithm>
#include <string>

#include "clock/TimeFieldRules.h"

namespace meridial {
namespace {

bool IsColon(int position) { return position == 2 || position == 5; }

// Most edits bypass the key handler: delete to the end of the line, the context menu's Cut,
// Delete and Paste, an input method's commit, a drop, an undo. All of them pass the line edit's
// validation before the text is shown or reported changed, so the 8-character shape is restored
// there and every indexed write finds it.
class ShapeKeeper final : public QValidator {
public:
    explicit ShapeKeeper(QObject* parent) : QValidator(parent) {}

    State validate(QString& input, int& pos) const override {
        std::string after;
        after.reserve(static_cast<std::size_t>(input.size()));
        // Digits of other scripts (an input method's full-width ones) count as the digit they are.
        for (const QChar c : input)
            after += c.isDigit()             ? static_cast<char>('0' + c.digitValue())
                     : c == QLatin1Char(':') ? ':'
                                             : ' ';
        const ReshapedTimeField shaped =
            ReshapeTimeField(m_shown, after, static_cast<std::size_t>(std::max(pos, 0)));
        m_shown = shaped.text;
        input = QString::fromLatin1(shaped.text.data(), static_cast<qsizetype>(shaped.text.size()));
        pos = static_cast<int>(shaped.cursor);
        return Acceptable;
    }

private:
    // The text as last accepted: what an edit is measured against.
    mutable std::string m_shown{kBlankTimeField};
};

}  // namespace

TimeField::TimeField(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(static_cast<int>(kTimeFieldLength));
    setValidator(new ShapeKeeper(this));
    SetFieldText(QString::fromLatin1(kBlankTimeField.data(), kBlankTimeField.size()));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

void TimeField::SetFieldText(const QString& text) {
    const QString value = text.size() == static_cast<int>(kTimeFieldLength)
                              ? text
                              : QString::fromLatin1(kBlankTimeField.data(), kBlankTimeField.size());
    if (value != this->text()) setText(value);
}

void TimeField::PutAt(int position, QChar c) {
    QString t = text();  // 8 characters, kept so by the validator
    if (position < 0 || position >= t.size()) return;
    t[position] = c;
    setText(t);
}

void TimeField::keyPressEvent(QKeyEvent* event) {
    const int length = static_cast<int>(kTimeFieldLength);
    int pos = hasSelectedText() ? selectionStart() : cursorPosition();
    const QString typed = event->text();
    if (event->key() == Qt::Key_Escape) {
        emit abandonRequested();
        return;
    }
    if (event->key() == Qt::Key_Backspace) {
        int p = pos - 1;
        if (IsColon(p)) --p;
        if (p >= 0) {
            PutAt(p, QLatin1Char(' '));
            setCursorPosition(p);
        }
        return;
    }
    if (event->key() == Qt::Key_Delete) {
        if (IsColon(pos)) ++pos;
        if (pos < length) {
            PutAt(pos, QLatin1Char(' '));
            setCursorPosition(pos);
        }
        return;
    }
    if (typed.size() == 1 && typed[0].isDigit() && !(event->modifiers() & Qt::ControlModifier)) {
        if (IsColon(pos)) ++pos;
        if (pos >= length) return;
        PutAt(pos, typed[0]);
        setCursorPosition(IsColon(pos + 1) ? pos + 2 : pos + 1);
        return;
    }
    // Only digits enter the field; moving, tabbing and shortcuts behave as usual.
    if (!typed.isEmpty() && typed[0].isPrint() && !(event->modifiers() & Qt::ControlModifier))
        return;
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
        event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo))
        return;
    QLineEdit::keyPressEvent(event);
}

void TimeField::keyReleaseEvent(QKeyEvent* event) {
    QLineEdit::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) emit keyReleased();
}

void TimeField::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    emit mousePressed();
}

void TimeField::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    emit mouseReleased();
}

void TimeField::focusInEvent(QFocusEvent* event) {
    if (!m_reporting) {
        m_textOnEntry = text();
        // The window coming back, or a popup closing, is no new entry into the field.
        if (event->reason() != Qt::ActiveWindowFocusReason &&
            event->reason() != Qt::PopupFocusReason)
            emit entered();
    }
    const int caret = cursorPosition();
    QLineEdit::focusInEvent(event);
    // Tabbing in leaves the text unselected: a digit typed next replaces one position only.
    if (hasSelectedText()) setCursorPosition(caret);
}

void TimeField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    const bool leaving =
        event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
    if (!leaving || m_reporting || text() == m_textOnEntry) return;
    const auto missing = FirstMissingDigit(text().toStdString());
    if (!missing) return;
    m_reporting = true;
    QApplication::beep();
    setFocus(Qt::OtherFocusReason);
    setCursorPosition(static_cast<int>(*missing));
    emit leftIncomplete(static_cast<int>(*missing));
    setFocus(Qt::OtherFocusReason);
    setCursorPosition(static_cast<int>(*missing));
    m_reporting = false;
}

}  // namespace meridial
