#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace meridial {

// The Telnet side of a device server that speaks the COM port control option (RFC 2217): the
// bytes that set the server's line to 9600 8N1 without flow control, the sign's bytes escaped on
// the way out, and the server's stream split into the sign's bytes and negotiation on the way in.
// Binary mode is asked for both ways, so a CR in a frame travels unchanged.
class TelnetCodec {
public:
    static constexpr std::uint8_t kIac = 255;
    static constexpr std::uint8_t kDont = 254;
    static constexpr std::uint8_t kDo = 253;
    static constexpr std::uint8_t kWont = 252;
    static constexpr std::uint8_t kWill = 251;
    static constexpr std::uint8_t kSb = 250;
    static constexpr std::uint8_t kSe = 240;
    static constexpr std::uint8_t kBinary = 0;
    static constexpr std::uint8_t kSuppressGoAhead = 3;
    static constexpr std::uint8_t kComPortOption = 44;

    // What the client says first: the options it wants and the line settings.
    std::string Greeting(int baudRate);

    // One sign byte as it goes on the wire (IAC doubled).
    static std::string EncodeData(std::uint8_t byte);

    // Takes bytes from the server; the sign's bytes go to `data`, answers to negotiation to
    // `reply` (to be sent back at once).
    void Decode(std::string_view bytes, std::string& data, std::string& reply);

private:
    enum class State { Data, Iac, Option, Sub, SubIac };
    void Negotiate(std::uint8_t command, std::uint8_t option, std::string& reply);

    State m_state = State::Data;
    std::uint8_t m_command = 0;
    std::set<int> m_willSent;  // options this side said WILL or WONT to
    std::set<int> m_doSent;    // options this side said DO or DONT to
};

}  // namespace meridial
