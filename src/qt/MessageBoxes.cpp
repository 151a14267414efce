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

}  // namespace

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
