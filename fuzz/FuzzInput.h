#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace meridial::fuzz {

// Reads values off the fuzzer's bytes; past the end everything is zero.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    int Int(int low, int high) {
        const unsigned span = static_cast<unsigned>(high - low) + 1;
        const unsigned raw = static_cast<unsigned>(Byte()) << 8 | Byte();
        return low + static_cast<int>(raw % span);
    }
    std::string Bytes(std::size_t count) {
        std::string out;
        while (count-- > 0 && m_at < m_size) out += static_cast<char>(m_data[m_at++]);
        return out;
    }
    std::string Rest() { return Bytes(m_size - m_at); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// A broken invariant: stop where the fuzzer (or the replayer) sees it.
[[noreturn]] inline void Broken(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

}  // namespace meridial::fuzz
