#include "daemon/mqtt/MqttBridge.h"

#include <mosquitto.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStringDecoder>
#include <QSysInfo>
#include <algorithm>
#include <cstdio>
#include <mutex>

#include "link/AckReply.h"
#include "link/ProfileFile.h"
#include "schedule/Schedule.h"

namespace meridial::daemon {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kFirstRetryMs = 1000;
constexpr int kLastRetryMs = 60000;
constexpr int kMostMessageChars = 150;  // what a sign's message holds; Home Assistant's limit
constexpr qint64 kMostPasswordBytes = 4096;

void Log(const QString& line) {
    std::fprintf(stderr, "meridiald: mqtt: %s\n", EscapedText(line.toStdString()).c_str());
    std::fflush(stderr);
}

// A message or topic from the broker as a log line quotes it.
QString Quoted(const QString& text) {
    return u'"' + (text.size() > 60 ? text.left(60) + QStringLiteral("...") : text) + u'"';
}

bool IsUtf8(const std::string& bytes) {
    return QString::fromStdString(bytes).toStdString() == bytes;
}

bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7F; });
}

// A prefix of topics this bridge publishes under: levels without wildcards, none empty, and
// not one of the broker's own "$" topics.
std::optional<QString> TopicPrefixProblem(const std::string& value) {
    if (value.empty()) return QStringLiteral("empty");
    if (!IsUtf8(value) || HasControl(value)) return QStringLiteral("not plain UTF-8 text");
    if (value.find_first_of("+#") != std::string::npos)
        return QStringLiteral("'+' and '#' are wildcards, not part of a topic");
    if (value.front() == '$') return QStringLiteral("topics starting with '$' are the broker's");
    if (value.front() == '/' || value.back() == '/' || value.find("//") != std::string::npos)
        return QStringLiteral("a topic level would be empty");
    if (value.size() > 200) return QStringLiteral("longer than 200 bytes");
    return std::nullopt;
}

// The password file's first line, its line end dropped.
Result<QByteArray, QString> ReadPassword(const QString& path) {
    using R = Result<QByteArray, QString>;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return R::Fail(QStringLiteral("%1: no such file").arg(path));
    if (!S_ISREG(info.st_mode)) return R::Fail(QStringLiteral("%1: not a regular file").arg(path));
    if (info.st_mode & S_IROTH)
        return R::Fail(QStringLiteral("%1: every user can read it (chmod o-r)").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return R::Fail(QStringLiteral("%1: cannot be read").arg(path));
    QByteArray line = file.read(kMostPasswordBytes + 1);
    if (line.size() > kMostPasswordBytes)
        return R::Fail(QStringLiteral("%1: longer than 4 KiB, not a password").arg(path));
    line = line.left(line.indexOf('\n'));
    if (line.endsWith('\r')) line.chop(1);
    if (line.isEmpty()) return R::Fail(QStringLiteral("%1: its first line is empty").arg(path));
    return line;
}

// What the state topic tells of a sign: the parts of the API's answer that a home automation
// acts on, without the frames, so that it changes only when they do.
QJsonObject StateJson(const QJsonObject& sign) {
    const QJsonObject state = sign.value(u"state").toObject();
    const QJsonValue shows = state.value(u"shows");
    const bool failing = !state.value(u"failingSince").isNull();
    QJsonObject out;
    if (shows.isObject()) {
        const QJsonObject s = shows.toObject();
        out[u"shows"] = QJsonObject{{QStringLiteral("message"), s.value(u"message")},
                                    {QStringLiteral("source"), s.value(u"source")},
                                    {QStringLiteral("sentAt"), s.value(u"sentAt")}};
    } else {
        out[u"shows"] = QJsonValue::Null;
    }
    out[u"acknowledged"] = state.value(u"acknowledged");
    out[u"lastAcknowledged"] = state.value(u"lastAcknowledged");
    out[u"failingSince"] = state.value(u"failingSince");
    const QString reason = state.value(u"lastAttempt").toObject().value(u"reason").toString();
    out[u"reason"] = failing && !reason.isEmpty() ? QJsonValue(reason) : QJsonValue::Null;
    out[u"nextChange"] = state.value(u"nextChange");
    out[u"problem"] = failing ? QStringLiteral("ON") : QStringLiteral("OFF");
    return out;
}

}  // namespace

