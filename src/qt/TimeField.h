#pragma once

#include <QLineEdit>

#include "clock/TimeFieldModel.h"

namespace meridial {

// The time field: always exactly 8 characters "hh:nn:ss", digits typed over the positions, the
// colons fixed, a blank wherever no digit is. (A masked line edit drops or shifts the blanks of a
// one-digit hour, which the running clock must keep.) The field's rules are its model's; this
// forwards the line edit's events and draws the model.
class TimeField final : public QLineEdit {
    Q_OBJECT
public:
    explicit TimeField(QWidget* parent = nullptr);

    const TimeFieldModel& Model() const { return m_model; }
    // Hands one event to the model with the caret where the line edit has it, then draws.
    template <typename Event>
    void Forward(Event&& event) {
        ReportCaret();
        event(m_model);
        Draw();
    }

signals:
    void keyReleased();
    void mousePressed();
    void mouseReleased();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ReportCaret();
    void Draw();

    TimeFieldModel m_model;
};

}  // namespace meridial
