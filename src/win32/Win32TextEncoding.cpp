#include "win32/Win32TextEncoding.h"

#include <windows.h>

#include <array>

#include "link/IntegerText.h"

namespace meridial {
namespace {

std::optional<std::string> ConvertUtf16(std::wstring_view character, unsigned codePage) {
    std::array<char, 16> buffer{};
    BOOL usedDefault = FALSE;
    // WC_NO_BEST_FIT_CHARS with lpUsedDefaultChar: whatever the page cannot hold shows up as a
    // used default, not as a silent "?" or look-alike.
    const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, character.data(),
                                           static_cast<int>(character.size()), buffer.data(),
                                           static_cast<int>(buffer.size()), nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    return std::string(buffer.data(), static_cast<std::size_t>(length));
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

CodePageFit CheckCodePage(unsigned codePage) {
    if (!IsValidCodePage(codePage)) return CodePageFit::Unknown;
    // The ISO-2022 pages and UTF-7 refuse the no-best-fit flag, and so fail on "A" too.
    CPINFOEXA info{};
    if (!GetCPInfoExA(codePage, 0, &info) || info.MaxCharSize > 2 ||
        ConvertUtf16(L"A", codePage) != "A")
        return CodePageFit::NotPlain;
    return CodePageFit::Plain;
}

std::optional<std::string> ToCodePage(char32_t character, unsigned codePage) {
    if (character >= 0x10000 && character <= 0x10FFFF) {
        const char32_t offset = character - 0x10000;
        const wchar_t pair[2] = {static_cast<wchar_t>(0xD800 + (offset >> 10)),
                                 static_cast<wchar_t>(0xDC00 + (offset & 0x3FF))};
        return ConvertUtf16(std::wstring_view(pair, 2), codePage);
    }
    if (character > 0xFFFF) return std::nullopt;
    const wchar_t single = static_cast<wchar_t>(character);
    return ConvertUtf16(std::wstring_view(&single, 1), codePage);
}

std::u32string CodePoints(std::wstring_view text) {
    std::u32string points;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) {
            points +=
                0x10000 + ((unit - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else {
            points += unit;
        }
    }
    return points;
}

}  // namespace meridial
