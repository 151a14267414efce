#include "cli/Building.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include "cli/PreparedTransfer.h"
#include "message/MessageFrame.h"
#include "message/TextEncoding.h"
#include "zone/DstRules.h"

namespace meridial {
namespace {

using Loaded = Result<std::shared_ptr<const Building>, QString>;

constexpr qint64 kLongestSchedule = 1 << 20;

// The value a sign's section gives an option, or nothing.
std::optional<QString> OptionValue(const cli::NamedSign& sign, const QString& option) {
    std::optional<QString> found;
    for (qsizetype i = 0; i + 1 < sign.arguments.size(); i += 2)
        if (sign.arguments[i] == option) found = sign.arguments[i + 1];
    return found;
}

Result<std::string, std::string> ReadMessageFile(const std::string& path) {
    const auto text = cli::ReadMessageFile(QString::fromStdString(path));
    if (!text) return Result<std::string, std::string>::Fail(text.error().toStdString());
    return text->toStdString();
}

// Each sign's zone, message and target, or every reason a sign has none, one a line.
Result<std::vector<BuildingSign>, QString> ReadSigns(const cli::SignsFileContents& file,
                                                     const PortSettings& settings) {
    std::vector<BuildingSign> signs;
    QStringList errors;
    for (const cli::NamedSign& named : file.signs) {
        const auto options = cli::SignOptions(named);
        if (!options) {
            errors << options.error();
            continue;
        }
        BuildingSign sign{named, QTimeZone::systemTimeZone(), options->message, std::nullopt, {}};
        if (const auto tz = OptionValue(named, QStringLiteral("--tz"));
            tz && *tz != QLatin1String(cli::kLocalZone))
            sign.zone = TzDatabaseZone(*tz).value_or(QTimeZone::utc());
        if (!sign.zone.isValid()) sign.zone = QTimeZone::utc();
        if (OptionValue(named, QStringLiteral("--speed"))) sign.ownSpeed = options->request.speed;
        const auto target = cli::PlanPort(options->port, settings);
        const Result<LinkTarget> resolved = target.resolver(target.portNumber);
        if (!resolved) {
            errors << cli::SignLocation(named) + QStringLiteral(": port: ") +
                          QString::fromStdString(resolved.error());
            continue;
        }
        sign.target = *resolved;
        if (const auto refusal = MessageRefusal(settings, sign.ownMessage);
            refusal && !sign.ownMessage.isEmpty())
            errors << cli::SignLocation(named) + QStringLiteral(": message: ") + *refusal;
        signs.push_back(std::move(sign));
    }
    if (!errors.isEmpty())
        return Result<std::vector<BuildingSign>, QString>::Fail(errors.join(u'\n'));
    return signs;
}

}  // namespace

int Building::IndexOf(const QString& name) const {
    for (std::size_t i = 0; i < signs.size(); ++i)
        if (signs[i].sign.name == name) return static_cast<int>(i);
    return -1;
}

std::vector<schedule::SignInfo> Building::SignInfos() const {
    std::vector<schedule::SignInfo> infos;
    for (const BuildingSign& sign : signs) {
        schedule::SignInfo info{sign.sign.name.toStdString(), {}};
        for (const QString& group : sign.sign.groups) info.groups.push_back(group.toStdString());
        infos.push_back(std::move(info));
    }
    return infos;
}

QString DefaultSchedulePath(const QString& signsPath) {
    return QFileInfo(signsPath).absoluteDir().filePath(QStringLiteral("schedule.ini"));
}

std::optional<QString> MessageRefusal(const PortSettings& settings, const QString& message) {
    if (IsEmptyMessage(message.toStdString())) return QStringLiteral("the message is empty");
    const EncodedText bytes = EncodeForSign(message, ResolveCodePage(settings.CodePage()));
    if (!bytes) return QString::fromStdString(bytes.error());
    if (static_cast<int>(bytes->size()) > kMaxMessageLength)
        return QStringLiteral("the message is %1 characters; a sign's message holds at most %2")
            .arg(QString::number(bytes->size()), QString::number(kMaxMessageLength));
    return std::nullopt;
}

Loaded LoadBuilding(const QString& signsGiven, const QString& scheduleGiven) {
    const auto file = cli::LoadSignsFile(signsGiven);
    if (!file) return Loaded::Fail(file.error());
    auto building = std::make_shared<Building>();
    building->signsPath = file->path;
    building->settings = std::make_shared<const PortSettings>(PortSettings::DefaultPath());
    auto signs = ReadSigns(*file, *building->settings);
    if (!signs) return Loaded::Fail(signs.error());
    building->signs = std::move(*signs);

    const QString schedulePath =
        scheduleGiven.isEmpty() ? DefaultSchedulePath(file->path) : scheduleGiven;
    const QFileInfo info(schedulePath);
    if (!info.exists()) {
        // Without a schedule each sign keeps its own message; a file named on purpose must be.
        if (!scheduleGiven.isEmpty())
            return Loaded::Fail(QStringLiteral("%1: no such file").arg(schedulePath));
        return Loaded(std::shared_ptr<const Building>(std::move(building)));
    }
    if (!info.isFile())
        return Loaded::Fail(QStringLiteral("%1: not a regular file").arg(schedulePath));
    QFile scheduleFile(schedulePath);
    if (!scheduleFile.open(QIODevice::ReadOnly))
        return Loaded::Fail(QStringLiteral("%1: cannot be read").arg(schedulePath));
    const QByteArray bytes = scheduleFile.read(kLongestSchedule + 1);
    if (bytes.size() > kLongestSchedule)
        return Loaded::Fail(
            QStringLiteral("%1: larger than 1 MiB, not a schedule").arg(schedulePath));
    const PortSettings& settings = *building->settings;
    auto parsed = schedule::ParseSchedule(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        schedulePath.toStdString(), building->SignInfos(),
        // The reader has put the schedule's own folder in front already.
        [](const std::string& path) { return ReadMessageFile(path); },
        [&settings](const std::string& message) -> std::optional<std::string> {
            const auto refusal = MessageRefusal(settings, QString::fromStdString(message));
            if (!refusal) return std::nullopt;
            return refusal->toStdString();
        });
    if (!parsed) return Loaded::Fail(QString::fromStdString(parsed.error()));
    building->schedulePath = schedulePath;
    building->schedule = std::move(*parsed);
    return Loaded(std::shared_ptr<const Building>(std::move(building)));
}

schedule::Instant ToInstant(const QDateTime& moment) {
    return schedule::Instant(std::chrono::seconds(moment.toSecsSinceEpoch()));
}

QDateTime FromInstant(schedule::Instant instant) {
    return QDateTime::fromSecsSinceEpoch(instant.time_since_epoch().count(), QTimeZone::utc());
}

QString IsoText(schedule::Instant instant) {
    return QDateTime::fromSecsSinceEpoch(instant.time_since_epoch().count(), Qt::UTC)
        .toString(Qt::ISODate);
}

schedule::ZoneOffsets OffsetsAround(const QTimeZone& zone, const QDateTime& around) {
    const QDateTime from = around.addDays(-1);
    schedule::ZoneOffsets offsets;
    offsets.initialOffset = zone.offsetFromUtc(from);
    for (const QTimeZone::OffsetData& change : zone.transitions(from, around.addDays(400)))
        offsets.changes.emplace_back(ToInstant(change.atUtc), change.offsetFromUtc);
    return offsets;
}

schedule::SignPlanInput PlanInputFor(const Building& building, int index, const QDateTime& around) {
    const BuildingSign& sign = building.signs[static_cast<std::size_t>(index)];
    schedule::SignPlanInput input;
    input.name = sign.sign.name.toStdString();
    input.zone = OffsetsAround(sign.zone, around);
    input.ownMessage = sign.ownMessage.toStdString();
    input.ownSpeed = sign.ownSpeed;
    for (const schedule::ScheduleEntry& entry : building.schedule.entries)
        if (std::find(entry.signs.begin(), entry.signs.end(), input.name) != entry.signs.end())
            input.entries.push_back(&entry);
    return input;
}

QJsonObject PlanJson(const Building& building, const std::vector<schedule::Notice>& notices,
                     const QDateTime& from, int hours) {
    const schedule::Instant start = ToInstant(from);
    const schedule::Instant end = start + std::chrono::hours(hours);
    auto entry = [](schedule::Instant at, const schedule::Holding& holding) {
        return QJsonObject{{QStringLiteral("at"), IsoText(at)},
                           {QStringLiteral("message"), QString::fromStdString(holding.message)},
                           {QStringLiteral("source"), QString::fromStdString(holding.source)}};
    };
    QJsonArray signs;
    for (std::size_t i = 0; i < building.signs.size(); ++i) {
        const schedule::SignPlanInput input = PlanInputFor(building, static_cast<int>(i), from);
        QJsonArray changes{entry(start, schedule::HoldingAt(input, notices, start))};
        for (const schedule::Change& change : schedule::ChangesBetween(input, notices, start, end))
            changes.append(entry(change.at, change.holding));
        signs.append(QJsonObject{{QStringLiteral("name"), building.signs[i].sign.name},
                                 {QStringLiteral("changes"), changes}});
    }
    return QJsonObject{{QStringLiteral("from"), IsoText(start)},
                       {QStringLiteral("to"), IsoText(end)},
                       {QStringLiteral("signs"), signs}};
}

}  // namespace meridial
