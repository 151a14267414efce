#pragma once

#include <QDateTime>

#include "clock/ClockFrame.h"

namespace meridial {

// The PC's standard offset as a bias (UTC = local + bias, minutes; no daylight shift) and whether
// daylight time is in force at the given moment. Follows TZ.
PcZoneState PcZoneStateAt(const QDateTime& moment = QDateTime::currentDateTime());

}  // namespace meridial
