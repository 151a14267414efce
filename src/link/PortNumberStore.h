#pragma once

#include "link/Result.h"

namespace meridial {

// Where the remembered COM port lives for the run and between runs. The dialogs see only this,
// so they work the same whether a profile file, the registry or a test keeps the number.
class PortNumberStore {
public:
    virtual ~PortNumberStore() = default;

    virtual int PortNumber() const = 0;
    // Takes the port for this run and keeps it for the next; the failure is a text for the
    // operator that names where it could not be kept.
    virtual Status SetPortNumber(int portNumber) = 0;
};

}  // namespace meridial
