#include "win32/Win32MessageEncoder.h"

#include "message/EncodingRules.h"
#include "win32/Win32TextEncoding.h"
#include "win32/WideText.h"

namespace meridial {
namespace {

struct SignCodePage {
    unsigned number = 0;
    std::string error;  // empty when the page can be used
};

SignCodePage Resolve(const Win32Settings& settings) {
    const std::string configured = settings.CodePage();
    const std::optional<unsigned> number = CodePageNumber(configured);
    const std::string name = number ? CodePageName(*number) : configured;
    const CodePageFit fit = number ? CheckCodePage(*number) : CodePageFit::Unknown;
    if (fit == CodePageFit::Unknown)
        return {0, "The code page " + name + " is not known on this system."};
    if (fit == CodePageFit::NotPlain)
        return {0, "The code page " + name +
                       " cannot be used: the sign takes a plain single- or double-byte code "
                       "page, without suffixes."};
    return {*number, {}};
}

CharacterConverter Characters(unsigned codePage) {
    return [codePage](char32_t c) { return ToCodePage(c, codePage); };
}

}  // namespace

MessageEncoder Win32MessageEncoder(const Win32Settings& settings) {
    const Win32Settings* file = &settings;
    return {[file](std::string_view utf8) -> Result<std::string> {
                const SignCodePage page = Resolve(*file);
                if (!page.error.empty()) return Result<std::string>::Fail(page.error);
                return EncodeCharacters(CodePoints(Widen(utf8)), CodePageName(page.number),
                                        Characters(page.number));
            },
            [file](std::string_view utf8) {
                const SignCodePage page = Resolve(*file);
                return CountSignBytes(CodePoints(Widen(utf8)), page.error.empty()
                                                                   ? Characters(page.number)
                                                                   : CharacterConverter{});
            }};
}

}  // namespace meridial
