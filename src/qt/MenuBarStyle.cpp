#include "qt/MenuBarStyle.h"

#include <QPainter>
#include <QStyleOptionMenuItem>

namespace meridial {
namespace {
constexpr int kGap = 4;
}

void MenuBarStyle::drawControl(ControlElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuBarItem || !item || item->icon.isNull()) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    // The base style draws the background and the highlight; the image and caption go on top.
    QStyleOptionMenuItem background = *item;
    background.text.clear();
    background.icon = QIcon();
    QProxyStyle::drawControl(element, &background, painter, widget);

    const QRect r = item->rect.adjusted(kGap, 0, -kGap, 0);
    const QRect iconRect(r.left(), r.center().y() - kIconSize / 2 + 1, kIconSize, kIconSize);
    const bool enabled = item->state & State_Enabled;
    item->icon.paint(painter, iconRect, Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);
    const QRect textRect = r.adjusted(kIconSize + kGap, 0, 0, 0);
    drawItemText(painter, textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                 item->palette, enabled, item->text, QPalette::ButtonText);
}

QSize MenuBarStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                     const QSize& size, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type != CT_MenuBarItem || !item || item->icon.isNull())
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    // The menu bar measured the image alone; make room for the caption beside it.
    const QSize text = item->fontMetrics.size(Qt::TextShowMnemonic, item->text);
    const QSize both(kIconSize + kGap + text.width() + 2 * kGap,
                     std::max(kIconSize, text.height()));
    return QProxyStyle::sizeFromContents(type, option, both, widget);
}

int MenuBarStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const {
    if (hint == SH_ToolTip_WakeUpDelay) return kHintPauseMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

}  // namespace meridial
