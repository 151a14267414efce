#include "message/EncodingRules.h"

#include <array>
#include <cstdio>

namespace meridial {
namespace {

// The editor gives one LF per line break; the sign's code page text has CR LF. A CR on its own
// is a character like any other.
template <typename OnCharacter>
bool ForEachSignCharacter(std::u32string_view text, OnCharacter onCharacter) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') continue;
        if (text[i] == U'\n' && !onCharacter(U'\r')) return false;
        if (!onCharacter(text[i])) return false;
    }
    return true;
}

std::string Utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

struct LanguagePage {
    std::string_view language;
    std::string_view codePage;
};

// Windows' ANSI code page by language. Chinese and Serbian depend on more than the language.
constexpr std::array kLanguagePages{
    LanguagePage{"ja", "CP932"},  LanguagePage{"ko", "CP949"},  LanguagePage{"th", "CP874"},
    LanguagePage{"ru", "CP1251"}, LanguagePage{"uk", "CP1251"}, LanguagePage{"be", "CP1251"},
    LanguagePage{"bg", "CP1251"}, LanguagePage{"mk", "CP1251"}, LanguagePage{"kk", "CP1251"},
    LanguagePage{"ky", "CP1251"}, LanguagePage{"tt", "CP1251"}, LanguagePage{"mn", "CP1251"},
    LanguagePage{"pl", "CP1250"}, LanguagePage{"cs", "CP1250"}, LanguagePage{"sk", "CP1250"},
    LanguagePage{"hu", "CP1250"}, LanguagePage{"hr", "CP1250"}, LanguagePage{"sl", "CP1250"},
    LanguagePage{"ro", "CP1250"}, LanguagePage{"sq", "CP1250"}, LanguagePage{"bs", "CP1250"},
    LanguagePage{"el", "CP1253"}, LanguagePage{"tr", "CP1254"}, LanguagePage{"az", "CP1254"},
    LanguagePage{"he", "CP1255"}, LanguagePage{"ar", "CP1256"}, LanguagePage{"fa", "CP1256"},
    LanguagePage{"ur", "CP1256"}, LanguagePage{"et", "CP1257"}, LanguagePage{"lv", "CP1257"},
    LanguagePage{"lt", "CP1257"}, LanguagePage{"vi", "CP1258"},
};

}  // namespace

std::string CodePageForLanguage(const LocaleCodes& locale) {
    if (locale.language == "zh") {
        const bool traditional = locale.script == "Hant" || locale.territory == "TW" ||
                                 locale.territory == "HK" || locale.territory == "MO";
        return traditional ? "CP950" : "CP936";
    }
    if (locale.language == "sr") return locale.script == "Latn" ? "CP1250" : "CP1251";
    for (const LanguagePage& row : kLanguagePages)
        if (row.language == locale.language) return std::string(row.codePage);
    return "CP1252";
}

std::string RefusalText(char32_t character, std::string_view codePage) {
    char code[16];
    std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(character));
    return "The character \"" + Utf8(character) + "\" (U+" + code +
           ") cannot be sent: the sign's code page " + std::string(codePage) +
           " has no such character.";
}

EncodedText EncodeCharacters(std::u32string_view text, std::string_view codePage,
                             const CharacterConverter& convert) {
    std::string bytes;
    char32_t refused = 0;
    const bool whole = ForEachSignCharacter(text, [&](char32_t c) {
        const std::optional<std::string> converted = convert(c);
        if (!converted) {
            refused = c;
            return false;
        }
        bytes += *converted;
        return true;
    });
    if (!whole) return EncodedText::Fail(RefusalText(refused, codePage));
    return bytes;
}

int CountSignBytes(std::u32string_view text, const CharacterConverter& convert) {
    int length = 0;
    ForEachSignCharacter(text, [&](char32_t c) {
        const std::optional<std::string> converted =
            convert ? convert(c) : std::optional<std::string>{};
        length += converted ? static_cast<int>(converted->size()) : 1;
        return true;
    });
    return length;
}

}  // namespace meridial
