#include "win32/Win32Settings.h"

#include <windows.h>

#include <vector>

#include "link/IntegerText.h"
#include "link/LinkTarget.h"

namespace meridial {
namespace {

constexpr char kSignSection[] = "Sign";
constexpr char kPortKey[] = "comport";
constexpr char kCodePageKey[] = "codepage";
constexpr char kPortsSection[] = "Ports";

}  // namespace

std::string ProfilePathFor(std::string_view programPath) {
    std::string path(programPath);
    const auto folderEnd = path.find_last_of("\\/:");
    const auto dot = path.rfind('.');
    if (dot != std::string::npos && (folderEnd == std::string::npos || dot > folderEnd))
        path.erase(dot);
    return path + ".INI";
}

std::string ProgramProfilePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        // A path that fills the buffer was cut short.
        if (length < buffer.size()) return ProfilePathFor(std::string_view(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
    }
}

Win32Settings::Win32Settings(std::string path)
    : m_path(std::move(path)),
      m_portNumber(ParseProfileInt(ReadValue(kSignSection, kPortKey), kDefaultPortNumber)) {}

std::string Win32Settings::ReadValue(const char* section, const std::string& key) const {
    std::vector<char> buffer(256);
    for (;;) {
        const DWORD length =
            GetPrivateProfileStringA(section, key.c_str(), "", buffer.data(),
                                     static_cast<DWORD>(buffer.size()), m_path.c_str());
        // The value filled the buffer (and was cut): try again with more room.
        if (length + 1 < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 4);
    }
}

Status Win32Settings::SetPortNumber(int portNumber) {
    m_portNumber = portNumber;
    const std::string text = std::to_string(portNumber);
    if (!WritePrivateProfileStringA(kSignSection, kPortKey, text.c_str(), m_path.c_str()) ||
        ReadValue(kSignSection, kPortKey) != text)
        return Status::Fail("Unable to write to " + m_path);
    return Done();
}

std::string Win32Settings::DeviceForPort(int portNumber) const {
    const int number = ClampPortNumber(portNumber);
    const std::string device(Trim(ReadValue(kPortsSection, PortName(number))));
    if (device.empty()) return PortName(number);
    if (ParsePortName(device)) return "\\\\.\\" + device;
    return device;
}

std::string Win32Settings::CodePage() const {
    return std::string(Trim(ReadValue(kSignSection, kCodePageKey)));
}

}  // namespace meridial
