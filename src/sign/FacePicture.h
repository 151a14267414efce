#pragma once

#include <string>

#include "sign/SignFace.h"

namespace meridial::sign {

// How a face is drawn as a picture.
struct PictureStyle {
    // The sign did not answer its last Transfer: lit dots at a third of their brightness, so what
    // it may still show is told apart from what it is known to show.
    bool dimmed = false;
    // One line of plain text under the panel; none when empty.
    std::string caption;
    // What the face says in words, for screen readers (SVG only).
    std::string title;
    // Pixels from one dot to the next; held to 1..32.
    int pixelSize = 6;
};

// Amber LEDs on a black panel, as the desktop program draws them.
struct Rgb {
    unsigned char r, g, b;
};
inline constexpr Rgb kLitColour{255, 176, 0};
inline constexpr Rgb kDimColour{85, 59, 0};
inline constexpr Rgb kDarkColour{48, 30, 0};
inline constexpr Rgb kCaptionColour{170, 170, 170};

// The face as SVG: a dark background with every dot position drawn dark, one <circle> per lit
// dot, the caption as <text>. All text is XML-escaped.
std::string FaceSvg(const SignFace& face, const PictureStyle& style);

// The face as an 8-bit palette PNG (the dots placed by FitDots, the caption in the dot font).
std::string FacePng(const SignFace& face, const PictureStyle& style);

}  // namespace meridial::sign
