#pragma once

#include <functional>
#include <string>

#include "link/SignLink.h"

namespace meridial {

// The device to open for a port number already clamped to 1..8: "COM3", or what the settings
// file maps it to.
using DeviceResolver = std::function<std::string(int portNumber)>;

// Waits at most the given milliseconds, returning early when there is something to do (a window
// message); Delay calls it until its time is up.
using MessagePump = std::function<void(unsigned long maxWaitMs)>;

// Sleeps the whole time: for programs without windows.
void WaitWithoutMessages(unsigned long maxWaitMs);

// Sleeps until a message arrives or the time is up, then dispatches every pending message, so
// the windows paint, tick and take clicks while a sequence waits. A WM_QUIT is posted again for
// the program's own loop.
void PumpWindowMessages(unsigned long maxWaitMs);

// The serial line through the Win32 communications API: opened exclusively, synchronous, one byte
// per ReadFile and WriteFile. The line is set to the baud rate given, 8 data bits, no parity and
// one stop bit; a read waits at most kReadTimeoutMs. Every other setting (flow control, special
// characters, the other time-outs) stays as the port reports it.
class Win32SignLink final : public SignLink {
public:
    explicit Win32SignLink(DeviceResolver resolver = {}, MessagePump pump = WaitWithoutMessages);
    ~Win32SignLink() override;
    Win32SignLink(const Win32SignLink&) = delete;
    Win32SignLink& operator=(const Win32SignLink&) = delete;

    OpenResult OpenPort(int portNumber, int baudRate) override;
    bool IsOpen() const override { return m_handle != nullptr; }
    int ReadByte(std::uint8_t& destination) override;
    bool WriteByte(std::uint8_t value) override;
    void ClosePort() override;
    void Delay(int milliseconds) override;
    std::string LineError() const override { return m_lineError; }
    void Abort() override { m_aborted = true; }

    // The device of the last open, as opened.
    const std::string& DeviceName() const { return m_device; }

private:
    void LineFailed(unsigned long errorCode);

    DeviceResolver m_resolver;
    MessagePump m_pump;
    void* m_handle = nullptr;  // a HANDLE; null while closed
    std::string m_device;
    std::string m_lineError;
    bool m_aborted = false;
};

}  // namespace meridial
