#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

#include "link/LinkTarget.h"

namespace meridial {

// The line a target reaches, however it is written: a device by the real device behind its path
// (links such as /dev/serial/by-id/... included); a network target by the addresses its host
// resolves to and its port, so "localhost" and "127.0.0.1", a trailing '/' or the scheme's case
// make no difference. A device server's port serves one client at a time whichever protocol the
// client speaks, so tcp:// and rfc2217:// to one port are one line too. Making one resolves the
// host name, which takes as long as the system's resolver does.
class LineIdentity {
public:
    explicit LineIdentity(const LinkTarget& target);

    bool SameLine(const LineIdentity& other) const;

private:
    bool m_network = false;
    QString m_name;  // the real device; for a network target, its host as written
    int m_port = 0;
    QList<QHostAddress> m_addresses;  // empty when the host does not resolve
};

}  // namespace meridial
