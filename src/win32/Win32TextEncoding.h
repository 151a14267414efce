#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/Result.h"

namespace meridial {

// Why a text cannot become the sign's bytes; the front end words it for the operator.
struct EncodingRefusal {
    enum class Kind {
        UnknownCodePage,   // the system has no such code page
        NotPlainCodePage,  // not a single- or double-byte page with ASCII as itself (UTF-8, ...)
        Unencodable,       // the code page has no such character
    };
    Kind kind = Kind::UnknownCodePage;
    std::string codePage;    // "CP936", or the name as the settings file writes it
    char32_t character = 0;  // Unencodable: the first character refused
};

using SignBytes = Result<std::string, EncodingRefusal>;

// The code page the settings file names ("936", "cp936", "windows-1252"; GBK, BIG5 and
// SHIFT_JIS by name); the system's ANSI code page when the text is empty. nullopt for any other
// text.
std::optional<unsigned> CodePageNumber(std::string_view configured);

// "CP936" for 936.
std::string CodePageName(unsigned codePage);

// The text as the sign's bytes, every line break (CR LF, a rich edit's lone CR, LF) as CR LF.
// Nothing is ever replaced by a look-alike or "?": a character the code page cannot hold stops
// the encoding, and nothing partial is returned then.
SignBytes EncodeForSign(std::wstring_view text, unsigned codePage);

// Length in sign bytes as the editor counts it; a character that cannot be encoded counts one.
int EncodedLength(std::wstring_view text, unsigned codePage);

}  // namespace meridial
