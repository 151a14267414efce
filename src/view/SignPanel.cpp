#include "view/SignPanel.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <chrono>

namespace meridial::view {

using namespace meridial::sign;

namespace {

long long SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void DrawDot(QPainter& painter, const QRect& rect, const QColor& colour) {
    // Below a few pixels a round dot is a blur; a square reads better.
    if (rect.width() < 4) {
        painter.fillRect(rect, colour);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(rect);
    }
}

QRect DotRect(const DotGeometry& g, int column, int panelRow) {
    const int inset = (g.pitch - g.dotSize) / 2;
    return {g.left + column * g.pitch + inset, g.top + panelRow * g.pitch + inset, g.dotSize,
            g.dotSize};
}

}  // namespace

SignPanel::SignPanel(QWidget* parent) : QWidget(parent), m_clock(SteadyMs) {
    setObjectName(QStringLiteral("SignPanel"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SignPanel::Tick);
    m_shown = ComposeFace(m_state, NowMs());
}

void SignPanel::SetClock(Clock clock) {
    m_clock = std::move(clock);
    m_shown = ComposeFace(m_state, NowMs());
    update();
    Schedule();
}

void SignPanel::ShowState(const SignState& state) {
    m_state = state;
    m_shown = ComposeFace(m_state, NowMs());
    update();
    Schedule();
}

QColor SignPanel::LitColour() { return {255, 176, 0}; }
QColor SignPanel::DarkColour() { return {48, 30, 0}; }

QSize SignPanel::sizeHint() const { return {(kPanelColumns + 2) * 8, (kPanelRows + 2) * 8}; }
QSize SignPanel::minimumSizeHint() const { return {kPanelColumns + 2, kPanelRows + 2}; }

QRect SignPanel::LineRect(int line) const {
    const DotGeometry g = Geometry();
    return {g.left, g.top + PanelRow(line, 0) * g.pitch, kPanelColumns * g.pitch,
            kGlyphRows * g.pitch};
}

void SignPanel::PrepareDots() {
    const DotGeometry g = Geometry();
    m_background = QPixmap(size());
    m_background.fill(Qt::black);
    QPainter painter(&m_background);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int line = 0; line < kLineCount; ++line)
        for (int row = 0; row < kGlyphRows; ++row)
            for (int column = 0; column < kPanelColumns; ++column)
                DrawDot(painter, DotRect(g, column, PanelRow(line, row)), DarkColour());
    painter.end();

    m_litDot = QPixmap(g.dotSize, g.dotSize);
    m_litDot.fill(Qt::transparent);
    QPainter dot(&m_litDot);
    dot.setRenderHint(QPainter::Antialiasing);
    DrawDot(dot, QRect(0, 0, g.dotSize, g.dotSize), LitColour());
}

void SignPanel::paintEvent(QPaintEvent* event) {
    if (m_background.size() != size()) PrepareDots();
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.drawPixmap(dirty, m_background, dirty);
    const DotGeometry g = Geometry();
    for (int line = 0; line < kLineCount; ++line) {
        if (!dirty.intersects(LineRect(line))) continue;
        const DotRows& dots = m_shown.lines[static_cast<std::size_t>(line)];
        for (int row = 0; row < kGlyphRows; ++row)
            for (int column = 0; column < dots.Width(); ++column)
                if (dots.Lit(column, row)) {
                    const QRect rect = DotRect(g, column, PanelRow(line, row));
                    painter.drawPixmap(rect.topLeft(), m_litDot);
                }
    }
}

void SignPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_background = QPixmap();
}

void SignPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Tick();
}

// A hidden sign costs nothing; it catches up when shown again.
void SignPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_timer.stop();
}

void SignPanel::Tick() {
    const SignFace face = ComposeFace(m_state, NowMs());
    for (int line = 0; line < kLineCount; ++line) {
        const auto i = static_cast<std::size_t>(line);
        if (face.lines[i].rows != m_shown.lines[i].rows) update(LineRect(line));
    }
    m_shown = face;
    Schedule();
}

void SignPanel::Schedule() {
    if (!isVisible()) return;
    const long long now = NowMs();
    const auto next = NextFaceChangeAt(m_state, now);
    if (!next) {
        m_timer.stop();
        return;
    }
    // A clock that stands still (a test's) would otherwise wake the panel again at once.
    m_timer.start(static_cast<int>(std::clamp(*next - now, 1LL, 1000LL)));
}

}  // namespace meridial::view
