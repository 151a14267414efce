#include "link/SignFrame.h"
#include "link/TelnetCodec.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/AckReply.h"
#include "link/TracingSignLink.h"

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
    EXPECT_EQ(WaitForAck(link).Acknowledged(), c.acknowledged);
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
    EXPECT_TRUE(WaitForAck(link).Acknowledged());
    EXPECT_EQ(link.Now(), 900);
}

// What came back, told apart: the reason line is what a field engineer reads.
struct ReplyCase {
    const char* name;
    std::string reply;
    ReplyKind kind;
    std::string bytes;   // as kept in the diagnosis
    std::string reason;  // the one-line reason, whole
};

class AckReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(AckReplyTest, TellsWhatCameBack) {
    const ReplyCase& c = GetParam();
    FakeSignLink link;
    ASSERT_TRUE(link.OpenPort(1, kBaudRate).ok());
    link.ReplyWith(c.reply);
    const AckReply reply = WaitForAck(link);
    EXPECT_EQ(reply.kind, c.kind);
    EXPECT_EQ(reply.bytes, c.bytes);
    EXPECT_EQ(reply.Acknowledged(), c.kind == ReplyKind::Ack);
    EXPECT_EQ(DescribeReply(reply), c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, AckReplyTest,
    ::testing::Values(
        ReplyCase{"Ack", "ACK", ReplyKind::Ack, "ACK", "the sign answered \"ACK\""},
        ReplyCase{"AckWithMore", "ACKXY", ReplyKind::Ack, "ACK", "the sign answered \"ACK\""},
        ReplyCase{"Nack", "NACK", ReplyKind::Negative, "NACK",
                  "the sign answered NACK (\"NACK\"): it heard the transfer but refused a frame"},
        ReplyCase{"OtherNegative", "NAK!", ReplyKind::Negative, "NAK!",
                  "the sign answered NACK (\"NAK!\"): it heard the transfer but refused a frame"},
        ReplyCase{"ControlByteShownEscaped", "AC\x15", ReplyKind::Other, "AC\x15",
                  "the sign answered \"AC\\x15\", not \"ACK\": another device or a wrong line "
                  "speed on the port?"},
        ReplyCase{"ZeroByteIsAByte", Bytes({0, 'C', 'K'}), ReplyKind::Other, Bytes({0, 'C', 'K'}),
                  "the sign answered \"\\x00CK\", not \"ACK\": another device or a wrong line "
                  "speed on the port?"},
        ReplyCase{"LowerCase", "ack", ReplyKind::Other, "ack",
                  "the sign answered \"ack\", not \"ACK\": another device or a wrong line speed "
                  "on the port?"},
        ReplyCase{"Partial", "AC", ReplyKind::Partial, "AC",
                  "the sign sent part of an answer (\"AC\") and then nothing for 1100 ms"},
        ReplyCase{"NegativeCutShort", "NAC", ReplyKind::Partial, "NAC",
                  "the sign sent part of an answer (\"NAC\") and then nothing for 1100 ms"},
        ReplyCase{"Silence", "", ReplyKind::Silent, "",
                  "the sign stayed silent for 3 reads of 1100 ms: check the cable, the port and "
                  "the Sign ID"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EscapedBytes, QuotesAndEscapesWhatIsNotPrintable) {
    const std::vector<std::pair<std::string, std::string>> rows{
        {"", R"("")"},
        {"ACK", R"("ACK")"},
        {"\"\\", R"("\"\\")"},
        {Bytes({0x7F, 0x80, 0xFF, 0x1F}), R"("\x7F\x80\xFF\x1F")"},
    };
    for (const auto& [bytes, shown] : rows) EXPECT_EQ(EscapedBytes(bytes), shown) << shown;
    // Outside text keeps its letters, whatever the script, and loses its control characters.
    const std::vector<std::pair<std::string, std::string>> texts{
        {"caf\xC3\xA9 \xE4\xBD\xA0", "caf\xC3\xA9 \xE4\xBD\xA0"},
        {"\x1B]0;x\x07\n\x7F", R"(\x1B]0;x\x07\x0A\x7F)"},
        {"\xC2\x9B"
         "2J\xC2\xA0",
         R"(\xC2\x9B2J)"
         "\xC2\xA0"},
        {"\xFF\xC3(\xED\xA0\x80", R"(\xFF\xC3(\xED\xA0\x80)"},
    };
    for (const auto& [text, shown] : texts) EXPECT_EQ(EscapedText(text), shown) << shown;
}

TEST(TracingSignLink, ReportsEveryByteBothWaysAndPassesThemOn) {
    FakeSignLink inner;
    std::vector<std::string> lines;
    TracingSignLink link(
        inner, [&](const std::string& line) { lines.push_back(line); }, TraceDetail::Bytes);
    ASSERT_TRUE(link.OpenPort(1, kBaudRate).ok());
    inner.ReplyWith("A");
    link.WriteByte(0x3C);
    link.WriteByte(0x00);
    std::uint8_t byte = 0;
    EXPECT_EQ(link.ReadByte(byte), 1);
    EXPECT_EQ(link.ReadByte(byte), 0);
    link.ClosePort();
    EXPECT_EQ(inner.WrittenBytes(), Bytes({0x3C, 0x00}));
    const std::vector<std::string> expected{
        "open at 9600 baud",          "> 3C \"<\"", "> 00 \"\\x00\"", "< 41 \"A\"",
        "< (nothing within 1100 ms)", "closed"};
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // "[   0.000] " then the event; the clock is real, so only its shape is checked.
        ASSERT_GT(lines[i].size(), 11u);
        EXPECT_EQ(lines[i][0], '[');
        EXPECT_EQ(lines[i].substr(4, 1), "0") << lines[i];
        EXPECT_EQ(lines[i].substr(11), expected[i]);
    }
}

// By burst, on the fake link's clock: a line per frame part between pauses, at most 16 bytes,
// naming the frame, the offset in it and the pause before it; the reply on a line of its own.
TEST(TracingSignLink, GroupsEachFrameByBurst) {
    FakeSignLink inner;
    std::vector<std::string> lines;
    TracingSignLink link(
        inner, [&](const std::string& line) { lines.push_back(line); }, TraceDetail::Bursts,
        [&] { return inner.Now(); });
    link.ExpectFrames({{"clock", 15}, {"message", 31}});
    ASSERT_TRUE(link.OpenPort(1, kBaudRate).ok());
    ASSERT_TRUE(SendFramePaced(link, "<ID07><SS>\x01\x02<E>"));
    link.Delay(300);
    ASSERT_TRUE(SendFramePaced(link, "<ID07><FC>abcdefghijklmnopq\x03<E>", 16));
    inner.ReplyWith("ACK", inner.Now() + 5);
    EXPECT_TRUE(WaitForAck(link).Acknowledged());
    link.ClosePort();
    const std::vector<std::string> expected{
        "[   0.000] open at 9600 baud",
        R"([   0.000] > clock   @0    after    0 ms  3C 49 44 30 37 3E 3C 53 53 3E  "<ID07><SS>")",
        R"([   0.100] > clock   @10   after  100 ms  01 02 3C 45 3E  "\x01\x02<E>")",
        R"([   0.416] > message @0    after  316 ms  3C 49 44 30 37 3E 3C 46 43 3E  "<ID07><FC>")",
        "[   0.676] > message @10   after  116 ms  "
        R"(61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70  "abcdefghijklmnop")",
        R"([   0.932] > message @26   after   16 ms  71 03 3C 45 3E  "q\x03<E>")",
        R"([   1.001] < reply   @0    after    5 ms  41 43 4B  "ACK")",
        "[   1.001] closed"};
    EXPECT_EQ(lines, expected);
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
