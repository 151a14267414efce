#pragma once

#include <QByteArray>
#include <QString>

#include "link/Result.h"

namespace meridial::daemon {

// The API's bearer token from the file "token" in the service's state folder. The first start
// makes it: 32 random bytes in hex, readable by the service's user only from the moment the
// file exists. A token file other users may open, or one too short to be a secret, is refused
// with what to do about it. The folder is made (0700) when missing.
Result<QByteArray, QString> LoadOrCreateToken(const QString& stateDir);

}  // namespace meridial::daemon
