#include "app/DescribeOutcome.h"

#include "ui/BoxTexts.h"

namespace meridial {
namespace {

// The spaces widen the boxes; operators know them by it.
constexpr std::string_view kTransmissionOk = "         Transmission OK.          ";
constexpr std::string_view kTransmissionError = "        Transmission Error.       ";
constexpr const char* kNotAcknowledgedStatus = "Sending Date&Time Error";

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

}  // namespace

std::vector<std::string> OpenFailureAdvice(const OpenError& error) {
    std::vector<std::string> advice;
    if (error.failure == OpenFailure::NoPermission && !error.group.empty())
        advice.push_back("the device belongs to the group '" + error.group +
                         "'; add yourself with 'sudo usermod -aG " + error.group +
                         " $USER' and log in again");
    if (error.failure == OpenFailure::NoPermission && error.group.empty())
        advice.push_back(
            "no group may open the device; a udev rule can give it to the group 'dialout' (see "
            "the README)");
    // A lock file that names no live holder comes with its own advice in the detail.
    if (error.failure == OpenFailure::Busy && error.holderPid == 0 && error.lockFile.empty())
        advice.push_back("another program holds the port; close it and retry");
    if (error.failure == OpenFailure::Busy && error.holderPid != 0)
        advice.push_back(
            "close " +
            (error.holderProgram.empty() ? std::string("the program") : error.holderProgram) +
            " (process " + std::to_string(error.holderPid) + ") and retry");
    return advice;
}

std::vector<std::string> OpenFailureLines(const OpenError& error) {
    std::vector<std::string> lines{std::string(box_texts::kOpenComError) + ": " + error.detail};
    for (std::string& advice : OpenFailureAdvice(error)) lines.push_back(std::move(advice));
    return lines;
}

OutcomeDescription DescribeOutcome(const TransferOutcome& outcome, std::string_view lineName) {
    OutcomeDescription d;
    const std::string reason = FailureReason(outcome);
    const std::string where = lineName.empty() ? "" : " (" + std::string(lineName) + ")";
    d.summary = "Transmission Error: " + reason + where;
    switch (outcome.status) {
        case TransferStatus::Ok:
            d.notice = {
                NoticeIcon::Information, std::string(kTransmissionOk), {}, {NoticeButton::Yes}};
            d.lines = {"Transmission OK."};
            d.summary = d.lines.front();
            d.exitCode = kExitOk;
            break;
        case TransferStatus::EmptyMessage:
            d.notice = {NoticeIcon::Information,
                        std::string(box_texts::kNoMessage),
                        {},
                        {NoticeButton::Yes}};
            d.lines = {std::string(box_texts::Unpadded(box_texts::kNoMessage))};
            d.exitCode = kExitUsage;
            break;
        case TransferStatus::OpenFailed: {
            d.lines = OpenFailureLines(outcome.openError);
            std::vector<std::string> details{outcome.openError.detail};
            for (std::string& advice : OpenFailureAdvice(outcome.openError))
                details.push_back(std::move(advice));
            d.notice = {NoticeIcon::Error,
                        std::string(box_texts::kOpenComError),
                        Joined(details),
                        {NoticeButton::Yes}};
            d.summary = d.lines.front();
            d.exitCode = kExitOpenFailed;
            break;
        }
        case TransferStatus::BuildFailed:
            // A conversion error: the window shows it as the toolkit's error box, with its OK.
            d.notice = {NoticeIcon::Error, outcome.message, {}, {NoticeButton::Ok}};
            d.lines = {outcome.message};
            d.exitCode = kExitBuildFailed;
            break;
        case TransferStatus::NotAcknowledged:
            d.notice = {
                NoticeIcon::Error, std::string(kTransmissionError), reason, {NoticeButton::Yes}};
            d.statusPanel = kNotAcknowledgedStatus;
            d.lines = {"Transmission Error.", outcome.lineError.empty() ? reason : reason + where};
            d.exitCode = kExitNotAcknowledged;
            break;
    }
    return d;
}

}  // namespace meridial
