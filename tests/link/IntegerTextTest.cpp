#include "link/IntegerText.h"
#include "link/LinkTarget.h"

#include <gtest/gtest.h>

namespace meridial {
namespace {

struct ProfileCase {
    const char* name;
    const char* text;
    int expected;
};

class ProfileIntTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileIntTest, ReadsLikeTheProfileFiles) {
    EXPECT_EQ(ParseProfileInt(GetParam().text, 1), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ProfileIntTest,
    ::testing::Values(ProfileCase{"Decimal", "4", 4}, ProfileCase{"Blanks", "  7 ", 7},
                      ProfileCase{"Negative", "-3", -3}, ProfileCase{"Hex", "0x10", 16},
                      ProfileCase{"HexUpper", "0XfF", 255}, ProfileCase{"BarePrefix", "0x", 1},
                      ProfileCase{"HexWithSign", "0x-1", 1}, ProfileCase{"Empty", "", 1},
                      ProfileCase{"Letters", "COM4", 1}, ProfileCase{"TrailingJunk", "4a", 1},
                      ProfileCase{"Overflow", "99999999999", 1}, ProfileCase{"Zero", "0", 0},
                      ProfileCase{"LeadingZeros", "08", 8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseDecimal, RejectsWhatIsNotAWholeNumber) {
    EXPECT_EQ(ParseDecimal("2012"), 2012);
    EXPECT_FALSE(ParseDecimal(""));
    EXPECT_FALSE(ParseDecimal("20 12"));
    EXPECT_FALSE(ParseDecimal("+-1"));
    EXPECT_EQ(NotAnIntegerMessage(""), "'' is not a valid integer value");
}

// COM names as the command line and the settings file write them.
TEST(ParsePortName, TakesComAndDigitsInAnyCase) {
    const std::pair<const char*, std::optional<int>> rows[] = {
        {"COM1", 1},
        {"com8", 8},
        {"Com12", 12},
        {"COM0", 0},
        {"COM", std::nullopt},
        {"COM-1", std::nullopt},
        {"COMX", std::nullopt},
        {"/dev/ttyS0", std::nullopt},
        {"COM99999999999", std::nullopt},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(ParsePortName(text), expected) << text;
    for (const auto& [number, clamped] : {std::pair{0, 1}, {1, 1}, {8, 8}, {9, 1}, {-4, 1}})
        EXPECT_EQ(ClampPortNumber(number), clamped) << number;
}

// Targets as --port and "[Ports] COMn=" write them; a bad network target says what is wrong.
TEST(ParseLinkTarget, NetworkTargetsAndDevicePaths) {
    struct Row {
        const char* text;
        LinkKind kind;
        const char* host;  // nullptr: the text is refused with this in its reason
        int port;
        const char* reason;
    };
    const Row rows[] = {
        {"/dev/ttyUSB0", LinkKind::SerialDevice, "", 0, nullptr},
        {" /dev/serial/by-id/x ", LinkKind::SerialDevice, "", 0, nullptr},
        {"tcp://10.1.2.3:4001", LinkKind::Tcp, "10.1.2.3", 4001, nullptr},
        {"TCP://sign-7.example:23/", LinkKind::Tcp, "sign-7.example", 23, nullptr},
        {"rfc2217://[::1]:2217", LinkKind::Rfc2217, "::1", 2217, nullptr},
        {"tcp://host", LinkKind::Tcp, nullptr, 0, "give the port"},
        {"tcp://host:99999", LinkKind::Tcp, nullptr, 0, "from 1 to 65535"},
        {"tcp://host:0", LinkKind::Tcp, nullptr, 0, "from 1 to 65535"},
        {"tcp://host:12ab", LinkKind::Tcp, nullptr, 0, "from 1 to 65535"},
        {"tcp://:4001", LinkKind::Tcp, nullptr, 0, "no host"},
        {"tcp://::1:4001", LinkKind::Tcp, nullptr, 0, "in brackets"},
        {"rfc2217://[::1:2217", LinkKind::Rfc2217, nullptr, 0, "closing ']'"},
        {"tcp://a b:1", LinkKind::Tcp, nullptr, 0, "no host name has"},
        {"   ", LinkKind::SerialDevice, nullptr, 0, "no device"},
    };
    for (const Row& row : rows) {
        const Result<LinkTarget> target = ParseLinkTarget(row.text);
        if (!row.host) {
            ASSERT_FALSE(target.ok()) << row.text;
            EXPECT_NE(target.error().find(row.reason), std::string::npos) << target.error();
            continue;
        }
        ASSERT_TRUE(target.ok()) << row.text << ": " << target.error();
        EXPECT_EQ(target->kind, row.kind) << row.text;
        EXPECT_EQ(target->host, row.host) << row.text;
        EXPECT_EQ(target->port, row.port) << row.text;
    }
}

}  // namespace
}  // namespace meridial
