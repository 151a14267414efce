#include "daemon/SignState.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include "cli/Building.h"

namespace meridial::daemon {
namespace {

using schedule::Instant;

constexpr qint64 kLongestStateFile = 64 << 20;

QJsonValue Time(const std::optional<Instant>& at) {
    return at ? QJsonValue(IsoText(*at)) : QJsonValue(QJsonValue::Null);
}

std::optional<Instant> TimeOf(const QJsonValue& value) {
    const QDateTime at = QDateTime::fromString(value.toString(), Qt::ISODate);
    if (!at.isValid()) return std::nullopt;
    return ToInstant(at);
}

QJsonArray Strings(const std::vector<std::string>& items) {
    QJsonArray array;
    for (const std::string& item : items) array.append(QString::fromStdString(item));
    return array;
}

SignState SignStateOf(const QJsonObject& json) {
    SignState state;
    if (const QJsonObject shown = json.value(u"shows").toObject(); !shown.isEmpty()) {
        Shown s;
        s.message = shown.value(u"message").toString();
        s.speed = shown.value(u"speed").toInt();
        s.source = shown.value(u"source").toString();
        s.clockFrame = shown.value(u"clockFrame").toString();
        s.zoneFrame = shown.value(u"zoneFrame").toString();
        s.messageFrame = shown.value(u"messageFrame").toString();
        s.line = shown.value(u"line").toString();
        s.sentAt = TimeOf(shown.value(u"sentAt")).value_or(Instant{});
        state.shown = s;
    }
    if (const QJsonObject attempt = json.value(u"lastAttempt").toObject(); !attempt.isEmpty())
        state.lastAttempt = Attempt{TimeOf(attempt.value(u"at")).value_or(Instant{}),
                                    attempt.value(u"kind").toString(),
                                    attempt.value(u"outcome").toString(),
                                    attempt.value(u"reason").toString()};
    state.failingSince = TimeOf(json.value(u"failingSince"));
    state.lastAcknowledged = TimeOf(json.value(u"lastAcknowledged"));
    state.failures = json.value(u"failures").toInt();
    state.failuresTotal = json.value(u"failuresTotal").toInteger();
    return state;
}

}  // namespace

QJsonObject ToJson(const SignState& state) {
    QJsonObject json;
    if (state.shown) {
        const Shown& s = *state.shown;
        json[u"shows"] = QJsonObject{{QStringLiteral("message"), s.message},
                                     {QStringLiteral("speed"), s.speed},
                                     {QStringLiteral("source"), s.source},
                                     {QStringLiteral("clockFrame"), s.clockFrame},
                                     {QStringLiteral("zoneFrame"), s.zoneFrame},
                                     {QStringLiteral("messageFrame"), s.messageFrame},
                                     {QStringLiteral("line"), s.line},
                                     {QStringLiteral("sentAt"), IsoText(s.sentAt)}};
    } else {
        json[u"shows"] = QJsonValue::Null;
    }
    json[u"acknowledged"] = state.lastAttempt && state.failures == 0;
    if (state.lastAttempt) {
        const Attempt& a = *state.lastAttempt;
        json[u"lastAttempt"] = QJsonObject{{QStringLiteral("at"), IsoText(a.at)},
                                           {QStringLiteral("kind"), a.kind},
                                           {QStringLiteral("outcome"), a.outcome},
                                           {QStringLiteral("reason"), a.reason}};
    } else {
        json[u"lastAttempt"] = QJsonValue::Null;
    }
    json[u"failingSince"] = Time(state.failingSince);
    json[u"lastAcknowledged"] = Time(state.lastAcknowledged);
    json[u"failures"] = state.failures;
    json[u"failuresTotal"] = state.failuresTotal;
    return json;
}

QJsonObject ToJson(const schedule::Notice& notice) {
    QJsonObject json{{QStringLiteral("id"), QString::fromStdString(notice.id)},
                     {QStringLiteral("signs"), Strings(notice.signs)},
                     {QStringLiteral("message"), QString::fromStdString(notice.message)},
                     {QStringLiteral("from"), IsoText(notice.from)},
                     {QStringLiteral("until"), IsoText(notice.until)},
                     {QStringLiteral("order"), notice.order}};
    if (notice.speed) json[u"speed"] = *notice.speed;
    return json;
}

Result<ServiceState, QString> ReadStateFile(const QString& path) {
    using R = Result<ServiceState, QString>;
    QFile file(path);
    if (!file.exists()) return ServiceState{};
    if (!file.open(QIODevice::ReadOnly))
        return R::Fail(QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString()));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(kLongestStateFile), &error);
    if (!document.isObject())
        return R::Fail(QStringLiteral("%1: not a state file (%2)").arg(path, error.errorString()));
    const QJsonObject root = document.object();
    ServiceState state;
    const QJsonObject signs = root.value(u"signs").toObject();
    for (auto it = signs.begin(); it != signs.end(); ++it)
        state.signs[it.key()] = SignStateOf(it.value().toObject());
    for (const QJsonValue& value : root.value(u"notices").toArray()) {
        const QJsonObject json = value.toObject();
        schedule::Notice notice;
        notice.id = json.value(u"id").toString().toStdString();
        for (const QJsonValue& sign : json.value(u"signs").toArray())
            notice.signs.push_back(sign.toString().toStdString());
        notice.message = json.value(u"message").toString().toStdString();
        if (json.contains(u"speed")) notice.speed = json.value(u"speed").toInt();
        const auto from = TimeOf(json.value(u"from"));
        const auto until = TimeOf(json.value(u"until"));
        if (notice.id.empty() || !from || !until) continue;
        notice.from = *from;
        notice.until = *until;
        notice.order = json.value(u"order").toInteger();
        state.notices.push_back(std::move(notice));
    }
    state.nextNotice = std::max<qint64>(1, root.value(u"nextNotice").toInteger(1));
    return state;
}

Result<bool, QString> WriteStateFile(const QString& path, const ServiceState& state) {
    QJsonObject signs;
    for (const auto& [name, sign] : state.signs) signs[name] = ToJson(sign);
    QJsonArray notices;
    for (const schedule::Notice& notice : state.notices) notices.append(ToJson(notice));
    const QJsonObject root{{QStringLiteral("signs"), signs},
                           {QStringLiteral("notices"), notices},
                           {QStringLiteral("nextNotice"), state.nextNotice}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0 || !file.commit())
        return Result<bool, QString>::Fail(
            QStringLiteral("%1: cannot be written: %2").arg(path, file.errorString()));
    return true;
}

}  // namespace meridial::daemon
