#include "sign/SignFace.h"

#include <gtest/gtest.h>

#include "support/Formats.h"

#include "clock/ClockFrame.h"
#include "message/MessageFrame.h"
#include "sign/SignDecoder.h"
#include "zone/ZoneFrame.h"

namespace meridial::sign {
namespace {

using Pattern = std::array<std::string, kGlyphRows>;

struct GlyphRow {
    const char* name;
    std::string text;
    Pattern rows;
};

class Glyphs : public ::testing::TestWithParam<GlyphRow> {};

TEST_P(Glyphs, DrawTheirDots) {
    const DotRows dots = RenderText(GetParam().text);
    EXPECT_EQ(dots.rows, GetParam().rows);
}

const Pattern kBoxRows = {"#####", "#...#", "#...#", "#...#", "#...#", "#...#", "#####"};

INSTANTIATE_TEST_SUITE_P(
    DotFont, Glyphs,
    ::testing::Values(
        GlyphRow{"LetterA", "A", {".###.", "#...#", "#...#", "#...#", "#####", "#...#", "#...#"}},
        GlyphRow{
            "SlashedZero", "0", {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
        GlyphRow{"One", "1", {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        GlyphRow{"Colon", ":", {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
        GlyphRow{"Space", " ", {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
        // Two glyphs with one dark column between them.
        GlyphRow{"TwoLettersAndTheirGap",
                 "AB",
                 {".###..####.", "#...#.#...#", "#...#.#...#", "#...#.####.", "#####.#...#",
                  "#...#.#...#", "#...#.####."}},
        // Bytes the font does not have: controls, DEL, a code-page letter.
        GlyphRow{"ControlIsABox", "\x01", kBoxRows}, GlyphRow{"DeleteIsABox", "\x7F", kBoxRows},
        GlyphRow{"HighByteIsABox", "\xE9", kBoxRows},
        GlyphRow{"EmptyTextHasNoColumns", "", {"", "", "", "", "", "", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DotFont, EveryPrintableCharacterHasItsOwnGlyph) {
    for (int a = 0x20; a < 0x7F; ++a) {
        EXPECT_TRUE(HasGlyph(static_cast<std::uint8_t>(a))) << a;
        EXPECT_NE(GlyphColumns(static_cast<std::uint8_t>(a)), GlyphColumns(0x80)) << a;
        for (int b = a + 1; b < 0x7F; ++b)
            EXPECT_NE(GlyphColumns(static_cast<std::uint8_t>(a)),
                      GlyphColumns(static_cast<std::uint8_t>(b)))
                << a << " and " << b << " look the same";
    }
    EXPECT_EQ(RenderText(std::string(150, 'W')).Width(), 150 * 6 - 1);
}

struct ScrollRow {
    const char* name;
    long long elapsedMs;
    char speed;
    int textWidth;
    int position;  // of the text's first column on its line
};

class Scrolling : public ::testing::TestWithParam<ScrollRow> {};

TEST_P(Scrolling, MovesRightToLeftAtItsSpeed) {
    const ScrollRow& r = GetParam();
    EXPECT_EQ(ScrollPosition(r.elapsedMs, r.speed, r.textWidth), r.position);
}

INSTANTIATE_TEST_SUITE_P(
    SignFace, Scrolling,
    ::testing::Values(
        // The message enters just beyond the right edge.
        ScrollRow{"StartsOutsideTheRightEdge", 0, 'C', 11, kPanelColumns},
        ScrollRow{"NotBeforeItArrived", -5000, 'C', 11, kPanelColumns},
        // 18 columns a second at C: 17.98 columns after 999 ms is still 17.
        ScrollRow{"WholeColumnsOnly", 999, 'C', 11, kPanelColumns - 17},
        ScrollRow{"OneSecondAtA", 1000, 'A', 11, kPanelColumns - 40},
        ScrollRow{"OneSecondAtB", 1000, 'B', 11, kPanelColumns - 27},
        ScrollRow{"OneSecondAtC", 1000, 'C', 11, kPanelColumns - 18},
        ScrollRow{"OneSecondAtD", 1000, 'D', 11, kPanelColumns - 12},
        ScrollRow{"OneSecondAtE", 1000, 'E', 11, kPanelColumns - 8},
        ScrollRow{"UnknownLetterScrollsLikeC", 1000, 'Z', 11, kPanelColumns - 18},
        // 90 columns: the last column of an 11-column text is at the left edge...
        ScrollRow{"LastColumnStillShowing", 5000, 'C', 11, -10},
        // ...and one column later it enters again at the right.
        ScrollRow{"WrapsAfterLeavingTheLeftEdge", 5056, 'C', 11, kPanelColumns},
        // A long message takes its own width plus the line to come round.
        ScrollRow{"LongMessageWrapsLater", 100000, 'A', 899, kPanelColumns - 4000 % 979},
        ScrollRow{"HoursLaterStillOnTheCycle", 3600000, 'E', 11, kPanelColumns - 28800 % 91}),
    [](const auto& info) { return std::string(info.param.name); });

struct StepRow {
    const char* name;
    long long elapsedMs;
    char speed;
    long long nextMs;
};

class ScrollSteps : public ::testing::TestWithParam<StepRow> {};

TEST_P(ScrollSteps, NextStepIsTheFirstMillisecondThePositionMoves) {
    const StepRow& r = GetParam();
    const long long next = NextScrollStepMs(r.elapsedMs, r.speed);
    EXPECT_EQ(next, r.nextMs);
    EXPECT_EQ(ScrollPosition(next - 1, r.speed, 11), ScrollPosition(r.elapsedMs, r.speed, 11));
    EXPECT_NE(ScrollPosition(next, r.speed, 11), ScrollPosition(r.elapsedMs, r.speed, 11));
}

INSTANTIATE_TEST_SUITE_P(SignFace, ScrollSteps,
                         ::testing::Values(StepRow{"FastFromTheStart", 0, 'A', 25},
                                           StepRow{"MiddleFromTheStart", 0, 'C', 56},
                                           StepRow{"MiddleBetweenSteps", 60, 'C', 112},
                                           StepRow{"SlowAfterOneStep", 130, 'E', 250},
                                           StepRow{"SlowExactlyOnAStep", 250, 'E', 375}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SignFace, FiveSpeedsAreOrderedAndClearlyApart) {
    for (char s = 'A'; s < 'E'; ++s) {
        // Each speed at least a third faster than the next slower one.
        EXPECT_GE(ScrollRate(s) * 3, ScrollRate(static_cast<char>(s + 1)) * 4) << s;
    }
}

struct FitRow {
    const char* name;
    int width, height;
    int pitch, dotSize, left, top;
};

class Scaling : public ::testing::TestWithParam<FitRow> {};

TEST_P(Scaling, DotsFollowTheWindowSize) {
    const FitRow& r = GetParam();
    const DotGeometry g = FitDots(r.width, r.height);
    EXPECT_EQ((std::array{g.pitch, g.dotSize, g.left, g.top}),
              (std::array{r.pitch, r.dotSize, r.left, r.top}));
}

INSTANTIATE_TEST_SUITE_P(
    SignFace, Scaling,
    ::testing::Values(FitRow{"ExactFit", 820, 270, 10, 8, 10, 10},
                      FitRow{"SmallDotsHaveNoGap", 164, 54, 2, 2, 2, 2},
                      FitRow{"MidSizeOneDarkPixel", 410, 135, 5, 4, 5, 5},
                      FitRow{"WideWindowCentresThePanel", 1640, 270, 10, 8, 420, 10},
                      FitRow{"TallWindowCentresThePanel", 820, 600, 10, 8, 10, 175},
                      FitRow{"TooSmallStillOneDotAPixel", 10, 10, 1, 1, 0, 0},
                      FitRow{"ZeroSize", 0, 0, 1, 1, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

SignState StateAfter(const std::string& bytes) {
    SignDecoder decoder;
    for (char c : bytes) decoder.Feed(static_cast<std::uint8_t>(c), 0);
    SignState state;
    for (const auto& f : decoder.TakeFrames()) state.Apply(f, 0);
    return state;
}

TEST(SignFace, ThreeLinesCentredClockAndDateAndTheScrollingMessage) {
    // 12:00:00 UTC, zone UTC+0, 24-hour, numbers, YY-MM-DD; the message at speed A, with a byte
    // the font lacks.
    const SignState state = StateAfter(
        BuildClockFrame(0, {2010, 6, 1}, "12:00:00", {0, false}).value() +
        BuildZoneFrame(0, 15, {"2010", 0, 0, 0}, {"2010", 0, 0, 0}, testing::Formats(0, 1, 1))
            .value() +
        BuildMessageFrame(0, 4, "1\x01").value());
    const SignFace face = ComposeFace(state, 2000);  // two seconds on: 80 columns at A
    // "12:00:02" is 47 columns wide, so it starts at column 16.
    EXPECT_EQ(face.lines[0].rows[6].substr(16, 11), ".###..#####");
    EXPECT_EQ(face.lines[0].rows[0].substr(0, 16), std::string(16, '.'));
    // "10-06-01" the same width.
    EXPECT_EQ(face.lines[1].rows[6].substr(16, 5), ".###.");
    // 80 columns on, the 11-column message has just left the left edge except its last 0.
    EXPECT_EQ(ScrollPosition(2000, 'A', 11), 0);
    EXPECT_EQ(face.lines[2].rows[6].substr(0, 12), ".###..#####.");
    for (const DotRows& line : face.lines) EXPECT_EQ(line.Width(), kPanelColumns);

    // The face changes next at the message's next step, 25 ms on; without a message at the
    // clock's next second.
    EXPECT_EQ(NextFaceChangeAt(state, 2000), 2025);
    const SignState clockOnly =
        StateAfter(BuildClockFrame(0, {2010, 6, 1}, "12:00:00", {0, false}).value());
    EXPECT_EQ(NextFaceChangeAt(clockOnly, 2000), 3000);
    EXPECT_EQ(NextFaceChangeAt(SignState{}, 2000), std::nullopt);
}

}  // namespace
}  // namespace meridial::sign
