#pragma once

#include <array>
#include <optional>

#include "sign/DotFont.h"
#include "sign/SignState.h"

namespace meridial::sign {

// The sign's face: three lines of kPanelColumns dots each, kLineGap dark rows between them.
inline constexpr int kPanelColumns = 80;
inline constexpr int kLineCount = 3;
inline constexpr int kLineGap = 2;
inline constexpr int kPanelRows = kLineCount * kGlyphRows + (kLineCount - 1) * kLineGap;

// Scroll rates in dot columns per second, from the speed letter: "A" fastest, "E" slowest. Each
// step is half as fast again as the next slower one, so neighbouring speeds stay easy to tell
// apart by eye. A letter the sign does not know scrolls at the rate of "C".
int ScrollRate(char speed);

// Where the message's first dot column stands on its line, elapsedMs after the message arrived:
// it enters at the right edge (kPanelColumns) and moves left one column per step; once its last
// column has left at the left edge it enters again.
int ScrollPosition(long long elapsedMs, char speed, int textWidth);
// The elapsed time at which the position next moves.
long long NextScrollStepMs(long long elapsedMs, char speed);

// Places dots on a line kPanelColumns wide with their first column at `column`; what falls
// outside the line is cut off.
DotRows PlaceOnLine(const DotRows& dots, int column);
// A text centred on its line, or cut at the right when it is wider than the line.
DotRows CentredOnLine(const DotRows& dots);

struct SignFace {
    std::array<DotRows, kLineCount> lines;  // clock, date, message
};

// What the sign shows at nowMs (on the clock the state was fed with).
SignFace ComposeFace(const SignState& state, long long nowMs);
// The next moment the face changes: the clock's next second or the message's next step.
std::optional<long long> NextFaceChangeAt(const SignState& state, long long nowMs);

// Where the dots go in a picture of widthPx x heightPx: a square pitch, whole pixels so the dots
// stay crisp, at least one pitch of dark border all round, the panel centred.
struct DotGeometry {
    int pitch = 1;    // pixels from one dot's start to the next
    int dotSize = 1;  // side of a dot's square, pitch minus the dark gap between dots
    int left = 0;     // pixel of the first column's start
    int top = 0;      // pixel of the first row's start
};
DotGeometry FitDots(int widthPx, int heightPx);

// The panel row of a line's row, counting the gaps between lines.
constexpr int PanelRow(int line, int row) { return line * (kGlyphRows + kLineGap) + row; }

}  // namespace meridial::sign
