#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "link/Result.h"
#include "message/TransferRequest.h"
#include "sign/SignState.h"

class QLabel;

namespace meridial::view {

class SignPanel;

// What the sign will show after a Transfer of what the window holds now: the window's request
// goes through the same frame builders and the same decoder as a real Transfer, into a sign kept
// in memory. Nothing is sent.
class SignPreview final : public QWidget {
    Q_OBJECT
public:
    using RequestReader = std::function<Result<TransferRequest>()>;

    explicit SignPreview(RequestReader reader, QWidget* parent = nullptr);

    SignPanel* Panel() const { return m_panel; }

    // Reads the request again and applies the frames that changed since the last time.
    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    RequestReader m_reader;
    SignPanel* m_panel;
    QLabel* m_problem;
    QTimer m_poll;
    sign::SignState m_state;
    std::array<std::string, 3> m_applied;  // the frames last applied, in Transfer order
};

}  // namespace meridial::view
