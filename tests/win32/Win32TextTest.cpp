#include <gtest/gtest.h>
#include <windows.h>

#include "win32/Win32TextEncoding.h"
#include "win32/Win32Zone.h"

namespace meridial {
namespace {

using Kind = EncodingRefusal::Kind;

struct EncodingCase {
    const char* name;
    const wchar_t* text;
    unsigned codePage;
    const char* bytes;  // nullptr: refused
    Kind refusal = Kind::Unencodable;
    char32_t refused = 0;
};

class Win32EncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(Win32EncodingTest, BytesOrRefusal) {
    const EncodingCase& row = GetParam();
    const SignBytes encoded = EncodeForSign(row.text, row.codePage);
    if (row.bytes) {
        ASSERT_TRUE(encoded) << static_cast<int>(encoded.error().kind);
        EXPECT_EQ(*encoded, row.bytes);
        EXPECT_EQ(EncodedLength(row.text, row.codePage), static_cast<int>(encoded->size()));
        return;
    }
    ASSERT_FALSE(encoded) << *encoded;
    EXPECT_EQ(encoded.error().kind, row.refusal);
    EXPECT_EQ(encoded.error().codePage, "CP" + std::to_string(row.codePage));
    EXPECT_EQ(static_cast<unsigned>(encoded.error().character), static_cast<unsigned>(row.refused));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Win32EncodingTest,
    ::testing::Values(
        EncodingCase{"Ascii", L"Hi ?", 1252, "Hi ?"},
        EncodingCase{"EveryLineBreakAsCrLf", L"a\nb\r\nc\rd", 1252, "a\r\nb\r\nc\r\nd"},
        EncodingCase{"WesternPage", L"caf\u00e9 \u20ac", 1252, "caf\xe9 \x80"},
        EncodingCase{"Gbk", L"\u4e2d\u6587", 936, "\xd6\xd0\xce\xc4"},
        EncodingCase{"NoBestFitLookAlike", L"x\u0101", 1252, nullptr, Kind::Unencodable, 0x101},
        EncodingCase{"ChineseInWesternPage", L"\u4e2d", 1252, nullptr, Kind::Unencodable, 0x4e2d},
        EncodingCase{"SurrogatePairWhole", L"\U0001F600", 936, nullptr, Kind::Unencodable, 0x1f600},
        EncodingCase{"Utf8NotPlain", L"a", 65001, nullptr, Kind::NotPlainCodePage},
        EncodingCase{"EbcdicNotPlain", L"a", 37, nullptr, Kind::NotPlainCodePage},
        EncodingCase{"UnknownPage", L"a", 12345, nullptr, Kind::UnknownCodePage}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Win32EncodingTest, CodePageAsTheSettingsFileWritesIt) {
    EXPECT_EQ(CodePageNumber(""), GetACP());
    EXPECT_EQ(CodePageNumber(" 936 "), 936u);
    EXPECT_EQ(CodePageNumber("cp936"), 936u);
    EXPECT_EQ(CodePageNumber("Windows-1251"), 1251u);
    EXPECT_EQ(CodePageNumber("gbk"), 936u);
    EXPECT_EQ(CodePageNumber("cp"), std::nullopt);
    EXPECT_EQ(CodePageNumber("UTF8"), std::nullopt);
}

TEST(Win32ZoneTest, StandardBiasAndDaylightFlag) {
    TIME_ZONE_INFORMATION berlin{};
    berlin.Bias = -60;
    berlin.DaylightBias = -60;
    const auto state = [](const TIME_ZONE_INFORMATION& zone, DWORD id) {
        const PcZoneState s = ZoneStateFrom(zone, id);
        return std::pair(s.bias, s.daylight);
    };
    EXPECT_EQ(state(berlin, TIME_ZONE_ID_STANDARD), std::pair(-60, false));
    EXPECT_EQ(state(berlin, TIME_ZONE_ID_DAYLIGHT), std::pair(-60, true));
    EXPECT_EQ(state(berlin, TIME_ZONE_ID_UNKNOWN), std::pair(-60, false));
    EXPECT_EQ(state(berlin, TIME_ZONE_ID_INVALID), std::pair(0, false));
    // tools/test-windows.sh runs these tests in Tokyo's zone, which keeps no daylight time.
    const PcZoneState now = PcZoneStateNow();
    if (const char* tz = std::getenv("TZ"); tz && std::string(tz) == "Asia/Tokyo") {
        EXPECT_EQ(std::pair(now.bias, now.daylight), std::pair(-540, false));
    }
}

}  // namespace
}  // namespace meridial
