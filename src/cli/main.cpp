// meridial-cli: scripted transfers, Sign ID resets and listings, on the same sequence as the
// desktop program.

#include <unistd.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/DescribeOutcome.h"
#include "cli/CommandLine.h"
#include "cli/Fleet.h"
#include "cli/Listings.h"
#include "cli/PreparedTransfer.h"
#include "cli/ServiceClient.h"
#include "cli/SignsFile.h"
#include "cli/TransferOptions.h"
#include "link/AckReply.h"
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

enum Exit {
    kOk = kExitOk,
    kNotAcknowledged = kExitNotAcknowledged,
    kUsage = kExitUsage,
    kOpenFailed = kExitOpenFailed,
    kBuildFailed = kExitBuildFailed,
    kService = kExitService
};

const QString kProgram = QStringLiteral("meridial-cli");

const char* const kOverview = R"(Usage: meridial-cli COMMAND [options]
Programs an LED clock-and-message sign on a serial line.

Commands:
  transfer      date and time, time zone, message; reads the acknowledgement
  reset-id XX   gives the sign on the line the new Sign ID XX (hex 01..FF)
  zones         the 40 time zones: row, offset code, bias, item text
  ports         COM1..COM8 with their devices, then the other serial devices found
  signs         the signs of the signs file
  sync          a Transfer to each named sign (or --all), in parallel across ports;
                with --now, asks meridiald to resend to every sign
  status [NAME] what meridiald says each sign shows, whether it acknowledged, what is next
  notify        a notice on signs for a while (--signs SIGNS --message TEXT --for 30m)
  notices       the notices meridiald holds
  cancel ID     ends a notice
  plan          the changes meridiald will make in the coming hours, per sign
  help [COMMAND]  this overview, or the options of one command

Every command takes -h/--help and --version. Options take their value as
'--opt value' or '--opt=value'.

Exit codes: 0 acknowledged (or done), 1 not acknowledged, 2 bad option or value (also one
meridiald refuses), 3 the port could not be opened, 4 a frame could not be built, the message
cannot be encoded or the sign cannot follow a --tz zone other than 'local' that year,
5 meridiald could not be reached, refused the token or failed, or its token cannot be read.
Settings file: $MERIDIAL_SETTINGS, else meridial.INI beside the program when it exists, else
$XDG_CONFIG_HOME/meridial/meridial.ini with /etc/xdg/meridial/meridial.ini for missing keys.
)";

