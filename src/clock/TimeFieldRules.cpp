#include "clock/TimeFieldRules.h"

#include <algorithm>

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

bool IsColonPosition(std::size_t i) { return i == 2 || i == 5; }

// The field's shape imposed on any text: 8 characters, the colons, a blank for whatever is not a
// digit.
std::string Shaped(std::string_view text) {
    std::string shaped(kBlankTimeField);
    for (std::size_t i = 0; i < std::min(text.size(), shaped.size()); ++i)
        if (!IsColonPosition(i) && text[i] >= '0' && text[i] <= '9') shaped[i] = text[i];
    return shaped;
}

std::size_t CommonPrefix(std::string_view a, std::string_view b, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

std::size_t CommonSuffix(std::string_view a, std::string_view b, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && a[a.size() - 1 - n] == b[b.size() - 1 - n]) ++n;
    return n;
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

bool FieldAllows(std::string_view text) {
    return text.size() == kTimeFieldLength && Shaped(text) == text &&
           ApplyEntryRules(std::string(text)) == text;
}

ReshapedTimeField ReshapeTimeField(std::string_view before, std::string_view after,
                                   std::size_t cursor) {
    const std::string old = Shaped(before);
    cursor = std::min(cursor, after.size());
    // The edit is one replaced stretch. What follows the cursor is normally the untouched end of
    // the old text, which places the stretch even where the new characters equal their
    // neighbours; otherwise the longest common start and end are taken.
    const std::string_view tail = after.substr(cursor);
    std::size_t suffix = 0, prefix = 0;
    if (tail.size() <= old.size() && std::string_view(old).ends_with(tail)) {
        suffix = tail.size();
        prefix = CommonPrefix(old, after, std::min(old.size(), after.size()) - suffix);
    } else {
        prefix = CommonPrefix(old, after, std::min(old.size(), after.size()));
        suffix = CommonSuffix(old, after, std::min(old.size(), after.size()) - prefix);
    }

    std::string text = old;
    for (std::size_t i = prefix; i < old.size() - suffix; ++i)
        if (!IsColonPosition(i)) text[i] = ' ';
    std::size_t at = prefix;
    for (char c : after.substr(prefix, after.size() - suffix - prefix)) {
        if (at < text.size() && IsColonPosition(at)) {
            ++at;
            if (c == ':') continue;  // a colon typed or dropped where the field has one
        }
        if (at >= text.size()) break;
        if (c == ':') continue;
        text[at++] = c >= '0' && c <= '9' ? c : ' ';
    }
    return {text, at};
}

std::optional<std::size_t> FirstMissingDigit(std::string_view text) {
    for (std::size_t i : {1u, 3u, 4u, 6u, 7u})
        if (i >= text.size() || text[i] == ' ') return i;
    return std::nullopt;
}

}  // namespace meridial
