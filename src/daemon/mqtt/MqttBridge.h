#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "daemon/ServiceControl.h"
#include "link/Result.h"
#include "schedule/Schedule.h"

struct mosquitto;
struct mosquitto_message;

namespace meridial::daemon {

// The [mqtt] section of the schedule, checked.
struct MqttOptions {
    QString host;
    int port = 1883;
    QString user;
    QByteArray password;  // read from password-file when the section is read
    bool hasPassword = false;
    bool tls = false;
    QString prefix = QStringLiteral("meridial");
    QString discoveryPrefix = QStringLiteral("homeassistant");

    bool operator==(const MqttOptions&) const = default;
};

// Nothing when the schedule has no [mqtt] section; every line it cannot use as
// "FILE:LINE [mqtt] KEY: why", one a line. The password file is read here, so that a reload
// with a file that went missing is refused like any other bad line.
Result<std::optional<MqttOptions>, QString> ParseMqttSection(
    const std::optional<schedule::Section>& section, const QString& path);

// The name of a sign as Home Assistant's identifiers and discovery topics take it: lower-case
// ASCII letters, digits, '_' and '-'; a name with anything else, or one that differs from
// another only in case, gets a hash of its bytes after it so that two signs never share one.
QString NameSlug(const QString& name);

// The topic level a sign's topics are under: its name, or its slug when the name holds a
// character a topic level cannot ('/', '+', '#') or is empty.
QString SignLevel(const QString& name);

// What a command topic PREFIX/LEVEL/notice/set or PREFIX/group/G/notice/set addresses;
// nothing for any other topic.
struct CommandTarget {
    bool group = false;
    QString level;  // the sign's level, or the group's name
};
std::optional<CommandTarget> ParseCommandTopic(const QString& topic, const QString& prefix);

// A notice as an MQTT payload asks for it: the text alone (for kDefaultNoticeSeconds), or a
// JSON object {"message", "for"} or {"message", "until"}. An error says why it is refused.
inline constexpr qint64 kDefaultNoticeSeconds = 30 * 60;
inline constexpr int kMostPayloadBytes = 4096;
Result<NoticeRequest, QString> ParseNoticePayload(const QByteArray& payload);

// Keeps an MQTT broker told what every sign shows and takes notices from it: the service's
// own event loop drives the client's socket, so every call into the service happens on its
// thread and nothing waits for the broker. While the broker cannot be reached the bridge
// tries again after 1 s, doubling to 60 s; the service goes on sending to its signs.
class MqttBridge final : public QObject {
public:
    MqttBridge(MqttOptions options, ServiceControl& control, QObject* parent = nullptr);
    ~MqttBridge() override;

    MqttBridge(const MqttBridge&) = delete;
    MqttBridge& operator=(const MqttBridge&) = delete;

    // Begins connecting; false (with the reason logged) when the client cannot be made.
    bool Start();

    // What the service tells of this sign may have changed: its state is published when it did.
    void SignChanged(const QString& name);

    // The signs may be other ones now (after a reload): discovery and state for each, and the
    // retained topics of signs that are gone cleared.
    void SignsChanged();

    const MqttOptions& Options() const { return m_options; }

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    void Connected(int rc);
    void Disconnected(int rc);
    void Received(const mosquitto_message& message);
    void Refuse(const CommandTarget& target, const QString& why);
    void PublishAll();
    void PublishState(const QString& name, bool force);
    void PublishDiscovery(const QString& name);
    void ClearSign(const QString& name);
    bool Publish(const QString& topic, const QByteArray& payload, bool retain);
    void Retry();
    // After every call into the client: watch its socket as it is now, for writing only
    // while it has something to write.
    void Watch();

    QString SignTopic(const QString& name) const;
    QStringList SignNames() const;

    MqttOptions m_options;
    ServiceControl& m_control;
    mosquitto* m_client = nullptr;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_read, m_write;
    QTimer m_misc;   // keep-alive and the client's own timeouts
    QTimer m_retry;  // the next connection attempt
    int m_backoffMs = 1000;
    bool m_connected = false;
    bool m_everConnected = false;
    bool m_stopping = false;
    std::map<QString, QByteArray> m_published;  // state payload last published, per sign
    std::set<QString> m_known;                  // signs whose discovery was published
    std::set<QString> m_gone;  // signs removed while the broker was away: cleared at connect
    std::set<QString> m_retainedLogged;         // topics whose retained command was logged
};

}  // namespace meridial::daemon
