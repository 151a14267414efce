#pragma once

#include <QGroupBox>
#include <QTime>

#include "clock/DateTimeEntry.h"

class QComboBox;
class QDateEdit;
class QTimer;

namespace meridial {

class TimeField;

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
    QDateEdit* m_date;
    TimeField* m_time;
    QComboBox* m_timeFormat;
    QComboBox* m_dateStyle;
    QComboBox* m_dateOrder;
    QTimer* m_timer;
};

}  // namespace meridial
