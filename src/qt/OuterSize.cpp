#include "qt/OuterSize.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QWidget>

namespace meridial {

OuterSize::OuterSize(QWidget* window, QSize outer)
    : QObject(window), m_window(window), m_outer(outer) {}

void OuterSize::Apply(QWidget* window, QSize outer) {
    auto* fitter = new OuterSize(window, outer);
    fitter->Fit(QMargins());
    window->installEventFilter(fitter);
}

void OuterSize::Centre(QWidget* window) {
    auto* fitter = new OuterSize(window, QSize());
    fitter->Fit(QMargins());
    window->installEventFilter(fitter);
}

QRect OuterSize::Place(QSize outer, const QRect& available) {
    const QSize size = outer.boundedTo(available.size());
    QRect placed(QPoint(), size);
    placed.moveCenter(available.center());
    // A window larger than the area (kept to its minimum size) hangs off the bottom right.
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    return placed;
}

void OuterSize::ScrollWhenTooLarge(QMainWindow* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // Room for a window manager's frame, which is not known before the window is shown.
    constexpr int kFrameAllowance = 40;
    const QSize room =
        screen->availableGeometry().size() - QSize(kFrameAllowance / 2, kFrameAllowance);
    const QSize needed = window->minimumSizeHint();
    if (needed.width() <= room.width() && needed.height() <= room.height()) return;
    auto* scroll = new QScrollArea(window);
    scroll->setObjectName(QStringLiteral("CentralScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(window->takeCentralWidget());
    window->setCentralWidget(scroll);
    window->setMinimumSize(QSize(0, 0));
}

void OuterSize::Fit(const QMargins& frame) {
    const QScreen* screen = m_window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(), m_outer);
    const bool keepClient = m_outer.isEmpty();
    const QRect outer = Place(keepClient ? m_window->size().grownBy(frame) : m_outer, available);
    if (!keepClient) m_window->resize(outer.size().shrunkBy(frame));
    // A window's position is its frame's.
    m_window->move(outer.topLeft());
    m_appliedFrame = frame;
}

bool OuterSize::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == m_window &&
        (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize)) {
        const QRect client = m_window->geometry();
        const QRect outer = m_window->frameGeometry();
        const QMargins frame(client.left() - outer.left(), client.top() - outer.top(),
                             outer.right() - client.right(), outer.bottom() - client.bottom());
        // Once per frame the window manager reports; a hidden and shown window keeps its place.
        if (!frame.isNull() && frame != m_appliedFrame) Fit(frame);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace meridial
