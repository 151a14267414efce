#include "cli/ServiceClient.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrlQuery>
#include <cerrno>
#include <cstring>

#include "cli/Building.h"
#include "cli/SignsFile.h"
#include "link/AckReply.h"

namespace meridial::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

// More than any answer of a building's signs; a peer that sends more is not the service.
constexpr qint64 kMaxAnswerBytes = 8 * 1024 * 1024;
// A token is a line of text; a bigger file is not the service's token.
constexpr qsizetype kMaxTokenBytes = 4096;

ServiceFailure UsageFailure(const QString& message) { return {kExitUsage, message}; }

QString Trimmed(const QByteArray& line) { return QString::fromUtf8(line).trimmed(); }

// "HOST:PORT" or "[V6]:PORT" as the service reads its listen= value.
ServiceResult<QUrl> UrlForListen(const QString& value, const QString& where) {
    using R = ServiceResult<QUrl>;
    const auto bad = [&](const QString& why) {
        return R::Fail(UsageFailure(QStringLiteral("%1: listen=%2: %3").arg(where, value, why)));
    };
    const qsizetype colon = value.lastIndexOf(u':');
    if (colon <= 0) return bad(QStringLiteral("not HOST:PORT"));
    QString host = value.left(colon);
    bool isNumber = false;
    const int port = value.mid(colon + 1).toInt(&isNumber);
    if (!isNumber || port < 1 || port > 65535) return bad(QStringLiteral("no port 1..65535"));
    if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
    const QHostAddress address(host);
    // Listening on every address means it answers on the loopback one too.
    if (address == QHostAddress::AnyIPv4) host = QStringLiteral("127.0.0.1");
    if (address == QHostAddress::AnyIPv6) host = QStringLiteral("::1");
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPort(port);
    if (!url.isValid() || host.isEmpty()) return bad(QStringLiteral("not a host name or address"));
    return url;
}

QString ErrnoText(int error) {
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (!text.isEmpty()) text[0] = text[0].toLower();
    return text;
}

QString Arg(const CommandArgs& args, const QString& name) {
    QString value;
    for (const auto& [option, given] : args.options)
        if (option == name) value = given;
    return value;
}

CommandOutput Failed(const ServiceFailure& failure) {
    CommandOutput output;
    output.exitCode = failure.exitCode;
    output.errors << failure.message;
    return output;
}

CommandOutput UsageError(const QString& message) {
    CommandOutput output = Failed(UsageFailure(message));
    output.usage = true;
    return output;
}

QString Escaped(const QString& text) {
    return QString::fromStdString(EscapedText(text.toStdString()));
}

// An ISO time from the service in the user's local time, to the minute.
QString LocalTime(const QJsonValue& value) {
    const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODate);
    if (!time.isValid()) return Escaped(value.toString());
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// "Closed today" (evening): a message and where it comes from, made safe for the terminal.
QString MessageCell(const QJsonObject& shows) {
    QString cell = QLatin1Char('"') + Escaped(shows.value(QStringLiteral("message")).toString()) +
                   QLatin1Char('"');
    const QString source = shows.value(QStringLiteral("source")).toString();
    if (!source.isEmpty()) cell += QStringLiteral(" (%1)").arg(Escaped(source));
    return cell;
}

// Rows of cells, each column as wide as its widest cell; the last column is not padded.
QStringList Table(const QVector<QStringList>& rows) {
    QVector<qsizetype> widths;
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (widths.size() <= i) widths.push_back(0);
            widths[i] = std::max(widths[i], row[i].size());
        }
    QStringList lines;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        lines << line;
    }
    return lines;
}

