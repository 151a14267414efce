#pragma once

#include <string_view>

// Texts of the boxes more than one window or front end shows; their spaces are part of them.
namespace meridial::box_texts {

// The boxes' caption.
inline constexpr std::string_view kProgramCaption = "Meridial";
inline constexpr std::string_view kMaxLength = " Max length is 150 chars ";
inline constexpr std::string_view kOpenComError = "Open Com Error";
inline constexpr std::string_view kNoMessage = " No message to transfer! ";

// A box's text where no box widens it: a line of the command line, a refusal in another window.
constexpr std::string_view Unpadded(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace meridial::box_texts
