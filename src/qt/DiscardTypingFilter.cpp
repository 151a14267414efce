#include "qt/DiscardTypingFilter.h"

#include <QAbstractItemView>
#include <QComboBox>
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

void DiscardTypingFilter::Install(QComboBox* list) {
    auto* filter = new DiscardTypingFilter(list);
    list->installEventFilter(filter);
    // Installed after the drop-down's own filter on its view, so it sees the keys first.
    list->view()->installEventFilter(filter);
}

}  // namespace meridial