QString StateCell(const QJsonObject& state) {
    const QJsonObject last = state.value(QStringLiteral("lastAttempt")).toObject();
    const QString reason = Escaped(last.value(QStringLiteral("reason")).toString());
    const QString why = reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason);
    QString cell;
    if (state.value(QStringLiteral("failingSince")).isString())
        cell = QStringLiteral("failing since %1%2")
                   .arg(LocalTime(state.value(QStringLiteral("failingSince"))), why);
    else if (state.value(QStringLiteral("acknowledged")).toBool())
        cell = QStringLiteral("acknowledged");
    else if (last.isEmpty())
        cell = QStringLiteral("not sent yet");
    else
        cell = QStringLiteral("not acknowledged") + why;
    if (state.value(QStringLiteral("nextAttempt")).isString())
        cell += QStringLiteral(", next try %1")
                    .arg(LocalTime(state.value(QStringLiteral("nextAttempt"))));
    return cell;
}

QStringList StatusTable(const QJsonArray& signs) {
    QVector<QStringList> rows{{QStringLiteral("NAME"), QStringLiteral("STATE"),
                               QStringLiteral("SHOWS"), QStringLiteral("NEXT CHANGE")}};
    for (const QJsonValue& value : signs) {
        const QJsonObject sign = value.toObject();
        const QJsonObject state = sign.value(QStringLiteral("state")).toObject();
        const QJsonValue shows = state.value(QStringLiteral("shows"));
        const QJsonValue next = state.value(QStringLiteral("nextChange"));
        rows.push_back({Escaped(sign.value(QStringLiteral("name")).toString()), StateCell(state),
                        shows.isObject() ? MessageCell(shows.toObject()) : QStringLiteral("-"),
                        next.isObject() ? LocalTime(next.toObject().value(QStringLiteral("at"))) +
                                              QStringLiteral("  ") + MessageCell(next.toObject())
                                        : QStringLiteral("-")});
    }
    return Table(rows);
}

// The service at its address with its token, or why a command cannot reach it.
struct Service {
    QUrl url;
    QByteArray token;
    QString tokenFile;

    ServiceResult<ServiceReply> Call(const QByteArray& method, const QString& path,
                                     const QJsonDocument& body = {}) const {
        return CallService(url, token, method, path, body, tokenFile);
    }
};

ServiceResult<Service> Connect(const ServiceLocation& location) {
    auto url = FindServiceUrl(location);
    if (!url) return ServiceResult<Service>::Fail(url.error());
    const QString tokenFile = TokenFilePath(location);
    auto token = ReadToken(tokenFile);
    if (!token) return ServiceResult<Service>::Fail(token.error());
    return Service{*url, *token, tokenFile};
}

// The service's answer to one request, or the failure as the command's output.
ServiceResult<ServiceReply> Ask(const ServiceLocation& location, const QByteArray& method,
                                const QString& path, const QJsonDocument& body = {}) {
    const auto service = Connect(location);
    if (!service) return ServiceResult<ServiceReply>::Fail(service.error());
    return service->Call(method, path, body);
}

CommandOutput Unexpected(const ServiceLocation& location, const QString& what) {
    const auto url = FindServiceUrl(location);
    return Failed({kExitService, QStringLiteral("meridiald at %1 sent an answer without %2")
                                     .arg(url ? url->toString() : QString(), what)});
}

QString Extra(const QStringList& positional, const QString& command) {
    return QStringLiteral("%1: unexpected '%2'").arg(command, positional.first());
}

// --until as typed: an ISO time with its zone, or without one in local time; in UTC for the
// service.
std::optional<QString> UntilUtc(const QString& text) {
    QString iso = text.trimmed();
    if (iso.size() > 10 && iso[10] == u' ') iso[10] = u'T';
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    if (!time.isValid() || iso.size() <= 10) return std::nullopt;
    return time.toUTC().toString(Qt::ISODate);
}

}  // namespace

