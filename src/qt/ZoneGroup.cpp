#include "qt/ZoneGroup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeZone>
#include <utility>

#include "link/IntegerText.h"
#include "qt/MessageBoxes.h"
#include "zone/DstRules.h"
#include "zone/ZoneTable.h"

namespace meridial {
namespace {

constexpr int kMaxHour = 23;

const QStringList& MonthItems() {
    static const QStringList kItems{QString(),
                                    QStringLiteral("Jan."),
                                    QStringLiteral("Feb."),
                                    QStringLiteral("Mar."),
                                    QStringLiteral("Apr."),
                                    QStringLiteral("May"),
                                    QStringLiteral("Jun."),
                                    QStringLiteral("Jul."),
                                    QStringLiteral("Aug."),
                                    QStringLiteral("Sept."),
                                    QStringLiteral("Oct."),
                                    QStringLiteral("Nov."),
                                    QStringLiteral("Dec")};
    return kItems;
}

void FillDays(QComboBox* list, int count) {
    list->addItem(QString());
    for (int d = 1; d <= count; ++d) list->addItem(QString::number(d));
}

QComboBox* NamedList(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    return list;
}

QLabel* HeadLabel(QWidget* parent, const char* name, const char* text, bool navy) {
    auto* label = new QLabel(QLatin1String(text), parent);
    label->setObjectName(QLatin1String(name));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    // On its own light ground, so a dark palette leaves it readable.
    if (navy)
        label->setStyleSheet(QStringLiteral("color: navy; background-color: rgb(240, 240, 240)"));
    return label;
}

}  // namespace

HourSpinBox::HourSpinBox(QWidget* parent) : QSpinBox(parent) {
    setRange(0, kMaxHour);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State HourSpinBox::validate(QString& input, int&) const {
    bool number = false;
    const int value = input.trimmed().toInt(&number);
    if (number)
        return value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                        : QValidator::Intermediate;
    return QValidator::Intermediate;
}

void HourSpinBox::fixup(QString& input) const {
    bool number = false;
    const int value = input.trimmed().toInt(&number);
    input = QString::number(number ? std::clamp(value, minimum(), maximum()) : 0);
}

ZoneGroup::ZoneGroup(int currentYear, int pcBias, QWidget* parent)
    : QGroupBox(QStringLiteral("  Set Time Zone and Daylight Saving Time  "), parent) {
    setObjectName(QStringLiteral("GroupBox4"));
    setAccessibleName(title().trimmed());

    m_zone = NamedList(this, "ComboBox12");
    for (const Zone& zone : ZoneTable())
        m_zone->addItem(QString::fromLatin1(zone.itemText.data(),
                                            static_cast<qsizetype>(zone.itemText.size())));
    // The tooltip shows whatever the parent's setting says.
    m_zone->setAttribute(Qt::WA_AlwaysShowToolTips);
    m_zone->setCurrentIndex(ZoneForBias(pcBias));

    auto makeRow = [&](const char* year, const char* month, const char* day, const char* hour) {
        Row row{NamedList(this, year), NamedList(this, month), NamedList(this, day),
                new HourSpinBox(this)};
        row.hour->setObjectName(QLatin1String(hour));
        for (int y = kFirstDstYear; y <= kLastDstYear; ++y) row.year->addItem(QString::number(y));
        const bool known = currentYear >= kFirstDstYear && currentYear <= kLastDstYear;
        row.year->setCurrentIndex(known ? currentYear - kFirstDstYear : -1);
        row.month->addItems(MonthItems());
        row.month->setCurrentIndex(kNoMonth);
        FillDays(row.day, 31);
        row.day->setCurrentIndex(kNoDay);
        return row;
    };
    m_start = makeRow("ComboBox20", "ComboBox15", "ComboBox16", "CSpinEdit1");
    m_end = makeRow("ComboBox21", "ComboBox17", "ComboBox18", "CSpinEdit2");

    // The rows' fields sit under column heads, so each is named for screen readers.
    for (auto [row, name] : {std::pair{&m_start, "DST Start"}, {&m_end, "DST End"}}) {
        const QString rowName = QLatin1String(name);
        row->year->setAccessibleName(rowName + QStringLiteral(" Year"));
        row->month->setAccessibleName(rowName + QStringLiteral(" Month"));
        row->day->setAccessibleName(rowName + QStringLiteral(" Day"));
        row->hour->setAccessibleName(rowName + QStringLiteral(" Hour"));
    }

    auto* grid = new QGridLayout(this);
    QLabel* zoneLabel = HeadLabel(this, "Label27", "Country/Region:", false);
    zoneLabel->setBuddy(m_zone);
    m_zone->setAccessibleName(QStringLiteral("Country/Region"));
    grid->addWidget(zoneLabel, 0, 0, 1, 5);
    grid->addWidget(m_zone, 1, 0, 1, 5);
    const char* heads[][2] = {
        {"Label40", "Year"}, {"Label36", "Month"}, {"Label37", "Day"}, {"Label38", "Hour"}};
    for (int c = 0; c < 4; ++c)
        grid->addWidget(HeadLabel(this, heads[c][0], heads[c][1], true), 2, c + 1);
    grid->addWidget(HeadLabel(this, "Label34", "DST Start:", true), 3, 0);
    grid->addWidget(HeadLabel(this, "Label35", "DST End:", true), 4, 0);
    int r = 3;
    for (const Row* row : {&m_start, &m_end}) {
        grid->addWidget(row->year, r, 1);
        grid->addWidget(row->month, r, 2);
        grid->addWidget(row->day, r, 3);
        grid->addWidget(row->hour, r, 4);
        ++r;
    }
    m_fromPcZone = new QPushButton(QStringLiteral("From PC Zone"), this);
    m_fromPcZone->setObjectName(QStringLiteral("FromPcZone"));
    m_fromPcZone->setToolTip(
        QStringLiteral("Zone and daylight-saving rows of this PC's time zone for the start year"));
    grid->addWidget(m_fromPcZone, 5, 1, 1, 4);
    grid->setRowStretch(6, 1);

    // Zone, then the start row's month, day, hour, the end row's, then the two years.
    QWidget* order[] = {m_zone,    m_start.month, m_start.day,  m_start.hour, m_end.month,
                        m_end.day, m_end.hour,    m_start.year, m_end.year,   m_fromPcZone};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    // The operator's picks only: selections made by the program run no handler.
    connect(m_zone, &QComboBox::activated, this, &ZoneGroup::ComboBox12Change);
    connect(m_start.month, &QComboBox::activated, this, &ZoneGroup::ComboBox15Change);
    connect(m_end.month, &QComboBox::activated, this, &ZoneGroup::ComboBox17Change);
    connect(m_fromPcZone, &QPushButton::clicked, this, &ZoneGroup::FromPcZoneClick);
}

void ZoneGroup::ComboBox12Change() { m_zone->setToolTip(m_zone->currentText()); }
void ZoneGroup::ComboBox15Change() { RefillDayList(m_start); }
void ZoneGroup::ComboBox17Change() { RefillDayList(m_end); }

void ZoneGroup::FromPcZoneClick() {
    const QString yearText = m_start.year->currentText();
    const auto year = ParseDecimal(yearText.toStdString());
    if (!year)
        return TellError(QString::fromStdString(NotAnIntegerMessage(yearText.toStdString())));
    QTimeZone zone = QTimeZone::systemTimeZone();
    if (!zone.isValid()) zone = QTimeZone::utc();  // as the clock frame takes it
    // The PC's own zone is never refused: a year it cannot be followed through gets the offset in
    // force now, which Transfer then sends.
    const auto rows = DstRowsFor(zone, *year);
    const DstRows chosen =
        rows ? *rows : StandInRows(zone, *year, QDateTime::currentDateTime(), rows.error());
    m_zone->setCurrentIndex(chosen.zoneRow);
    m_zone->setToolTip(m_zone->currentText());
    Fill(m_start, chosen.start);
    Fill(m_end, chosen.end);
    m_fromPcZone->setToolTip(DescribeDstRows(zone, chosen));
    emit Filled(chosen.warning);
}

void ZoneGroup::Fill(const Row& row, const DstTransition& transition) {
    row.year->setCurrentIndex(row.year->findText(QString::fromStdString(transition.yearText)));
    row.month->setCurrentIndex(transition.month);
    RefillDayList(row);
    row.day->setCurrentIndex(transition.day.value_or(-1));
    row.hour->setValue(transition.hour);
}

void ZoneGroup::TellError(const QString& text) {
    MessageBoxes::Current().Tell(this, MessageBoxes::Icon::Error, text, QMessageBox::Ok);
}

void ZoneGroup::RefillDayList(const Row& row) {
    const int selected = row.day->currentIndex();
    row.day->clear();
    const QString yearText = row.year->currentText();
    const auto year = ParseDecimal(yearText.toStdString());
    if (!year) {
        // The list stays empty, without even its empty item, until a year is picked and the
        // month again.
        return TellError(QString::fromStdString(NotAnIntegerMessage(yearText.toStdString())));
    }
    const DayListRefill refill =
        meridial::RefillDayList(row.month->currentIndex(), *year,
                                selected < 0 ? std::nullopt : std::optional<int>(selected));
    FillDays(row.day, refill.dayCount);
    row.day->setCurrentIndex(refill.selectedIndex.value_or(-1));
}

DstTransition ZoneGroup::Read(const Row& row) {
    const int day = row.day->currentIndex();
    return {row.year->currentText().toStdString(), row.month->currentIndex(),
            day < 0 ? std::nullopt : std::optional<int>(day), row.hour->value()};
}

ZoneEntry ZoneGroup::Entry() const { return {m_zone->currentIndex(), Read(m_start), Read(m_end)}; }

}  // namespace meridial
