#pragma once

#include <QGroupBox>
#include <QTime>
#include <string>

#include "clock/ClockFrame.h"
#include "clock/DisplayFormats.h"

class QComboBox;
class QDateEdit;
class QTimer;

namespace meridial {

class TimeField;

// What the operator entered in the group.
struct DateTimeEntry {
    CivilDate date;
    std::string timeText;  // the field's 8 characters
    DisplayFormats formats;
};

// " Local Date and Time ": the date picker, the running clock the operator can correct, and the
// sign's clock and date formats.
class DateTimeGroup final : public QGroupBox {
    Q_OBJECT
public:
    explicit DateTimeGroup(QWidget* parent = nullptr);

    // Writes the PC's time of day into the field and starts the clock.
    void SeedClock(const QTime& now = QTime::currentTime());

    DateTimeEntry Entry() const;

public slots:
    void Timer1Timer();
    void MaskEdit1KeyUp();
    void MaskEdit1MouseDown();
    void MaskEdit1MouseUp();

private:
    void WriteField(const QString& text);
    void AbandonTyping();

    QDateEdit* m_date;
    TimeField* m_time;
    QComboBox* m_timeFormat;
    QComboBox* m_dateStyle;
    QComboBox* m_dateOrder;
    QTimer* m_timer;
    int m_savedSelectionStart = 0;
    int m_savedSelectionLength = 0;
    // The clock as it would run without the operator's typing since entering the field.
    std::string m_runningClock;
    bool m_typedSinceEntry = false;
    bool m_writing = false;
};

}  // namespace meridial
