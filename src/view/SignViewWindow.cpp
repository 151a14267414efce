#include "view/SignViewWindow.h"

#include <unistd.h>

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QSocketNotifier>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>

#include "sign/FrameReport.h"
#include "view/SignPanel.h"

namespace meridial::view {

using namespace meridial::sign;

namespace {
constexpr ReplyMode kReplyModes[] = {ReplyMode::Ack,     ReplyMode::Nak,     ReplyMode::Silent,
                                     ReplyMode::Garbage, ReplyMode::Partial, ReplyMode::Split};
}  // namespace

SignViewWindow::SignViewWindow(int fd, const QString& devicePath, SessionOptions options,
                               QWidget* parent)
    : QMainWindow(parent), m_fd(fd), m_session(options) {
    setObjectName(QStringLiteral("SignViewWindow"));
    setWindowTitle(QStringLiteral("Meridial virtual sign - ") + devicePath);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    m_panel = new SignPanel(splitter);

    auto* details = new QWidget(splitter);
    auto* form = new QFormLayout;
    auto* device = new QLabel(devicePath, details);
    device->setObjectName(QStringLiteral("DevicePath"));
    device->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_reply = new QComboBox(details);
    m_reply->setObjectName(QStringLiteral("ReplyMode"));
    for (const ReplyMode mode : kReplyModes) {
        m_reply->addItem(QString::fromLatin1(ReplyModeName(mode)));
        if (mode == options.reply) m_reply->setCurrentIndex(m_reply->count() - 1);
    }
    form->addRow(QStringLiteral("Device:"), device);
    form->addRow(QStringLiteral("Reply:"), m_reply);
    m_frames = new QListWidget(details);
    m_frames->setObjectName(QStringLiteral("Frames"));
    m_frames->setFont(QFont(QStringLiteral("monospace")));
    auto* column = new QVBoxLayout(details);
    column->setContentsMargins(6, 6, 6, 6);
    column->addLayout(form);
    column->addWidget(new QLabel(QStringLiteral("Frames received, newest first:"), details));
    column->addWidget(m_frames, 1);
    splitter->addWidget(m_panel);
    splitter->addWidget(details);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);
    resize(820, 560);

    connect(m_reply, &QComboBox::activated, this,
            [this](int index) { m_session.SetReply(kReplyModes[index]); });
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignViewWindow::ReadLine);
    m_due.setSingleShot(true);
    m_due.setTimerType(Qt::PreciseTimer);
    connect(&m_due, &QTimer::timeout, this, &SignViewWindow::Pump);
}

SignViewWindow::~SignViewWindow() = default;

void SignViewWindow::ReadLine() {
    unsigned char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_session.Feed(buffer, static_cast<std::size_t>(n), m_panel->NowMs());
            continue;
        }
        // A pseudo-terminal whose far side nobody holds reports an error until someone opens
        // it; pausing the notifier briefly keeps that from spinning.
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            m_notifier->setEnabled(false);
            QTimer::singleShot(20, this, [this] { m_notifier->setEnabled(true); });
        }
        break;
    }
    Pump();
}

void SignViewWindow::Pump() {
    const long long now = m_panel->NowMs();
    bool stateChanged = false;
    for (const SessionEvent& event : m_session.Advance(now)) {
        const FrameReport report = ReportFrame(event.frame);
        m_frames->insertItem(0, QString::fromStdString(report.line));
        stateChanged = true;
    }
    while (m_frames->count() > kMaxListedFrames) delete m_frames->takeItem(m_frames->count() - 1);
    if (stateChanged) m_panel->ShowState(m_session.State());

    const std::string reply = m_session.TakeDueReply(m_panel->NowMs());
    if (!reply.empty()) {
        [[maybe_unused]] const auto written = ::write(m_fd, reply.data(), reply.size());
    }
    if (const auto due = m_session.NextDueAt())
        m_due.start(static_cast<int>(std::max(0LL, *due - m_panel->NowMs())));
    else
        m_due.stop();
}

}  // namespace meridial::view
