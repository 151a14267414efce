#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "clock/ClockFrame.h"
#include "zone/ZoneFrame.h"

namespace meridial::cli {

// Where to send: a COM number (mapped through the settings file) or a device path.
struct PortChoice {
    std::optional<int> comNumber;
    QString devicePath;
};

struct TransferOptions {
    std::optional<PortChoice> port;
    int signId = 0;
    int speed = 2;
    QString message;
    CivilDate date;
    QString timeText;
    PcZoneState zone;
    int zoneRow = 0;
    DstTransition dstStart;
    DstTransition dstEnd;
    DisplayFormats formats;
    bool dryRun = false;
};

// A bad option or value, with a message that names it.
struct UsageError {
    QString message;
};

// Parses "--port COMn|PATH".
std::optional<PortChoice> ParsePort(const QString& value, QString& error);

// Parses the options after "transfer". Defaults come from the PC's clock and zone at the moment
// of parsing. Reading --message-file happens here, so its errors are usage errors too.
std::optional<TransferOptions> ParseTransferOptions(const QStringList& args, QString& error);

}  // namespace meridial::cli