std::vector<OptionInfo> ServiceOptions(bool signsFile) {
    std::vector<OptionInfo> options{
        {{QStringLiteral("url")},
         QStringLiteral("URL"),
         QStringLiteral("the service, http://HOST:PORT; default: the schedule file's listen=")},
        {{QStringLiteral("schedule")},
         QStringLiteral("FILE"),
         QStringLiteral("the schedule file; default: schedule.ini beside the signs file")},
        {{QStringLiteral("token-file")},
         QStringLiteral("FILE"),
         QStringLiteral("the service's token; default: $STATE_DIRECTORY/token, else\n"
                        "/var/lib/meridial/token")}};
    if (signsFile)
        options.push_back({{QStringLiteral("signs")},
                           QStringLiteral("FILE"),
                           QStringLiteral("the signs file, whose folder holds schedule.ini")});
    return options;
}

ServiceLocation LocationFrom(const CommandArgs& args, bool signsFile) {
    return {Arg(args, QStringLiteral("url")), Arg(args, QStringLiteral("schedule")),
            signsFile ? Arg(args, QStringLiteral("signs")) : QString(),
            Arg(args, QStringLiteral("token-file"))};
}

ServiceResult<QUrl> ListenUrl(const QByteArray& scheduleText, const QString& path) {
    bool inService = false;
    int number = 0;
    std::optional<ServiceResult<QUrl>> found;
    QByteArray text = scheduleText;
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    text.replace("\r\n", "\n").replace('\r', '\n');
    for (const QByteArray& raw : text.split('\n')) {
        ++number;
        const QString line = Trimmed(raw);
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            inService = line == QStringLiteral("[service]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inService || equals < 0 || line.left(equals).trimmed() != QStringLiteral("listen"))
            continue;
        // The last one wins, as for every key the service reads.
        found = UrlForListen(line.mid(equals + 1).trimmed(),
                             QStringLiteral("%1:%2").arg(path).arg(number));
    }
    if (found) return *found;
    return QUrl(QString::fromLatin1(kDefaultServiceUrl));
}

ServiceResult<QUrl> FindServiceUrl(const ServiceLocation& given) {
    using R = ServiceResult<QUrl>;
    if (!given.url.isEmpty()) {
        QUrl url(given.url, QUrl::StrictMode);
        const bool web =
            url.scheme() == QStringLiteral("http") || url.scheme() == QStringLiteral("https");
        if (!url.isValid() || !web || url.host().isEmpty() || !url.query().isEmpty())
            return R::Fail(UsageFailure(
                QStringLiteral("--url %1: not an address http://HOST:PORT").arg(given.url)));
        if (url.path() == QStringLiteral("/")) url.setPath({});
        return url;
    }
    QString path = given.schedule;
    if (path.isEmpty()) {
        const QString signs = given.signs.isEmpty() ? DefaultSignsFile() : given.signs;
        if (signs.isEmpty()) return QUrl(QString::fromLatin1(kDefaultServiceUrl));
        path = QFileInfo(signs).dir().filePath(QStringLiteral("schedule.ini"));
        if (!QFileInfo::exists(path)) return QUrl(QString::fromLatin1(kDefaultServiceUrl));
    }
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return R::Fail(UsageFailure(
            QStringLiteral("cannot read the schedule file %1 for the service's address: %2; "
                           "give --url")
                .arg(path, QFileInfo::exists(path) ? file.errorString().toLower()
                                                   : QStringLiteral("no such file"))));
    return ListenUrl(file.read(kMaxAnswerBytes), path);
}

QString TokenFilePath(const ServiceLocation& given) {
    if (!given.tokenFile.isEmpty()) return given.tokenFile;
    const QString state = qEnvironmentVariable("STATE_DIRECTORY");
    // systemd may give several folders, colon-separated; the service's own is the first.
    const QString folder =
        state.isEmpty() ? QString::fromLatin1(kDefaultStateDirectory) : state.section(u':', 0, 0);
    return QDir(folder).filePath(QStringLiteral("token"));
}

ServiceResult<QByteArray> ReadToken(const QString& path) {
    using R = ServiceResult<QByteArray>;
    const auto fail = [&](const QString& why) {
        return R::Fail({kExitService,
                        QStringLiteral("cannot read the service's token %1: %2").arg(path, why)});
    };
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES)
            return fail(
                QStringLiteral("permission denied; run as the meridial user or with "
                               "sudo, or give --token-file"));
        if (error == ENOENT)
            return fail(
                QStringLiteral("no such file; meridiald writes it when it starts, or "
                               "give --token-file"));
        return fail(ErrnoText(error));
    }
    QByteArray bytes(kMaxTokenBytes + 1, '\0');
    struct stat info {};
    ssize_t size = -1;
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (regular) size = ::read(fd, bytes.data(), static_cast<std::size_t>(bytes.size()));
    const int error = errno;
    ::close(fd);
    if (!regular) return fail(QStringLiteral("not a regular file"));
    if (size < 0) return fail(ErrnoText(error));
    if (size > kMaxTokenBytes) return fail(QStringLiteral("too long for a token"));
    bytes.truncate(size);
    bytes = bytes.trimmed();
    if (bytes.isEmpty()) return fail(QStringLiteral("the file is empty"));
    // It goes into a header line: a line break in it would end the header there.
    for (const char c : bytes)
        if (c < 0x21 || c > 0x7E) return fail(QStringLiteral("not a token (not one word)"));
    return bytes;
}

