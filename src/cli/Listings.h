#pragma once

#include <QByteArray>
#include <QJsonObject>

namespace meridial {
class PortSettings;
}

namespace meridial::cli {

// "zones": the 40 zones. The JSON form: {"zones": [{"row", "offsetCode", "bias", "text"}]}.
QJsonObject ZonesJson();
QByteArray ZonesText();

// "ports": COM1..COM8 as the settings file maps them, then the other serial devices found, each
// with what the system knows of it. The schema is in the manual page.
QJsonObject PortsJson(const PortSettings& settings);
QByteArray PortsText(const PortSettings& settings);

}  // namespace meridial::cli
