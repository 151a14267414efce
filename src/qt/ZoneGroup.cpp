#include "qt/ZoneGroup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeZone>
#include <utility>

#include "qt/MessageBoxes.h"
#include "zone/DstRules.h"

namespace meridial {
namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

void AddItems(QComboBox* list, const std::vector<std::string>& items) {
    for (const std::string& item : items) list->addItem(ToQt(item));
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
    setRange(0, kMaxDstHour);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State HourSpinBox::validate(QString& input, int&) const {
    return IsSettledHour(input.toStdString()) ? QValidator::Acceptable : QValidator::Intermediate;
}

void HourSpinBox::fixup(QString& input) const {
    input = QString::number(SettleHour(input.toStdString()));
}

ZoneGroup::ZoneGroup(int currentYear, int pcBias, QWidget* parent)
    : QGroupBox(QStringLiteral("  Set Time Zone and Daylight Saving Time  "), parent),
      m_notices(std::make_unique<QtNotices>(this)),
      m_model(currentYear, pcBias, *m_notices) {
    setObjectName(QStringLiteral("GroupBox4"));
    setAccessibleName(title().trimmed());

    m_zone = NamedList(this, "ComboBox12");
    AddItems(m_zone, ZoneRowsModel::ZoneItems());
    // The tooltip shows whatever the parent's setting says.
    m_zone->setAttribute(Qt::WA_AlwaysShowToolTips);

    auto makeRow = [&](const char* year, const char* month, const char* day, const char* hour,
                       DstRow which) {
        Row row{NamedList(this, year), NamedList(this, month), NamedList(this, day),
                new HourSpinBox(this), which};
        row.hour->setObjectName(QLatin1String(hour));
        AddItems(row.year, ZoneRowsModel::YearItems());
        AddItems(row.month, ZoneRowsModel::MonthItems());
        return row;
    };
    m_start = makeRow("ComboBox20", "ComboBox15", "ComboBox16", "CSpinEdit1", DstRow::Start);
    m_end = makeRow("ComboBox21", "ComboBox17", "ComboBox18", "CSpinEdit2", DstRow::End);

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
    grid->addWidget(m_fromPcZone, 5, 1, 1, 4);
    grid->setRowStretch(6, 1);

    // Zone, then the start row's month, day, hour, the end row's, then the two years.
    QWidget* order[] = {m_zone,    m_start.month, m_start.day,  m_start.hour, m_end.month,
                        m_end.day, m_end.hour,    m_start.year, m_end.year,   m_fromPcZone};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    Draw();

    // The operator's picks only: selections made by the program run no handler.
    connect(m_zone, &QComboBox::activated, this, &ZoneGroup::ComboBox12Change);
    connect(m_start.month, &QComboBox::activated, this, &ZoneGroup::ComboBox15Change);
    connect(m_end.month, &QComboBox::activated, this, &ZoneGroup::ComboBox17Change);
    connect(m_fromPcZone, &QPushButton::clicked, this, &ZoneGroup::FromPcZoneClick);
    // Every other change of a field, the program's included, is the model's to know.
    connect(m_zone, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_drawing) m_model.ZoneSelected(index);
    });
    Connect(m_start);
    Connect(m_end);
}

ZoneGroup::~ZoneGroup() = default;

void ZoneGroup::Connect(const Row& row) {
    auto index = [](int i) { return i < 0 ? std::nullopt : std::optional<int>(i); };
    const DstRow which = row.which;
    connect(row.year, &QComboBox::currentIndexChanged, this, [this, which, index](int i) {
        if (!m_drawing) m_model.YearSelected(which, index(i));
    });
    connect(row.month, &QComboBox::currentIndexChanged, this, [this, which](int i) {
        if (!m_drawing) m_model.MonthSelected(which, i);
    });
    connect(row.day, &QComboBox::currentIndexChanged, this, [this, which, index](int i) {
        if (!m_drawing) m_model.DaySelected(which, index(i));
    });
    connect(row.hour, &QSpinBox::valueChanged, this, [this, which](int value) {
        if (!m_drawing) m_model.HourSet(which, value);
    });
}

void ZoneGroup::ComboBox12Change() {
    m_model.ZonePicked(m_zone->currentIndex());
    Draw();
}

void ZoneGroup::ComboBox15Change() {
    m_model.MonthPicked(DstRow::Start, m_start.month->currentIndex());
    Draw();
}

void ZoneGroup::ComboBox17Change() {
    m_model.MonthPicked(DstRow::End, m_end.month->currentIndex());
    Draw();
}

void ZoneGroup::FromPcZoneClick() {
    QTimeZone zone = QTimeZone::systemTimeZone();
    if (!zone.isValid()) zone = QTimeZone::utc();  // as the clock frame takes it
    const auto warning = m_model.FromPcZone([&](int year) { return ZoneYearOf(zone, year); },
                                            ZoneMomentOf(zone, QDateTime::currentDateTime()));
    Draw();
    if (warning) emit Filled(ToQt(*warning));
}

void ZoneGroup::Draw() {
    m_drawing = true;
    if (m_zone->currentIndex() != m_model.ZoneRow()) m_zone->setCurrentIndex(m_model.ZoneRow());
    m_zone->setToolTip(ToQt(m_model.ZoneHint()));
    DrawRow(m_start);
    DrawRow(m_end);
    m_fromPcZone->setToolTip(ToQt(m_model.FromPcZoneHint()));
    m_drawing = false;
}

void ZoneGroup::DrawRow(const Row& row) {
    const DstRowState& state = m_model.Row(row.which);
    row.year->setCurrentIndex(state.yearIndex.value_or(-1));
    row.month->setCurrentIndex(state.monthIndex);
    if (row.day->count() != state.dayItems) {
        row.day->clear();
        for (int i = 0; i < state.dayItems; ++i) row.day->addItem(ToQt(ZoneRowsModel::DayItem(i)));
    }
    row.day->setCurrentIndex(state.dayIndex.value_or(-1));
    if (row.hour->value() != state.hour) row.hour->setValue(state.hour);
}

ZoneEntry ZoneGroup::Entry() const { return m_model.Entry(); }

}  // namespace meridial
