// The integer rules of the settings file and the fields: never more than an int, and a number
// written back reads as itself.

#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "link/IntegerText.h"

using namespace meridial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto decimal = ParseDecimal(text);
    if (decimal && ParseDecimal(std::to_string(*decimal)) != decimal)
        fuzz::Broken("decimal does not read back");
    const int profile = ParseProfileInt(text, -7);
    if (decimal && profile != *decimal && text.find_first_of("xX") == std::string::npos)
        fuzz::Broken("profile and decimal disagree");
    NotAnIntegerMessage(text);
    return 0;
}