Result<std::optional<MqttOptions>, QString> ParseMqttSection(
    const std::optional<schedule::Section>& section, const QString& path) {
    using R = Result<std::optional<MqttOptions>, QString>;
    if (!section) return std::optional<MqttOptions>{};
    // The section's keys come without their own lines: errors name the header's.
    const QString where = QStringLiteral("%1:%2 [mqtt] ").arg(path).arg(section->line);
    QStringList problems;
    const auto fail = [&](const std::string& key, const QString& why) {
        problems << where + QString::fromStdString(ProfileExcerpt(key)) + QStringLiteral(": ") +
                        why;
    };
    MqttOptions options;
    std::set<std::string> seen;
    std::optional<int> port;
    std::optional<std::string> passwordFile;
    for (const auto& [key, value] : section->values) {
        if (!seen.insert(key).second) {
            fail(key, QStringLiteral("given again"));
            continue;
        }
        if (key == "host") {
            const bool plain =
                !value.empty() && IsUtf8(value) &&
                std::none_of(value.begin(), value.end(), [](char c) {
                    return static_cast<unsigned char>(c) <= ' ' || c == 0x7F || c == '/';
                });
            if (plain)
                options.host = QString::fromStdString(value);
            else
                fail(key, QStringLiteral("'%1' is not a host name or address")
                              .arg(QString::fromStdString(ProfileExcerpt(value))));
        } else if (key == "port") {
            const bool digits = !value.empty() && value.size() <= 5 &&
                                std::all_of(value.begin(), value.end(),
                                            [](char c) { return c >= '0' && c <= '9'; });
            const int number = digits ? std::stoi(value) : 0;
            if (number >= 1 && number <= 65535)
                port = number;
            else
                fail(key, QStringLiteral("'%1' is not a port (1..65535)")
                              .arg(QString::fromStdString(ProfileExcerpt(value))));
        } else if (key == "user") {
            if (value.empty() || !IsUtf8(value) || HasControl(value))
                fail(key, QStringLiteral("not a user name"));
            else
                options.user = QString::fromStdString(value);
        } else if (key == "password-file") {
            passwordFile = value;
        } else if (key == "tls") {
            if (value == "yes" || value == "no")
                options.tls = value == "yes";
            else
                fail(key, QStringLiteral("'%1' is neither yes nor no")
                              .arg(QString::fromStdString(ProfileExcerpt(value))));
        } else if (key == "prefix" || key == "discovery-prefix") {
            if (const auto problem = TopicPrefixProblem(value))
                fail(key, *problem);
            else
                (key == "prefix" ? options.prefix : options.discoveryPrefix) =
                    QString::fromStdString(value);
        } else {
            fail(key, QStringLiteral("unknown key (known: host, port, user, password-file, tls, "
                                     "prefix, discovery-prefix)"));
        }
    }
    if (!seen.count("host")) fail("host", QStringLiteral("missing: the broker's name or address"));
    options.port = port.value_or(options.tls ? 8883 : 1883);
    if (passwordFile) {
        if (!seen.count("user")) {
            fail("password-file", QStringLiteral("a password needs a user"));
        } else {
            // Relative to the schedule's folder, like a message file.
            const QString file =
                QFileInfo(path).dir().filePath(QString::fromStdString(*passwordFile));
            auto password = ReadPassword(file);
            if (password) {
                options.password = *password;
                options.hasPassword = true;
            } else {
                fail("password-file", password.error());
            }
        }
    }
    if (!problems.isEmpty()) return R::Fail(problems.join(u'\n'));
    return std::optional<MqttOptions>(std::move(options));
}

QString NameSlug(const QString& name) {
    QString slug;
    bool plain = !name.isEmpty();
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u == '-') {
            slug += c;
        } else if (u >= 'A' && u <= 'Z') {
            slug += QChar(u - 'A' + 'a');
            plain = false;
        } else {
            slug += u'_';
            plain = false;
        }
    }
    if (plain) return slug;
    const QByteArray hash = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1);
    return slug.left(48) + u'_' + QString::fromLatin1(hash.toHex().left(8));
}

QString SignLevel(const QString& name) {
    const bool fits = !name.isEmpty() && !name.contains(u'/') && !name.contains(u'+') &&
                      !name.contains(u'#') && !name.contains(QChar(0));
    return fits ? name : NameSlug(name);
}

