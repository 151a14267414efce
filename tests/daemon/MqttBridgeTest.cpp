// What the MQTT bridge takes from the schedule and from the broker, before any of it is used.

#include "daemon/mqtt/MqttBridge.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace meridial::daemon {
namespace {

using Values = std::vector<std::pair<std::string, std::string>>;

TEST(MqttSection, KeysAreCheckedAndEveryBadOneNamedWithItsLine) {
    QTemporaryDir dir;
    QFile open(dir.filePath("open")), closed(dir.filePath("closed"));
    ASSERT_TRUE(open.open(QIODevice::WriteOnly) && closed.open(QIODevice::WriteOnly));
    open.write("secret\n");
    closed.write("secret\r\nsecond line\n");
    open.close();
    closed.close();
    open.setPermissions(QFile::ReadOwner | QFile::ReadOther);
    closed.setPermissions(QFile::ReadOwner);
    const QString path = dir.filePath("schedule.ini");
    const auto parse = [&](Values values) {
        return ParseMqttSection(schedule::Section{7, std::move(values)}, path);
    };
    EXPECT_FALSE(ParseMqttSection(std::nullopt, path).value().has_value());

    const auto plain = parse({{"host", "broker"}, {"tls", "yes"}});
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain.value()->port, 8883);
    EXPECT_EQ(plain.value()->prefix, "meridial");
    const auto user = parse({{"host", "b"}, {"user", "u"}, {"password-file", "closed"}});
    ASSERT_TRUE(user.ok()) << user.error().toStdString();
    EXPECT_EQ(user.value()->password, "secret");

    const struct {
        Values values;
        const char* error;
    } bad[] = {
        {{}, "host: missing"},
        {{{"host", "b"}, {"port", "0"}}, "port: '0' is not a port"},
        {{{"host", "b"}, {"tls", "on"}}, "tls: 'on' is neither yes nor no"},
        {{{"host", "b"}, {"prefix", "a/+"}}, "prefix: '+' and '#' are wildcards"},
        {{{"host", "b"}, {"prefix", "$SYS"}}, "prefix: topics starting with '$'"},
        {{{"host", "b"}, {"retain", "no"}}, "retain: unknown key"},
        {{{"host", "b"}, {"password-file", "closed"}}, "password-file: a password needs a user"},
        {{{"host", "b"}, {"user", "u"}, {"password-file", "open"}}, "every user can read it"},
        {{{"host", "b"}, {"user", "u"}, {"password-file", "gone"}}, "gone: no such file"},
    };
    for (const auto& row : bad) {
        const auto parsed = parse(row.values);
        ASSERT_FALSE(parsed.ok()) << row.error;
        EXPECT_TRUE(parsed.error().startsWith(path + ":7 [mqtt] ")) << parsed.error().toStdString();
        EXPECT_TRUE(parsed.error().contains(row.error)) << parsed.error().toStdString();
    }
}

TEST(MqttCommands, TopicsAndPayloadsAreReadOrRefused) {
    EXPECT_EQ(ParseCommandTopic("m/lobby/notice/set", "m")->level, "lobby");
    EXPECT_TRUE(ParseCommandTopic("m/group/floor1/notice/set", "m")->group);
    for (const char* topic : {"m/lobby/state", "m//notice/set", "x/lobby/notice/set",
                              "m/a/b/notice/set", "m/group//notice/set"})
        EXPECT_FALSE(ParseCommandTopic(topic, "m")) << topic;

    const auto text = ParseNoticePayload("Fire drill\r\n");
    EXPECT_EQ(text.value().message, "Fire drill");
    EXPECT_EQ(text.value().forSeconds, kDefaultNoticeSeconds);
    EXPECT_EQ(ParseNoticePayload(R"({"message":"M","for":"2h"})").value().forSeconds, 7200);
    EXPECT_TRUE(ParseNoticePayload(R"({"message":"M","until":"2026-12-24T17:00"})")
                    .value()
                    .until.isValid());
    for (const QByteArray& payload :
         {QByteArray("\xff\xfe"), QByteArray(4097, 'x'), QByteArray("{not json"),
          QByteArray(R"({"for":"1h"})"), QByteArray(R"({"message":"M","for":"soon"})"),
          QByteArray(R"({"message":"M","for":"1h","until":"2026-12-24T17:00"})"),
          QByteArray(R"({"message":"M","colour":"red"})")})
        EXPECT_FALSE(ParseNoticePayload(payload).ok()) << payload.toStdString();
}

TEST(MqttNames, SlugsAreTopicSafeAndNeverShared) {
    EXPECT_EQ(NameSlug("lobby-2"), "lobby-2");
    EXPECT_NE(NameSlug("Lobby"), NameSlug("lobby"));
    EXPECT_NE(NameSlug("a b"), NameSlug("a_b"));
    EXPECT_TRUE(QRegularExpression("^[a-z0-9_-]+$").match(NameSlug("Hall/Ost #1")).hasMatch());
    EXPECT_EQ(SignLevel("Hall Ost"), "Hall Ost");
    EXPECT_EQ(SignLevel("a/b"), NameSlug("a/b"));
}

}  // namespace
}  // namespace meridial::daemon
