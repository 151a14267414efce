#include "view/SignPreview.h"

#include <QLabel>
#include <QVBoxLayout>

#include "sign/SignDecoder.h"
#include "view/SignPanel.h"

namespace meridial::view {

namespace {

// Often enough that a change of a control shows at once to the eye, and the running time field
// is followed second by second; reading the controls costs next to nothing.
constexpr int kPollMs = 250;

}  // namespace

SignPreview::SignPreview(RequestReader reader, QWidget* parent)
    : QWidget(parent, Qt::Window), m_reader(std::move(reader)) {
    setObjectName(QStringLiteral("SignPreview"));
    setWindowTitle(QStringLiteral("Sign Preview"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(
        QStringLiteral("What the sign shows after a Transfer of the window's settings:"), this);
    m_panel = new SignPanel(this);
    m_panel->setMinimumSize(m_panel->sizeHint() / 2);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("PreviewProblem"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    layout->addWidget(caption);
    layout->addWidget(m_panel, 1);
    layout->addWidget(m_problem);
    resize(m_panel->sizeHint() + QSize(24, 60));
    connect(&m_poll, &QTimer::timeout, this, &SignPreview::Refresh);
}

void SignPreview::Refresh() {
    const Result<TransferRequest> request = m_reader();
    QString problem;
    if (!request) problem = QString::fromStdString(request.error());
    std::array<std::string, 3> frames;
    for (std::size_t i = 0; request && i < frames.size(); ++i) {
        const FrameResult frame = BuildTransferFrame(*request, kTransferSteps[i]);
        if (!frame) {
            problem = QString::fromStdString(frame.error());
            break;
        }
        frames[i] = *frame;
    }
    // A request the Transfer would refuse leaves the sign as it was, as a refused Transfer does.
    m_problem->setText(problem.isEmpty() ? QString()
                                         : QStringLiteral("A Transfer now would fail: ") + problem);
    m_problem->setVisible(!problem.isEmpty());
    if (!problem.isEmpty()) return;

    // Only the frames that changed are applied, so the message keeps scrolling smoothly while
    // the clock frame follows the running time field.
    const long long now = m_panel->NowMs();
    bool changed = false;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i] == m_applied[i]) continue;
        sign::SignDecoder decoder;
        for (const char c : frames[i]) decoder.Feed(static_cast<std::uint8_t>(c), now);
        // A message whose text holds an end marker completes only when the line goes quiet.
        decoder.Flush(now + sign::SignDecoder::kIdleFlushMs);
        for (const sign::DecodedFrame& frame : decoder.TakeFrames()) m_state.Apply(frame, now);
        m_applied[i] = frames[i];
        changed = true;
    }
    if (changed) m_panel->ShowState(m_state);
}

void SignPreview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
    m_poll.start(kPollMs);
}

void SignPreview::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_poll.stop();
}

}  // namespace meridial::view