std::optional<CommandTarget> ParseCommandTopic(const QString& topic, const QString& prefix) {
    const QString head = prefix + u'/';
    const QString tail = QStringLiteral("/notice/set");
    if (!topic.startsWith(head) || !topic.endsWith(tail) ||
        topic.size() <= head.size() + tail.size())
        return std::nullopt;
    const QString middle = topic.mid(head.size(), topic.size() - head.size() - tail.size());
    if (middle.startsWith(QStringLiteral("group/"))) {
        const QString group = middle.mid(6);
        if (group.isEmpty() || group.contains(u'/')) return std::nullopt;
        return CommandTarget{true, group};
    }
    if (middle.contains(u'/')) return std::nullopt;
    return CommandTarget{false, middle};
}

Result<NoticeRequest, QString> ParseNoticePayload(const QByteArray& payload) {
    using R = Result<NoticeRequest, QString>;
    if (payload.size() > kMostPayloadBytes)
        return R::Fail(
            QStringLiteral("the payload is longer than %1 bytes").arg(kMostPayloadBytes));
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(payload);
    if (decoder.hasError()) return R::Fail(QStringLiteral("the payload is not UTF-8 text"));

    NoticeRequest request;
    if (!text.trimmed().startsWith(u'{')) {
        // A line typed into a tool ends in a line end that is no part of the notice.
        while (text.endsWith(u'\n') || text.endsWith(u'\r')) text.chop(1);
        request.message = text;
        request.forSeconds = kDefaultNoticeSeconds;
        return request;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return R::Fail(QStringLiteral("the payload starts with '{' but is not a JSON object"));
    const QJsonObject body = document.object();
    for (const QString& key : body.keys()) {
        if (key != u"message" && key != u"for" && key != u"until")
            return R::Fail(QStringLiteral("unknown field \"%1\"").arg(key.left(40)));
        if (!body.value(key).isString())
            return R::Fail(QStringLiteral("\"%1\" must be a string").arg(key));
    }
    if (!body.contains(u"message")) return R::Fail(QStringLiteral("\"message\" is missing"));
    if (body.contains(u"for") && body.contains(u"until"))
        return R::Fail(QStringLiteral("give \"for\" or \"until\", not both"));
    request.message = body.value(u"message").toString();
    if (body.contains(u"until")) {
        // A time without an offset is the service's local time, as in the HTTP API.
        const QString until = body.value(u"until").toString();
        request.until = QDateTime::fromString(until, Qt::ISODate);
        if (!until.contains(u'T') || !request.until.isValid())
            return R::Fail(QStringLiteral("\"until\" is not a time like 2026-12-24T17:00"));
    } else if (body.contains(u"for")) {
        const auto duration = schedule::ParseDuration(body.value(u"for").toString().toStdString());
        if (!duration) return R::Fail(QStringLiteral("\"for\" is not a duration like 30m or 2h"));
        request.forSeconds = duration->count();
    } else {
        request.forSeconds = kDefaultNoticeSeconds;
    }
    return request;
}

MqttBridge::MqttBridge(MqttOptions options, ServiceControl& control, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_control(control) {
    m_misc.setInterval(1000);
    connect(&m_misc, &QTimer::timeout, this, [this] {
        if (!m_client) return;
        mosquitto_loop_misc(m_client);
        // OpenSSL may hold bytes it has read but not yet handed out, which the socket no
        // longer shows as readable.
        if (m_options.tls && m_fd >= 0) mosquitto_loop_read(m_client, 1);
        Watch();
    });
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttBridge::Retry);
}

MqttBridge::~MqttBridge() {
    m_stopping = true;
    if (!m_client) return;
    if (m_connected) {
        // A clean disconnect keeps the broker from sending the will: say it here.
        mosquitto_publish(m_client, nullptr,
                          (m_options.prefix + QStringLiteral("/status")).toUtf8(), 7, "offline", 1,
                          true);
        mosquitto_disconnect(m_client);
        for (int i = 0; i < 20 && mosquitto_want_write(m_client); ++i)
            mosquitto_loop_write(m_client, 1);
    }
    m_read.reset();
    m_write.reset();
    mosquitto_destroy(m_client);
}

bool MqttBridge::Start() {
    static std::once_flag initialized;
    std::call_once(initialized, [] { mosquitto_lib_init(); });
    const QByteArray id = QStringLiteral("meridiald-%1-%2")
                              .arg(QSysInfo::machineHostName())
                              .arg(QCoreApplication::applicationPid())
                              .toUtf8();
    // A clean session: commands sent while the bridge was away are not delivered late.
    m_client = mosquitto_new(id.constData(), true, this);
    if (!m_client) {
        Log(QStringLiteral("cannot make an MQTT client"));
        return false;
    }
    const QByteArray status = (m_options.prefix + QStringLiteral("/status")).toUtf8();
    mosquitto_will_set(m_client, status.constData(), 7, "offline", 1, true);
    if (!m_options.user.isEmpty()) {
        const QByteArray user = m_options.user.toUtf8();
        mosquitto_username_pw_set(m_client, user.constData(),
                                  m_options.hasPassword ? m_options.password.constData() : nullptr);
    }
    if (m_options.tls) {
        mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        const int rc =
            mosquitto_tls_set(m_client, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            Log(QStringLiteral("cannot use TLS: %1")
                    .arg(QString::fromUtf8(mosquitto_strerror(rc))));
            return false;
        }
    }
    mosquitto_connect_callback_set(m_client, &MqttBridge::OnConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttBridge::OnDisconnect);
    mosquitto_message_callback_set(m_client, &MqttBridge::OnMessage);
    m_misc.start();

    const QByteArray host = m_options.host.toUtf8();
    const int rc =
        mosquitto_connect_async(m_client, host.constData(), m_options.port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) Disconnected(rc);
    Watch();
    return true;
}

void MqttBridge::OnConnect(mosquitto*, void* self, int rc) {
    static_cast<MqttBridge*>(self)->Connected(rc);
}
void MqttBridge::OnDisconnect(mosquitto*, void* self, int rc) {
    static_cast<MqttBridge*>(self)->Disconnected(rc);
}
void MqttBridge::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    if (message) static_cast<MqttBridge*>(self)->Received(*message);
}

