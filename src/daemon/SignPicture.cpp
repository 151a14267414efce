#include "daemon/SignPicture.h"

namespace meridial::daemon {

Picture DrawSignPicture(const SignState&, schedule::Instant, const QString&) {
    return {QByteArrayLiteral("image/svg+xml"),
            QByteArrayLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\"/>")};
}

}  // namespace meridial::daemon
