#include "qt/TSetID.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "service/ResetId.h"
#include "qt/BoxTexts.h"
#include "qt/DiscardTypingFilter.h"
#include "qt/MessageBoxes.h"
#include "link/ProgramSettings.h"
#include "qt/OuterSize.h"

namespace meridial {

TSetID::TSetID(SignLink& link, const ProgramSettings& settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint),
      m_link(link),
      m_settings(settings) {
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

    connect(ok, &QPushButton::clicked, this, &TSetID::OKClick);
    connect(cancel, &QPushButton::clicked, this, &TSetID::CancelClick);
    FormCreate();
}

void TSetID::FormCreate() {
    for (int id = kFirstResetId; id <= kLastResetId; ++id)
        m_list->addItem(QString::fromStdString(ResetIdText(id)));
    m_list->setCurrentIndex(0);
}

void TSetID::showEvent(QShowEvent* event) {
    findChild<QPushButton*>(QStringLiteral("OK"))->setFocus();
    QDialog::showEvent(event);
}

void TSetID::OKClick() {
    MessageBoxes& boxes = MessageBoxes::Current();
    if (m_link.IsOpen()) {
        // A transfer holds the line: nothing can be sent, so there is nothing to confirm, and a
        // modal question now would hold the transfer's pauses open.
        boxes.TellWithDetails(this, MessageBoxes::Icon::Plain, box_texts::OpenComError(),
                              QStringLiteral("A transfer is using the line."), QMessageBox::Ok);
        return;
    }
    const auto answer = boxes.Ask(this, MessageBoxes::Icon::Question,
                                  QStringLiteral("     Confirm to Reset ID ?     "),
                                  QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    const OpenResult opened =
        RunResetId(m_link, m_settings.PortNumber(), m_list->currentIndex() + kFirstResetId);
    if (!opened.ok())
        boxes.TellWithDetails(this, MessageBoxes::Icon::Plain, box_texts::OpenComError(),
                              QString::fromStdString(opened.error().detail), QMessageBox::Ok);
}

void TSetID::CancelClick() { hide(); }

}  // namespace meridial
