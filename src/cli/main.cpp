// meridial-cli: scripted transfers, Sign ID resets and listings, on the same sequence as the
// desktop program.

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <cstdio>

#include "cli/TransferOptions.h"
#include "link/LinkFactory.h"
#include "link/PortSettings.h"
#include "message/MessageFrame.h"
#include "message/TextEncoding.h"
#include "message/TransferSequence.h"
#include "service/ResetId.h"
#include "zone/ZoneTable.h"

using namespace meridial;
using namespace meridial::cli;

namespace {

enum Exit { kOk = 0, kNotAcknowledged = 1, kUsage = 2, kOpenFailed = 3, kBuildFailed = 4 };

const char* const kUsageText = R"(Usage:
meridial-cli transfer [options]    date and time, time zone, message; reads the acknowledgement
  --port COMn|PATH|tcp://HOST:PORT|rfc2217://HOST:PORT
                                   default: the remembered port from the settings file
  --id N                           Sign ID 0..99, default 0
  --speed N                        0 (slow) .. 4 (fast), default 2
  --message TEXT | --message-file FILE ('-' reads standard input); UTF-8 text,
                                   encoded like the editor's text
  --date YYYY-MM-DD                default: today
  --time TEXT                      hh:mm:ss, or any 8-character time-field text such as " 5:30:15"
                                   or "  :  :  "; default: now
  --bias MINUTES                   PC zone bias (UTC = local + bias); default: the PC's
  --dst | --no-dst                 daylight time in force now; default: the PC's
  --tz ZONE                        the sign's zone: an IANA name such as Europe/Berlin, or
                                   'local' for the PC's zone (the default); sets --zone and
                                   both DST rows for the year of --date from the time zone
                                   database, so the sign keeps local time all year
  --zone ROW                       0..39 (see 'zones'); overrides the row from --tz
  --dst-start ROW, --dst-end ROW   ROW is YYYY (an empty row of that year) or YYYY-MM-DD:H
                                   (H 0..23, local standard time); overrides the row from --tz
  --time-format 24|12              default 24
  --date-style alphabet|number     default alphabet
  --date-order MM-DD-YY|YY-MM-DD|DD-MM-YY   default MM-DD-YY
  --dry-run                        print the three frames in sending order as hex; open no port
meridial-cli reset-id XX [--port COMn|PATH]   XX: the new Sign ID, two hex digits 01..FF
meridial-cli zones                 the 40 zones: row, offset code, bias, item text
meridial-cli ports                 COM1..COM8 with the device each maps to and whether it exists,
                                   then the other serial devices found
meridial-cli --help | --version

Exit codes: 0 acknowledged (or done), 1 not acknowledged, 2 bad option or value,
3 the port could not be opened, 4 a frame could not be built, the message cannot be encoded
or the sign cannot follow the --tz zone.
Settings file: $MERIDIAL_SETTINGS, else meridial.INI beside the program when it exists, else
$XDG_CONFIG_HOME/meridial/meridial.ini with /etc/xdg/meridial/meridial.ini for missing keys.
)";

void Print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

int Usage(const QString& message) {
    Print(stderr, QStringLiteral("meridial-cli: %1").arg(message));
    Print(stderr, QStringLiteral("Try 'meridial-cli --help'."));
    return kUsage;
}

// The port the sequence opens and how it reaches its target: a COM number through the settings
// file, or a device path given on the command line.
struct PortPlan {
    int portNumber = kDefaultPortNumber;
    TargetResolver resolver;
};

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

QString TargetName(const PortLink& link) { return QString::fromStdString(link.Target().address); }

int ReportOpenFailure(OpenFailure failure, const std::string& detail) {
    Print(stderr, QStringLiteral("Open Com Error: %1").arg(QString::fromStdString(detail)));
    if (failure == OpenFailure::NoPermission)
        Print(stderr, QStringLiteral("Hint: serial devices belong to the group 'dialout'; add "
                                     "yourself with 'sudo usermod -aG dialout $USER' and log in "
                                     "again."));
    if (failure == OpenFailure::Busy)
        Print(stderr, QStringLiteral("Hint: another program holds the port; close it and retry."));
    return kOpenFailed;
}

int NoMessage() {
    Print(stderr, QStringLiteral("No message to transfer!"));
    return kUsage;
}

