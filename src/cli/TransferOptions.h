#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "cli/CommandLine.h"
#include "link/LinkTarget.h"
#include "message/TransferRequest.h"

namespace meridial::cli {

// Where to send: a COM number (mapped through the settings file) or a device path.
struct PortChoice {
    std::optional<int> comNumber;
    QString devicePath;
};

// "transfer": what to send (all but the message's bytes, which need the settings' code page),
// where, and whether to send at all.
struct TransferOptions {
    TransferRequest request;
    QString message;
    bool messageGiven = false;  // --message or --message-file; otherwise standard input may be
    std::optional<PortChoice> port;
    bool dryRun = false;
    QStringList warnings;  // for standard error; the transfer goes ahead
    QString zoneFailure;   // --tz names a zone the sign cannot follow: nothing may be sent
    int verbose = 0;       // -v: the trace by frame and burst; -vv: byte by byte
    bool quiet = false;
    bool help = false;  // --help or --version: nothing else was checked
    bool version = false;
    QString signName;   // --sign: the values come from that section of the signs file
    QString signsFile;  // --signs: that file instead of the usual ones
};

// The options "transfer" takes, for its parser and its help.
const CommandInfo& TransferCommand();

// What every command that opens the port shares.
OptionInfo PortOption();
OptionInfo VerboseOption();
OptionInfo QuietOption();
OptionInfo SignsFileOption();

// More than any message the sign takes, even in four-byte characters with line breaks between.
inline constexpr qsizetype kMaxMessageFileBytes = 64 * 1024;

// Reads a message file ('-': standard input), dropping the file's own final line break. Only a
// regular file or standard input, and at most kMaxMessageFileBytes.
Parsed<QString> ReadMessageFile(const QString& path);

// Parses "--port COMn|PATH".
Parsed<PortChoice> ParsePort(const QString& value);

// "local" for the PC's zone.
inline constexpr const char* kLocalZone = "local";

// Parses the options after "transfer". Defaults come from the PC's clock and zone at the moment
// of parsing. Reading --message-file happens here, so its errors are usage errors too.
Parsed<TransferOptions> ParseTransferOptions(const QStringList& args);

}  // namespace meridial::cli
