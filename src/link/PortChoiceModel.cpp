#include "link/PortChoiceModel.h"

#include "link/LinkTarget.h"

namespace meridial {

PortChoiceModel::PortChoiceModel(PortNumberStore& store, Notices& notices)
    : m_store(store), m_notices(notices) {
    for (int port = kFirstPortNumber; port <= kLastPortNumber; ++port)
        m_items.push_back(PortName(port));
    Select(m_store.PortNumber() - kFirstPortNumber);
}

void PortChoiceModel::Select(int index) {
    if (index >= 0 && index < static_cast<int>(m_items.size()))
        m_selection = index;
    else
        m_selection.reset();
}

bool PortChoiceModel::Ok() {
    const int port = m_selection ? *m_selection + kFirstPortNumber : 0;
    const Status stored = m_store.SetPortNumber(port);
    if (stored) return true;
    m_notices.Tell({NoticeIcon::Error, stored.error(), {}, {NoticeButton::Ok}});
    return false;
}

std::vector<std::string> PortChoiceModel::DeviceHints(const PortDeviceLookup& lookup) const {
    std::vector<std::string> hints;
    for (int i = 0; i < static_cast<int>(m_items.size()); ++i) {
        const PortDevice device = lookup(i + kFirstPortNumber);
        hints.push_back(device.device + (device.present ? " (present)" : " (missing)"));
    }
    return hints;
}

}  // namespace meridial
