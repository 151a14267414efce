#pragma once

#include <QProxyStyle>

namespace meridial {

// The program's style tweaks: top-level menu entries show their image and their caption side
// by side (a plain menu bar shows one or the other), and tooltips wake after 300 ms.
class MenuBarStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    static constexpr int kIconSize = 16;
    static constexpr int kHintPauseMs = 300;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

}  // namespace meridial
