#include "message/TransferSequence.h"

namespace meridial {
namespace {

TransferOutcome Failed(SignLink& link, const FrameResult& build) {
    link.ClosePort();
    return {TransferStatus::BuildFailed, build.error, OpenFailure::None, {}};
}

}  // namespace

TransferOutcome RunTransfer(SignLink& link, int portNumber, const std::string& messageText,
                            const TransferSteps& steps) {
    auto progress = [&](int position, int maximum) {
        if (steps.progress) steps.progress(position, maximum);
    };
    if (messageText.empty()) return {TransferStatus::EmptyMessage, {}, OpenFailure::None, {}};

    const OpenResult opened = link.OpenPort(portNumber, kBaudRate);
    if (!opened.ok()) return {TransferStatus::OpenFailed, opened.detail, opened.failure, {}};

    const FrameResult clock = steps.clockFrame();
    if (!clock.ok()) return Failed(link, clock);
    SendFramePaced(link, clock.frame);
    link.Delay(kFramePauseMs);

    const FrameResult zone = steps.zoneFrame();
    if (!zone.ok()) return Failed(link, zone);
    SendFramePaced(link, zone.frame);
    link.Delay(kFramePauseMs);

    const FrameResult message = steps.messageFrame(messageText);
    if (!message.ok()) return Failed(link, message);
    const std::string& frame = message.frame;
    const int length = static_cast<int>(frame.size());
    progress(0, length);
    for (int j = 1; j <= length; ++j) {
        progress(j, length);
        link.Delay(kMessageByteIntervalMs);
        if (j == static_cast<int>(kHeaderPauseBeforeByte)) link.Delay(kHeaderPauseMs);
        link.WriteByte(static_cast<std::uint8_t>(frame[j - 1]));
    }

    const bool acknowledged = WaitForAck(link);
    TransferOutcome outcome;
    outcome.status = acknowledged ? TransferStatus::Ok : TransferStatus::NotAcknowledged;
    outcome.lineError = link.LineError();
    link.ClosePort();
    progress(0, length);
    return outcome;
}

}  // namespace meridial
