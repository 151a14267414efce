#pragma once

#include <QString>

#include "daemon/ServiceControl.h"
#include "daemon/SignState.h"

namespace meridial::daemon {

// What the sign shows at `now`, drawn as LED dots from the frames it last acknowledged: its
// clock running on from the UTC time it was sent, in its zone and DST rows; the date in its
// formats; the message at the scroll position it has reached since. A sign whose last Transfer
// is not acknowledged is drawn dimmed, with the age of its last acknowledgement. "svg" or "png".
Picture DrawSignPicture(const SignState& state, schedule::Instant now, const QString& format);

}  // namespace meridial::daemon
