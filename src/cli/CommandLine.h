#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "link/Result.h"

namespace meridial::cli {

// A bad option or value gives a message that names it.
template <typename T>
using Parsed = Result<T, QString>;

struct OptionInfo {
    QStringList names;  // the first long name is the one the command reads: {"verbose", "v"}
    QString valueName;  // empty for a switch
    QString description;
};

// One subcommand: what `help COMMAND` prints and what its parser accepts. Every command also
// takes -h/--help and --version.
struct CommandInfo {
    QString name;
    QString arguments;  // after "[options]" in the usage line, e.g. "XX"
    QString summary;
    std::vector<OptionInfo> options;
    QString epilogue;  // printed after the options
};

// The options found, in command-line order, each under its first long name, so that "the last
// one wins" holds across options that set the same thing (--dst after --no-dst).
struct CommandArgs {
    QList<std::pair<QString, QString>> options;
    QStringList positional;
    bool help = false;
    bool version = false;

    bool Has(const QString& name) const;
};

// "--opt value" and "--opt=value", "-v", "--" ending the options. Help and version are reported
// even when the rest does not parse, so "transfer --id 100 --help" still helps.
Parsed<CommandArgs> ParseCommand(const CommandInfo& info, const QStringList& args);

// "Usage: meridial-cli NAME [options] ARGS", the summary and the options, aligned.
QString HelpText(const QString& program, const CommandInfo& info);

}  // namespace meridial::cli
