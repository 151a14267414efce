#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/PortNumberStore.h"
#include "ui/Notices.h"

namespace meridial {

// The device a COM port stands for on this machine, and whether it is there now.
struct PortDevice {
    std::string device;
    bool present = false;
};
using PortDeviceLookup = std::function<PortDevice(int portNumber)>;

// The COM-port dialog without its widgets: the eight ports, the one picked, and what "OK" does.
// The dialog lives for the whole run and is only hidden, so the pick outlasts a "Cancel".
class PortChoiceModel {
public:
    PortChoiceModel(PortNumberStore& store, Notices& notices);

    // "COM1".."COM8".
    const std::vector<std::string>& Items() const { return m_items; }
    // nullopt while the remembered port is none of the items.
    std::optional<int> Selection() const { return m_selection; }

    // An index outside the list clears the pick, as a list does for -1.
    void Select(int index);

    // Stores the pick (0 with none, which opens COM1). True: the dialog closes. False: the store
    // refused and the operator was told; the dialog stays open to choose again or cancel, the
    // number holding for this run all the same.
    [[nodiscard]] bool Ok();
    // The number and its file stay as they were; the pick stays for the next showing.
    void Cancel() {}

    // One hint per item, "<device> (present)" or "<device> (missing)": on some platforms
    // "COMn" says nothing about which device is behind it.
    std::vector<std::string> DeviceHints(const PortDeviceLookup& lookup) const;

private:
    PortNumberStore& m_store;
    Notices& m_notices;
    std::vector<std::string> m_items;
    std::optional<int> m_selection;
};

}  // namespace meridial
