#include "qt/DateTimeGroup.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <chrono>

#include "qt/TimeField.h"

namespace meridial {
namespace {

template <std::size_t N>
QComboBox* List(QWidget* parent, const char* name, const std::array<std::string_view, N>& items) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    for (std::string_view item : items)
        list->addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
    list->setCurrentIndex(0);
    return list;
}

// The label names its control for screen readers too.
QLabel* Label(QWidget* parent, const char* name, const char* text, QWidget* control) {
    auto* label = new QLabel(QLatin1String(text), parent);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(control);
    control->setAccessibleName(label->text().remove(QLatin1Char(':')));
    return label;
}

}  // namespace

DateTimeGroup::DateTimeGroup(QWidget* parent)
    : QGroupBox(QStringLiteral(" Local Date and Time "), parent) {
    setObjectName(QStringLiteral("GroupBox3"));
    // Without a name of its own a group is announced by the title of the group around it.
    setAccessibleName(title().trimmed());

    m_date = new QDateEdit(QDate::currentDate(), this);
    m_date->setObjectName(QStringLiteral("DateTimePicker1"));
    m_date->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
    m_date->setCalendarPopup(true);
    // The drop-down calendar shows week numbers, sized so they fit beside the days.
    QCalendarWidget* calendar = m_date->calendarWidget();
    calendar->setObjectName(QStringLiteral("MonthCalendar"));
    calendar->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);
    calendar->setGridVisible(false);
    calendar->setMinimumWidth(calendar->sizeHint().width() + 24);

    m_time = new TimeField(this);
    m_time->setObjectName(QStringLiteral("MaskEdit1"));

    m_timeFormat = List(this, "ComboBox2", kTimeFormatNames);
    m_dateStyle = List(this, "ComboBox3", kDateStyleNames);
    m_dateOrder = List(this, "ComboBox4", kDateOrderNames);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label(this, "Label2", "Date:", m_date), 0, 0);
    grid->addWidget(m_date, 0, 1);
    grid->addWidget(Label(this, "Label3", "Time:", m_time), 1, 0);
    grid->addWidget(m_time, 1, 1);
    grid->addWidget(Label(this, "Label5", "Time Format:", m_timeFormat), 2, 0);
    grid->addWidget(m_timeFormat, 2, 1);
    grid->addWidget(Label(this, "Label6", "Date Format:", m_dateStyle), 3, 0);
    m_dateOrder->setAccessibleName(QStringLiteral("Date Order"));
    grid->addWidget(m_dateStyle, 3, 1);
    grid->addWidget(m_dateOrder, 4, 1);
    grid->setRowStretch(5, 1);

    connect(m_timer, &QTimer::timeout, this, &DateTimeGroup::Timer1Timer);
    connect(m_time, &TimeField::keyReleased, this, &DateTimeGroup::MaskEdit1KeyUp);
    connect(m_time, &TimeField::mousePressed, this, &DateTimeGroup::MaskEdit1MouseDown);
    connect(m_time, &TimeField::mouseReleased, this, &DateTimeGroup::MaskEdit1MouseUp);
}

void DateTimeGroup::SeedClock(const QTime& now) {
    const std::chrono::seconds sinceMidnight(now.msecsSinceStartOfDay() / 1000);
    m_time->Forward([&](TimeFieldModel& m) { m.Seed(std::chrono::hh_mm_ss(sinceMidnight)); });
    if (m_time->Model().ClockStarted() && !m_timer->isActive()) m_timer->start();
}

void DateTimeGroup::Timer1Timer() {
    m_time->Forward([](TimeFieldModel& m) { m.Tick(); });
}

void DateTimeGroup::MaskEdit1KeyUp() {
    m_time->Forward([](TimeFieldModel& m) { m.KeyUp(); });
}

void DateTimeGroup::MaskEdit1MouseDown() {
    m_time->Forward([](TimeFieldModel& m) { m.MouseDown(); });
}

void DateTimeGroup::MaskEdit1MouseUp() {
    m_time->Forward([](TimeFieldModel& m) { m.MouseUp(); });
}

DateTimeEntry DateTimeGroup::Entry() const {
    const QDate d = m_date->date();
    return {{d.year(), d.month(), d.day()},
            m_time->Model().Text(),
            {static_cast<TimeFormat>(m_timeFormat->currentIndex()),
             static_cast<DateStyle>(m_dateStyle->currentIndex()),
             static_cast<DateOrder>(m_dateOrder->currentIndex())}};
}

}  // namespace meridial