void MqttBridge::Watch() {
    const int fd = m_client ? mosquitto_socket(m_client) : -1;
    if (fd != m_fd) {
        // A notifier may be the one whose signal is running: it goes once that returns.
        for (auto* notifier : {&m_read, &m_write}) {
            if (!*notifier) continue;
            (*notifier)->setEnabled(false);
            notifier->release()->deleteLater();
        }
        m_fd = fd;
        if (fd >= 0) {
            m_read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            m_write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
            connect(m_read.get(), &QSocketNotifier::activated, this, [this] {
                mosquitto_loop_read(m_client, 1);
                Watch();
            });
            connect(m_write.get(), &QSocketNotifier::activated, this, [this] {
                mosquitto_loop_write(m_client, 1);
                Watch();
            });
        }
    }
    if (m_write) m_write->setEnabled(mosquitto_want_write(m_client));
}

void MqttBridge::Connected(int rc) {
    if (rc != 0) {
        Log(QStringLiteral("%1:%2 refused the connection: %3")
                .arg(m_options.host)
                .arg(m_options.port)
                .arg(QString::fromUtf8(mosquitto_connack_string(rc))));
        return;  // the broker closes it; the disconnect schedules the next try
    }
    m_connected = true;
    m_backoffMs = kFirstRetryMs;
    Log(QStringLiteral("connected to %1:%2").arg(m_options.host).arg(m_options.port));
    for (const QString& filter : {m_options.prefix + QStringLiteral("/+/notice/set"),
                                  m_options.prefix + QStringLiteral("/group/+/notice/set")}) {
        const QByteArray bytes = filter.toUtf8();
        mosquitto_subscribe(m_client, nullptr, bytes.constData(), 1);
    }
    Publish(m_options.prefix + QStringLiteral("/status"), QByteArrayLiteral("online"), true);
    PublishAll();
}

