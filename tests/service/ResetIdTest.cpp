#include "service/ResetId.h"

#include <gtest/gtest.h>

#include "support/FakeSignLink.h"

namespace meridial {
namespace {

using testing::FakeSignLink;

TEST(BuildResetFrame, HexIdInItsOwnBrackets) {
    EXPECT_EQ(BuildResetFrame(1), "<ID><01><E>");
    EXPECT_EQ(BuildResetFrame(10), "<ID><0A><E>");
    EXPECT_EQ(BuildResetFrame(255), "<ID><FF><E>");
    EXPECT_EQ(BuildResetFrame(1).size(), 11u);
}

TEST(ParseResetId, TwoHexDigitsFrom01ToFF) {
    EXPECT_EQ(ParseResetId("0A"), 10);
    EXPECT_EQ(ParseResetId("ff"), 255);
    EXPECT_FALSE(ParseResetId("00"));
    EXPECT_FALSE(ParseResetId("A"));
    EXPECT_FALSE(ParseResetId("100"));
    EXPECT_FALSE(ParseResetId("0G"));
}

TEST(RunResetId, WritesElevenBytesWithoutPausesAndCloses) {
    FakeSignLink link;
    EXPECT_TRUE(RunResetId(link, 3, 10).ok());
    EXPECT_EQ(link.WrittenBytes(), "<ID><0A><E>");
    EXPECT_EQ(link.Now(), 0);
    EXPECT_EQ(link.ReadCount(), 0);
    EXPECT_EQ(link.LastPortNumber(), 3);
    EXPECT_FALSE(link.IsOpen());
}

TEST(RunResetId, OpenFailureWritesNothing) {
    FakeSignLink link;
    link.FailOpenWith(OpenFailure::Missing);
    EXPECT_EQ(RunResetId(link, 1, 1).error().failure, OpenFailure::Missing);
    EXPECT_TRUE(link.Writes().empty());
    EXPECT_EQ(link.CloseCount(), 0);
}

}  // namespace
}  // namespace meridial
