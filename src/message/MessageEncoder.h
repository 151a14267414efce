#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "link/Result.h"

namespace meridial {

// The sign's code page as a front end reaches it (iconv, WideCharToMultiByte): the editor's text
// in UTF-8, a line break as LF, in and out.
struct MessageEncoder {
    // The sign's bytes, a line break as CR LF; a character the code page cannot hold stops it
    // and is named in the error.
    std::function<Result<std::string>(std::string_view utf8)> encode;
    // The editor's count in sign bytes; a character that cannot be encoded counts one.
    std::function<int(std::string_view utf8)> length;
};

}  // namespace meridial
