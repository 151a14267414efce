#pragma once

#include <QObject>

namespace meridial {

// Discards typed characters, so a list's item can only be picked from its drop-down.
class DiscardTypingFilter final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace meridial