void MqttBridge::Disconnected(int rc) {
    const bool wasConnected = m_connected;
    m_connected = false;
    m_fd = -2;  // the socket is gone even if a new one gets its number: watch afresh
    if (m_stopping || m_retry.isActive()) return;
    const QString why = QString::fromUtf8(mosquitto_strerror(rc));
    const QString where = QStringLiteral("%1:%2").arg(m_options.host).arg(m_options.port);
    Log((wasConnected ? QStringLiteral("lost %1 (%2)") : QStringLiteral("cannot reach %1 (%2)"))
            .arg(where, why) +
        QStringLiteral("; trying again in %1 s; the signs are still kept").arg(m_backoffMs / 1000));
    m_retry.start(m_backoffMs);
    m_backoffMs = std::min(m_backoffMs * 2, kLastRetryMs);
}

void MqttBridge::Retry() {
    if (m_stopping || !m_client) return;
    const int rc = mosquitto_reconnect_async(m_client);
    if (rc != MOSQ_ERR_SUCCESS) Disconnected(rc);
    Watch();
}

QStringList MqttBridge::SignNames() const {
    QStringList names;
    for (const QJsonValue& sign : m_control.Signs())
        names << sign.toObject().value(u"name").toString();
    return names;
}

QString MqttBridge::SignTopic(const QString& name) const {
    return m_options.prefix + u'/' + SignLevel(name);
}

void MqttBridge::Received(const mosquitto_message& message) {
    const QString topic = QString::fromUtf8(message.topic);
    const auto target = ParseCommandTopic(topic, m_options.prefix);
    if (!target) return;
    if (message.retain) {
        // Kept by the broker and handed out at every subscription: it was applied when it was
        // sent, if the bridge was there, and applying it again would bring back an old notice.
        if (m_retainedLogged.insert(topic).second)
            Log(QStringLiteral("%1: a retained command, not applied (commands act only when "
                               "sent; clear it with an empty retained message)")
                    .arg(topic));
        return;
    }
    if (message.payloadlen <= 0) return;  // how a retained command is cleared
    const QByteArray payload(static_cast<const char*>(message.payload), message.payloadlen);
    auto parsed = ParseNoticePayload(payload);
    if (!parsed) return Refuse(*target, parsed.error());
    NoticeRequest request = std::move(parsed).value();
    if (target->group) {
        request.signs = QStringLiteral("group:") + target->level;
    } else {
        const QStringList names = SignNames();
        const auto sign = std::find_if(names.begin(), names.end(), [&](const QString& name) {
            return SignLevel(name) == target->level;
        });
        if (sign == names.end())
            return Refuse(*target,
                          QStringLiteral("no sign named '%1'").arg(target->level.left(40)));
        request.signs = *sign;
    }
    const Result<QString, QString> added = m_control.AddNotice(request);
    if (!added) return Refuse(*target, added.error());
    Log(QStringLiteral("notice %1 from %2: %3").arg(added.value(), topic, Quoted(request.message)));
}

void MqttBridge::Refuse(const CommandTarget& target, const QString& why) {
    const QString where =
        target.group ? QStringLiteral("/group/") + target.level : u'/' + target.level;
    Log(QStringLiteral("refused a notice on %1%2/notice/set: %3")
            .arg(m_options.prefix, where, why));
    Publish(m_options.prefix + where + QStringLiteral("/notice/error"), why.toUtf8(), false);
}

void MqttBridge::SignChanged(const QString& name) { PublishState(name, false); }

void MqttBridge::SignsChanged() {
    const QStringList names = SignNames();
    for (auto known = m_known.begin(); known != m_known.end();) {
        if (names.contains(*known)) {
            ++known;
            continue;
        }
        if (m_connected)
            ClearSign(*known);
        else
            m_gone.insert(*known);
        m_published.erase(*known);
        known = m_known.erase(known);
    }
    for (const QString& name : names) {
        if (!m_known.count(name)) PublishDiscovery(name);
        PublishState(name, false);
    }
}

void MqttBridge::PublishAll() {
    m_known.clear();
    const QStringList names = SignNames();
    for (const QString& name : m_gone)
        if (!names.contains(name)) ClearSign(name);
    m_gone.clear();
    for (const QString& name : names) {
        PublishDiscovery(name);
        PublishState(name, true);
    }
}

void MqttBridge::PublishState(const QString& name, bool force) {
    if (!m_connected) return;  // all of them are published at the next connect
    const auto sign = m_control.Sign(name);
    if (!sign) return;
    const QByteArray payload = QJsonDocument(StateJson(*sign)).toJson(QJsonDocument::Compact);
    QByteArray& last = m_published[name];
    if (!force && last == payload) return;
    if (Publish(SignTopic(name) + QStringLiteral("/state"), payload, true)) last = payload;
}

