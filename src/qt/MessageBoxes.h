#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

#include "ui/Notices.h"

class QWidget;

namespace meridial {

// Every message box of the program goes through here, so tests can answer and record them
// instead of blocking on a modal box.
class MessageBoxes {
public:
    enum class Icon { Information, Error, Question, Plain };

    virtual ~MessageBoxes() = default;

    // A modal question; returns the button pressed.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, Icon icon, const QString& text,
                                            QMessageBox::StandardButtons buttons) = 0;
    // A message with one button. While a sequence is running on the line the box does not block
    // (a nested modal loop would hold the sequence's pauses open); otherwise it is modal.
    virtual void Tell(QWidget* parent, Icon icon, const QString& text,
                      QMessageBox::StandardButton button) = 0;
    // The same with a detailed text behind the box's "Show Details..." button: the box keeps
    // its short text, the details say why.
    virtual void TellWithDetails(QWidget* parent, Icon icon, const QString& text,
                                 const QString& details, QMessageBox::StandardButton button) {
        (void)details;
        Tell(parent, icon, text, button);
    }

    static MessageBoxes& Current();
    // Installs another implementation (tests); nullptr restores the real boxes.
    static void Install(MessageBoxes* boxes);
};

// The boxes on screen. While a sequence holds the line (the program asks its link) they do not
// block.
class ScreenMessageBoxes final : public MessageBoxes {
public:
    explicit ScreenMessageBoxes(std::function<bool()> sequenceRunning = {})
        : m_sequenceRunning(std::move(sequenceRunning)) {}

    QMessageBox::StandardButton Ask(QWidget* parent, Icon icon, const QString& text,
                                    QMessageBox::StandardButtons buttons) override;
    void Tell(QWidget* parent, Icon icon, const QString& text,
              QMessageBox::StandardButton button) override;
    void TellWithDetails(QWidget* parent, Icon icon, const QString& text, const QString& details,
                         QMessageBox::StandardButton button) override;

private:
    void Show(QMessageBox* box);

    std::function<bool()> m_sequenceRunning;
};

// A window's notices drawn as the program's message boxes, with that window as their parent.
class QtNotices final : public Notices {
public:
    explicit QtNotices(QWidget* parent) : m_parent(parent) {}

    void Tell(const Notice& notice) override;
    NoticeButton Ask(const Notice& notice) override;

private:
    QWidget* m_parent;
};

}  // namespace meridial
