#include "message/EncodingRules.h"

#include <gtest/gtest.h>

namespace meridial {
namespace {

// A code page of ASCII and "é"; nothing else.
std::optional<std::string> Page(char32_t c) {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    if (c == U'\u00e9') return "\xE9";
    return std::nullopt;
}

struct EncodingCase {
    const char* name;
    std::u32string text;
    std::string bytesOrRefusal;
    int counted;
};

class EncodingRulesTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(EncodingRulesTest, BytesOrTheRefusalAndTheCount) {
    const EncodingCase& c = GetParam();
    const EncodedText encoded = EncodeCharacters(c.text, "CP1252", Page);
    EXPECT_EQ(encoded.ok() ? encoded.value() : encoded.error(), c.bytesOrRefusal);
    EXPECT_EQ(CountSignBytes(c.text, Page), c.counted);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EncodingRulesTest,
    ::testing::Values(EncodingCase{"LineBreakIsCrLf", U"A\nB", "A\r\nB", 4},
                      EncodingCase{"CrLfStaysOneBreak", U"A\r\nB", "A\r\nB", 4},
                      EncodingCase{"LoneCrIsKept", U"\u00e9\r", "\xE9\r", 2},
                      EncodingCase{
                          "FirstRefusedIsNamed", U"A\u00fc\u4e2d",
                          "The character \"\u00fc\" (U+00FC) cannot be sent: the sign's code page "
                          "CP1252 has no such character.",
                          3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CountSignBytes, WithoutAConverterEveryCharacterCountsOne) {
    EXPECT_EQ(CountSignBytes(U"\u4f60\n", {}), 3);
}

}  // namespace
}  // namespace meridial
