#include "sign/SignFace.h"

#include <algorithm>

namespace meridial::sign {
namespace {

constexpr int kRates[] = {40, 27, 18, 12, 8};  // A .. E

DotRows EmptyLine() {
    DotRows line;
    for (std::string& row : line.rows) row.assign(kPanelColumns, '.');
    return line;
}

}  // namespace

int ScrollRate(char speed) {
    if (speed < 'A' || speed > 'E') speed = 'C';
    return kRates[speed - 'A'];
}

int ScrollPosition(long long elapsedMs, char speed, int textWidth) {
    const long long steps = std::max(0LL, elapsedMs) * ScrollRate(speed) / 1000;
    const long long period = kPanelColumns + std::max(0, textWidth);
    return kPanelColumns - static_cast<int>(steps % period);
}

long long NextScrollStepMs(long long elapsedMs, char speed) {
    const long long rate = ScrollRate(speed);
    const long long steps = std::max(0LL, elapsedMs) * rate / 1000;
    // The first whole millisecond at which steps + 1 columns have gone by.
    return ((steps + 1) * 1000 + rate - 1) / rate;
}

DotRows PlaceOnLine(const DotRows& dots, int column) {
    DotRows line = EmptyLine();
    const int from = std::max(0, column);
    const int to = std::min(kPanelColumns, column + dots.Width());
    for (int r = 0; r < kGlyphRows; ++r) {
        const auto row = static_cast<std::size_t>(r);
        for (int x = from; x < to; ++x)
            line.rows[row][static_cast<std::size_t>(x)] =
                dots.rows[row][static_cast<std::size_t>(x - column)];
    }
    return line;
}

DotRows CentredOnLine(const DotRows& dots) {
    return PlaceOnLine(dots, std::max(0, (kPanelColumns - dots.Width()) / 2));
}

SignFace ComposeFace(const SignState& state, long long nowMs) {
    const std::array<std::string, 3> texts = state.Display(nowMs);
    SignFace face;
    face.lines[0] = CentredOnLine(RenderText(texts[0]));
    face.lines[1] = CentredOnLine(RenderText(texts[1]));
    // The message is drawn from its bytes, not from the printable form of the text line, so a
    // byte the font lacks is one box and not four characters of an escape.
    const DotRows message = RenderText(state.Message());
    face.lines[2] = message.Width() == 0
                        ? EmptyLine()
                        : PlaceOnLine(message, ScrollPosition(nowMs - state.MessageSinceMs(),
                                                              state.Speed(), message.Width()));
    return face;
}

std::optional<long long> NextFaceChangeAt(const SignState& state, long long nowMs) {
    std::optional<long long> next = state.NextSecondAt(nowMs);
    if (!state.Message().empty()) {
        const long long since = state.MessageSinceMs();
        const long long step = since + NextScrollStepMs(nowMs - since, state.Speed());
        next = next ? std::min(*next, step) : step;
    }
    return next;
}

DotGeometry FitDots(int widthPx, int heightPx) {
    DotGeometry g;
    g.pitch = std::max(1, std::min(widthPx / (kPanelColumns + 2), heightPx / (kPanelRows + 2)));
    // A dark gap of about a fifth of the pitch separates the dots once there is room for one.
    g.dotSize = g.pitch < 3 ? g.pitch : g.pitch - std::max(1, g.pitch / 5);
    g.left = std::max(0, (widthPx - g.pitch * kPanelColumns) / 2);
    g.top = std::max(0, (heightPx - g.pitch * kPanelRows) / 2);
    return g;
}

}  // namespace meridial::sign
