#include "message/TransferRequest.h"

namespace meridial {

FrameResult BuildTransferFrame(const TransferRequest& request, TransferStep step) {
    switch (step) {
        case TransferStep::Clock:
            return BuildClockFrame(request.signId, request.date, request.timeText, request.pcZone);
        case TransferStep::Zone:
            return BuildZoneFrame(request.signId, request.zoneRow, request.dstStart, request.dstEnd,
                                  request.formats);
        case TransferStep::Message:
            break;
    }
    return BuildMessageFrame(request.signId, request.speed, request.messageBytes);
}

}  // namespace meridial