ServiceResult<ServiceReply> CallService(const QUrl& base, const QByteArray& token,
                                        const QByteArray& method, const QString& path,
                                        const QJsonDocument& body, const QString& tokenFile,
                                        std::chrono::milliseconds timeout) {
    using R = ServiceResult<ServiceReply>;
    const QString where = base.toString();
    QUrl url = base;
    const qsizetype query = path.indexOf(u'?');
    url.setPath(base.path() + path.left(query), QUrl::StrictMode);
    if (query >= 0) url.setQuery(path.mid(query + 1));
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Bearer " + token);
    request.setRawHeader("Accept", "application/json");
    // The token goes to this address only, never on to another.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QByteArray payload;
    if (!body.isNull()) {
        payload = body.toJson(QJsonDocument::Compact);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    }

    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply* reply = manager.sendCustomRequest(request, method, payload);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false, tooLarge = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64) {
        if (received <= kMaxAnswerBytes) return;
        tooLarge = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeout);
    if (!reply->isFinished()) loop.exec();
    reply->deleteLater();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray answer = reply->isOpen() ? reply->readAll() : QByteArray();
    if (timedOut || tooLarge || status == 0) {
        QString why = reply->errorString();
        if (timedOut)
            why = QStringLiteral("no answer within %1 s").arg(timeout.count() / 1000.0);
        else if (tooLarge)
            why = QStringLiteral("an answer of more than %1 MiB").arg(kMaxAnswerBytes >> 20);
        else if (reply->error() == QNetworkReply::ConnectionRefusedError)
            why = QStringLiteral("connection refused");
        else if (reply->error() == QNetworkReply::HostNotFoundError)
            why = QStringLiteral("host not found");
        return R::Fail({kExitService,
                        QStringLiteral("meridiald is not reachable at %1 (%2)").arg(where, why)});
    }
    const QJsonDocument json = QJsonDocument::fromJson(answer);
    if (status >= 200 && status < 300) {
        if (!answer.trimmed().isEmpty() && json.isNull())
            return R::Fail(
                {kExitService,
                 QStringLiteral("meridiald at %1 sent an answer that is not JSON").arg(where)});
        return ServiceReply{status, json};
    }
    const QString reason = json.object().value(QStringLiteral("error")).toString();
    const QString because = reason.isEmpty() ? QStringLiteral("HTTP %1").arg(status) : reason;
    if (status == 401 || status == 403)
        return R::Fail(
            {kExitService,
             QStringLiteral("meridiald at %1 refused the token%2 (%3)")
                 .arg(where, tokenFile.isEmpty() ? QString() : QStringLiteral(" from ") + tokenFile,
                      because)});
    // Anything else the service refuses names a value of the command line: a sign, an id, a
    // duration.
    if (status >= 400 && status < 500)
        return R::Fail({kExitUsage, QStringLiteral("meridiald: %1").arg(because)});
    return R::Fail({kExitService, QStringLiteral("meridiald at %1 failed: HTTP %2 %3")
                                      .arg(where)
                                      .arg(status)
                                      .arg(reason)
                                      .trimmed()});
}

