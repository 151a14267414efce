#pragma once

#include <optional>
#include <string>
#include <utility>

namespace meridial {

// The value of an operation that has none to give back.
struct Nothing {};

// What an operation that can fail gives back: its value, or why it failed (by default a text
// for the operator). Failures travel as values; nothing throws across the layers.
template <typename T, typename E = std::string>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}  // NOLINT: a value converts implicitly

    static Result Fail(E error) {
        Result result;
        result.m_error = std::move(error);
        return result;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return *m_value; }
    T& value() & { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    const T& operator*() const& { return *m_value; }
    const T* operator->() const { return &*m_value; }

    // Only meaningful when !ok().
    const E& error() const { return m_error; }

private:
    Result() = default;

    std::optional<T> m_value;
    E m_error{};
};

// Success or a reason.
using Status = Result<Nothing>;
inline Status Done() { return Nothing{}; }

}  // namespace meridial
