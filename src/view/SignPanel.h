#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "sign/SignFace.h"
#include "sign/SignState.h"

namespace meridial::view {

// Draws the sign as it looks: three lines of amber dots on black, the clock ticking and the
// message scrolling by themselves. It repaints only when a line changes, and only that line.
class SignPanel final : public QWidget {
    Q_OBJECT
public:
    // Milliseconds on a steady clock; the state's times are on the same clock.
    using Clock = std::function<long long()>;

    explicit SignPanel(QWidget* parent = nullptr);

    // Tests fix the time; everyone else gets a monotonic clock.
    void SetClock(Clock clock);
    long long NowMs() const { return m_clock(); }

    void ShowState(const sign::SignState& state);
    const sign::SignState& State() const { return m_state; }

    // Where the dots are drawn at the current size.
    sign::DotGeometry Geometry() const { return sign::FitDots(width(), height()); }

    static QColor LitColour();
    static QColor DarkColour();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Tick();
    void Schedule();
    QRect LineRect(int line) const;
    void PrepareDots();

    Clock m_clock;
    sign::SignState m_state;
    sign::SignFace m_shown;
    QTimer m_timer;
    QPixmap m_background;  // every dot dark, at the current size
    QPixmap m_litDot;
};

}  // namespace meridial::view
