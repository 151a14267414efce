#pragma once

#include <string_view>

// Texts of the boxes more than one window or front end shows; their spaces are part of them.
namespace meridial::box_texts {

// The boxes' caption.
inline constexpr std::string_view kProgramCaption = "Meridial";
inline constexpr std::string_view kMaxLength = " Max length is 150 chars ";
inline constexpr std::string_view kOpenComError = "Open Com Error";

}  // namespace meridial::box_texts
