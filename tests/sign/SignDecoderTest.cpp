#include "sign/SignDecoder.h"

#include <gtest/gtest.h>

#include "support/Formats.h"

#include <random>

#include "clock/ClockFrame.h"
#include "message/MessageFrame.h"
#include "service/ResetId.h"
#include "sign/SignState.h"
#include "zone/ZoneFrame.h"

namespace meridial::sign {
namespace {

struct Line {
    SignDecoder decoder;
    long long now = 0;

    void Send(const std::string& bytes, int gapMs = 1) {
        for (char c : bytes) {
            decoder.Feed(static_cast<std::uint8_t>(c), now);
            now += gapMs;
        }
    }
    std::vector<DecodedFrame> Quiet() {
        now += SignDecoder::kIdleFlushMs;
        decoder.Flush(now);
        return decoder.TakeFrames();
    }
};

const std::string kClock = BuildClockFrame(1, {2010, 3, 1}, "05:30:15", {-480, false}).value();
const std::string kZone =
    BuildZoneFrame(1, 16, {"2010", 3, 28, 2}, {"2010", 10, 31, 3}, testing::Formats(1, 1, 2))
        .value();

TEST(SignDecoder, DecodesATransferAsTheProgramBuildsIt) {
    Line line;
    line.Send(kClock + kZone + BuildMessageFrame(1, 4, "HELLO").value());
    const auto frames = line.decoder.TakeFrames();
    ASSERT_EQ(frames.size(), 3u);
    for (const auto& f : frames) {
        EXPECT_TRUE(f.faults.empty()) << f.faults.front();
        EXPECT_EQ(f.signId, 1);
        EXPECT_EQ(f.checksumOk, true);
    }
    const ClockContent& c = frames[0].clock;
    EXPECT_EQ(frames[0].kind, FrameKind::Clock);
    EXPECT_EQ((std::array{c.year, c.month, c.day, c.hour, c.minute, c.second, c.weekday}),
              (std::array{2010, 2, 28, 21, 30, 15, 2}));
    const ZoneContent& z = frames[1].zone;
    EXPECT_EQ(frames[1].kind, FrameKind::Zone);
    EXPECT_EQ((std::array{z.start.hour, z.start.day, z.start.month, z.end.hour, z.end.day}),
              (std::array{1, 28, 3, 2, 31}));
    EXPECT_TRUE(z.east);
    EXPECT_TRUE(z.twelveHour);
    EXPECT_TRUE(z.numericDate);
    EXPECT_EQ(z.dateOrder, 2);
    EXPECT_EQ(frames[2].kind, FrameKind::Message);
    EXPECT_EQ(frames[2].message.speed, 'A');
    EXPECT_EQ(frames[2].message.body, "HELLO");
    EXPECT_EQ(frames[0].byte11Ms, 10);
}

TEST(SignDecoder, MessageBodyMayHoldFrameMarkers) {
    Line line;
    const std::string text = "a<E>b<ID02><SS>c";
    line.Send(BuildMessageFrame(3, 2, text).value());
    const auto frames = line.decoder.TakeFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].message.body, text);
}

TEST(SignDecoder, ResetFrame) {
    Line line;
    line.Send(BuildResetFrame(0x0A));
    const auto frames = line.decoder.TakeFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, FrameKind::Reset);
    EXPECT_EQ(frames[0].newId, 0x0A);
}

TEST(SignDecoder, FaultsAreReportedAndDecodingResumes) {
    Line line;
    std::string badChecksum = kClock;
    badChecksum[17] ^= 0x01;
    std::string notBcd = kZone;
    notBcd[10] = 0x2A;  // hour 2A
    notBcd[22] ^= 0x2A ^ 0x01;
    std::string shortClock = kClock;
    shortClock.erase(12, 1);
    line.Send("xx" + badChecksum + notBcd + shortClock + "<ID01><QQ>" + kClock);
    auto frames = line.decoder.TakeFrames();
    auto more = line.Quiet();
    frames.insert(frames.end(), more.begin(), more.end());
    std::vector<std::string> seen;
    for (const auto& f : frames)
        seen.push_back(KindName(f.kind) + std::string(f.faults.empty() ? "" : "!"));
    EXPECT_EQ(seen, (std::vector<std::string>{"invalid!", "clock!", "zone!", "invalid!", "invalid!",
                                              "clock"}));
    EXPECT_NE(frames[2].faults.at(0).find("not packed BCD"), std::string::npos);
    EXPECT_NE(frames[3].faults.at(0).find("wrong length"), std::string::npos);
    EXPECT_NE(frames[4].faults.at(0).find("unknown command"), std::string::npos);
}

