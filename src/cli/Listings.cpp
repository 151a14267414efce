#include "cli/Listings.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QSerialPortInfo>
#include <QStringList>

#include "link/AckReply.h"
#include "link/LinkTarget.h"
#include "link/PortSettings.h"
#include "link/SerialPlatform.h"
#include "zone/ZoneTable.h"

namespace meridial::cli {
namespace {

QString FromView(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// udev's stable names: the same adapter keeps its name whichever ttyUSBn it becomes.
QHash<QString, QString> ByIdNames() {
    QHash<QString, QString> names;
    const QDir dir(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link :
         dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        names.insert(link.canonicalFilePath(), link.absoluteFilePath());
    return names;
}

// Qt finds no description for many USB adapters when udev's database has no entry; the kernel
// still knows the adapter's own product string.
QString SysfsProduct(const QString& device) {
    QString dir =
        QFileInfo(QStringLiteral("/sys/class/tty/%1/device").arg(QFileInfo(device).fileName()))
            .canonicalFilePath();
    for (int up = 0; up < 4 && !dir.isEmpty(); ++up, dir = QFileInfo(dir).path()) {
        QFile product(dir + QStringLiteral("/product"));
        if (product.open(QIODevice::ReadOnly))
            return QString::fromUtf8(product.readAll()).trimmed();
    }
    return {};
}

QJsonValue OrNull(const QString& text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); }

QString Hex4(quint16 value) { return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')); }

QJsonValue KindName(const Result<LinkTarget>& target) {
    if (!target) return {};
    switch (target->kind) {
        case LinkKind::Tcp:
            return QStringLiteral("tcp");
        case LinkKind::Rfc2217:
            return QStringLiteral("rfc2217");
        case LinkKind::SerialDevice:
            break;
    }
    return QStringLiteral("device");
}

QJsonObject DeviceJson(const QString& com, const QString& device,
                       const QHash<QString, QSerialPortInfo>& infos,
                       const QHash<QString, QString>& byId) {
    QJsonObject o;
    o[QStringLiteral("com")] = OrNull(com);
    o[QStringLiteral("device")] = device;
    const Result<LinkTarget> target = ParseLinkTarget(device.toStdString());
    o[QStringLiteral("kind")] = KindName(target);
    // A device server is reached only by a transfer; a listing neither connects nor judges it.
    const bool local = target && !target->IsNetwork();
    const QString path = local ? QFileInfo(device).canonicalFilePath() : QString();
    const bool exists = local && QFileInfo::exists(device);
    const QSerialPortInfo info = infos.value(path);
    o[QStringLiteral("path")] = OrNull(path);
    o[QStringLiteral("exists")] = exists;
    o[QStringLiteral("byId")] = OrNull(byId.value(path));
    QString description = info.description();
    if (description.isEmpty() && exists) description = SysfsProduct(path);
    o[QStringLiteral("description")] = description;
    o[QStringLiteral("manufacturer")] = info.manufacturer();
    o[QStringLiteral("serialNumber")] = info.serialNumber();
    o[QStringLiteral("vidPid")] =
        info.hasVendorIdentifier() && info.hasProductIdentifier()
            ? QJsonValue(Hex4(info.vendorIdentifier()) + QLatin1Char(':') +
                         Hex4(info.productIdentifier()))
            : QJsonValue();
    const PortHold hold = exists ? JudgeHold(device, StaleLocks::Keep) : PortHold{};
    const auto& holder = hold.holder;
    o[QStringLiteral("busy")] = hold.Busy();
    o[QStringLiteral("busyReason")] = hold.Busy() ? QJsonValue(hold.detail) : QJsonValue();
    o[QStringLiteral("lockFile")] = OrNull(hold.lockFile);
    o[QStringLiteral("holderPid")] = holder ? QJsonValue(holder->pid) : QJsonValue();
    o[QStringLiteral("holderProgram")] = holder ? OrNull(holder->program) : QJsonValue();
    o[QStringLiteral("mayOpen")] = exists && MayOpen(device);
    o[QStringLiteral("group")] = exists ? OrNull(DeviceGroup(device)) : QJsonValue();
    return o;
}

// Names, paths and descriptions come from devices, udev and other programs: a terminal must not
// take them for commands.
QString Shown(const QString& text) {
    return QString::fromStdString(EscapedText(text.toStdString()));
}

QString Text(const QJsonValue& value) {
    return value.isNull() ? QStringLiteral("-") : Shown(value.toVariant().toString());
}

QString DeviceLine(const QJsonObject& o) {
    QStringList parts;
    if (!o[QStringLiteral("com")].isNull()) parts << o[QStringLiteral("com")].toString();
    parts << Shown(o[QStringLiteral("device")].toString());
    const QString kind = o[QStringLiteral("kind")].toString();
    if (kind == QStringLiteral("tcp") || kind == QStringLiteral("rfc2217"))
        return parts.join(QStringLiteral("  ")) + QStringLiteral("  network target (not probed)");
    if (o[QStringLiteral("kind")].isNull())
        return parts.join(QStringLiteral("  ")) + QStringLiteral("  not a valid target");
    if (!o[QStringLiteral("exists")].toBool())
        return parts.join(QStringLiteral("  ")) + QStringLiteral("  missing");
    parts << QStringLiteral("present");
    if (o[QStringLiteral("busy")].toBool()) {
        const QString program = Shown(o[QStringLiteral("holderProgram")].toString());
        parts << (o[QStringLiteral("holderPid")].isNull()
                      ? QStringLiteral("busy (%1)").arg(Text(o[QStringLiteral("busyReason")]))
                      : QStringLiteral("busy (%1%2)")
                            .arg(program.isEmpty() ? QString() : program + QLatin1Char(' '),
                                 QString::number(o[QStringLiteral("holderPid")].toInt())));
    }
    if (!o[QStringLiteral("mayOpen")].toBool())
        parts << QStringLiteral("no access (group %1)").arg(Text(o[QStringLiteral("group")]));
    QString line = parts.join(QStringLiteral("  "));
    const auto field = [&](const char* label, const char* key) {
        const QJsonValue v = o[QLatin1String(key)];
        if (!v.isNull() && !v.toString().isEmpty())
            line += QStringLiteral("\n      %1: %2").arg(QLatin1String(label), Shown(v.toString()));
    };
    field("by-id", "byId");
    field("description", "description");
    field("manufacturer", "manufacturer");
    field("serial number", "serialNumber");
    field("USB VID:PID", "vidPid");
    return line;
}

}  // namespace

QJsonObject ZonesJson() {
    QJsonArray zones;
    const auto& table = ZoneTable();
    for (int row = 0; row < kZoneCount; ++row) {
        const Zone& zone = table[row];
        zones.append(QJsonObject{{QStringLiteral("row"), row},
                                 {QStringLiteral("offsetCode"), FromView(zone.offsetCode)},
                                 {QStringLiteral("bias"), zone.bias},
                                 {QStringLiteral("text"), FromView(zone.itemText)}});
    }
    return {{QStringLiteral("zones"), zones}};
}

QByteArray ZonesText() {
    QByteArray text;
    const auto& table = ZoneTable();
    for (int row = 0; row < kZoneCount; ++row) {
        const Zone& zone = table[row];
        text += QStringLiteral("%1  %2  %3  %4\n")
                    .arg(row, 2)
                    .arg(FromView(zone.offsetCode))
                    .arg(zone.bias, 5)
                    .arg(FromView(zone.itemText))
                    .toLocal8Bit();
    }
    return text;
}

QJsonObject PortsJson(const PortSettings& settings) {
    QHash<QString, QSerialPortInfo> infos;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        infos.insert(QFileInfo(info.systemLocation()).canonicalFilePath(), info);
    const QHash<QString, QString> byId = ByIdNames();
    QJsonArray ports;
    QStringList mapped;
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        const QString device = settings.DeviceForPort(n);
        mapped << QFileInfo(device).canonicalFilePath();
        ports.append(DeviceJson(QString::fromStdString(PortName(n)), device, infos, byId));
    }
    QJsonArray others;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (mapped.contains(QFileInfo(info.systemLocation()).canonicalFilePath())) continue;
        others.append(DeviceJson({}, info.systemLocation(), infos, byId));
    }
    return {{QStringLiteral("settingsFile"), settings.Path()},
            {QStringLiteral("ports"), ports},
            {QStringLiteral("otherDevices"), others}};
}

QByteArray PortsText(const PortSettings& settings) {
    const QJsonObject json = PortsJson(settings);
    QString text;
    for (const QJsonValue& port : json[QStringLiteral("ports")].toArray())
        text += DeviceLine(port.toObject()) + QLatin1Char('\n');
    const QJsonArray others = json[QStringLiteral("otherDevices")].toArray();
    if (!others.isEmpty()) text += QStringLiteral("Other serial devices:\n");
    for (const QJsonValue& port : others)
        text += QStringLiteral("  ") + DeviceLine(port.toObject()) + QLatin1Char('\n');
    text += QStringLiteral("Settings file: %1\n").arg(Text(json[QStringLiteral("settingsFile")]));
    return text.toLocal8Bit();
}

}  // namespace meridial::cli
