#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace meridial {

// The time field always holds 8 characters "hh:nn:ss"; a position without a digit is a blank.
inline constexpr std::size_t kTimeFieldLength = 8;
inline constexpr std::string_view kBlankTimeField = "  :  :  ";

// Formats a time of day as the field shows it: "09:05:03".
std::string TimeFieldText(int hour, int minute, int second);

// The field one second later, or nullopt when it holds no valid time (it is then left alone).
// Parts that no carry reaches keep their text, so a leading-blank hour stays as typed.
std::optional<std::string> TickTimeField(std::string_view text);

// After every key release: the tens of hours at most 2, the tens of minutes and of seconds at
// most 5, and an hour of 2x at most 23.
std::string ApplyEntryRules(std::string text);

// A text the field can hold once its entry rules have run: 8 characters, the two colons, a digit
// or a blank (a digit not typed) elsewhere, and nothing the rules would change. "29:00:00",
// "12:75:00" and "23:59:60" are not; " 5:30:15" and "12:  :00" are.
bool FieldAllows(std::string_view text);

struct ReshapedTimeField {
    std::string text;    // 8 characters, colons at 2 and 5, a digit or a blank elsewhere
    std::size_t cursor;  // where the edit left off
};

// The field after an edit that did not go digit by digit (delete to the end, cut, an input
// method's commit, a drop): characters the edit removed become blanks, the characters it brought
// in overwrite positions from where it began (digits only; the colons stay put), everything else
// keeps its place. `after` is the edited text with the cursor where the edit left it.
ReshapedTimeField ReshapeTimeField(std::string_view before, std::string_view after,
                                   std::size_t cursor);

// Positions (0-based) of the required digits that are still blank; the first hour digit is
// optional.
std::optional<std::size_t> FirstMissingDigit(std::string_view text);

}  // namespace meridial
