#include "qt/MessageBoxes.h"

#include <QApplication>

#include "qt/BoxTexts.h"

namespace meridial {
namespace {

MessageBoxes* g_installed = nullptr;

QMessageBox::Icon ToQt(MessageBoxes::Icon icon) {
    switch (icon) {
        case MessageBoxes::Icon::Information:
            return QMessageBox::Information;
        case MessageBoxes::Icon::Error:
            return QMessageBox::Critical;
        case MessageBoxes::Icon::Question:
            return QMessageBox::Question;
        case MessageBoxes::Icon::Plain:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox* MakeBox(QWidget* parent, MessageBoxes::Icon icon, const QString& text,
                     QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(ToQt(icon), box_texts::ProgramCaption(), text, buttons, parent);
    box->setObjectName(QStringLiteral("MessageBox"));
    return box;
}

MessageBoxes::Icon ToBoxIcon(NoticeIcon icon) {
    switch (icon) {
        case NoticeIcon::Information:
            return MessageBoxes::Icon::Information;
        case NoticeIcon::Error:
            return MessageBoxes::Icon::Error;
        case NoticeIcon::Question:
            return MessageBoxes::Icon::Question;
        case NoticeIcon::Plain:
            break;
    }
    return MessageBoxes::Icon::Plain;
}

QMessageBox::StandardButton ToQt(NoticeButton button) {
    switch (button) {
        case NoticeButton::Ok:
            return QMessageBox::Ok;
        case NoticeButton::Yes:
            return QMessageBox::Yes;
        case NoticeButton::No:
            break;
    }
    return QMessageBox::No;
}

}  // namespace

void QtNotices::Tell(const Notice& notice) {
    const QString text = QString::fromStdString(notice.text);
    const QMessageBox::StandardButton button =
        notice.buttons.empty() ? QMessageBox::Ok : ToQt(notice.buttons.front());
    if (notice.details.empty())
        MessageBoxes::Current().Tell(m_parent, ToBoxIcon(notice.icon), text, button);
    else
        MessageBoxes::Current().TellWithDetails(m_parent, ToBoxIcon(notice.icon), text,
                                                QString::fromStdString(notice.details), button);
}

NoticeButton QtNotices::Ask(const Notice& notice) {
    QMessageBox::StandardButtons buttons;
    for (const NoticeButton button : notice.buttons) buttons |= ToQt(button);
    const QMessageBox::StandardButton answer = MessageBoxes::Current().Ask(
        m_parent, ToBoxIcon(notice.icon), QString::fromStdString(notice.text), buttons);
    for (const NoticeButton button : notice.buttons)
        if (ToQt(button) == answer) return button;
    return notice.buttons.empty() ? NoticeButton::Ok : notice.buttons.back();
}

MessageBoxes& MessageBoxes::Current() {
    static ScreenMessageBoxes screen;
    return g_installed ? *g_installed : screen;
}

void MessageBoxes::Install(MessageBoxes* boxes) { g_installed = boxes; }

QMessageBox::StandardButton ScreenMessageBoxes::Ask(QWidget* parent, Icon icon, const QString& text,
                                                    QMessageBox::StandardButtons buttons) {
    QMessageBox* box = MakeBox(parent, icon, text, buttons);
    const auto answer = static_cast<QMessageBox::StandardButton>(box->exec());
    delete box;
    return answer;
}

void ScreenMessageBoxes::Tell(QWidget* parent, Icon icon, const QString& text,
                              QMessageBox::StandardButton button) {
    Show(MakeBox(parent, icon, text, button));
}

void ScreenMessageBoxes::TellWithDetails(QWidget* parent, Icon icon, const QString& text,
                                         const QString& details,
                                         QMessageBox::StandardButton button) {
    QMessageBox* box = MakeBox(parent, icon, text, button);
    box->setDetailedText(details);
    Show(box);
}

void ScreenMessageBoxes::Show(QMessageBox* box) {
    // A nested modal loop would hold the running sequence's pauses open.
    if (m_sequenceRunning && m_sequenceRunning()) {
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    box->exec();
    delete box;
}

}  // namespace meridial
