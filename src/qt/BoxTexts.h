#pragma once

#include <QString>

#include "ui/BoxTexts.h"

// The shared box texts as Qt strings.
namespace meridial::box_texts {

inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
// The program sets no application display name: the platform would append it to every window's
// caption ("SetCom — Meridial").
inline QString ProgramCaption() { return Q(kProgramCaption); }
inline QString MaxLength() { return Q(kMaxLength); }
inline QString OpenComError() { return Q(kOpenComError); }

}  // namespace meridial::box_texts
