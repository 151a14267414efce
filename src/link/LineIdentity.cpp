#include "link/LineIdentity.h"

#include <QHostInfo>

#include "link/SerialPlatform.h"

namespace meridial {

LineIdentity::LineIdentity(const LinkTarget& target)
    : m_network(target.IsNetwork()), m_port(target.port) {
    if (!m_network) {
        m_name = DeviceToOpen(QString::fromStdString(target.address));
        return;
    }
    m_name = QString::fromStdString(target.host);
    if (QHostAddress literal; literal.setAddress(m_name)) {
        m_addresses = {literal};
        return;
    }
    const QHostInfo info = QHostInfo::fromName(m_name);
    // A name that does not resolve fails at the open with its own message; until then it is
    // compared as written.
    if (info.error() == QHostInfo::NoError) m_addresses = info.addresses();
}

bool LineIdentity::SameLine(const LineIdentity& other) const {
    if (m_network != other.m_network || m_port != other.m_port) return false;
    if (!m_network) return m_name == other.m_name;
    if (m_addresses.isEmpty() || other.m_addresses.isEmpty())
        return m_name.compare(other.m_name, Qt::CaseInsensitive) == 0;
    // "localhost" resolves to ::1 and 127.0.0.1, and reaches a server listening on either.
    for (const QHostAddress& mine : m_addresses)
        for (const QHostAddress& theirs : other.m_addresses)
            if (mine.isEqual(theirs, QHostAddress::TolerantConversion)) return true;
    return false;
}

}  // namespace meridial
