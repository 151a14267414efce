#include "message/TransferSequence.h"

namespace meridial {
namespace {

TransferOutcome Outcome(TransferStatus status, std::string message = {}) {
    TransferOutcome outcome;
    outcome.status = status;
    outcome.message = std::move(message);
    return outcome;
}

}  // namespace

TransferOutcome RunTransfer(SignLink& link, int portNumber, const RequestReader& read,
                            const TransferProgress& progress) {
    auto report = [&](int position, int maximum) {
        if (progress) progress(position, maximum);
    };
    if (IsEmptyMessage(read().messageBytes)) return Outcome(TransferStatus::EmptyMessage);

    const OpenResult opened = link.OpenPort(portNumber, kBaudRate);
    if (!opened) {
        TransferOutcome outcome = Outcome(TransferStatus::OpenFailed, opened.error().detail);
        outcome.openError = opened.error();
        return outcome;
    }

    int length = 0;
    bool lineTookEveryByte = true;
    for (const TransferStep step : kTransferSteps) {
        const FrameResult frame = BuildTransferFrame(read(), step);
        if (!frame) {
            link.ClosePort();
            return Outcome(TransferStatus::BuildFailed, frame.error());
        }
        if (step != TransferStep::Message) {
            lineTookEveryByte = SendFramePaced(link, *frame);
            if (!lineTookEveryByte) break;
            link.Delay(kFramePauseMs);
            continue;
        }
        length = static_cast<int>(frame->size());
        report(0, length);
        lineTookEveryByte = SendFramePaced(link, *frame, kMessageByteIntervalMs,
                                           [&](int position) { report(position, length); });
    }

    // A line that refused a byte has failed: the sequence ends there, without waiting for an
    // answer that cannot come.
    AckReply reply = lineTookEveryByte ? WaitForAck(link) : AckReply{};
    TransferOutcome outcome =
        Outcome(lineTookEveryByte && reply.Acknowledged() ? TransferStatus::Ok
                                                          : TransferStatus::NotAcknowledged);
    outcome.reply = std::move(reply);
    outcome.lineError = link.LineError();
    if (!lineTookEveryByte && outcome.lineError.empty())
        outcome.lineError = "the line did not take a byte";
    link.ClosePort();
    report(0, length);
    return outcome;
}

std::string FailureReason(const TransferOutcome& outcome) {
    switch (outcome.status) {
        case TransferStatus::Ok:
        case TransferStatus::EmptyMessage:
            return {};
        case TransferStatus::OpenFailed:
        case TransferStatus::BuildFailed:
            return outcome.message;
        case TransferStatus::NotAcknowledged:
            break;
    }
    // A line that failed explains the reply better than the reply itself, which is then empty.
    if (!outcome.lineError.empty()) return "the serial line failed: " + outcome.lineError;
    return DescribeReply(outcome.reply);
}

TransferOutcome RunTransfer(SignLink& link, int portNumber, const TransferRequest& request,
                            const TransferProgress& progress) {
    return RunTransfer(
        link, portNumber, [&request] { return request; }, progress);
}

}  // namespace meridial
