#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace meridial {

// The syntax shared by the settings file and the signs file, read from bytes so that any front
// end can use it. Every line is one of: blank; a comment (";" or "#" as its first non-blank
// character); a section header "[name]"; an entry "key=value". Lines end in CR LF, LF or CR,
// mixed as they come; a UTF-8 BOM before the first line is skipped.
//
// A value is every byte after the first "=" to the end of the line, blanks (space, tab) trimmed
// at both ends. A value that starts with '"' runs to the last '"' of the line and keeps the
// blanks inside; a '"' at the start with no other one after it is an error for that line only.
// There are no escapes: "C:\temp\new" is eleven characters.
struct ProfileSyntax {
    // " ; note" after a value (or a header) is a comment, as hand-edited settings files have it.
    // Off, ";" belongs to the value.
    bool trailingComments = false;
};

struct ProfileEntry {
    std::string key;  // trimmed, as written
    std::string value;
    int line = 0;                // 1-based
    std::size_t valueBegin = 0;  // the value's bytes in the file (inside any quotes)
    std::size_t valueEnd = 0;
};

struct ProfileSection {
    std::string name;  // trimmed, as written
    int line = 0;
    std::size_t next = 0;        // where the line after the header starts
    bool headerEndsLine = true;  // false: the header is the file's last bytes, without line end
    // False when the header could not be read ("[Sign" without "]"): the name is a guess, and
    // the entries under it belong to no section a reader may use.
    bool usable = true;
    std::vector<ProfileEntry> entries;
};

struct ProfileProblem {
    int line = 0;
    std::string text;  // "'[Sign' has no closing ']'"
};

struct ProfileFile {
    std::vector<ProfileEntry> loose;       // entries before the first header
    std::vector<ProfileSection> sections;  // in file order, duplicates as they come
    std::vector<ProfileProblem> problems;  // lines that are none of the kinds above
    std::string lineEnd = "\n";            // the file's first line end, for lines a writer adds
};

ProfileFile ParseProfile(std::string_view bytes, ProfileSyntax syntax = {});

// Part of a line as a message may quote it: at most 40 bytes, control characters shown as '?',
// so that a hostile file cannot write to the terminal.
std::string ProfileExcerpt(std::string_view text);

// Equal but for ASCII case.
bool SameName(std::string_view a, std::string_view b);

}  // namespace meridial