const CommandInfo& StatusCommand() {
    static const CommandInfo kInfo{
        QStringLiteral("status"),
        QStringLiteral("[NAME]"),
        QStringLiteral("Asks meridiald what each sign (or the sign NAME) shows: whether it\n"
                       "acknowledged or since when it fails and why, its message and its next\n"
                       "change."),
        [] {
            std::vector<OptionInfo> options{
                {{QStringLiteral("json")}, {}, QStringLiteral("print the service's JSON")}};
            for (OptionInfo& option : ServiceOptions()) options.push_back(std::move(option));
            return options;
        }(),
        {}};
    return kInfo;
}

const CommandInfo& NotifyCommand() {
    static const CommandInfo kInfo{
        QStringLiteral("notify"),
        {},
        QStringLiteral("Puts a notice on signs for a while, above every scheduled message;\n"
                       "prints its id."),
        [] {
            std::vector<OptionInfo> options{
                {{QStringLiteral("signs")},
                 QStringLiteral("SIGNS"),
                 QStringLiteral("the signs: NAME[,NAME...], group:GROUP or all")},
                {{QStringLiteral("message")}, QStringLiteral("TEXT"), QStringLiteral("the notice")},
                {{QStringLiteral("for")},
                 QStringLiteral("DURATION"),
                 QStringLiteral("how long: 90s, 30m, 2h, 1h30m, 1d")},
                {{QStringLiteral("until")},
                 QStringLiteral("TIME"),
                 QStringLiteral("until then: YYYY-MM-DDTHH:MM, local time unless it ends in Z\n"
                                "or +HH:MM")}};
            for (OptionInfo& option : ServiceOptions(false)) options.push_back(std::move(option));
            return options;
        }(),
        QStringLiteral("Here --signs names the signs; the schedule file is --schedule FILE or\n"
                       "schedule.ini beside the usual signs file.\n")};
    return kInfo;
}

const CommandInfo& NoticesCommand() {
    static const CommandInfo kInfo{QStringLiteral("notices"),
                                   {},
                                   QStringLiteral("Lists the notices meridiald holds."),
                                   ServiceOptions(),
                                   {}};
    return kInfo;
}

const CommandInfo& CancelCommand() {
    static const CommandInfo kInfo{
        QStringLiteral("cancel"),
        QStringLiteral("ID"),
        QStringLiteral("Ends the notice ID at once; the signs go back to their schedule."),
        ServiceOptions(),
        {}};
    return kInfo;
}

const CommandInfo& PlanCommand() {
    static const CommandInfo kInfo{
        QStringLiteral("plan"),
        {},
        QStringLiteral("Lists, per sign, the changes meridiald will make in the coming hours."),
        [] {
            std::vector<OptionInfo> options{
                {{QStringLiteral("hours")},
                 QStringLiteral("N"),
                 QStringLiteral("how far ahead, 1..168; default 24")},
                {{QStringLiteral("offline")},
                 {},
                 QStringLiteral("work it out from the files, without the service")}};
            for (OptionInfo& option : ServiceOptions()) options.push_back(std::move(option));
            return options;
        }(),
        {}};
    return kInfo;
}

