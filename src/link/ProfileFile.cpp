#include "link/ProfileFile.h"

#include <algorithm>

namespace meridial {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// The bytes between begin and end without blanks at either end.
std::pair<std::size_t, std::size_t> Trimmed(std::string_view text, std::size_t begin,
                                            std::size_t end) {
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return {begin, end};
}

// Where a " ; note" starts in [begin, end), else end. The ';' must follow a blank so that a
// value such as "a;b" stays whole.
std::size_t CommentStart(std::string_view text, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
        if (text[i] == ';' && (i == begin || IsBlank(text[i - 1]))) return i;
    return end;
}

std::string Excerpt(std::string_view text) { return ProfileExcerpt(text); }

}  // namespace

std::string ProfileExcerpt(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    std::string out(text.substr(0, kLongest));
    std::replace_if(out.begin(), out.end(), IsControl, '?');
    if (text.size() > kLongest) out += "...";
    return out;
}

bool SameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

ProfileFile ParseProfile(std::string_view bytes, ProfileSyntax syntax) {
    ProfileFile file;
    bool lineEndSeen = false;
    std::size_t start = bytes.substr(0, kBom.size()) == kBom ? kBom.size() : 0;
    for (int line = 1; start < bytes.size(); ++line) {
        std::size_t end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
        std::size_t next = end;
        if (next < bytes.size()) next += bytes.compare(next, 2, "\r\n") == 0 ? 2 : 1;
        if (!lineEndSeen && next > end) {
            file.lineEnd = std::string(bytes.substr(end, next - end));
            lineEndSeen = true;
        }
        const auto [begin, last] = Trimmed(bytes, start, end);
        const std::string_view text = bytes.substr(begin, last - begin);
        start = next;
        if (text.empty() || text.front() == ';' || text.front() == '#') continue;

        auto problem = [&](std::string what) { file.problems.push_back({line, std::move(what)}); };
        if (text.front() == '[') {
            ProfileSection section;
            section.line = line;
            section.next = next;
            section.headerEndsLine = next > end;
            const std::size_t close = text.find(']');
            const auto [nameBegin, nameEnd] =
                Trimmed(text, 1, close == std::string_view::npos ? text.size() : close);
            section.name = std::string(text.substr(nameBegin, nameEnd - nameBegin));
            std::string_view after =
                close == std::string_view::npos ? std::string_view() : text.substr(close + 1);
            if (syntax.trailingComments)
                after = after.substr(0, CommentStart(after, 0, after.size()));
            const auto [afterBegin, afterEnd] = Trimmed(after, 0, after.size());
            if (close == std::string_view::npos)
                problem("'" + Excerpt(text) + "' has no closing ']'");
            else if (afterBegin != afterEnd)
                problem("'" + Excerpt(text) + "': text after the section's ']'");
            else if (section.name.empty())
                problem("'" + Excerpt(text) + "': a section needs a name");
            else if (std::any_of(section.name.begin(), section.name.end(), IsControl))
                problem("'" + Excerpt(text) + "': a control character in the section's name");
            section.usable = file.problems.empty() || file.problems.back().line != line;
            file.sections.push_back(std::move(section));
            continue;
        }

        const std::size_t equals = bytes.find('=', begin);
        if (equals >= last) {
            problem("'" + Excerpt(text) + "' is neither key=value, [section] nor a comment");
            continue;
        }
        ProfileEntry entry;
        entry.line = line;
        const auto [keyBegin, keyEnd] = Trimmed(bytes, begin, equals);
        entry.key = std::string(bytes.substr(keyBegin, keyEnd - keyBegin));
        if (entry.key.empty()) {
            problem("'" + Excerpt(text) + "': no key before '='");
            continue;
        }
        auto [valueBegin, valueEnd] = Trimmed(bytes, equals + 1, last);
        if (valueBegin < valueEnd && bytes[valueBegin] == '"') {
            // The closing quote is the last one the line has before any trailing comment.
            std::size_t close = std::string_view::npos;
            for (std::size_t i = valueEnd; i-- > valueBegin + 1;) {
                if (bytes[i] != '"') continue;
                const auto [restBegin, restEnd] = Trimmed(bytes, i + 1, valueEnd);
                if (restBegin == restEnd || (syntax.trailingComments && bytes[restBegin] == ';')) {
                    close = i;
                    break;
                }
            }
            if (close == std::string_view::npos) {
                problem("'" + Excerpt(text) + "': the value's opening '\"' is never closed");
                continue;
            }
            valueBegin += 1;
            valueEnd = close;
        } else if (syntax.trailingComments) {
            valueEnd = Trimmed(bytes, valueBegin, CommentStart(bytes, valueBegin, valueEnd)).second;
        }
        entry.valueBegin = valueBegin;
        entry.valueEnd = valueEnd;
        entry.value = std::string(bytes.substr(valueBegin, valueEnd - valueBegin));
        (file.sections.empty() ? file.loose : file.sections.back().entries)
            .push_back(std::move(entry));
    }
    return file;
}

}  // namespace meridial
