#include "ui/DiscardTypingFilter.h"

#include <QKeyEvent>

namespace meridial {

bool DiscardTypingFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (!text.isEmpty() && text[0].isPrint()) return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace meridial
