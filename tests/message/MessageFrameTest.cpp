#include "message/MessageFrame.h"

#include <gtest/gtest.h>

#include <utility>

#include "link/SignFrame.h"
#include "support/FakeSignLink.h"

namespace meridial {
namespace {

using testing::Bytes;

TEST(BuildMessageFrame, HelloExample) {
    EXPECT_EQ(HexBytes(BuildMessageFrame(1, 2, "HELLO").value()),
              "3C 49 44 30 31 3E 3C 46 43 3E 48 45 4C 4C 4F 42 3C 45 3E");
}

TEST(BuildMessageFrame, SpeedLetterRunsFromEToA) {
    EXPECT_EQ(SpeedLetter(0), 'E');
    EXPECT_EQ(SpeedLetter(2), 'C');
    EXPECT_EQ(SpeedLetter(4), 'A');
    EXPECT_EQ(BuildMessageFrame(0, 4, "X").value().substr(6, 4), "<FA>");
}

TEST(BuildMessageFrame, LineBreaksAreDroppedFromTheBody) {
    const std::string frame = BuildMessageFrame(5, 2, "AB\r\nCD").value();
    EXPECT_EQ(frame, "<ID05><FC>ABCD" + Bytes({0x04}) + "<E>");
}

TEST(BuildMessageFrame, OnlyLineBreaksGiveAnEmptyBodyAndZeroChecksum) {
    EXPECT_EQ(BuildMessageFrame(0, 2, "\r\n\r\n").value(), "<ID00><FC>" + Bytes({0x00}) + "<E>");
}

TEST(BuildMessageFrame, CancellingBytesSendAZeroChecksumInsideTheFrame) {
    const std::string frame = BuildMessageFrame(0, 2, "zz").value();
    ASSERT_EQ(frame.size(), 16u);
    EXPECT_EQ(frame[12], '\0');
    EXPECT_EQ(frame.substr(13), "<E>");
}

TEST(BuildMessageFrame, AngleBracketsAndHighBytesPassAsPlainText) {
    const std::string text = "<E>" + Bytes({0xC4, 0xE3});
    const std::string frame = BuildMessageFrame(0, 2, text).value();
    EXPECT_EQ(frame.substr(10, 5), text);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[15]), MessageChecksum(text));
}

// Sent as they stand, but worth a warning: a sign may end the message at either.
class MarkerInBodyTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(MarkerInBodyTest, FirstMarkerFound) {
    const auto [body, marker] = GetParam();
    EXPECT_EQ(MarkerInBody(body), marker) << body;
}

INSTANTIATE_TEST_SUITE_P(Bodies, MarkerInBodyTest,
                         ::testing::Values(std::pair{"HELLO", ""}, std::pair{"A<E>B", "<E>"},
                                           std::pair{"A<ID07>B", "<ID"}, std::pair{"<ID<E>", "<ID"},
                                           std::pair{"<E><ID", "<E>"},
                                           std::pair{"<e> <id <E <I D", ""},
                                           std::pair{"1 < 2 > 0", ""}));

TEST(LengthLimit, TypingStopsAtTheLimit) {
    EXPECT_TRUE(AcceptsTypedCharacter(149));
    EXPECT_FALSE(AcceptsTypedCharacter(150));
    EXPECT_FALSE(IsAtLengthLimit(149));
    EXPECT_TRUE(IsAtLengthLimit(150));
    EXPECT_TRUE(IsAtLengthLimit(159));
}

}  // namespace
}  // namespace meridial