TEST(SignDecoder, BadMessageChecksumIsReportedWhenTheLineGoesQuiet) {
    Line line;
    std::string frame = BuildMessageFrame(0, 2, "HELLO").value();
    frame[15] ^= 0x10;
    line.Send(frame);
    EXPECT_TRUE(line.decoder.TakeFrames().empty());
    const auto frames = line.Quiet();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, FrameKind::Message);
    EXPECT_EQ(frames[0].checksumOk, false);
    EXPECT_EQ(frames[0].message.body, "HELLO");
}

TEST(SignDecoder, ResetInsideAMessageIsStillDecoded) {
    Line line;
    const std::string message = BuildMessageFrame(0, 2, "HELLO").value();
    line.Send(message.substr(0, 12) + BuildResetFrame(0x0A) + message.substr(12));
    auto frames = line.decoder.TakeFrames();
    const auto more = line.Quiet();
    frames.insert(frames.end(), more.begin(), more.end());
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, FrameKind::Invalid);
    EXPECT_EQ(frames[1].kind, FrameKind::Reset);
    EXPECT_EQ(frames[1].newId, 0x0A);
}

TEST(SignDecoder, AnyByteStreamIsAccountedForWithinBoundedFrames) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255), pick(0, 9);
    Line line;
    std::size_t sent = 0;
    for (int chunk = 0; chunk < 400; ++chunk) {
        std::string bytes;
        switch (pick(random)) {
            case 0:
                bytes = kClock.substr(0, 15);
                break;  // cut off
            case 1:
                bytes = "<ID";
                break;
            case 2:
                bytes = BuildMessageFrame(1, 2, std::string(6000, 'x')).value();
                break;
            case 3:
                bytes = kZone;
                break;
            default:
                for (int i = 0; i < 50; ++i) bytes += static_cast<char>(byte(random));
        }
        sent += bytes.size();
        line.Send(bytes);
    }
    auto frames = line.decoder.TakeFrames();
    const auto more = line.Quiet();
    frames.insert(frames.end(), more.begin(), more.end());
    std::size_t accounted = 0;
    for (const auto& f : frames) {
        EXPECT_LE(f.bytes.size(), SignDecoder::kMaxFrameBytes + 1);
        accounted += f.bytes.size();
    }
    EXPECT_EQ(accounted, sent);
}

// The longest message the command line lets through is the longest the sign takes, and one
// byte more is already too long.
class MessageLengthTest : public ::testing::TestWithParam<std::pair<int, bool>> {};

TEST_P(MessageLengthTest, DecodedUpToTheLimit) {
    const auto [bodyBytes, decoded] = GetParam();
    Line line;
    line.Send(
        BuildMessageFrame(1, 2, std::string(static_cast<std::size_t>(bodyBytes), 'x')).value());
    auto frames = line.decoder.TakeFrames();
    const auto more = line.Quiet();
    frames.insert(frames.end(), more.begin(), more.end());
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().kind == FrameKind::Message, decoded) << bodyBytes;
}

INSTANTIATE_TEST_SUITE_P(Limit, MessageLengthTest,
                         ::testing::Values(std::pair{kMaxMessageBodyBytes, true},
                                           std::pair{kMaxMessageBodyBytes + 1, false},
                                           std::pair{kMaxMessageBodyBytes + 100, false}));

// The sign's answer to each transfer of a session: a fault counts against the transfer its
// bytes arrived in. An empty string stands for the line going quiet.
struct TransferRow {
    const char* name;
    std::vector<std::string> sends;
    std::vector<bool> clean;  // per message frame, in order
};

