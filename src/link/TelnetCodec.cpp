#include "link/TelnetCodec.h"

namespace meridial {
namespace {

// COM port control subcommands, client to server.
constexpr std::uint8_t kSetBaudRate = 1;
constexpr std::uint8_t kSetDataSize = 2;
constexpr std::uint8_t kSetParity = 3;
constexpr std::uint8_t kSetStopSize = 4;
constexpr std::uint8_t kSetControl = 5;
constexpr std::uint8_t kParityNone = 1;
constexpr std::uint8_t kOneStopBit = 1;
constexpr std::uint8_t kNoFlowControl = 1;

bool WantHere(std::uint8_t option) {
    return option == TelnetCodec::kBinary || option == TelnetCodec::kSuppressGoAhead ||
           option == TelnetCodec::kComPortOption;
}

bool WantThere(std::uint8_t option) {
    return option == TelnetCodec::kBinary || option == TelnetCodec::kSuppressGoAhead;
}

std::string Command(std::uint8_t command, std::uint8_t option) {
    return {static_cast<char>(TelnetCodec::kIac), static_cast<char>(command),
            static_cast<char>(option)};
}

std::string SubNegotiation(std::uint8_t subcommand, std::string_view value) {
    std::string out = {static_cast<char>(TelnetCodec::kIac), static_cast<char>(TelnetCodec::kSb),
                       static_cast<char>(TelnetCodec::kComPortOption),
                       static_cast<char>(subcommand)};
    for (char c : value) out += TelnetCodec::EncodeData(static_cast<std::uint8_t>(c));
    out += static_cast<char>(TelnetCodec::kIac);
    out += static_cast<char>(TelnetCodec::kSe);
    return out;
}

}  // namespace

std::string TelnetCodec::Greeting(int baudRate) {
    std::string out;
    for (std::uint8_t option : {kBinary, kSuppressGoAhead, kComPortOption}) {
        out += Command(kWill, option);
        m_willSent.insert(option);
    }
    for (std::uint8_t option : {kBinary, kSuppressGoAhead}) {
        out += Command(kDo, option);
        m_doSent.insert(option);
    }
    const auto rate = static_cast<std::uint32_t>(baudRate);
    out += SubNegotiation(kSetBaudRate,
                          std::string{static_cast<char>(rate >> 24), static_cast<char>(rate >> 16),
                                      static_cast<char>(rate >> 8), static_cast<char>(rate)});
    out += SubNegotiation(kSetDataSize, std::string(1, static_cast<char>(8)));
    out += SubNegotiation(kSetParity, std::string(1, static_cast<char>(kParityNone)));
    out += SubNegotiation(kSetStopSize, std::string(1, static_cast<char>(kOneStopBit)));
    out += SubNegotiation(kSetControl, std::string(1, static_cast<char>(kNoFlowControl)));
    return out;
}

std::string TelnetCodec::EncodeData(std::uint8_t byte) {
    return byte == kIac ? std::string(2, static_cast<char>(kIac))
                        : std::string(1, static_cast<char>(byte));
}

void TelnetCodec::Decode(std::string_view bytes, std::string& data, std::string& reply) {
    for (char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        switch (m_state) {
            case State::Data:
                if (b == kIac)
                    m_state = State::Iac;
                else
                    data += c;
                break;
            case State::Iac:
                if (b == kIac) {
                    data += c;
                    m_state = State::Data;
                } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                    m_command = b;
                    m_state = State::Option;
                } else {
                    // NOP, go-ahead and the like carry nothing for the sign's stream.
                    m_state = b == kSb ? State::Sub : State::Data;
                }
                break;
            case State::Option:
                Negotiate(m_command, b, reply);
                m_state = State::Data;
                break;
            case State::Sub:
                // The server's answers to the line settings and its notifications: not needed.
                if (b == kIac) m_state = State::SubIac;
                break;
            case State::SubIac:
                m_state = b == kSe ? State::Data : State::Sub;
                break;
        }
    }
}

void TelnetCodec::Negotiate(std::uint8_t command, std::uint8_t option, std::string& reply) {
    // Each option is answered once per side, so two agreeable ends never loop.
    if (command == kDo || command == kDont) {
        if (!m_willSent.insert(option).second) return;
        reply += Command(command == kDo && WantHere(option) ? kWill : kWont, option);
    } else {
        if (!m_doSent.insert(option).second) return;
        reply += Command(command == kWill && WantThere(option) ? kDo : kDont, option);
    }
}

}  // namespace meridial
