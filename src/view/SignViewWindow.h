#pragma once

#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "sign/SignSession.h"

class QComboBox;
class QLabel;
class QListWidget;
class QSocketNotifier;

namespace meridial::view {

class SignPanel;

// The graphical virtual sign: the sign's face, and beside it the device, the reply mode (which
// the user may change while it runs) and the frames received, newest first.
class SignViewWindow final : public QMainWindow {
    Q_OBJECT
public:
    // fd: the sign's side of the line, non-blocking; the window does not own it.
    SignViewWindow(int fd, const QString& devicePath, sign::SessionOptions options,
                   QWidget* parent = nullptr);
    ~SignViewWindow() override;

    SignPanel* Panel() const { return m_panel; }

    // The list keeps this many frames; a sign left running for days must not grow without end.
    static constexpr int kMaxListedFrames = 1000;

private:
    void ReadLine();
    void Pump();

    int m_fd;
    sign::SignSession m_session;
    SignPanel* m_panel;
    QComboBox* m_reply;
    QListWidget* m_frames;
    QSocketNotifier* m_notifier;
    QTimer m_due;
};

}  // namespace meridial::view
