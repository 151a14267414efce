#pragma once

#include <QString>
#include <QVector>

#include "qt/MessageBoxes.h"

namespace meridial::testing {

// Records every box instead of showing it, and answers questions as told.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Box {
        Icon icon;
        QString text;
        QMessageBox::StandardButtons buttons;
        QString details;
    };

    RecordingMessageBoxes() { MessageBoxes::Install(this); }
    ~RecordingMessageBoxes() override { MessageBoxes::Install(nullptr); }

    QMessageBox::StandardButton Ask(QWidget*, Icon icon, const QString& text,
                                    QMessageBox::StandardButtons buttons) override {
        boxes.push_back({icon, text, buttons, {}});
        return answer;
    }
    void Tell(QWidget*, Icon icon, const QString& text,
              QMessageBox::StandardButton button) override {
        boxes.push_back({icon, text, button, {}});
    }
    void TellWithDetails(QWidget*, Icon icon, const QString& text, const QString& details,
                         QMessageBox::StandardButton button) override {
        boxes.push_back({icon, text, button, details});
    }

    QStringList Texts() const {
        QStringList texts;
        for (const Box& b : boxes) texts << b.text;
        return texts;
    }

    QVector<Box> boxes;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
};

}  // namespace meridial::testing
