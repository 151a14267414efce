#pragma once

#include <functional>
#include <memory>

#include "link/LinkTarget.h"
#include "link/SignLink.h"
#include "link/Waiter.h"

namespace meridial {

// The one place that knows which kind of link serves which kind of target. The link waits with
// the waiter, which outlives it.
std::unique_ptr<SignLink> MakeSignLink(const LinkTarget& target, Waiter& waiter);

// A COM port number to the target behind it (through the settings file), or why there is none.
using TargetResolver = std::function<Result<LinkTarget>(int portNumber)>;

// The program's one link: at each open it resolves the port number to a target and opens a
// link of that kind for the sequence; the close ends it. While one sequence holds it, a second
// open is refused (Busy) and the running sequence keeps its line. Every sequence waits with the
// one waiter, which outlives the link.
class PortLink final : public SignLink {
public:
    PortLink(TargetResolver resolver, Waiter& waiter);
    ~PortLink() override;

    OpenResult OpenPort(int portNumber, int baudRate) override;
    bool IsOpen() const override { return m_current != nullptr; }
    int ReadByte(std::uint8_t& destination) override;
    bool WriteByte(std::uint8_t value) override;
    void ClosePort() override;
    void Delay(int milliseconds) override;
    std::string LineError() const override;
    void Abort() override;

    // The target of the running (or last) sequence.
    const LinkTarget& Target() const { return m_target; }

private:
    TargetResolver m_resolver;
    Waiter& m_waiter;
    std::unique_ptr<SignLink> m_current;
    LinkTarget m_target;
    std::string m_lastLineError;
};

}  // namespace meridial
