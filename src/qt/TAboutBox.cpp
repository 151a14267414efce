#include "qt/TAboutBox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "qt/OuterSize.h"

namespace meridial {

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(QPixmap(QStringLiteral(":/meridial.png")));
    auto* version = new QLabel(panel);
    version->setObjectName(QStringLiteral("Version"));
    version->setText(
        QStringLiteral("Version 4.0 \n For Meridial Module. \n3 lines (Time,Date,Info) Module"));
    auto* inner = new QHBoxLayout(panel);
    inner->addWidget(icon, 0, Qt::AlignTop);
    inner->addWidget(version, 1);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("OKButton"));
    close->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addWidget(close, 0, Qt::AlignHCenter);
    connect(close, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
    setFixedSize(299, 207);
    // Centred on the screen once its frame is known, as the other windows are; left to itself
    // the box would centre on its parent, guessing a frame before the window manager has drawn it.
    OuterSize::Centre(this);
}

void TAboutBox::OKButtonClick() { accept(); }

}  // namespace meridial
