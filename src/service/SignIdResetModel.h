#pragma once

#include <string>
#include <vector>

#include "link/PortNumberStore.h"
#include "link/SignLink.h"
#include "ui/Notices.h"

namespace meridial {

// The service dialog without its widgets: the 255 new Sign IDs, the one picked, and the reset
// behind "OK". The dialog is only hidden between showings, so the pick lasts the run.
class SignIdResetModel {
public:
    // The port is read from the store at each reset: SetCom may change it meanwhile.
    SignIdResetModel(SignLink& link, const PortNumberStore& port, Notices& notices);

    // "01".."FF".
    const std::vector<std::string>& Items() const { return m_items; }
    // Always one of the items; the first at the start.
    int Selection() const { return m_selection; }

    // An index outside the list is ignored: there is no reset without an id.
    void Select(int index);

    // Asks for confirmation, then writes the reset frame to whatever sign is on the line. Refused
    // without a question while a transfer holds the line.
    void Ok();

private:
    SignLink& m_link;
    const PortNumberStore& m_port;
    Notices& m_notices;
    std::vector<std::string> m_items;
    int m_selection = 0;
};

}  // namespace meridial
