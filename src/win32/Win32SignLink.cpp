#include "win32/Win32SignLink.h"

#include <windows.h>

#include <set>

#include "link/LinkTarget.h"
#include "win32/Win32Error.h"

namespace meridial {

namespace {

// The devices this program has open. Windows refuses a second open of a COM port itself, but
// Wine and some virtual-port drivers do not, and two sequences interleaving their bytes on one
// line would garble both.
std::set<std::string>& OpenDevices() {
    static std::set<std::string> devices;
    return devices;
}

// "\\.\com3" and "COM3" are one port.
std::string DeviceKey(std::string_view device) {
    if (device.starts_with("\\\\.\\")) device.remove_prefix(4);
    std::string key(device);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

}  // namespace

void WaitWithoutMessages(unsigned long maxWaitMs) { Sleep(maxWaitMs); }

void PumpWindowMessages(unsigned long maxWaitMs) {
    // MWMO_INPUTAVAILABLE: a message that was already in the queue ends the wait too.
    MsgWaitForMultipleObjectsEx(0, nullptr, maxWaitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

Win32SignLink::Win32SignLink(DeviceResolver resolver, MessagePump pump)
    : m_resolver(std::move(resolver)), m_pump(std::move(pump)) {}

Win32SignLink::~Win32SignLink() { ClosePort(); }

OpenResult Win32SignLink::OpenPort(int portNumber, int baudRate) {
    if (IsOpen())
        return OpenResult::Fail({OpenFailure::Busy, m_device + ": a sequence is using the port"});
    const int number = ClampPortNumber(portNumber);
    m_device = m_resolver ? m_resolver(number) : PortName(number);
    if (OpenDevices().contains(DeviceKey(m_device)))
        return OpenResult::Fail(
            {OpenFailure::Busy, m_device + ": another sequence of this program is using it"});
    m_lineError.clear();
    m_aborted = false;

    HANDLE handle = CreateFileA(m_device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        OpenFailure why = OpenFailure::Other;
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            why = OpenFailure::Missing;
        // Windows answers an open of a port another program holds with "access denied".
        else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            why = OpenFailure::Busy;
        return OpenResult::Fail({why, SystemErrorText(m_device, error)});
    }
    m_handle = handle;
    OpenDevices().insert(DeviceKey(m_device));

    // A device that takes the open but refuses a setting still moves bytes; the missing reply
    // tells the operator more than a refusal here would.
    SetupComm(handle, 1024, 1024);
    COMMTIMEOUTS timeouts{};
    if (GetCommTimeouts(handle, &timeouts)) {
        timeouts.ReadTotalTimeoutConstant = kReadTimeoutMs;
        SetCommTimeouts(handle, &timeouts);
    }
    DCB line{};
    line.DCBlength = sizeof line;
    if (GetCommState(handle, &line)) {
        line.BaudRate = static_cast<DWORD>(baudRate);
        line.ByteSize = 8;
        line.Parity = NOPARITY;
        line.StopBits = ONESTOPBIT;
        SetCommState(handle, &line);
    }
    return Nothing{};
}

int Win32SignLink::ReadByte(std::uint8_t& destination) {
    if (!IsOpen() || m_aborted || !m_lineError.empty()) return 0;
    std::uint8_t byte = 0;
    DWORD count = 0;
    if (!ReadFile(m_handle, &byte, 1, &count, nullptr)) {
        LineFailed(GetLastError());
        return 0;
    }
    if (count == 1) destination = byte;
    return static_cast<int>(count);
}

bool Win32SignLink::WriteByte(std::uint8_t value) {
    if (!IsOpen() || m_aborted || !m_lineError.empty()) return false;
    DWORD count = 0;
    const BOOL written = WriteFile(m_handle, &value, 1, &count, nullptr);
    if (written && count == 1) return true;
    // A write that takes nothing without an error ran into the write time-out the port keeps.
    LineFailed(written ? ERROR_TIMEOUT : GetLastError());
    return false;
}

void Win32SignLink::LineFailed(unsigned long errorCode) {
    m_lineError = SystemErrorText(m_device, errorCode);
}

void Win32SignLink::ClosePort() {
    if (!IsOpen()) return;
    CloseHandle(m_handle);
    m_handle = nullptr;
    OpenDevices().erase(DeviceKey(m_device));
}

void Win32SignLink::Delay(int milliseconds) {
    if (milliseconds <= 0) return;
    const DWORD wanted = static_cast<DWORD>(milliseconds);
    const DWORD start = GetTickCount();
    // Unsigned differences stay right across the counter's wrap after 49.7 days.
    for (DWORD elapsed = 0; elapsed < wanted && !m_aborted; elapsed = GetTickCount() - start)
        m_pump(wanted - elapsed);
}

}  // namespace meridial
