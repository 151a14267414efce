#include "qt/TimeField.h"

#include <QApplication>
#include <QKeyEvent>
#include <QValidator>
#include <algorithm>
#include <optional>
#include <string>

#include "clock/TimeFieldRules.h"
#include "qt/MessageBoxes.h"

namespace meridial {
namespace {

QString Shown(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Most edits bypass the key handler: delete to the end of the line, the context menu's Cut,
// Delete and Paste, an input method's commit, a drop, an undo. All of them pass the line edit's
// validation before the text is shown or reported changed, so the model reshapes them there and
// every indexed write finds the 8-character shape.
class ShapeKeeper final : public QValidator {
public:
    ShapeKeeper(QObject* parent, TimeFieldModel& model) : QValidator(parent), m_model(model) {}

    State validate(QString& input, int& pos) const override {
        std::string after;
        after.reserve(static_cast<std::size_t>(input.size()));
        // Digits of other scripts (an input method's full-width ones) count as the digit they are.
        for (const QChar c : input)
            after += c.isDigit()             ? static_cast<char>('0' + c.digitValue())
                     : c == QLatin1Char(':') ? ':'
                                             : ' ';
        // The field's own drawing and the line edit checking what it shows change nothing.
        if (after != m_model.Text()) {
            m_model.Reshape(after, static_cast<std::size_t>(std::max(pos, 0)));
            pos = static_cast<int>(m_model.Caret().cursor);
        }
        input = Shown(m_model.Text());
        return Acceptable;
    }

private:
    TimeFieldModel& m_model;
};

// The window coming back or going, or a popup opening or closing, moves the focus without the
// operator entering or leaving the field.
bool ByOperator(const QFocusEvent* event) {
    return event->reason() != Qt::ActiveWindowFocusReason &&
           event->reason() != Qt::PopupFocusReason;
}

}  // namespace

TimeField::TimeField(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(static_cast<int>(kTimeFieldLength));
    setValidator(new ShapeKeeper(this, m_model));
    setText(Shown(m_model.Text()));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

void TimeField::ReportCaret() {
    TimeFieldCaret caret;
    caret.cursor = static_cast<std::size_t>(cursorPosition());
    caret.selectionStart =
        hasSelectedText() ? static_cast<std::size_t>(selectionStart()) : caret.cursor;
    caret.selectionLength = static_cast<std::size_t>(selectionLength());
    m_model.CaretMoved(caret);
}

void TimeField::Draw() {
    const QString shown = Shown(m_model.Text());
    const TimeFieldCaret caret = m_model.Caret();
    if (text() != shown) setText(shown);
    const int start = static_cast<int>(caret.selectionStart);
    const int length = static_cast<int>(caret.selectionLength);
    if (cursorPosition() == static_cast<int>(caret.cursor) && selectionLength() == length &&
        (length == 0 || selectionStart() == start))
        return;
    if (length == 0)
        setCursorPosition(static_cast<int>(caret.cursor));
    else if (caret.cursor == caret.selectionStart)
        setSelection(start + length, -length);
    else
        setSelection(start, length);
}

void TimeField::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            Forward([](TimeFieldModel& m) { m.Escape(); });
            return;
        case Qt::Key_Backspace:
            Forward([](TimeFieldModel& m) { m.Backspace(); });
            return;
        case Qt::Key_Delete:
            Forward([](TimeFieldModel& m) { m.Delete(); });
            return;
        default:
            break;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && !(event->modifiers() & Qt::ControlModifier)) {
        const QChar c = typed[0];
        if (typed.size() == 1 && c.isDigit()) {
            Forward(
                [&](TimeFieldModel& m) { m.Typed(U'0' + static_cast<char32_t>(c.digitValue())); });
            return;
        }
        // Moving, tabbing and shortcuts behave as usual; what would be written goes to the model.
        if (c.isPrint()) {
            Forward([&](TimeFieldModel& m) { m.Typed(c.unicode()); });
            return;
        }
    }
    // The line edit's own Paste, Cut, Undo and Redo would go round the key rules.
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
    m_model.FocusIn(ByOperator(event));
    const int caret = cursorPosition();
    QLineEdit::focusInEvent(event);
    // Tabbing in leaves the text unselected: a digit typed next replaces one position only.
    if (hasSelectedText()) setCursorPosition(caret);
}

void TimeField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (!ByOperator(event)) return;
    ReportCaret();
    const std::optional<Notice> notice = m_model.Leave();
    if (!notice) return;
    QApplication::beep();
    // The field keeps the focus, with the caret on the digit missing, while the box shows and
    // after it closes.
    setFocus(Qt::OtherFocusReason);
    Draw();
    QtNotices(parentWidget() ? parentWidget() : this).Tell(*notice);
    setFocus(Qt::OtherFocusReason);
    m_model.Reported();
    Draw();
}

}  // namespace meridial
