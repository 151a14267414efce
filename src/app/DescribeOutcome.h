#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/SignLink.h"
#include "message/TransferSequence.h"
#include "ui/Notices.h"

namespace meridial {

// meridial-cli's exit codes; scripts branch on them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNotAcknowledged = 1;
inline constexpr int kExitUsage = 2;  // also: no message to transfer
inline constexpr int kExitOpenFailed = 3;
inline constexpr int kExitBuildFailed = 4;

// What every front end says about one Transfer.
struct OutcomeDescription {
    Notice notice;            // the window's box
    std::string statusPanel;  // the window's first status panel; empty unless not acknowledged
    // The command line's report, a line each: standard output when acknowledged (nothing with
    // --quiet), standard error otherwise.
    std::vector<std::string> lines;
    std::string summary;  // the one line for this sign among several sent to at once
    int exitCode = kExitOk;
};

// lineName: where the link went (a device, an address); the command line adds it to a reason
// that lies in the line rather than the sign. The window names no line.
OutcomeDescription DescribeOutcome(const TransferOutcome& outcome, std::string_view lineName = {});

// What the operator can do about a port that did not open, a line each; none when the reason
// says it already.
std::vector<std::string> OpenFailureAdvice(const OpenError& error);

// "Open Com Error: <the reason>" and the advice: the command line's words for any open that
// failed, a Transfer's or a reset's.
std::vector<std::string> OpenFailureLines(const OpenError& error);

}  // namespace meridial
