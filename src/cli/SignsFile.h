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
    QStringList arguments;  // as transfer options: "--port", "tcp://...", "--id", "3", ...
    QString port;           // the "port" value, which groups signs that share a line
};

// The keys a section may hold; each is the transfer option of the same name.
const QStringList& SignKeys();

// $XDG_CONFIG_HOME/meridial/signs.ini, then /etc/meridial/signs.ini (the first that exists
// wins); empty when there is none.
QString DefaultSignsFile();

// Every section of the file, in file order. A missing or unreadable file, a section without a
// port, an unknown key, or a section with both "message" and "message-file" is an error that
// names the file, the section and the key.
Result<QVector<NamedSign>, QString> ReadSignsFile(const QString& path);

}  // namespace meridial::cli