// Lines carry names and values from files, devices and other programs: a control character in
// one of them must reach the terminal as text, never as a command to it.
void Print(FILE* stream, const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) line = QString::fromStdString(EscapedText(line.toStdString()));
    std::fputs(lines.join(QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

// Every complaint leaves through here, so each carries the program's name.
void Complain(const QString& text) { Print(stderr, kProgram + QStringLiteral(": ") + text); }

// One complaint a line: a signs file names each line it cannot use.
int Usage(const QStringList& messages, const QString& command = {}) {
    for (const QString& message : messages) Complain(message);
    Print(stderr, QStringLiteral("Try '%1 help%2'.")
                      .arg(kProgram, command.isEmpty() ? QString() : QLatin1Char(' ') + command));
    return kUsage;
}

int Usage(const QString& message, const QString& command = {}) {
    return Usage(QStringList{message}, command);
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

const CommandInfo& SignsCommand();
const CommandInfo& SyncCommand();

const CommandInfo* FindCommand(const QString& name) {
    for (const CommandInfo* info :
         {&TransferCommand(), &ResetIdCommand(), &ZonesCommand(), &PortsCommand(), &SignsCommand(),
          &SyncCommand(), &StatusCommand(), &NotifyCommand(), &NoticesCommand(), &CancelCommand(),
          &PlanCommand()})
        if (info->name == name) return info;
    return nullptr;
}

int Help(const CommandInfo& info) {
    std::fputs(HelpText(kProgram, info).toLocal8Bit().constData(), stdout);
    return kOk;
}

QString TargetName(const PortLink& link) { return QString::fromStdString(link.Target().address); }

QString Q(const std::string& text) { return QString::fromStdString(text); }

int ReportOpenFailure(const OpenError& error) {
    for (const std::string& line : OpenFailureLines(error)) Complain(Q(line));
    return kOpenFailed;
}

// The settings file is read whatever it holds; a broken one means the defaults, which the user
// should hear about before COM1 is opened in its stead, and a line it cannot use may be the one
// the user meant to name the port.
void WarnAboutSettings(const PortSettings& settings) {
    if (const QString problem = settings.Problem(); !problem.isEmpty())
        Complain(QStringLiteral("settings file '%1' %2; using the defaults (COM1)")
                     .arg(settings.Path(), problem));
    for (const QString& line : settings.LineProblems())
        Complain(QStringLiteral("settings file '%1' %2").arg(settings.Path(), line));
}

// A stop signal ended the sequence early; the port is closed by now.
int Stopped() {
    Complain(
        QStringLiteral("stopped by %1; the port is closed").arg(QLatin1String(StopSignalName())));
    return StopExitCode();
}

// The link a command sends through: with --verbose, what goes out and comes back is also
// written to standard error as it goes, by frame and burst, or byte by byte when given twice.
struct CommandLink {
    CommandLink(const PortPlan& plan, int verbose, std::vector<TracedFrame> frames)
        : port(plan.resolver, waiter),
          tracing(
              port,
              [](const std::string& line) {
                  std::fprintf(stderr, "%s\n", EscapedText(line).c_str());
              },
              verbose > 1 ? TraceDetail::Bytes : TraceDetail::Bursts),
          link(verbose > 0 ? static_cast<SignLink&>(tracing) : port) {
        tracing.ExpectFrames(std::move(frames));
    }
    BlockingWaiter waiter;
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

// --sign NAME: the section's values first, the command line's after them, so the command line
// wins; a message given on the command line replaces the section's message or file.
Parsed<TransferOptions> WithSign(const SignsFileContents& file, const TransferOptions& given,
                                 const QStringList& args) {
    const auto sign = FindSign(file, given.signName);
    if (!sign) return Parsed<TransferOptions>::Fail(sign.error());
    const auto checked = SignOptions(*sign);
    if (!checked) return Parsed<TransferOptions>::Fail(checked.error());
    QStringList merged;
    for (qsizetype i = 0; i + 1 < sign->arguments.size(); i += 2) {
        const QString& option = sign->arguments[i];
        const bool isMessage =
            option == QStringLiteral("--message") || option == QStringLiteral("--message-file");
        if (isMessage && given.messageGiven) continue;
        merged << option << sign->arguments[i + 1];
    }
    return ParseTransferOptions(merged + args);
}

int Transfer(const QStringList& args) {
    auto parsed = ParseTransferOptions(args);
    if (!parsed) return Usage(parsed.error(), QStringLiteral("transfer"));
    if (parsed->help) return Help(TransferCommand());
    if (parsed->version) return Version();
    if (!parsed->signName.isEmpty()) {
        const auto file = LoadSignsFile(parsed->signsFile);
        if (!file) return Usage(file.error().split(u'\n'), QStringLiteral("transfer"));
        parsed = WithSign(*file, *parsed, args);
        if (!parsed) return Usage(parsed.error(), QStringLiteral("transfer"));
    }
    TransferOptions& options = parsed.value();
    // `echo Hi | meridial-cli transfer`: the message arrives on standard input.
    if (!options.messageGiven && ::isatty(STDIN_FILENO) != 1) {
        auto text = ReadMessageFile(QStringLiteral("-"));
        if (!text) return Usage(text.error(), QStringLiteral("transfer"));
        options.message = *text;
    }
    if (!options.quiet)
        for (const QString& warning : options.warnings) Complain(warning);

    const PortSettings settings(PortSettings::DefaultPath());
    if (!options.quiet) WarnAboutSettings(settings);
    auto prepared = Prepare(options, settings);
    if (!prepared) {
        Complain(prepared.error().message);
        return prepared.error().exitCode;
    }
    if (!options.quiet)
        for (const QString& note : prepared->notes) Complain(note);
    const TransferRequest& request = prepared->request;
    if (options.dryRun) {
        for (const QString& frame : prepared->frames) Print(stdout, frame);
        return kOk;
    }

    const PortPlan& plan = prepared->plan;
    CommandLink link(plan, options.verbose, prepared->traced);
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
    const OutcomeDescription description = DescribeOutcome(outcome, link.port.Target().address);
    for (const std::string& line : description.lines) {
        if (description.exitCode != kOk)
            Complain(Q(line));
        else if (!options.quiet)
            Print(stdout, Q(line));
    }
    return description.exitCode;
}

const CommandInfo& SignsCommand() {
    static const CommandInfo kInfo{
        QStringLiteral("signs"),
        {},
        QStringLiteral("Lists the signs of the signs file: name, port and the values each sets."),
        {SignsFileOption()},
        {}};
    return kInfo;
}

const CommandInfo& SyncCommand() {
    static const CommandInfo kInfo{
        QStringLiteral("sync"),
        {},
        QStringLiteral(
            "Sends a Transfer to each named sign of the signs file: signs on different ports\n"
            "at the same time, signs sharing a port one after another in file order. One line\n"
            "per sign and a summary; exit 0 only when every sign acknowledged, else 1."),
        [] {
            std::vector<OptionInfo> options{
                {{QStringLiteral("sign")},
                 QStringLiteral("NAME"),
                 QStringLiteral("a sign to send to; repeat for more")},
                {{QStringLiteral("all")}, {}, QStringLiteral("every sign of the file")},
                SignsFileOption(),
                {{QStringLiteral("dry-run")},
                 {},
                 QStringLiteral("print each sign's frames in sending order as hex; open no port")},
                QuietOption(),
                {{QStringLiteral("now")},
                 {},
                 QStringLiteral("ask meridiald to resend to every sign instead of sending here")}};
            // --signs is already there: it also leads to the schedule file beside it.
            for (OptionInfo& option : ServiceOptions(false)) options.push_back(std::move(option));
            return options;
        }(),
        QStringLiteral("Nothing is sent to any sign unless every sign's values are good.\n"
                       "--url, --schedule and --token-file find meridiald for --now.\n")};
    return kInfo;
}

int Signs(const QStringList& args) {
    const QString name = QStringLiteral("signs");
    auto parsed = ParseCommand(SignsCommand(), args);
    if (!parsed) return Usage(parsed.error(), name);
    if (parsed->help) return Help(SignsCommand());
    if (parsed->version) return Version();
    if (!parsed->positional.isEmpty())
        return Usage(QStringLiteral("signs: unexpected '%1'").arg(parsed->positional.first()),
                     name);
    QString file;
    for (const auto& [option, value] : parsed->options)
        if (option == QStringLiteral("signs")) file = value;
    const auto signs = LoadSignsFile(file);
    if (!signs) return Usage(signs.error().split(u'\n'), name);
    for (const NamedSign& sign : signs->signs) {
        QStringList values;
        for (qsizetype i = 0; i + 1 < sign.arguments.size(); i += 2)
            if (sign.arguments[i] != QStringLiteral("--port"))
                values << sign.arguments[i].mid(2) + QLatin1Char('=') + sign.arguments[i + 1];
        Print(stdout, QStringLiteral("%1  %2  %3").arg(sign.name, sign.port, values.join(u' ')));
    }
    return kOk;
}

// A service command's output: standard output, complaints, or usage errors with the hint.
int Report(const CommandOutput& output, const QString& command) {
    for (const QString& line : output.lines) Print(stdout, line);
    std::fwrite(output.raw.constData(), 1, static_cast<std::size_t>(output.raw.size()), stdout);
    if (output.usage) return Usage(output.errors, command);
    for (const QString& error : output.errors) Complain(error);
    return output.exitCode;
}

// sync --now: the service sends, to every sign; choosing signs or a dry run is sync's own.
int SyncNowCommand(const CommandArgs& parsed) {
    for (const char* option : {"sign", "all", "dry-run"})
        if (parsed.Has(QLatin1String(option)))
            return Usage(QStringLiteral("sync --now resends to every sign; it takes no --%1")
                             .arg(QLatin1String(option)),
                         QStringLiteral("sync"));
    return Report(SyncNow(parsed), QStringLiteral("sync"));
}

// The commands meridiald answers: status, notify, notices, cancel, plan.
int ServiceCommand(const CommandInfo& info, const QStringList& args,
                   CommandOutput (*run)(const CommandArgs&)) {
    auto parsed = ParseCommand(info, args);
    if (!parsed) return Usage(parsed.error(), info.name);
    if (parsed->help) return Help(info);
    if (parsed->version) return Version();
    return Report(run(*parsed), info.name);
}

int Sync(const QStringList& args) {
    const QString name = QStringLiteral("sync");
    auto parsed = ParseCommand(SyncCommand(), args);
    if (!parsed) return Usage(parsed.error(), name);
    if (parsed->help) return Help(SyncCommand());
    if (parsed->version) return Version();
    if (!parsed->positional.isEmpty())
        return Usage(QStringLiteral("sync: unexpected '%1'").arg(parsed->positional.first()), name);
    if (parsed->Has(QStringLiteral("now"))) return SyncNowCommand(*parsed);
    for (const char* option : {"url", "schedule", "token-file"})
        if (parsed->Has(QLatin1String(option)))
            return Usage(QStringLiteral("sync: --%1 goes with --now").arg(QLatin1String(option)),
                         name);
    QStringList wanted;
    QString file;
    bool all = false, dryRun = false, quiet = false;
    for (const auto& [option, value] : parsed->options) {
        if (option == QStringLiteral("sign")) wanted << value;
        if (option == QStringLiteral("signs")) file = value;
        all = all || option == QStringLiteral("all");
        dryRun = dryRun || option == QStringLiteral("dry-run");
        quiet = quiet || option == QStringLiteral("quiet");
    }
    if (all == !wanted.isEmpty())
        return Usage(QStringLiteral("sync: name the signs with --sign NAME, or give --all"), name);
    const auto signs = LoadSignsFile(file);
    if (!signs) return Usage(signs.error().split(u'\n'), name);
    QVector<NamedSign> chosen;
    if (all) chosen = signs->signs;
    for (const QString& signName : wanted) {
        const auto sign = FindSign(*signs, signName);
        if (!sign) return Usage(sign.error(), name);
        chosen << *sign;
    }
    if (chosen.isEmpty()) return Usage(QStringLiteral("sync: the signs file names no sign"), name);

    // Every sign's values and frames first: one bad section sends nothing to any sign.
    const PortSettings settings(PortSettings::DefaultPath());
    if (!quiet) WarnAboutSettings(settings);
    QVector<FleetJob> jobs;
    QVector<QStringList> frames;
    for (const NamedSign& sign : chosen) {
        auto options = SignOptions(sign);
        if (!options) return Usage(options.error(), name);
        if (!quiet)
            for (const QString& warning : options->warnings)
                Complain(QStringLiteral("%1: %2").arg(sign.name, warning));
        auto prepared = Prepare(options.value(), settings);
        if (!prepared) {
            Complain(SignLocation(sign) + QStringLiteral(": ") + prepared.error().message);
            return prepared.error().exitCode;
        }
        if (!quiet)
            for (const QString& note : prepared->notes)
                Complain(QStringLiteral("%1: %2").arg(sign.name, note));
        const Result<LinkTarget> target = prepared->plan.resolver(prepared->plan.portNumber);
        if (!target)
            return Usage(SignLocation(sign) + QStringLiteral(": port: ") +
                             QString::fromStdString(target.error()),
                         name);
        jobs.push_back({sign.name, *target, prepared->request});
        frames.push_back(prepared->frames);
    }
    if (dryRun) {
        for (int i = 0; i < jobs.size(); ++i) {
            Print(stdout, jobs[i].name + QStringLiteral(":"));
            for (const QString& frame : frames[i]) Print(stdout, frame);
        }
        return kOk;
    }

    int acknowledged = 0;
    // A stop signal ends every line's sequence through its link, each closing its port.
    CatchStopSignals();
    RunFleet(jobs, [&](const FleetResult& result) {
        // A stop cut the run short: its summary says so, not a failed line per sign.
        if (StopSignal() != 0) return;
        const OutcomeDescription description =
            DescribeOutcome(result.outcome, result.target.address);
        const QString line = QStringLiteral("%1: %2").arg(result.name, Q(description.summary));
        if (result.outcome.status != TransferStatus::Ok) {
            Complain(line);
            return;
        }
        ++acknowledged;
        if (!quiet) Print(stdout, line);
    });
    if (StopSignal() != 0) return Stopped();
    if (!quiet)
        Print(stdout,
              QStringLiteral("%1 of %2 signs acknowledged.").arg(acknowledged).arg(jobs.size()));
    return acknowledged == jobs.size() ? kOk : kNotAcknowledged;
}

int ResetId(const QStringList& args) {
    const QString name = QStringLiteral("reset-id");
    auto parsed = ParseCommand(ResetIdCommand(), args);
    if (!parsed) return Usage(parsed.error(), name);
    if (parsed->help) return Help(ResetIdCommand());
    if (parsed->version) return Version();
    std::optional<PortChoice> port;
    int verbose = 0;
    bool quiet = false;
    for (const auto& [option, value] : parsed->options) {
        if (option == QStringLiteral("port")) {
            auto choice = ParsePort(value);
            if (!choice) return Usage(choice.error(), name);
            port = *choice;
        }
        verbose += option == QStringLiteral("verbose") ? 1 : 0;
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
    CommandLink link(plan, verbose, {{"reset", BuildResetFrame(*newId).size()}});
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
    if (command == QStringLiteral("signs")) return Signs(args);
    if (command == QStringLiteral("sync")) return Sync(args);
    if (command == QStringLiteral("status"))
        return ServiceCommand(StatusCommand(), args, cli::Status);
    if (command == QStringLiteral("notify"))
        return ServiceCommand(NotifyCommand(), args, cli::Notify);
    if (command == QStringLiteral("notices"))
        return ServiceCommand(NoticesCommand(), args, cli::Notices);
    if (command == QStringLiteral("cancel"))
        return ServiceCommand(CancelCommand(), args, cli::Cancel);
    if (command == QStringLiteral("plan")) return ServiceCommand(PlanCommand(), args, cli::Plan);
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
