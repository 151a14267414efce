#include "win32/Win32TextEncoding.h"

#include <windows.h>

#include <array>

#include "link/IntegerText.h"

namespace meridial {
namespace {

// One character (a surrogate pair whole) in the code page; nullopt when the page lacks it.
// WC_NO_BEST_FIT_CHARS keeps Windows from sending "a" for "ä" or "?" for what it cannot map.
std::optional<std::string> ConvertOne(std::wstring_view character, unsigned codePage) {
    std::array<char, 16> buffer{};
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, character.data(),
                                           static_cast<int>(character.size()), buffer.data(),
                                           static_cast<int>(buffer.size()), nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

// The sign takes one or two bytes a character with ASCII as itself. UTF-8, UTF-7, GB18030 and
// the ISO-2022 pages fail here (too wide, or they refuse the no-best-fit flag); EBCDIC pages
// fail on "A".
bool IsPlainCodePage(unsigned codePage) {
    CPINFOEXA info{};
    if (!GetCPInfoExA(codePage, 0, &info) || info.MaxCharSize > 2) return false;
    return ConvertOne(L"A", codePage) == "A";
}

template <typename OnCharacter>
void ForEachCharacter(std::wstring_view text, OnCharacter onCharacter) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t width = 1;
        if (text[i] == L'\r' || text[i] == L'\n') {
            width = text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n' ? 2 : 1;
            if (!onCharacter(std::wstring_view(L"\r\n"))) return;
        } else {
            if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]))
                width = 2;
            if (!onCharacter(text.substr(i, width))) return;
        }
        i += width;
    }
}

char32_t CodePoint(std::wstring_view character) {
    if (character.size() == 2)
        return 0x10000 + ((static_cast<char32_t>(character[0]) - 0xD800) << 10) +
               (static_cast<char32_t>(character[1]) - 0xDC00);
    return static_cast<char32_t>(character[0]);
}

}  // namespace

std::optional<unsigned> CodePageNumber(std::string_view configured) {
    std::string name(Trim(configured));
    if (name.empty()) return GetACP();
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (name == "GBK" || name == "GB2312") return 936u;
    if (name == "BIG5") return 950u;
    if (name == "SHIFT_JIS" || name == "SJIS") return 932u;
    for (std::string_view prefix : {"CP", "WINDOWS-"})
        if (name.starts_with(prefix)) name.erase(0, prefix.size());
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const std::optional<int> number = ParseDecimal(name);
    if (!number || *number <= 0 || *number > 65535) return std::nullopt;
    return static_cast<unsigned>(*number);
}

std::string CodePageName(unsigned codePage) { return "CP" + std::to_string(codePage); }

SignBytes EncodeForSign(std::wstring_view text, unsigned codePage) {
    using Kind = EncodingRefusal::Kind;
    if (!IsValidCodePage(codePage))
        return SignBytes::Fail({Kind::UnknownCodePage, CodePageName(codePage)});
    if (!IsPlainCodePage(codePage))
        return SignBytes::Fail({Kind::NotPlainCodePage, CodePageName(codePage)});
    std::string bytes;
    std::optional<char32_t> refused;
    ForEachCharacter(text, [&](std::wstring_view character) {
        const auto converted = ConvertOne(character, codePage);
        if (!converted)
            refused = CodePoint(character);
        else
            bytes += *converted;
        return converted.has_value();
    });
    if (refused) return SignBytes::Fail({Kind::Unencodable, CodePageName(codePage), *refused});
    return bytes;
}

int EncodedLength(std::wstring_view text, unsigned codePage) {
    const bool usable = IsValidCodePage(codePage) && IsPlainCodePage(codePage);
    int length = 0;
    ForEachCharacter(text, [&](std::wstring_view character) {
        const auto converted = usable ? ConvertOne(character, codePage) : std::nullopt;
        length += converted ? static_cast<int>(converted->size()) : 1;
        return true;
    });
    return length;
}

}  // namespace meridial
