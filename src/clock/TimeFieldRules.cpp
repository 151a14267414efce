#include "clock/TimeFieldRules.h"

#include "link/IntegerText.h"
#include "link/SignFrame.h"

namespace meridial {
namespace {

bool AllDigits(std::string_view s) {
    if (s.empty() || s.size() > 2) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// "h:m" or "h:m:s" with one or two digits each, hour below 24, minute and second below 60.
bool IsValidTimeOfDay(const std::string& text) {
    std::string_view rest = text;
    int limits[] = {24, 60, 60};
    int parts = 0;
    while (parts < 3) {
        const auto colon = rest.find(':');
        const std::string_view part = rest.substr(0, colon);
        if (!AllDigits(part) || std::stoi(std::string(part)) >= limits[parts]) return false;
        ++parts;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
        if (parts == 3) return false;
    }
    return parts >= 2;
}

}  // namespace

std::string TimeFieldText(int hour, int minute, int second) {
    return TwoDigits(hour) + ":" + TwoDigits(minute) + ":" + TwoDigits(second);
}

std::optional<std::string> TickTimeField(std::string_view text) {
    if (text.size() != kTimeFieldLength || !IsValidTimeOfDay(std::string(Trim(text, " "))))
        return std::nullopt;
    std::string hourText(text.substr(0, 2)), minuteText(text.substr(3, 2)),
        secondText(text.substr(6, 2));
    const auto hour = ParseDecimal(hourText), minute = ParseDecimal(minuteText),
               second = ParseDecimal(secondText);
    // Leading blanks only: " 5" is a number, "5 " is not.
    auto leadingOnly = [](const std::string& s) { return s[1] != ' '; };
    if (!hour || !minute || !second || !leadingOnly(hourText) || !leadingOnly(minuteText) ||
        !leadingOnly(secondText))
        return std::nullopt;

    if (*second + 1 < 60) {
        secondText = TwoDigits(*second + 1);
    } else {
        secondText = "00";
        if (*minute + 1 < 60) {
            minuteText = TwoDigits(*minute + 1);
        } else {
            minuteText = "00";
            hourText = *hour + 1 > 23 ? "00" : TwoDigits(*hour + 1);
        }
    }
    return hourText + ":" + minuteText + ":" + secondText;
}

std::string ApplyEntryRules(std::string text) {
    if (text.size() != kTimeFieldLength) return text;
    if (text[0] > '2') text[0] = '2';
    if (text[3] > '5') text[3] = '5';
    if (text[6] > '5') text[6] = '5';
    if (text[0] == '2' && text[1] > '3') text[1] = '3';
    return text;
}

std::optional<std::size_t> FirstMissingDigit(std::string_view text) {
    for (std::size_t i : {1u, 3u, 4u, 6u, 7u})
        if (i >= text.size() || text[i] == ' ') return i;
    return std::nullopt;
}

}  // namespace meridial
