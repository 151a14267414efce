#include "qt/TSetID.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/ProgramSettings.h"
#include "qt/DiscardTypingFilter.h"
#include "qt/OuterSize.h"

namespace meridial {

TSetID::TSetID(SignLink& link, const ProgramSettings& settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint),
      m_notices(this),
      m_model(link, settings, m_notices) {
    setObjectName(QStringLiteral("SetID"));
    setWindowTitle(QStringLiteral("SetID"));
    setModal(false);
    OuterSize::Apply(this, QSize(336, 252));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("IDPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    auto* label = new QLabel(QStringLiteral("Sign ID:"), panel);
    label->setObjectName(QStringLiteral("Label1"));
    m_list = new QComboBox(panel);
    m_list->setObjectName(QStringLiteral("ComboBox1"));
    label->setBuddy(m_list);
    m_list->setAccessibleName(QStringLiteral("Sign ID"));
    DiscardTypingFilter::Install(m_list);
    auto* ok = new QPushButton(QStringLiteral("OK"), panel);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), panel);
    cancel->setObjectName(QStringLiteral("Cancel"));

    auto* grid = new QGridLayout(panel);
    grid->setRowStretch(0, 1);
    grid->addWidget(label, 1, 0);
    grid->addWidget(m_list, 1, 1);
    grid->setRowStretch(2, 1);
    grid->addWidget(ok, 3, 0);
    grid->addWidget(cancel, 3, 1);
    grid->setRowStretch(4, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);

    FormCreate();
    connect(m_list, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_model.Select(index);
        m_list->setCurrentIndex(m_model.Selection());
    });
    connect(ok, &QPushButton::clicked, this, &TSetID::OKClick);
    connect(cancel, &QPushButton::clicked, this, &TSetID::CancelClick);
}

void TSetID::FormCreate() {
    for (const std::string& item : m_model.Items()) m_list->addItem(QString::fromStdString(item));
    m_list->setCurrentIndex(m_model.Selection());
}

void TSetID::showEvent(QShowEvent* event) {
    findChild<QPushButton*>(QStringLiteral("OK"))->setFocus();
    QDialog::showEvent(event);
}

void TSetID::OKClick() { m_model.Ok(); }

void TSetID::CancelClick() { hide(); }

}  // namespace meridial
