#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "link/Result.h"

namespace meridial {

// Text in the sign's code page; a line break as CR LF.
using EncodedText = Result<std::string>;

// A locale by its ISO codes, as QLocale and GetLocaleInfoEx both give them: language "zh",
// script "Hant", territory "TW".
struct LocaleCodes {
    std::string language;
    std::string script;
    std::string territory;
};

// The ANSI code page Windows would give an operator of this locale: "CP936" for simplified
// Chinese, "CP1251" for Cyrillic languages, ... "CP1252" otherwise.
std::string CodePageForLanguage(const LocaleCodes& locale);

// One character in the sign's code page, or nothing when the page has no such character. The
// platform's converter (iconv, WideCharToMultiByte) stands behind it.
using CharacterConverter = std::function<std::optional<std::string>(char32_t)>;

// Why the character cannot go to the sign, naming it and its code point.
std::string RefusalText(char32_t character, std::string_view codePage);

// The editor's text (a line break as LF or CR LF) as the sign's bytes, line breaks as CR LF. The
// first character the converter refuses stops the encoding; nothing partial is returned then.
EncodedText EncodeCharacters(std::u32string_view text, std::string_view codePage,
                             const CharacterConverter& convert);

// Length in sign bytes as the editor counts it: a line break counts two, a character that cannot
// be encoded one, and every character one when there is no converter for the code page.
int CountSignBytes(std::u32string_view text, const CharacterConverter& convert);

}  // namespace meridial
