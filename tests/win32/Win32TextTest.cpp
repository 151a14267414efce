#include <gtest/gtest.h>
#include <windows.h>

#include "win32/Win32TextEncoding.h"
#include "win32/Win32Zone.h"

namespace meridial {
namespace {

struct CharacterCase {
    const char* name;
    char32_t character;
    unsigned codePage;
    const char* bytes;  // nullptr: the page has no such character
};

class Win32CodePageTest : public ::testing::TestWithParam<CharacterCase> {};

TEST_P(Win32CodePageTest, CharacterInCodePage) {
    const auto bytes = ToCodePage(GetParam().character, GetParam().codePage);
    EXPECT_EQ(bytes.value_or("(refused)"), GetParam().bytes ? GetParam().bytes : "(refused)");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Win32CodePageTest,
    ::testing::Values(CharacterCase{"QuestionMarkItself", U'?', 1252, "?"},
                      CharacterCase{"Western", U'\u00e9', 1252, "\xe9"},
                      CharacterCase{"Euro", U'\u20ac', 1252, "\x80"},
                      CharacterCase{"Gbk", U'\u4e2d', 936, "\xd6\xd0"},
                      CharacterCase{"NoBestFitLookAlike", U'\u0101', 1252, nullptr},
                      CharacterCase{"ChineseInWestern", U'\u4e2d', 1252, nullptr},
                      CharacterCase{"BeyondTheBmp", U'\U0001F600', 936, nullptr},
                      CharacterCase{"LoneSurrogate", 0xD800, 936, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Win32CodePageTest, WhichPagesTheSignTakes) {
    EXPECT_EQ(CheckCodePage(936), CodePageFit::Plain);
    EXPECT_EQ(CheckCodePage(65001), CodePageFit::NotPlain);  // UTF-8
    EXPECT_EQ(CheckCodePage(37), CodePageFit::NotPlain);     // EBCDIC
    EXPECT_EQ(CheckCodePage(12345), CodePageFit::Unknown);
    EXPECT_EQ(CodePageNumber(""), GetACP());
    EXPECT_EQ(CodePageNumber(" cp936 "), 936u);
    EXPECT_EQ(CodePageNumber("Windows-1251"), 1251u);
    EXPECT_EQ(CodePageNumber("gbk"), 936u);
    EXPECT_EQ(CodePageNumber("UTF8"), std::nullopt);
    EXPECT_EQ(CodePoints(L"a\U0001F600\xd800"), U"a\U0001F600\xd800");
}

TEST(Win32ZoneTest, StandardBiasAndDaylightFlag) {
    TIME_ZONE_INFORMATION berlin{};
    berlin.Bias = -60;
    const auto state = [](const TIME_ZONE_INFORMATION& zone, DWORD id) {
        const PcZoneState s = ZoneStateFrom(zone, id);
        return std::pair(s.bias, s.daylight);
    };
    EXPECT_EQ(state(berlin, TIME_ZONE_ID_STANDARD), std::pair(-60, false));
    EXPECT_EQ(state(berlin, TIME_ZONE_ID_DAYLIGHT), std::pair(-60, true));
    EXPECT_EQ(state(berlin, TIME_ZONE_ID_INVALID), std::pair(0, false));
    // tools/test-windows.sh runs these tests in Tokyo's zone, which keeps no daylight time.
    if (const char* tz = std::getenv("TZ"); tz && std::string(tz) == "Asia/Tokyo") {
        const PcZoneState now = PcZoneStateNow();
        EXPECT_EQ(std::pair(now.bias, now.daylight), std::pair(-540, false));
    }
}

}  // namespace
}  // namespace meridial
