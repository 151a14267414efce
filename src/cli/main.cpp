// meridial-cli: scripted transfers, Sign ID resets and listings, on the same sequence as the
// desktop program.

#include <unistd.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli/CommandLine.h"
#include "cli/Listings.h"
#include "cli/TransferOptions.h"
#include "link/LinkFactory.h"
#include "link/PortSettings.h"
#include "link/StopSignals.h"
#include "link/TracingSignLink.h"
#include "message/MessageFrame.h"
#include "message/TextEncoding.h"
#include "message/TransferSequence.h"
#include "service/ResetId.h"

using namespace meridial;
using namespace meridial::cli;

namespace {

enum Exit { kOk = 0, kNotAcknowledged = 1, kUsage = 2, kOpenFailed = 3, kBuildFailed = 4 };

const QString kProgram = QStringLiteral("meridial-cli");

const char* const kOverview = R"(Usage: meridial-cli COMMAND [options]
Programs an LED clock-and-message sign on a serial line.

Commands:
  transfer      date and time, time zone, message; reads the acknowledgement
  reset-id XX   gives the sign on the line the new Sign ID XX (hex 01..FF)
  zones         the 40 time zones: row, offset code, bias, item text
  ports         COM1..COM8 with their devices, then the other serial devices found
  help [COMMAND]  this overview, or the options of one command

Every command takes -h/--help and --version. Options take their value as
'--opt value' or '--opt=value'.

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

// Every complaint leaves through here, so each carries the program's name.
void Complain(const QString& text) { Print(stderr, kProgram + QStringLiteral(": ") + text); }

int Usage(const QString& message, const QString& command = {}) {
    Complain(message);
    Print(stderr, QStringLiteral("Try '%1 help%2'.")
                      .arg(kProgram, command.isEmpty() ? QString() : QLatin1Char(' ') + command));
    return kUsage;
}

int Version() {
    std::printf("meridial-cli %s\n", MERIDIAL_VERSION);
    return kOk;
}

const CommandInfo& ResetIdCommand() {
    static const CommandInfo kInfo{
        QStringLiteral("reset-id"),
        QStringLiteral("XX"),
        QStringLiteral("Gives the sign on the line the new Sign ID XX, two hex digits 01..FF.\n"
                       "Every sign on the line takes it; no reply is read."),
        {PortOption(), VerboseOption(), QuietOption()},
        {}};
    return kInfo;
}

OptionInfo JsonOption() {
    return {
        {QStringLiteral("json")}, {}, QStringLiteral("one JSON object (schema: meridial-cli(1))")};
}

const CommandInfo& ZonesCommand() {
    static const CommandInfo kInfo{
        QStringLiteral("zones"),
        {},
        QStringLiteral("Lists the 40 time zones: row, offset code, bias in minutes, item text."),
        {JsonOption()},
        {}};
    return kInfo;
}

const CommandInfo& PortsCommand() {
    static const CommandInfo kInfo{
        QStringLiteral("ports"),
        {},
        QStringLiteral(
            "Lists COM1..COM8 with the device each maps to, then the other serial devices\n"
            "found: stable by-id name, description, manufacturer, serial number, USB\n"
            "VID:PID, whether another program holds it and whether you may open it."),
        {JsonOption()},
        {}};
    return kInfo;
}

const CommandInfo* FindCommand(const QString& name) {
    for (const CommandInfo* info :
         {&TransferCommand(), &ResetIdCommand(), &ZonesCommand(), &PortsCommand()})
        if (info->name == name) return info;
    return nullptr;
}

int Help(const CommandInfo& info) {
    std::fputs(HelpText(kProgram, info).toLocal8Bit().constData(), stdout);
    return kOk;
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

int ReportOpenFailure(const OpenError& error) {
    Complain(QStringLiteral("Open Com Error: %1").arg(QString::fromStdString(error.detail)));
    if (error.failure == OpenFailure::NoPermission && !error.group.empty())
        Complain(QStringLiteral("the device belongs to the group '%1'; add yourself with "
                                "'sudo usermod -aG %1 $USER' and log in again")
                     .arg(QString::fromStdString(error.group)));
    if (error.failure == OpenFailure::NoPermission && error.group.empty())
        Complain(
            QStringLiteral("no group may open the device; a udev rule can give it to the "
                           "group 'dialout' (see the README)"));
    if (error.failure == OpenFailure::Busy && error.holderPid == 0)
        Complain(QStringLiteral("another program holds the port; close it and retry"));
    if (error.failure == OpenFailure::Busy && error.holderPid != 0)
        Complain(QStringLiteral("close %1 (process %2) and retry")
                     .arg(error.holderProgram.empty() ? QStringLiteral("the program")
                                                      : QString::fromStdString(error.holderProgram),
                          QString::number(error.holderPid)));
    return kOpenFailed;
}

// A message longer than the sign decodes is refused before the port opens (it would take
// minutes to send, only to be dropped); markers inside it are sent, with a warning.
std::optional<QString> MessageProblem(const std::string& messageBytes, bool quiet) {
    const std::string body = MessageBody(messageBytes);
    if (static_cast<int>(body.size()) > kMaxMessageBodyBytes)
        return QStringLiteral("the message is %1 bytes once encoded; the sign takes at most %2")
            .arg(QString::number(body.size()), QString::number(kMaxMessageBodyBytes));
    if (quiet) return std::nullopt;
    if (static_cast<int>(messageBytes.size()) > kMaxMessageLength)
        Complain(
            QStringLiteral("note: the message is %1 characters; the editor stops typing at %2")
                .arg(QString::number(messageBytes.size()), QString::number(kMaxMessageLength)));
    if (const std::string_view marker = MarkerInBody(body); !marker.empty())
        Complain(
            QStringLiteral("Warning: the message holds \"%1\"; a sign may cut it there")
                .arg(QString::fromLatin1(marker.data(), static_cast<qsizetype>(marker.size()))));
    return std::nullopt;
}

// The settings file is read whatever it holds; a broken one means the defaults, which the user
// should hear about before COM1 is opened in its stead.
void WarnAboutSettings(const PortSettings& settings) {
    if (const QString problem = settings.Problem(); !problem.isEmpty())
        Complain(QStringLiteral("settings file '%1' %2; using the defaults (COM1)")
                     .arg(settings.Path(), problem));
}

// A stop signal ended the sequence early; the port is closed by now.
int Stopped() {
    Complain(
        QStringLiteral("stopped by %1; the port is closed").arg(QLatin1String(StopSignalName())));
    return StopExitCode();
}

int NoMessage() {
    Complain(QStringLiteral("No message to transfer!"));
    return kUsage;
}

// The link a command sends through: with --verbose, every byte is also written to standard
// error as it goes.
struct CommandLink {
    CommandLink(const PortPlan& plan, bool verbose)
        : port(plan.resolver, WaitMode::Blocking),
          tracing(port,
                  [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }),
          link(verbose ? static_cast<SignLink&>(tracing) : port) {}
    PortLink port;
    TracingSignLink tracing;
    SignLink& link;
};

// Progress redraws one line with carriage returns: only for a person at a terminal that
// understands them.
bool ProgressWanted() {
    if (::isatty(STDERR_FILENO) != 1) return false;
    const char* term = std::getenv("TERM");
    return term && *term && QByteArray(term) != "dumb";
}

int Transfer(const QStringList& args) {
    auto parsed = ParseTransferOptions(args);
    if (!parsed) return Usage(parsed.error(), QStringLiteral("transfer"));
    TransferOptions& options = parsed.value();
    if (options.help) return Help(TransferCommand());
    if (options.version) return Version();
    // `echo Hi | meridial-cli transfer`: the message arrives on standard input.
    if (!options.messageGiven && ::isatty(STDIN_FILENO) != 1) {
        auto text = ReadMessageFile(QStringLiteral("-"));
        if (!text) return Usage(text.error(), QStringLiteral("transfer"));
        options.message = *text;
    }
    if (options.message.isEmpty()) return NoMessage();
    if (!options.zoneFailure.isEmpty()) {
        Complain(options.zoneFailure);
        return kBuildFailed;
    }
    if (!options.quiet)
        for (const QString& warning : options.warnings) Complain(warning);

    const PortSettings settings(PortSettings::DefaultPath());
    if (!options.quiet) WarnAboutSettings(settings);
    const EncodedText text = EncodeForSign(options.message, ResolveCodePage(settings.CodePage()));
    if (!text) {
        Complain(QString::fromStdString(text.error()));
        return kBuildFailed;
    }
    TransferRequest& request = options.request;
    request.messageBytes = *text;
    if (const auto problem = MessageProblem(request.messageBytes, options.quiet)) {
        Complain(*problem);
        return kBuildFailed;
    }

    // Every frame is built before the port opens, so a bad value sends nothing at all.
    QStringList frames;
    for (const TransferStep step : kTransferSteps) {
        const FrameResult frame = BuildTransferFrame(request, step);
        if (!frame) {
            Complain(QString::fromStdString(frame.error()));
            return kBuildFailed;
        }
        frames << QString::fromStdString(HexBytes(*frame));
    }
    if (options.dryRun) {
        for (const QString& frame : frames) Print(stdout, frame);
        return kOk;
    }

    const PortPlan plan = PlanPort(options.port, settings);
    CommandLink link(plan, options.verbose);
    CatchStopSignals();
    // The trace and the progress line would write over each other.
    const bool showProgress = !options.quiet && !options.verbose && ProgressWanted();
    auto progress = [&](int position, int maximum) {
        if (!showProgress) return;
        std::fprintf(stderr, "\rSending message %d/%d", position, maximum);
        if (position == 0 && maximum > 0) std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    };
    const TransferOutcome outcome = RunTransfer(link.link, plan.portNumber, request, progress);
    if (StopSignal() != 0) return Stopped();
    switch (outcome.status) {
        case TransferStatus::Ok:
            if (!options.quiet) Print(stdout, QStringLiteral("Transmission OK."));
            return kOk;
        case TransferStatus::OpenFailed:
            return ReportOpenFailure(outcome.openError);
        case TransferStatus::EmptyMessage:
            return NoMessage();
        case TransferStatus::BuildFailed:
            Complain(QString::fromStdString(outcome.message));
            return kBuildFailed;
        case TransferStatus::NotAcknowledged:
            break;
    }
    Complain(QStringLiteral("Transmission Error."));
    QString reason = QString::fromStdString(FailureReason(outcome));
    if (!outcome.lineError.empty()) reason += QStringLiteral(" (%1)").arg(TargetName(link.port));
    Complain(reason);
    return kNotAcknowledged;
}

int ResetId(const QStringList& args) {
    const QString name = QStringLiteral("reset-id");
    auto parsed = ParseCommand(ResetIdCommand(), args);
    if (!parsed) return Usage(parsed.error(), name);
    if (parsed->help) return Help(ResetIdCommand());
    if (parsed->version) return Version();
    std::optional<PortChoice> port;
    bool verbose = false;
    bool quiet = false;
    for (const auto& [option, value] : parsed->options) {
        if (option == QStringLiteral("port")) {
            auto choice = ParsePort(value);
            if (!choice) return Usage(choice.error(), name);
            port = *choice;
        }
        verbose = verbose || option == QStringLiteral("verbose");
        quiet = quiet || option == QStringLiteral("quiet");
    }
    if (verbose && quiet)
        return Usage(QStringLiteral("--verbose and --quiet exclude each other"), name);
    const QStringList& positional = parsed->positional;
    if (positional.isEmpty())
        return Usage(QStringLiteral("reset-id needs the new Sign ID, 01..FF"), name);
    if (positional.size() > 1)
        return Usage(QStringLiteral("reset-id: unexpected '%1'").arg(positional[1]), name);
    const auto newId = ParseResetId(positional.first().toStdString());
    if (!newId)
        return Usage(
            QStringLiteral("reset-id: '%1' is not two hex digits 01..FF").arg(positional.first()),
            name);

    const PortSettings settings(PortSettings::DefaultPath());
    if (!quiet) WarnAboutSettings(settings);
    const PortPlan plan = PlanPort(port, settings);
    CommandLink link(plan, verbose);
    CatchStopSignals();
    const OpenResult opened = RunResetId(link.link, plan.portNumber, *newId);
    if (StopSignal() != 0) return Stopped();
    if (!opened) return ReportOpenFailure(opened.error());
    if (!quiet)
        Print(stdout,
              QStringLiteral("Sent %1 to %2")
                  .arg(QString::fromStdString(BuildResetFrame(*newId)), TargetName(link.port)));
    return kOk;
}

// zones and ports: listings with an optional --json.
template <typename Text, typename Json>
int Listing(const CommandInfo& info, const QStringList& args, Text text, Json json) {
    auto parsed = ParseCommand(info, args);
    if (!parsed) return Usage(parsed.error(), info.name);
    if (parsed->help) return Help(info);
    if (parsed->version) return Version();
    if (!parsed->positional.isEmpty())
        return Usage(
            QStringLiteral("%1: unexpected '%2'").arg(info.name, parsed->positional.first()),
            info.name);
    const QByteArray out = parsed->Has(QStringLiteral("json"))
                               ? QJsonDocument(json()).toJson(QJsonDocument::Indented)
                               : text();
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    return kOk;
}

int HelpCommand(const QStringList& args) {
    if (args.isEmpty()) {
        std::fputs(kOverview, stdout);
        return kOk;
    }
    if (const CommandInfo* info = FindCommand(args.first()); info && args.size() == 1)
        return Help(*info);
    return Usage(QStringLiteral("help: no command '%1'").arg(args.join(QLatin1Char(' '))));
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return Usage(QStringLiteral("no command given"));
    const QString command = args.takeFirst();
    if (command == QStringLiteral("--help") || command == QStringLiteral("-h") ||
        command == QStringLiteral("help"))
        return HelpCommand(args);
    if (command == QStringLiteral("--version")) return Version();
    if (command == QStringLiteral("transfer")) return Transfer(args);
    if (command == QStringLiteral("reset-id")) return ResetId(args);
    if (command == QStringLiteral("zones"))
        return Listing(ZonesCommand(), args, ZonesText, ZonesJson);
    if (command == QStringLiteral("ports")) {
        const PortSettings settings(PortSettings::DefaultPath());
        WarnAboutSettings(settings);
        return Listing(
            PortsCommand(), args, [&] { return PortsText(settings); },
            [&] { return PortsJson(settings); });
    }
    return Usage(QStringLiteral("unknown command '%1'").arg(command));
}
