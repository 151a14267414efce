#pragma once

#include <functional>
#include <string>

#include "link/AckReply.h"
#include "link/SignLink.h"
#include "message/TransferRequest.h"

namespace meridial {

// Message bytes leave at least this far apart. The signs were built against PCs whose
// millisecond counter advanced in steps of about 16 ms, so a "1 ms" wait between message bytes
// always lasted that long; signs in the field may depend on the gap.
inline constexpr int kMessageByteIntervalMs = 16;

// The sign needs this long between two frames of one transfer.
inline constexpr int kFramePauseMs = 300;

enum class TransferStatus { Ok, EmptyMessage, OpenFailed, BuildFailed, NotAcknowledged };

struct TransferOutcome {
    TransferStatus status = TransferStatus::NotAcknowledged;
    std::string message;  // build failure text, or why the port did not open
    OpenError openError;    // all the link knows of a failed open: why, the holder, the device's group
    std::string lineError;  // set when the line failed during the sequence
    AckReply reply;         // what the sign sent back, when the frames went out
};

// One line saying why the transfer failed (empty when it did not): why the port did not open,
// why a frame could not be built, or what the sign answered instead of "ACK".
std::string FailureReason(const TransferOutcome& outcome);

// Reads the request at each step, so a window's controls are read when the step runs.
using RequestReader = std::function<TransferRequest()>;
using TransferProgress = std::function<void(int position, int maximum)>;

// One transfer: date and time, time zone, message over one opening of the port, then the
// acknowledgement. An empty message opens nothing. The port is closed on every path that
// opened it.
TransferOutcome RunTransfer(SignLink& link, int portNumber, const RequestReader& read,
                            const TransferProgress& progress = {});

// The same for a request fixed in advance.
TransferOutcome RunTransfer(SignLink& link, int portNumber, const TransferRequest& request,
                            const TransferProgress& progress = {});

}  // namespace meridial
