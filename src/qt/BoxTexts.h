#pragma once

#include <QString>

// Texts of the boxes more than one window shows; their spaces are part of them.
namespace meridial::box_texts {

// The boxes' caption. The program sets no application display name: the platform would append
// it to every window's caption ("SetCom — Meridial").
inline QString ProgramCaption() { return QStringLiteral("Meridial"); }
inline QString MaxLength() { return QStringLiteral(" Max length is 150 chars "); }
inline QString OpenComError() { return QStringLiteral("Open Com Error"); }

}  // namespace meridial::box_texts
