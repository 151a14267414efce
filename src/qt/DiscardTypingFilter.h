#pragma once

#include <QObject>

class QComboBox;

namespace meridial {

// Discards typed characters, so a list's item can only be picked from its drop-down.
class DiscardTypingFilter final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // On the list and on its open drop-down, whose view would otherwise pick the item typed.
    static void Install(QComboBox* list);
};

}  // namespace meridial
