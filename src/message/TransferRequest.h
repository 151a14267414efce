#pragma once

#include <string>

#include "clock/ClockFrame.h"
#include "clock/DisplayFormats.h"
#include "link/SignFrame.h"
#include "message/MessageFrame.h"
#include "zone/ZoneFrame.h"
#include "zone/ZoneTable.h"

namespace meridial {

// Everything one Transfer sends, as plain values: the window reads its controls into it, the
// command-line tool parses its options into it.
struct TransferRequest {
    int signId = 0;
    int speed = kInitialSpeed;
    std::string messageBytes;  // in the sign's code page, a line break as CR LF
    CivilDate date;            // the picked local date
    std::string timeText;      // the 8-character time field, "hh:nn:ss"
    PcZoneState pcZone;        // the PC's bias and daylight state when the clock frame is built
    int zoneRow = kUtcZoneRow;
    DstTransition dstStart;
    DstTransition dstEnd;
    DisplayFormats formats;
};

// The three frames of a Transfer, in sending order.
enum class TransferStep { Clock, Zone, Message };
inline constexpr TransferStep kTransferSteps[] = {TransferStep::Clock, TransferStep::Zone,
                                                  TransferStep::Message};

FrameResult BuildTransferFrame(const TransferRequest& request, TransferStep step);

}  // namespace meridial
