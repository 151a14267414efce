// meridiald: keeps a building's signs showing what their schedule says, their clocks right, and
// tells what each one shows.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "cli/Building.h"
#include "daemon/Service.h"
#include "daemon/api/HttpApi.h"
#include "daemon/api/TokenFile.h"
#include "daemon/mqtt/MqttBridge.h"
#include "link/AckReply.h"

using namespace meridial;
using namespace meridial::daemon;

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitCannotRun = 1;
// Transfers under way when SIGTERM comes are let run this long, then cut short.
constexpr int kStopGraceMs = 8000;

const char* const kUsage = R"(Usage: meridiald [--signs FILE] [--schedule FILE]
Keeps the signs of the signs file showing what the schedule plans for them, resends their
clocks after each daylight-saving change and daily, retries what fails, and answers an HTTP
API (see meridiald(8)). Runs in the foreground and logs to standard error.

  --signs FILE     the signs file (default: $XDG_CONFIG_HOME/meridial/signs.ini, then
                   /etc/meridial/signs.ini)
  --schedule FILE  the schedule (default: schedule.ini beside the signs file; none there
                   means every sign shows its own message)
  -h, --help       this text
  --version        the version

State and the API token: $STATE_DIRECTORY (default /var/lib/meridial).
SIGHUP reads both files again (a bad file keeps the plan in force); SIGTERM ends the
Transfers under way and exits.
)";

void Say(const QString& line) {
    std::fprintf(stderr, "meridiald: %s\n", EscapedText(line.toStdString()).c_str());
    std::fflush(stderr);
}

int g_signalPipe[2] = {-1, -1};

extern "C" void OnSignal(int number) {
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

bool CatchSignals() {
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGHUP, SIGTERM, SIGINT}) ::sigaction(number, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    return true;
}

QString StateFolder() {
    // systemd may name several folders, separated by ':'; ours is the first.
    const QString given = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
    return given.isEmpty() ? QStringLiteral("/var/lib/meridial") : given;
}

// One service per state folder: a second would overwrite the first's state and send its own
// plan alongside. The lock is on the folder itself, so nothing is left behind, and it ends with
// the process however that ends.
std::optional<QString> HoldStateFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) return std::nullopt;  // held till exit
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (error == EWOULDBLOCK)
        return QStringLiteral("another meridiald already keeps the signs of %1; stop it first")
            .arg(folder);
    return QStringLiteral("cannot lock the state folder %1: %2")
        .arg(folder, QString::fromLocal8Bit(std::strerror(error)));
}

