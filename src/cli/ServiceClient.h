#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <vector>

#include "cli/CommandLine.h"
#include "link/Result.h"

namespace meridial::cli {

// The service could not be reached, refused the request or failed, or its token cannot be read.
inline constexpr int kExitService = 5;

// Where meridiald listens when no schedule file says otherwise.
inline constexpr const char* kDefaultServiceUrl = "http://127.0.0.1:8266";

// The state folder the packaged service runs with, when $STATE_DIRECTORY is not set.
inline constexpr const char* kDefaultStateDirectory = "/var/lib/meridial";

// Why a service command did not do what was asked, and the exit code that says so.
struct ServiceFailure {
    int exitCode;
    QString message;
};

template <typename T>
using ServiceResult = Result<T, ServiceFailure>;

// How the client finds the service, as the command line gives it (empty: not given).
struct ServiceLocation {
    QString url;        // --url
    QString schedule;   // --schedule
    QString signs;      // --signs, whose folder holds schedule.ini
    QString tokenFile;  // --token-file
};

// The four options above, for every command that talks to the service; without --signs FILE for
// a command whose --signs names signs.
std::vector<OptionInfo> ServiceOptions(bool signsFile = true);
ServiceLocation LocationFrom(const CommandArgs& args, bool signsFile = true);

// The address in a schedule file's [service] "listen=HOST:PORT" ("[::1]:8266" for IPv6), or the
// default without one. A service listening on every address (0.0.0.0, ::) is reached on the
// loopback address. path only names the file in messages.
ServiceResult<QUrl> ListenUrl(const QByteArray& scheduleText, const QString& path);

// --url, else the listen= of --schedule, else of schedule.ini beside the signs file, else the
// default. A schedule file given but missing, or present but unreadable, is an error: the
// default address could be the wrong service.
ServiceResult<QUrl> FindServiceUrl(const ServiceLocation& given);

// --token-file, else $STATE_DIRECTORY/token, else /var/lib/meridial/token.
QString TokenFilePath(const ServiceLocation& given);

// The token, without the file's surrounding blanks; the error says what the user can do.
ServiceResult<QByteArray> ReadToken(const QString& path);

// A service's answer with a 2xx status.
struct ServiceReply {
    int status = 0;
    QJsonDocument body;  // null for an empty body (204)
};

inline constexpr std::chrono::milliseconds kServiceTimeout{5000};

// One request to the service at base ("http://HOST:PORT") with the token. A 4xx gives the
// service's reason; the token goes to that address only: no proxy, no redirect. tokenFile only
// names the token in the message for a refused one.
ServiceResult<ServiceReply> CallService(const QUrl& base, const QByteArray& token,
                                        const QByteArray& method, const QString& path,
                                        const QJsonDocument& body = {},
                                        const QString& tokenFile = {},
                                        std::chrono::milliseconds timeout = kServiceTimeout);

// What a command has to say and how it ended, for the caller to write out.
struct CommandOutput {
    int exitCode = 0;
    QStringList lines;   // standard output, one a line, printed with control characters escaped
    QByteArray raw;      // standard output as is (JSON)
    QStringList errors;  // standard error, one a line
    bool usage = false;  // the errors are about the command line
};

const CommandInfo& StatusCommand();
const CommandInfo& NotifyCommand();
const CommandInfo& NoticesCommand();
const CommandInfo& CancelCommand();
const CommandInfo& PlanCommand();

// The commands, once their options have parsed (help and version are the caller's).
CommandOutput Status(const CommandArgs& args);
CommandOutput Notify(const CommandArgs& args);
CommandOutput Notices(const CommandArgs& args);
CommandOutput Cancel(const CommandArgs& args);
CommandOutput Plan(const CommandArgs& args);
// "sync --now": the service resends to every sign.
CommandOutput SyncNow(const CommandArgs& args);

}  // namespace meridial::cli
