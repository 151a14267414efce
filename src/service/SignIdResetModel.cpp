#include "service/SignIdResetModel.h"

#include "service/ResetId.h"
#include "ui/BoxTexts.h"

namespace meridial {
namespace {

// The spaces widen the box; installers know it by them.
constexpr const char* kConfirmResetId = "     Confirm to Reset ID ?     ";

Notice OpenComError(std::string details) {
    return {NoticeIcon::Plain,
            std::string(box_texts::kOpenComError),
            std::move(details),
            {NoticeButton::Ok}};
}

}  // namespace

SignIdResetModel::SignIdResetModel(SignLink& link, const PortNumberStore& port, Notices& notices)
    : m_link(link), m_port(port), m_notices(notices) {
    for (int id = kFirstResetId; id <= kLastResetId; ++id) m_items.push_back(ResetIdText(id));
}

void SignIdResetModel::Select(int index) {
    if (index >= 0 && index < static_cast<int>(m_items.size())) m_selection = index;
}

void SignIdResetModel::Ok() {
    if (m_link.IsOpen()) {
        // Nothing can be sent, so there is nothing to confirm; and a modal question now would
        // hold the transfer's pauses open.
        m_notices.Tell(OpenComError("A transfer is using the line."));
        return;
    }
    const Notice confirm{
        NoticeIcon::Question, kConfirmResetId, {}, {NoticeButton::Yes, NoticeButton::No}};
    if (m_notices.Ask(confirm) != NoticeButton::Yes) return;
    const OpenResult opened = RunResetId(m_link, m_port.PortNumber(), m_selection + kFirstResetId);
    if (!opened.ok()) m_notices.Tell(OpenComError(opened.error().detail));
}

}  // namespace meridial
