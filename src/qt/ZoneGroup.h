#pragma once

#include <QGroupBox>
#include <QSpinBox>

#include "zone/ZoneFrame.h"

class QComboBox;
class QPushButton;

namespace meridial {

// What the operator entered in the group: the zone row and the two DST rows.
struct ZoneEntry {
    int zoneRow = 0;
    DstTransition start;
    DstTransition end;
};

// An hour field 0..23 that, like the operator expects of a numeric field, takes what is typed
// and settles it on leaving: a number outside the range goes to the nearer bound, anything that
// is not a number to 0.
class HourSpinBox final : public QSpinBox {
    Q_OBJECT
public:
    explicit HourSpinBox(QWidget* parent = nullptr);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

// "  Set Time Zone and Daylight Saving Time  ": the sign's zone and the two DST moments.
class ZoneGroup final : public QGroupBox {
    Q_OBJECT
public:
    // The year lists select the current year when it is one of theirs; the zone list the row of
    // the PC's bias.
    ZoneGroup(int currentYear, int pcBias, QWidget* parent = nullptr);

    ZoneEntry Entry() const;

public slots:
    void ComboBox12Change();
    void ComboBox15Change();
    void ComboBox17Change();
    // Fills the zone list and both DST rows from the PC's zone for the start row's year; the
    // button's tooltip then names the zone and its two moments on the wall clock.
    void FromPcZoneClick();

signals:
    // After "From PC Zone" filled the group: why the sign's time will differ from the zone's, or
    // empty when it won't.
    void Filled(const QString& warning);

private:
    struct Row {
        QComboBox* year;
        QComboBox* month;
        QComboBox* day;
        HourSpinBox* hour;
    };
    void RefillDayList(const Row& row);
    static DstTransition Read(const Row& row);
    void Fill(const Row& row, const DstTransition& transition);
    void TellError(const QString& text);

    QComboBox* m_zone;
    Row m_start;
    Row m_end;
    QPushButton* m_fromPcZone;
};

}  // namespace meridial
