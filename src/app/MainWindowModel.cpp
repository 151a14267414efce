#include "app/MainWindowModel.h"

#include <cstdio>

#include "app/DescribeOutcome.h"
#include "message/MessageFrame.h"
#include "message/TransferSequence.h"
#include "ui/BoxTexts.h"

namespace meridial {
namespace {

constexpr int kLastSignId = 99;

Notice MaxLengthNotice() {
    return {NoticeIcon::Information, std::string(box_texts::kMaxLength), {}, {NoticeButton::Yes}};
}

// The sign drops a longer message as noise, after minutes on the line.
std::string TooLongForTheSign(const std::string& messageBytes) {
    const std::size_t body = MessageBody(messageBytes).size();
    if (body <= static_cast<std::size_t>(kMaxMessageBodyBytes)) return {};
    return "The message is " + std::to_string(body) +
           " bytes once encoded; the sign takes at most " + std::to_string(kMaxMessageBodyBytes) +
           ". Nothing was sent.";
}

void Call(const std::function<void()>& callback) {
    if (callback) callback();
}

}  // namespace

MainWindowModel::MainWindowModel(SignLink& link, const PortNumberStore& port, Notices& notices,
                                 FrontEnd frontEnd)
    : m_link(link), m_port(port), m_notices(notices), m_frontEnd(std::move(frontEnd)) {
    for (int id = 0; id <= kLastSignId; ++id) {
        char digits[12];  // room for any int: the optimiser cannot see id's bound
        std::snprintf(digits, sizeof digits, "%2.2d", id);
        m_signIds.emplace_back(digits);
    }
}

void MainWindowModel::SignIdPicked(int index) {
    if (index >= 0 && index <= kLastSignId) m_signId = index;
}

void MainWindowModel::SpeedMoved(int position) {
    if (position >= kSlowestSpeed && position <= kFastestSpeed) m_speed = position;
}

void MainWindowModel::TextChanged(std::string utf8) {
    m_text = std::move(utf8);
    m_length = m_frontEnd.encoder.length(m_text);
    m_countText = std::to_string(m_length);
    // Sent as typed, but a sign may end the message at a marker: say so where the count is,
    // without a box in the way of typing.
    const std::string body = MessageBody(m_text);
    const std::string_view marker = MarkerInBody(body);
    m_markerNote = marker.empty() ? std::string()
                                  : "The message holds \"" + std::string(marker) +
                                        "\"; a sign may cut it there.";
    Call(m_frontEnd.editorChanged);
    if (IsAtLengthLimit(m_length)) m_notices.Tell(MaxLengthNotice());
}

bool MainWindowModel::TypedCharacter() {
    if (AcceptsTypedCharacter(m_length)) return true;
    m_notices.Tell(MaxLengthNotice());
    return false;
}

Result<std::string, Notice> MainWindowModel::EncodedMessage() const {
    using R = Result<std::string, Notice>;
    Result<std::string> encoded = m_frontEnd.encoder.encode(m_text);
    // A conversion error: the toolkit's error box, with its OK.
    if (!encoded) return R::Fail({NoticeIcon::Error, encoded.error(), {}, {NoticeButton::Ok}});
    if (std::string tooLong = TooLongForTheSign(*encoded); !tooLong.empty())
        return R::Fail({NoticeIcon::Error, std::move(tooLong), {}, {NoticeButton::Yes}});
    return std::move(encoded).value();
}

TransferRequest MainWindowModel::ReadRequest(const std::string& messageBytes) const {
    const StepEntries entries = m_frontEnd.entries();
    TransferRequest request;
    request.signId = m_signId;
    request.speed = m_speed;
    request.messageBytes = messageBytes;
    request.date = entries.dateTime.date;
    request.timeText = entries.dateTime.timeText;
    request.pcZone = entries.pcZone;
    request.zoneRow = entries.zone.zoneRow;
    request.dstStart = entries.zone.start;
    request.dstEnd = entries.zone.end;
    request.formats = entries.dateTime.formats;
    return request;
}

void MainWindowModel::SetState(TransferState state) {
    m_state = state;
    Call(m_frontEnd.transferChanged);
}

MainWindowModel::AfterTransfer MainWindowModel::Transfer() {
    if (m_state != TransferState::Idle) return AfterTransfer::Stay;
    m_statusText.clear();
    SetState(TransferState::Running);
    // The text is encoded once; every other entry is read again as each frame's step runs.
    const Result<std::string, Notice> encoded = EncodedMessage();
    if (!encoded) {
        SetState(TransferState::Idle);
        m_notices.Tell(encoded.error());
        return AfterTransfer::Stay;
    }
    const TransferOutcome outcome = RunTransfer(
        m_link, m_port.PortNumber(), [&] { return ReadRequest(*encoded); },
        [this](int position, int maximum) {
            m_progress = {position, maximum};
            Call(m_frontEnd.progressChanged);
        });
    m_progress.position = 0;
    Call(m_frontEnd.progressChanged);
    if (m_state == TransferState::CloseRequested) {
        SetState(TransferState::Idle);
        return AfterTransfer::Close;
    }
    OutcomeDescription description = DescribeOutcome(outcome);
    m_statusText = std::move(description.statusPanel);
    SetState(TransferState::Idle);
    // Shown once the Transfer is enabled again: the box is modal.
    m_notices.Tell(description.notice);
    return AfterTransfer::Stay;
}

bool MainWindowModel::RequestClose() {
    if (m_state == TransferState::Idle) return true;
    if (m_state == TransferState::Running) {
        // The sequence is inside one of its waits; let it end and close the port first.
        SetState(TransferState::CloseRequested);
        m_link.Abort();
    }
    return false;
}

// The same reading and the same refusals as a Transfer's, so the preview shows what it would.
Result<TransferRequest> MainWindowModel::PreviewRequest() const {
    const Result<std::string, Notice> encoded = EncodedMessage();
    if (!encoded) return Result<TransferRequest>::Fail(encoded.error().text);
    if (IsEmptyMessage(*encoded))
        return Result<TransferRequest>::Fail(
            std::string(box_texts::Unpadded(box_texts::kNoMessage)));
    return ReadRequest(*encoded);
}

void MainWindowModel::Shown() {
    // Without a window manager the window may never be activated; the clock starts anyway.
    if (!m_clockSeeded) SeedClock();
}

void MainWindowModel::Activated() {
    if (!m_clockSeeded || m_seedOnReturn) SeedClock();
    m_seedOnReturn = false;
}

void MainWindowModel::OwnWindowActivated() { m_seedOnReturn = true; }

void MainWindowModel::SeedClock() {
    m_clockSeeded = true;
    Call(m_frontEnd.seedClock);
}

}  // namespace meridial
