#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace meridial {

// The code page the settings file names ("936", "cp936", "windows-1252"; GBK, BIG5 and
// SHIFT_JIS by name); the system's ANSI code page when the text is empty. nullopt for any other
// text.
std::optional<unsigned> CodePageNumber(std::string_view configured);

// "CP936" for 936, as the operator's messages name a code page.
std::string CodePageName(unsigned codePage);

enum class CodePageFit {
    Plain,     // one or two bytes a character, ASCII as itself: what the sign takes
    Unknown,   // the system has no such code page
    NotPlain,  // UTF-8, UTF-7, GB18030, the ISO-2022 and EBCDIC pages
};

CodePageFit CheckCodePage(unsigned codePage);

// One character in a plain code page through WideCharToMultiByte, or nullopt when the page has
// no such character: never a look-alike ("a" for "ā") or the default "?". The shape of the
// message encoder's character converter.
std::optional<std::string> ToCodePage(char32_t character, unsigned codePage);

// A window's UTF-16 text as code points; an unpaired surrogate stays a code point of its own,
// which no code page holds.
std::u32string CodePoints(std::wstring_view text);

}  // namespace meridial