std::string Transfer(const std::string& body, const std::string& clock = kClock) {
    return clock + kZone + BuildMessageFrame(1, 2, body).value();
}

std::string BadClock() {
    std::string clock = kClock;
    clock[17] ^= 0x01;
    return clock;
}

void PrintTo(const TransferRow& row, std::ostream* os) { *os << row.name; }

class TransferVerdictTest : public ::testing::TestWithParam<TransferRow> {};

TEST_P(TransferVerdictTest, FaultsBelongToTheirTransfer) {
    Line line;
    SignState state;
    std::vector<bool> clean;
    auto apply = [&](const std::vector<DecodedFrame>& frames) {
        for (const auto& f : frames) {
            state.Apply(f, line.now);
            if (f.kind == FrameKind::Message) clean.push_back(state.LastTransferClean());
        }
    };
    for (const std::string& bytes : GetParam().sends) {
        if (bytes.empty()) {
            apply(line.Quiet());
        } else {
            line.Send(bytes);
            apply(line.decoder.TakeFrames());
        }
    }
    apply(line.Quiet());
    EXPECT_EQ(clean, GetParam().clean);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, TransferVerdictTest,
    ::testing::Values(
        TransferRow{"Clean", {Transfer("HI"), "", Transfer("HI")}, {true, true}},
        TransferRow{"FaultyClockFailsItsOwnTransferOnly",
                    {Transfer("HI", BadClock()), "", Transfer("HI")},
                    {false, true}},
        // "A" before "<E>" is the checksum of "A": the frame ends there and "Z", the checksum and
        // "<E>" trail it as noise.
        TransferRow{"BodyCutShortLeavesTheNextTransferClean",
                    {Transfer("AA<E>Z"), "", Transfer("HI")},
                    {true, true}},
        TransferRow{"BodyCutShortThenNextTransferAtOnce",
                    {Transfer("AA<E>Z"), Transfer("HI")},
                    {true, true}},
        TransferRow{"NoiseAfterAQuietLineFailsTheNextTransfer",
                    {Transfer("HI"), "", "xyz", Transfer("HI")},
                    {true, false}},
        // The sender was stopped inside the zone frame; the next run starts after a pause.
        TransferRow{"InterruptedTransferThenAPauseLeavesTheNextClean",
                    {kClock + kZone.substr(0, 14), "", Transfer("HI")},
                    {true}},
        TransferRow{"InterruptedTransferThenNoPauseFailsTheNext",
                    {kClock + kZone.substr(0, 14), Transfer("HI")},
                    {false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SignState, DisplaysLocalTimeInTheChosenFormats) {
    Line line;
    // 21:30:15 UTC on 28 Feb 2010; zone UTC+1 with 12-hour time, numbers, DD-MM-YY.
    line.Send(kClock + kZone + BuildMessageFrame(1, 2, "Caf\xE9").value());
    SignState state;
    for (const auto& f : line.decoder.TakeFrames()) state.Apply(f, 0);
    const auto lines = state.Display(1500);
    EXPECT_EQ(lines[0], "10:30:16 PM");
    EXPECT_EQ(lines[1], "28-02-10");
    EXPECT_EQ(lines[2], "Caf\\xE9");
}

TEST(SignState, DaylightTimeAddsAnHourAlsoAcrossTheYearEnd) {
    Line line;
    const std::string clock = BuildClockFrame(0, {2011, 1, 10}, "12:00:00", {0, false}).value();
    // New Zealand: DST from September to April, 24-hour time, letters, MM-DD-YY.
    const std::string zone =
        BuildZoneFrame(0, 36, {"2010", 9, 26, 2}, {"2011", 4, 3, 3}, testing::Formats(0, 0, 0))
            .value();
    line.Send(clock + zone);
    SignState state;
    for (const auto& f : line.decoder.TakeFrames()) state.Apply(f, 0);
    const auto lines = state.Display(0);
    EXPECT_EQ(lines[0], "01:00:00");  // 12:00 UTC + 12 h + 1 h
    EXPECT_EQ(lines[1], "TUE JAN-11-11");
}

}  // namespace
}  // namespace meridial::sign