// "127.0.0.1:8266", "[::1]:8266".
bool SplitListen(const std::string& host, int port, QHostAddress& address) {
    address = QHostAddress(QString::fromStdString(host));
    return !address.isNull() && port > 0 && port < 65536;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QString signsFile, scheduleFile;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        auto value = [&](const QString& option, QString& into) {
            if (arg == option && i + 1 < args.size()) {
                into = args[++i];
                return true;
            }
            if (arg.startsWith(option + u'=')) {
                into = arg.mid(option.size() + 1);
                return true;
            }
            return false;
        };
        if (arg == QStringLiteral("-h") || arg == QStringLiteral("--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == QStringLiteral("--version")) {
            std::printf("meridiald %s\n", MERIDIAL_VERSION);
            return 0;
        }
        if (value(QStringLiteral("--signs"), signsFile) ||
            value(QStringLiteral("--schedule"), scheduleFile))
            continue;
        Say(QStringLiteral("unexpected '%1'; try 'meridiald --help'").arg(arg.left(64)));
        return kExitUsage;
    }

    auto building = LoadBuilding(signsFile, scheduleFile);
    if (!building) {
        for (const QString& line : building.error().split(u'\n')) Say(line);
        return kExitUsage;
    }
    auto mqtt = ParseMqttSection((*building)->schedule.mqtt, (*building)->schedulePath);
    if (!mqtt) {
        for (const QString& line : mqtt.error().split(u'\n')) Say(line);
        return kExitUsage;
    }
    const QString folder = StateFolder();
    if (!QDir().mkpath(folder)) {
        Say(QStringLiteral("cannot make the state folder %1").arg(folder));
        return kExitCannotRun;
    }
    if (const auto busy = HoldStateFolder(folder)) {
        Say(*busy);
        return kExitCannotRun;
    }
    const auto token = LoadOrCreateToken(folder);
    if (!token) {
        Say(token.error());
        return kExitCannotRun;
    }
    const QString statePath = QDir(folder).filePath(QStringLiteral("state.json"));
    auto state = ReadStateFile(statePath);
    if (!state) {
        // A file it cannot open may read fine once its owner or mode is mended: left as it is.
        if (QFile probe(statePath); !probe.open(QIODevice::ReadOnly)) {
            Say(state.error());
            return kExitCannotRun;
        }
        // What it holds may be all anyone knows of the signs: kept aside, never overwritten.
        const QString aside =
            statePath + QStringLiteral(".unreadable-") +
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (!QFile::rename(statePath, aside)) {
            Say(QStringLiteral("%1; it cannot be kept aside as %2, so it is left alone")
                    .arg(state.error(), aside));
            return kExitCannotRun;
        }
        Say(QStringLiteral("%1; kept as %2, starting from nothing").arg(state.error(), aside));
        state = ServiceState{};
    }
    if (!CatchSignals()) {
        Say(QStringLiteral("cannot watch for signals: %1")
                .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return kExitCannotRun;
    }

    Service service(*building, statePath, std::move(*state));
    HttpApi api(service, *token);
    const schedule::ServiceOptions& options = (*building)->schedule.service;
    QHostAddress address;
    if (!SplitListen(options.listenHost, options.listenPort, address)) {
        Say(QStringLiteral("listen: '%1' is not an address")
                .arg(QString::fromStdString(options.listenHost)));
        return kExitUsage;
    }
    const auto port = api.Listen(address, static_cast<quint16>(options.listenPort));
    if (!port) {
        Say(port.error());
        return kExitCannotRun;
    }
    Say(QStringLiteral("%1 signs, %2 schedule entries; the API on http://%3:%4")
            .arg((*building)->signs.size())
            .arg((*building)->schedule.entries.size())
            .arg(address.protocol() == QAbstractSocket::IPv6Protocol
                     ? u'[' + address.toString() + u']'
                     : address.toString())
            .arg(*port));

    // The bridge goes before the service it reports on; its end says "offline" to the broker.
    std::unique_ptr<MqttBridge> bridge;
    const auto startBridge = [&](std::optional<MqttOptions> options) {
        bridge.reset();
        if (!options) return;
        bridge = std::make_unique<MqttBridge>(std::move(*options), service);
        if (!bridge->Start()) bridge.reset();
    };
    startBridge(std::move(*mqtt));
    service.OnSignChanged([&bridge](const QString& name) {
        if (bridge) bridge->SignChanged(name);
    });

    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    bool stopping = false;
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char number = 0;
        while (::read(g_signalPipe[0], &number, 1) == 1) {
            if (number == SIGHUP && !stopping) {
                auto reread = LoadBuilding(signsFile, scheduleFile);
                auto rereadMqtt =
                    reread ? ParseMqttSection((*reread)->schedule.mqtt, (*reread)->schedulePath)
                           : decltype(mqtt)::Fail(QString());
                if (!reread || !rereadMqtt) {
                    Say(QStringLiteral("reload refused; the plan in force stays:"));
                    const QString why = reread ? rereadMqtt.error() : reread.error();
                    for (const QString& line : why.split(u'\n')) Say(line);
                    continue;
                }
                Say(QStringLiteral("reloaded: %1 signs, %2 schedule entries")
                        .arg((*reread)->signs.size())
                        .arg((*reread)->schedule.entries.size()));
                service.Reload(*reread);
                const schedule::ServiceOptions& given = (*reread)->schedule.service;
                if (given.listenHost != options.listenHost ||
                    given.listenPort != options.listenPort)
                    Say(QStringLiteral("listen= changed: the API stays on %1:%2 until meridiald "
                                       "is restarted")
                            .arg(QString::fromStdString(options.listenHost))
                            .arg(options.listenPort));
                if (!bridge || !*rereadMqtt || bridge->Options() != **rereadMqtt)
                    startBridge(std::move(*rereadMqtt));
                else
                    bridge->SignsChanged();
            } else if (number != SIGHUP && !stopping) {
                stopping = true;
                Say(QStringLiteral("stopping: the Transfers under way end first"));
                service.Stop(kStopGraceMs, [&app] { app.quit(); });
            }
        }
    });
    service.Start();
    const int code = app.exec();
    startBridge(std::nullopt);
    Say(QStringLiteral("stopped"));
    return code;
}
