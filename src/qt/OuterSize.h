#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>

class QMainWindow;
class QWidget;

namespace meridial {

// Gives a top-level window an outer size, its frame included, centred on its screen. Qt sizes
// the client area, and the frame is known only once the window manager has framed the window,
// so the window is sized again then. Without a window manager there is no frame, and the
// client area takes the whole size.
class OuterSize final : public QObject {
public:
    static void Apply(QWidget* window, QSize outer);
    // For a window whose client area is given: it keeps its size, and its frame is centred.
    static void Centre(QWidget* window);

    // Where a window of this outer size goes on the available area: centred, shrunk to the area
    // when larger (a scaled desktop), and never with its top edge (the title bar) or left edge
    // off the area.
    static QRect Place(QSize outer, const QRect& available);

    // On a screen too small for the window's controls (a scaled desktop), the central area
    // scrolls, so the window fits the screen with its title bar and status bar in view.
    static void ScrollWhenTooLarge(QMainWindow* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OuterSize(QWidget* window, QSize outer);
    void Fit(const QMargins& frame);

    QWidget* m_window;
    QSize m_outer;  // empty: the client area keeps its size
    QMargins m_appliedFrame;
};

}  // namespace meridial
