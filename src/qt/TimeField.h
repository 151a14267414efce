#pragma once

#include <QLineEdit>

namespace meridial {

// The time field: always exactly 8 characters "hh:nn:ss", digits typed over the positions, the
// colons fixed, a blank wherever no digit is. (A masked line edit drops or shifts the blanks of a
// one-digit hour, which the running clock must keep.)
class TimeField final : public QLineEdit {
    Q_OBJECT
public:
    explicit TimeField(QWidget* parent = nullptr);

    // Replaces the whole text; anything but 8 characters becomes the blank field.
    void SetFieldText(const QString& text);

signals:
    void keyReleased();
    void mousePressed();
    void mouseReleased();
    // Left with a required digit blank.
    void leftIncomplete(int firstMissing);
    // The operator came into the field (not the field taking the focus back after a report).
    void entered();
    // Escape: the owner of the running clock decides what the field goes back to.
    void abandonRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void PutAt(int position, QChar c);

    QString m_textOnEntry;
    bool m_reporting = false;
};

}  // namespace meridial
