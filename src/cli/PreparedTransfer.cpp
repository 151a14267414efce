#include "cli/PreparedTransfer.h"

#include "app/DescribeOutcome.h"
#include "message/MessageFrame.h"
#include "message/TextEncoding.h"
#include "message/TransferSequence.h"

namespace meridial::cli {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Why the encoded message cannot go (nothing when it can); notes on what may surprise.
std::optional<QString> MessageProblem(const std::string& messageBytes, QStringList& notes) {
    const std::string body = MessageBody(messageBytes);
    if (static_cast<int>(body.size()) > kMaxMessageBodyBytes)
        return QStringLiteral("the message is %1 bytes once encoded; the sign takes at most %2")
            .arg(QString::number(body.size()), QString::number(kMaxMessageBodyBytes));
    if (static_cast<int>(messageBytes.size()) > kMaxMessageLength)
        notes << QStringLiteral("note: the message is %1 characters; the editor stops typing at %2")
                     .arg(QString::number(messageBytes.size()), QString::number(kMaxMessageLength));
    if (const std::string_view marker = MarkerInBody(body); !marker.empty())
        notes << QStringLiteral("Warning: the message holds \"%1\"; a sign may cut it there")
                     .arg(QString::fromLatin1(marker.data(),
                                              static_cast<qsizetype>(marker.size())));
    return std::nullopt;
}

}  // namespace

PortPlan PlanPort(const std::optional<PortChoice>& choice, const PortSettings& settings) {
    PortPlan plan;
    plan.resolver = [settings](int n) { return settings.TargetForPort(n); };
    if (!choice) {
        plan.portNumber = settings.ReadPortNumber();
    } else if (choice->comNumber) {
        plan.portNumber = *choice->comNumber;
    } else {
        const Result<LinkTarget> target = ParseLinkTarget(choice->devicePath.toStdString());
        plan.resolver = [target](int) { return target; };
    }
    return plan;
}

Result<PreparedTransfer, Refusal> Prepare(const TransferOptions& options,
                                          const PortSettings& settings) {
    using R = Result<PreparedTransfer, Refusal>;
    if (IsEmptyMessage(options.message.toStdString())) {
        TransferOutcome empty;
        empty.status = TransferStatus::EmptyMessage;
        const OutcomeDescription refusal = DescribeOutcome(empty);
        return R::Fail({refusal.exitCode, Q(refusal.lines.front())});
    }
    if (!options.zoneFailure.isEmpty()) return R::Fail({kExitBuildFailed, options.zoneFailure});
    const EncodedText text = CodePageEncoder([&settings] {
                                 return settings.CodePage();
                             }).encode(options.message.toStdString());
    if (!text) return R::Fail({kExitBuildFailed, Q(text.error())});
    PreparedTransfer prepared{options.request, PlanPort(options.port, settings), {}, {}, {}};
    prepared.request.messageBytes = *text;
    if (const auto problem = MessageProblem(prepared.request.messageBytes, prepared.notes))
        return R::Fail({kExitBuildFailed, *problem});
    constexpr const char* kLabels[] = {"clock", "zone", "message"};
    static_assert(std::size(kLabels) == std::size(kTransferSteps));
    for (std::size_t i = 0; i < std::size(kTransferSteps); ++i) {
        const FrameResult frame = BuildTransferFrame(prepared.request, kTransferSteps[i]);
        if (!frame) return R::Fail({kExitBuildFailed, Q(frame.error())});
        prepared.frames << Q(HexBytes(*frame));
        prepared.traced.push_back({kLabels[i], frame->size()});
    }
    return prepared;
}

Parsed<TransferOptions> SignOptions(const NamedSign& sign) {
    auto parsed = ParseTransferOptions(sign.arguments);
    if (!parsed)
        return Parsed<TransferOptions>::Fail(SignLocation(sign) + QStringLiteral(": ") +
                                             parsed.error());
    return parsed;
}

}  // namespace meridial::cli
