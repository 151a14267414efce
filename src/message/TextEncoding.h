#pragma once

#include <QLocale>
#include <QString>
#include <functional>
#include <string>

#include "message/EncodingRules.h"
#include "message/MessageEncoder.h"

namespace meridial {

// The rules live in message/EncodingRules.h; this feeds them from QLocale and iconv.

// The ANSI code page Windows would give an operator of this locale: "CP936" for simplified
// Chinese, "CP1251" for Cyrillic languages, ... "CP1252" otherwise.
QString CodePageForLocale(const QLocale& locale);

// A code page as written in the settings file ("936", "cp936", "GBK") as an iconv name; the
// locale's code page when empty.
QString ResolveCodePage(const QString& configured, const QLocale& locale = QLocale::system());

// The text as the sign's bytes. A character the code page cannot hold stops the encoding and is
// named in the error; nothing partial is returned then.
EncodedText EncodeForSign(const QString& text, const QString& codePage);

// Length in sign bytes as the editor counts it; a character that cannot be encoded counts one.
int EncodedLength(const QString& text, const QString& codePage);

// The encoder the window and the command line both use: the code page the settings name (the
// locale's when none), looked up again at each use since the file may change under a running
// program.
MessageEncoder CodePageEncoder(std::function<QString()> configuredCodePage);

}  // namespace meridial
