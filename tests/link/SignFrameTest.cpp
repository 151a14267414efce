#include "link/SignFrame.h"
#include "link/TelnetCodec.h"

#include <gtest/gtest.h>

#include "support/FakeSignLink.h"

namespace meridial {
namespace {

using testing::Bytes;
using testing::FakeSignLink;

TEST(AddressTag, TwoDecimalDigits) {
    EXPECT_EQ(AddressTag(0), "<ID00>");
    EXPECT_EQ(AddressTag(7), "<ID07>");
    EXPECT_EQ(AddressTag(99), "<ID99>");
}

TEST(PackedBcd, TensInHighNibble) {
    EXPECT_EQ(PackedBcd(7), 0x07);
    EXPECT_EQ(PackedBcd(23), 0x23);
    EXPECT_EQ(PackedBcd(2010 % 100), 0x10);
    EXPECT_EQ(PackedBcd(99), 0x99);
}

TEST(SendFramePaced, PausesOnceBeforeTheEleventhByte) {
    FakeSignLink link;
    ASSERT_TRUE(link.OpenPort(1, kBaudRate).ok());
    const std::string frame = "<ID01><SS>" + Bytes({0x00, 0x13, 0x11}) + "<E>";
    SendFramePaced(link, frame);
    ASSERT_EQ(link.WrittenBytes(), frame);  // 0x00, XOFF and XON pass unchanged
    const auto& w = link.Writes();
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(w[i].timeMs, 0) << i;
    for (std::size_t i = 10; i < w.size(); ++i) EXPECT_EQ(w[i].timeMs, 100) << i;
}

TEST(SendFramePaced, ShortFramesAreNotPausedAndElevenBytesPauseBeforeTheLast) {
    FakeSignLink ten;
    ASSERT_TRUE(ten.OpenPort(1, kBaudRate).ok());
    SendFramePaced(ten, "0123456789");
    EXPECT_EQ(ten.Now(), 0);

    FakeSignLink eleven;
    ASSERT_TRUE(eleven.OpenPort(1, kBaudRate).ok());
    SendFramePaced(eleven, "0123456789A");
    EXPECT_EQ(eleven.Writes().at(9).timeMs, 0);
    EXPECT_EQ(eleven.Writes().at(10).timeMs, 100);
}

struct AckCase {
    const char* name;
    std::string reply;
    bool acknowledged;
    int reads;            // ReadByte calls made
    long long elapsedMs;  // virtual time spent waiting
};

class WaitForAckTest : public ::testing::TestWithParam<AckCase> {};

TEST_P(WaitForAckTest, JudgesTheReply) {
    const AckCase& c = GetParam();
    FakeSignLink link;
    ASSERT_TRUE(link.OpenPort(1, kBaudRate).ok());
    link.ReplyWith(c.reply);
    EXPECT_EQ(WaitForAck(link), c.acknowledged);
    EXPECT_EQ(link.ReadCount(), c.reads);
    EXPECT_EQ(link.Now(), c.elapsedMs);
}

INSTANTIATE_TEST_SUITE_P(Replies, WaitForAckTest,
                         ::testing::Values(AckCase{"Ack", "ACK", true, 3, 0},
                                           AckCase{"AckWithMoreBytes", "ACKACK", true, 3, 0},
                                           AckCase{"NegativeReadWhole", "NAK!", false, 4, 0},
                                           AckCase{"NegativeWithAckAfter", "NAKxACK", false, 4, 0},
                                           AckCase{"Partial", "AC", false, 3, 1100},
                                           AckCase{"Silence", "", false, 3, 3300},
                                           AckCase{"LowerCase", "ack", false, 3, 0},
                                           AckCase{"ZeroFirst", Bytes({0, 'C', 'K'}), false, 3, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WaitForAck, ReplyArrivingLateWithinTheTimeOutCounts) {
    FakeSignLink link;
    ASSERT_TRUE(link.OpenPort(1, kBaudRate).ok());
    link.ReplyWith("ACK", 900);
    EXPECT_TRUE(WaitForAck(link));
    EXPECT_EQ(link.Now(), 900);
}

TEST(HexBytes, UpperCaseSpaceSeparated) {
    EXPECT_EQ(HexBytes(Bytes({0x3C, 0x00, 0xAB})), "3C 00 AB");
    EXPECT_EQ(HexBytes(""), "");
}

// A device server's Telnet stream: the sign's bytes come out, negotiation is answered once, and
// 0xFF travels doubled.
TEST(TelnetCodec, SplitsTheSignsBytesFromNegotiation) {
    constexpr char I = static_cast<char>(TelnetCodec::kIac);
    const std::string will = {I, static_cast<char>(TelnetCodec::kWill)};
    const std::string doo = {I, static_cast<char>(TelnetCodec::kDo)};
    struct Row {
        std::string in;
        std::string data;
        std::string reply;
    };
    const Row rows[] = {
        {"ACK", "ACK", ""},
        {std::string{I, I} + "A",
         "\xFF"
         "A",
         ""},
        {doo + static_cast<char>(TelnetCodec::kComPortOption) + "ACK", "ACK", ""},  // asked already
        {will + '\x01' + "AC", "AC", std::string{I, static_cast<char>(TelnetCodec::kDont), 1}},
        {doo + '\x18', "", std::string{I, static_cast<char>(TelnetCodec::kWont), 0x18}},
        {std::string{I, static_cast<char>(TelnetCodec::kSb), 44, 101, 0, 0, 0x25,
                     static_cast<char>(0x80), I, static_cast<char>(TelnetCodec::kSe)} +
             "OK",
         "OK", ""},
        {std::string{I, static_cast<char>(241)} + "K", "K", ""},  // NOP
    };
    for (const Row& row : rows) {
        TelnetCodec codec;
        (void)codec.Greeting(9600);
        std::string data, reply;
        // Byte by byte: a sequence split between two reads decodes the same.
        for (char c : row.in) codec.Decode(std::string_view(&c, 1), data, reply);
        EXPECT_EQ(HexBytes(data), HexBytes(row.data)) << HexBytes(row.in);
        EXPECT_EQ(HexBytes(reply), HexBytes(row.reply)) << HexBytes(row.in);
    }
    EXPECT_EQ(TelnetCodec::EncodeData(0xFF), std::string(2, I));
    EXPECT_EQ(TelnetCodec::EncodeData(0x0D), "\r");
    TelnetCodec codec;
    const std::string greeting = HexBytes(codec.Greeting(9600));
    // 9600 8N1 and no flow control, each as a COM-PORT-OPTION subnegotiation.
    for (const char* setting :
         {"FF FA 2C 01 00 00 25 80 FF F0", "FF FA 2C 02 08 FF F0", "FF FA 2C 03 01 FF F0",
          "FF FA 2C 04 01 FF F0", "FF FA 2C 05 01 FF F0", "FF FB 00", "FF FD 00", "FF FB 2C"})
        EXPECT_NE(greeting.find(setting), std::string::npos) << setting << " in " << greeting;
}

}  // namespace
}  // namespace meridial