// Home Assistant's MQTT discovery: one device per sign, with a text entity that sends a
// notice, the time of the last acknowledgement and whether the sign has a problem.
void MqttBridge::PublishDiscovery(const QString& name) {
    if (!m_connected) return;
    const QString slug = NameSlug(name);
    const QString id = QStringLiteral("meridial_") + slug;
    const QString topic = SignTopic(name);
    const QJsonObject common{
        {QStringLiteral("availability_topic"), m_options.prefix + QStringLiteral("/status")},
        {QStringLiteral("payload_available"), QStringLiteral("online")},
        {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
        {QStringLiteral("state_topic"), topic + QStringLiteral("/state")},
        {QStringLiteral("device"),
         QJsonObject{{QStringLiteral("identifiers"), QJsonArray{id}},
                     {QStringLiteral("name"), name},
                     {QStringLiteral("model"), QStringLiteral("LED message sign")}}},
        {QStringLiteral("origin"),
         QJsonObject{{QStringLiteral("name"), QStringLiteral("meridiald")}}},
    };
    const auto publish = [&](const QString& component, const QString& object, QJsonObject config) {
        for (auto it = common.begin(); it != common.end(); ++it)
            config.insert(it.key(), it.value());
        config[u"unique_id"] = id + u'_' + object;
        Publish(m_options.discoveryPrefix + u'/' + component + u'/' + slug + u'/' + object +
                    QStringLiteral("/config"),
                QJsonDocument(config).toJson(QJsonDocument::Compact), true);
    };
    publish(QStringLiteral("text"), QStringLiteral("notice"),
            {{QStringLiteral("name"), QStringLiteral("Notice")},
             {QStringLiteral("command_topic"), topic + QStringLiteral("/notice/set")},
             {QStringLiteral("qos"), 1},
             {QStringLiteral("max"), kMostMessageChars},
             {QStringLiteral("mode"), QStringLiteral("text")},
             {QStringLiteral("value_template"),
              QStringLiteral("{{ value_json.shows.message if value_json.shows else '' }}")}});
    publish(
        QStringLiteral("sensor"), QStringLiteral("last_ack"),
        {{QStringLiteral("name"), QStringLiteral("Last acknowledged")},
         {QStringLiteral("device_class"), QStringLiteral("timestamp")},
         {QStringLiteral("entity_category"), QStringLiteral("diagnostic")},
         {QStringLiteral("value_template"), QStringLiteral("{{ value_json.lastAcknowledged }}")}});
    publish(QStringLiteral("binary_sensor"), QStringLiteral("problem"),
            {{QStringLiteral("name"), QStringLiteral("Problem")},
             {QStringLiteral("device_class"), QStringLiteral("problem")},
             {QStringLiteral("value_template"), QStringLiteral("{{ value_json.problem }}")},
             {QStringLiteral("payload_on"), QStringLiteral("ON")},
             {QStringLiteral("payload_off"), QStringLiteral("OFF")}});
    m_known.insert(name);
}

// A sign no longer in the signs file: its entities leave Home Assistant and its state topic
// is emptied, as an empty retained message does.
void MqttBridge::ClearSign(const QString& name) {
    if (!m_connected) return;
    const QString slug = NameSlug(name);
    for (const char* path : {"/text/%1/notice/config", "/sensor/%1/last_ack/config",
                             "/binary_sensor/%1/problem/config"})
        Publish(m_options.discoveryPrefix + QString::fromLatin1(path).arg(slug), {}, true);
    Publish(SignTopic(name) + QStringLiteral("/state"), {}, true);
}

bool MqttBridge::Publish(const QString& topic, const QByteArray& payload, bool retain) {
    const QByteArray bytes = topic.toUtf8();
    const int rc =
        mosquitto_publish(m_client, nullptr, bytes.constData(), static_cast<int>(payload.size()),
                          payload.constData(), 1, retain);
    if (rc != MOSQ_ERR_SUCCESS)
        Log(QStringLiteral("cannot publish %1: %2")
                .arg(topic, QString::fromUtf8(mosquitto_strerror(rc))));
    Watch();
    return rc == MOSQ_ERR_SUCCESS;
}

}  // namespace meridial::daemon
