#pragma once

#include <QGroupBox>
#include <QSpinBox>
#include <memory>

#include "zone/ZoneFrame.h"
#include "zone/ZoneRowsModel.h"

class QComboBox;
class QPushButton;

namespace meridial {

// An hour field 0..23 that takes what is typed and settles it on leaving (SettleHour).
class HourSpinBox final : public QSpinBox {
    Q_OBJECT
public:
    explicit HourSpinBox(QWidget* parent = nullptr);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

// "  Set Time Zone and Daylight Saving Time  ": the sign's zone and the two DST moments, drawn
// from a ZoneRowsModel.
class ZoneGroup final : public QGroupBox {
    Q_OBJECT
public:
    ZoneGroup(int currentYear, int pcBias, QWidget* parent = nullptr);
    ~ZoneGroup() override;

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
        DstRow which;
    };
    void Connect(const Row& row);
    void Draw();
    void DrawRow(const Row& row);

    std::unique_ptr<Notices> m_notices;
    ZoneRowsModel m_model;
    bool m_drawing = false;  // the program setting the fields: nothing to tell the model
    QComboBox* m_zone;
    Row m_start;
    Row m_end;
    QPushButton* m_fromPcZone;
};

}  // namespace meridial