CommandOutput Status(const CommandArgs& args) {
    if (args.positional.size() > 1)
        return UsageError(Extra(args.positional.mid(1), QStringLiteral("status")));
    const bool one = !args.positional.isEmpty();
    const QString path =
        one ? QStringLiteral("/api/signs/") +
                  QString::fromLatin1(QUrl::toPercentEncoding(args.positional.first()))
            : QStringLiteral("/api/signs");
    const auto reply = Ask(LocationFrom(args), "GET", path);
    if (!reply) return Failed(reply.error());
    CommandOutput output;
    if (args.Has(QStringLiteral("json"))) {
        output.raw = reply->body.toJson(QJsonDocument::Indented);
        return output;
    }
    const QJsonObject body = reply->body.object();
    const QJsonValue signs =
        one ? QJsonValue(QJsonArray{body}) : body.value(QStringLiteral("signs"));
    if (!signs.isArray() || (one && body.isEmpty()))
        return Unexpected(LocationFrom(args), QStringLiteral("signs"));
    output.lines = StatusTable(signs.toArray());
    return output;
}

CommandOutput Notify(const CommandArgs& args) {
    if (!args.positional.isEmpty())
        return UsageError(Extra(args.positional, QStringLiteral("notify")));
    const QString signs = Arg(args, QStringLiteral("signs"));
    const QString message = Arg(args, QStringLiteral("message"));
    const QString duration = Arg(args, QStringLiteral("for"));
    const QString until = Arg(args, QStringLiteral("until"));
    if (signs.trimmed().isEmpty())
        return UsageError(QStringLiteral("notify: name the signs with --signs SIGNS"));
    if (message.trimmed().isEmpty())
        return UsageError(QStringLiteral("notify: give the notice's text with --message TEXT"));
    if (duration.isEmpty() == until.isEmpty())
        return UsageError(QStringLiteral("notify: give --for DURATION or --until TIME"));
    QJsonObject notice{{QStringLiteral("signs"), signs}, {QStringLiteral("message"), message}};
    if (!duration.isEmpty()) {
        notice.insert(QStringLiteral("for"), duration);
    } else {
        const auto utc = UntilUtc(until);
        if (!utc)
            return UsageError(
                QStringLiteral("notify: --until %1: not a time YYYY-MM-DDTHH:MM[:SS][Z|+HH:MM]")
                    .arg(until));
        notice.insert(QStringLiteral("until"), *utc);
    }
    const auto reply = Ask(LocationFrom(args, false), "POST", QStringLiteral("/api/notices"),
                           QJsonDocument(notice));
    if (!reply) return Failed(reply.error());
    const QString id = reply->body.object().value(QStringLiteral("id")).toString();
    if (id.isEmpty())
        return Unexpected(LocationFrom(args, false), QStringLiteral("the notice's id"));
    CommandOutput output;
    output.lines << Escaped(id);
    return output;
}

CommandOutput Notices(const CommandArgs& args) {
    if (!args.positional.isEmpty())
        return UsageError(Extra(args.positional, QStringLiteral("notices")));
    const auto reply = Ask(LocationFrom(args), "GET", QStringLiteral("/api/notices"));
    if (!reply) return Failed(reply.error());
    const QJsonValue notices = reply->body.object().value(QStringLiteral("notices"));
    if (!notices.isArray()) return Unexpected(LocationFrom(args), QStringLiteral("notices"));
    CommandOutput output;
    if (notices.toArray().isEmpty()) {
        output.lines << QStringLiteral("No notices.");
        return output;
    }
    QVector<QStringList> rows{{QStringLiteral("ID"), QStringLiteral("SIGNS"),
                               QStringLiteral("FROM"), QStringLiteral("UNTIL"),
                               QStringLiteral("MESSAGE")}};
    for (const QJsonValue& value : notices.toArray()) {
        const QJsonObject notice = value.toObject();
        QStringList signs;
        for (const QJsonValue& sign : notice.value(QStringLiteral("signs")).toArray())
            signs << Escaped(sign.toString());
        rows.push_back({Escaped(notice.value(QStringLiteral("id")).toString()), signs.join(u','),
                        LocalTime(notice.value(QStringLiteral("from"))),
                        LocalTime(notice.value(QStringLiteral("until"))),
                        QLatin1Char('"') +
                            Escaped(notice.value(QStringLiteral("message")).toString()) +
                            QLatin1Char('"')});
    }
    output.lines = Table(rows);
    return output;
}

