#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include "link/Result.h"

namespace meridial::cli {

// One section of a signs file: a sign by name and the transfer options it stands for.
struct NamedSign {
    QString name;
    QString file;           // where it was read, for messages
    int line = 0;           // of its header
    QStringList arguments;  // as transfer options: "--port", "tcp://...", "--id", "3", ...
    QString port;           // the "port" value, which groups signs that share a line
    QStringList groups;     // "group=floor1,lobbies": what a schedule or a notice may name it by
};

// The keys a section may hold; each but "group" is the transfer option of the same name.
const QStringList& SignKeys();

// $XDG_CONFIG_HOME/meridial/signs.ini, then /etc/meridial/signs.ini (the first that exists
// wins); empty when there is none.
QString DefaultSignsFile();

// "FILE:LINE [SECTION]", how messages name a sign's section.
QString SignLocation(const NamedSign& sign);

// A signs file read whole: where it was found and its signs in file order.
struct SignsFileContents {
    QString path;
    QVector<NamedSign> signs;
};

// --signs FILE when given, else the usual places; an error when there is none or it is bad.
Result<SignsFileContents, QString> LoadSignsFile(const QString& given);

// The sign of that name; the error names the file and the signs it has.
Result<NamedSign, QString> FindSign(const SignsFileContents& file, const QString& name);

// Every section of the file, in file order. A missing or unreadable file is an error; so is every
// line the file cannot use, each named "FILE:LINE [SECTION] KEY: why", one a line: a line of
// no kind, a key before any section, a section or key given twice, an unknown key, a value its
// transfer option refuses, a section without a port or with both "message" and "message-file".
// Section names and keys are compared with their case; a name may hold any printable character
// but "]", and ";" or "#" start a comment only at the start of a line.
Result<QVector<NamedSign>, QString> ReadSignsFile(const QString& path);

// The same on the file's bytes; path only names the file in messages and anchors a relative
// message-file.
Result<QVector<NamedSign>, QString> ReadSignsText(const QByteArray& bytes, const QString& path);

}  // namespace meridial::cli
