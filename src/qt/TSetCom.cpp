#include "qt/TSetCom.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/ProgramSettings.h"
#include "qt/DiscardTypingFilter.h"
#include "qt/MessageBoxes.h"
#include "qt/OuterSize.h"

namespace meridial {
namespace {

// The file in use and, as the window has no standard error, what in it goes unused.
QString SettingsTip(const PortSettings& file) {
    QStringList lines{
        QStringLiteral("Settings file: %1").arg(QDir::toNativeSeparators(file.Path()))};
    if (const QString problem = file.Problem(); !problem.isEmpty())
        lines << QStringLiteral("It %1; the defaults are used.").arg(problem);
    const QStringList unused = file.LineProblems();
    if (!unused.isEmpty()) lines << QStringLiteral("Not used:") << unused;
    return lines.join(u'\n');
}

}  // namespace

TSetCom::TSetCom(ProgramSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_notices(this), m_model(settings, m_notices) {
    setObjectName(QStringLiteral("SetCom"));
    setWindowTitle(QStringLiteral("SetCom"));
    OuterSize::Apply(this, QSize(307, 231));

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    // The 16-pixel menu picture, enlarged without smoothing so it stays crisp.
    image->setPixmap(QPixmap(QStringLiteral(":/port.png"))
                         .scaled(48, 48, Qt::KeepAspectRatio, Qt::FastTransformation));
    auto* label = new QLabel(QStringLiteral("COM Port:"), this);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    m_list = new QComboBox(this);
    m_list->setObjectName(QStringLiteral("ComboBox1"));
    label->setBuddy(m_list);
    m_list->setAccessibleName(QStringLiteral("COM Port"));
    DiscardTypingFilter::Install(m_list);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Button1"));

    auto* top = new QHBoxLayout;
    top->addWidget(image);
    auto* portColumn = new QVBoxLayout;
    portColumn->addWidget(label);
    portColumn->addWidget(m_list);
    portColumn->addStretch();
    top->addLayout(portColumn, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    FormCreate();
    connect(m_list, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_model.Select(index);
        ShowSelection();
    });
    connect(ok, &QPushButton::clicked, this, &TSetCom::OKClick);
    connect(cancel, &QPushButton::clicked, this, &TSetCom::Button1Click);
}

void TSetCom::FormCreate() {
    for (const std::string& item : m_model.Items()) m_list->addItem(QString::fromStdString(item));
    ShowSelection();
}

void TSetCom::ShowSelection() { m_list->setCurrentIndex(m_model.Selection().value_or(-1)); }

void TSetCom::showEvent(QShowEvent* event) {
    setToolTip(SettingsTip(m_settings.File()));
    // Each item names the device behind it, which on this platform is not obvious from "COMn".
    const std::vector<std::string> hints = m_model.DeviceHints([this](int portNumber) {
        const QString device = m_settings.File().DeviceForPort(portNumber);
        return PortDevice{device.toStdString(), QFileInfo::exists(device)};
    });
    for (int i = 0; i < static_cast<int>(hints.size()); ++i)
        m_list->setItemData(i, QString::fromStdString(hints[i]), Qt::ToolTipRole);
    findChild<QPushButton*>(QStringLiteral("OK"))->setFocus();
    QDialog::showEvent(event);
}

void TSetCom::OKClick() {
    if (m_model.Ok()) accept();
}

void TSetCom::Button1Click() {
    m_model.Cancel();
    reject();
}

}  // namespace meridial