CommandOutput Cancel(const CommandArgs& args) {
    if (args.positional.isEmpty()) return UsageError(QStringLiteral("cancel needs a notice's ID"));
    if (args.positional.size() > 1)
        return UsageError(Extra(args.positional.mid(1), QStringLiteral("cancel")));
    const QString id = args.positional.first();
    const auto reply =
        Ask(LocationFrom(args), "DELETE",
            QStringLiteral("/api/notices/") + QString::fromLatin1(QUrl::toPercentEncoding(id)));
    if (!reply) return Failed(reply.error());
    return {};
}

CommandOutput Plan(const CommandArgs& args) {
    if (!args.positional.isEmpty())
        return UsageError(Extra(args.positional, QStringLiteral("plan")));
    const QString given = Arg(args, QStringLiteral("hours"));
    bool isNumber = true;
    const int hours = given.isEmpty() ? 24 : given.toInt(&isNumber);
    if (!isNumber || hours < 1 || hours > 168)
        return UsageError(QStringLiteral("plan: --hours %1: not a number 1..168").arg(given));
    QJsonObject plan;
    if (args.Has(QStringLiteral("offline"))) {
        // Worked out here from the signs and schedule files, as the service would, without it:
        // a schedule is checked before it is deployed.
        const auto building =
            LoadBuilding(Arg(args, QStringLiteral("signs")), Arg(args, QStringLiteral("schedule")));
        if (!building) return UsageError(building.error());
        plan = PlanJson(**building, {}, QDateTime::currentDateTimeUtc(), hours);
    } else {
        const auto reply =
            Ask(LocationFrom(args), "GET", QStringLiteral("/api/plan?hours=%1").arg(hours));
        if (!reply) return Failed(reply.error());
        plan = reply->body.object();
    }
    const QJsonValue signs = plan.value(QStringLiteral("signs"));
    if (!signs.isArray()) return Unexpected(LocationFrom(args), QStringLiteral("signs"));
    CommandOutput output;
    output.lines << QStringLiteral("From %1 to %2:")
                        .arg(LocalTime(plan.value(QStringLiteral("from"))),
                             LocalTime(plan.value(QStringLiteral("to"))));
    for (const QJsonValue& value : signs.toArray()) {
        const QJsonObject sign = value.toObject();
        output.lines << Escaped(sign.value(QStringLiteral("name")).toString()) + QLatin1Char(':');
        const QJsonArray changes = sign.value(QStringLiteral("changes")).toArray();
        if (changes.isEmpty()) output.lines << QStringLiteral("  no change");
        for (const QJsonValue& change : changes)
            output.lines << QStringLiteral("  %1  %2")
                                .arg(LocalTime(change.toObject().value(QStringLiteral("at"))),
                                     MessageCell(change.toObject()));
    }
    return output;
}

CommandOutput SyncNow(const CommandArgs& args) {
    const auto reply = Ask(LocationFrom(args), "POST", QStringLiteral("/api/sync"));
    if (!reply) return Failed(reply.error());
    const QJsonValue queued = reply->body.object().value(QStringLiteral("queued"));
    if (!queued.isDouble())
        return Unexpected(LocationFrom(args), QStringLiteral("the count of signs queued"));
    CommandOutput output;
    if (!args.Has(QStringLiteral("quiet")))
        output.lines
            << QStringLiteral("meridiald queued a Transfer to %1 signs.").arg(queued.toInt());
    return output;
}

}  // namespace meridial::cli
