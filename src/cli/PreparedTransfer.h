#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "cli/SignsFile.h"
#include "cli/TransferOptions.h"
#include "link/LinkFactory.h"
#include "link/PortSettings.h"
#include "link/TracingSignLink.h"
#include "message/TransferRequest.h"

namespace meridial::cli {

// Where a Transfer goes: the port number the sequence opens and how it becomes a target.
struct PortPlan {
    int portNumber = kDefaultPortNumber;
    TargetResolver resolver;
};

// --port as given, else the settings file's COM port.
PortPlan PlanPort(const std::optional<PortChoice>& choice, const PortSettings& settings);

// A transfer that cannot go ahead: the exit code and what to say.
struct Refusal {
    int exitCode;
    QString message;
};

// One sign's Transfer with every value checked and every frame built, before any port opens.
struct PreparedTransfer {
    TransferRequest request;
    PortPlan plan;
    QStringList frames;  // in hex, in sending order
    std::vector<TracedFrame> traced;
    QStringList notes;  // for standard error unless --quiet; the transfer goes ahead
};

// Encodes the message in the settings' code page and builds the three frames. A message longer
// than the sign decodes is refused before the port opens (it would take minutes to send, only to
// be dropped); markers inside it are sent, with a note.
Result<PreparedTransfer, Refusal> Prepare(const TransferOptions& options,
                                          const PortSettings& settings);

// The transfer options a sign's section stands for, checked on their own so that a bad value
// is reported against the file.
Parsed<TransferOptions> SignOptions(const NamedSign& sign);

}  // namespace meridial::cli