int Transfer(const QStringList& args) {
    auto parsed = ParseTransferOptions(args);
    if (!parsed) return Usage(parsed.error());
    TransferOptions& options = parsed.value();
    if (options.message.isEmpty()) return NoMessage();
    if (!options.zoneFailure.isEmpty()) {
        Print(stderr, options.zoneFailure);
        return kBuildFailed;
    }
    for (const QString& warning : options.warnings) Print(stderr, warning);

    const PortSettings settings(PortSettings::DefaultPath());
    const EncodedText text = EncodeForSign(options.message, ResolveCodePage(settings.CodePage()));
    if (!text) {
        Print(stderr, QString::fromStdString(text.error()));
        return kBuildFailed;
    }
    TransferRequest& request = options.request;
    request.messageBytes = *text;
    if (static_cast<int>(request.messageBytes.size()) > kMaxMessageLength)
        Print(stderr,
              QStringLiteral("Note: the message is %1 characters; the editor stops typing at %2.")
                  .arg(request.messageBytes.size())
                  .arg(kMaxMessageLength));

    // Every frame is built before the port opens, so a bad value sends nothing at all.
    QStringList frames;
    for (const TransferStep step : kTransferSteps) {
        const FrameResult frame = BuildTransferFrame(request, step);
        if (!frame) {
            Print(stderr, QString::fromStdString(frame.error()));
            return kBuildFailed;
        }
        frames << QString::fromStdString(HexBytes(*frame));
    }
    if (options.dryRun) {
        for (const QString& frame : frames) Print(stdout, frame);
        return kOk;
    }

    const PortPlan plan = PlanPort(options.port, settings);
    PortLink link(plan.resolver, WaitMode::Blocking);
    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    auto progress = [&](int position, int maximum) {
        if (!showProgress) return;
        std::fprintf(stderr, "\rSending message %d/%d", position, maximum);
        if (position == 0 && maximum > 0) std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    };
    const TransferOutcome outcome = RunTransfer(link, plan.portNumber, request, progress);
    switch (outcome.status) {
        case TransferStatus::Ok:
            Print(stdout, QStringLiteral("Transmission OK."));
            return kOk;
        case TransferStatus::OpenFailed:
            return ReportOpenFailure(outcome.openFailure, outcome.message);
        case TransferStatus::EmptyMessage:
            return NoMessage();
        case TransferStatus::BuildFailed:
            Print(stderr, QString::fromStdString(outcome.message));
            return kBuildFailed;
        case TransferStatus::NotAcknowledged:
            break;
    }
    Print(stderr, QStringLiteral("Transmission Error."));
    if (!outcome.lineError.empty())
        Print(stderr, QStringLiteral("The serial line failed: %1 (%2)")
                          .arg(QString::fromStdString(outcome.lineError), TargetName(link)));
    else
        Print(stderr, QStringLiteral("The sign did not answer \"ACK\"."));
    return kNotAcknowledged;
}

int ResetId(const QStringList& args) {
    std::optional<int> newId;
    std::optional<PortChoice> port;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--port")) {
            if (i + 1 >= args.size()) return Usage(QStringLiteral("--port needs a value"));
            auto parsed = ParsePort(args[++i]);
            if (!parsed) return Usage(parsed.error());
            port = *parsed;
        } else if (!newId) {
            newId = ParseResetId(args[i].toStdString());
            if (!newId)
                return Usage(
                    QStringLiteral("reset-id: '%1' is not two hex digits 01..FF").arg(args[i]));
        } else {
            return Usage(QStringLiteral("reset-id: unexpected '%1'").arg(args[i]));
        }
    }
    if (!newId) return Usage(QStringLiteral("reset-id needs the new Sign ID, 01..FF"));
    const PortSettings settings(PortSettings::DefaultPath());
    const PortPlan plan = PlanPort(port, settings);
    PortLink link(plan.resolver, WaitMode::Blocking);
    const OpenResult opened = RunResetId(link, plan.portNumber, *newId);
    if (!opened) return ReportOpenFailure(opened.error().failure, opened.error().detail);
    Print(stdout, QStringLiteral("Sent %1 to %2")
                      .arg(QString::fromStdString(BuildResetFrame(*newId)), TargetName(link)));
    return kOk;
}

int Zones() {
    const auto& table = ZoneTable();
    for (int row = 0; row < kZoneCount; ++row) {
        const Zone& zone = table[row];
        std::printf("%2d  %.*s  %5d  %.*s\n", row, static_cast<int>(zone.offsetCode.size()),
                    zone.offsetCode.data(), zone.bias, static_cast<int>(zone.itemText.size()),
                    zone.itemText.data());
    }
    return kOk;
}

int Ports() {
    const PortSettings settings(PortSettings::DefaultPath());
    QStringList mapped;
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        const QString device = settings.DeviceForPort(n);
        mapped << QFileInfo(device).canonicalFilePath();
        Print(stdout, QStringLiteral("COM%1  %2  %3")
                          .arg(n)
                          .arg(device)
                          .arg(QFileInfo::exists(device) ? QStringLiteral("present")
                                                         : QStringLiteral("missing")));
    }
    bool header = false;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (mapped.contains(QFileInfo(info.systemLocation()).canonicalFilePath())) continue;
        if (!header) Print(stdout, QStringLiteral("Other serial devices:"));
        header = true;
        Print(stdout, QStringLiteral("  %1  %2").arg(info.systemLocation(), info.description()));
    }
    Print(stdout, QStringLiteral("Settings file: %1").arg(settings.Path()));
    return kOk;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return Usage(QStringLiteral("no command given"));
    const QString command = args.takeFirst();
    if (command == QStringLiteral("--help") || command == QStringLiteral("-h")) {
        std::fputs(kUsageText, stdout);
        return kOk;
    }
    if (command == QStringLiteral("--version")) {
        std::printf("meridial-cli %s\n", MERIDIAL_VERSION);
        return kOk;
    }
    if (command == QStringLiteral("transfer")) return Transfer(args);
    if (command == QStringLiteral("reset-id")) return ResetId(args);
    if (command == QStringLiteral("zones") && args.isEmpty()) return Zones();
    if (command == QStringLiteral("ports") && args.isEmpty()) return Ports();
    return Usage(QStringLiteral("unknown command '%1'").arg(command));
}
