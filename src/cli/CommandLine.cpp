#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QHash>

namespace meridial::cli {
namespace {

const QStringList kHelpNames{QStringLiteral("help"), QStringLiteral("h")};
const QString kVersionName = QStringLiteral("version");

QString OptionLabel(const OptionInfo& option) {
    QStringList names;
    for (const QString& name : option.names)
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString label = names.join(QStringLiteral(", "));
    if (!option.valueName.isEmpty()) label += QLatin1Char(' ') + option.valueName;
    return label;
}

}  // namespace

bool CommandArgs::Has(const QString& name) const {
    for (const auto& option : options)
        if (option.first == name) return true;
    return false;
}

Parsed<CommandArgs> ParseCommand(const CommandInfo& info, const QStringList& args) {
    QCommandLineParser parser;
    // Values that start with a dash ("--bias -480") must stay values, and "-vq" two switches.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    QHash<QString, QString> primary;
    for (const OptionInfo& option : info.options) {
        QCommandLineOption qtOption(option.names, option.description, option.valueName);
        parser.addOption(qtOption);
        for (const QString& name : option.names) primary.insert(name, option.names.first());
    }
    parser.addOption(QCommandLineOption(kHelpNames));
    parser.addOption(QCommandLineOption(kVersionName));

    // QCommandLineParser wants the program's name first.
    const bool parsed = parser.parse(QStringList{QStringLiteral("meridial-cli")} + args);
    CommandArgs result;
    result.help = parser.isSet(kHelpNames.first());
    result.version = parser.isSet(kVersionName);
    if (result.help || result.version) return result;
    if (!parsed) return Parsed<CommandArgs>::Fail(parser.errorText());

    QHash<QString, int> taken;  // values already paired, per option
    for (const QString& found : parser.optionNames()) {
        const QString name = primary.value(found, found);
        const QStringList values = parser.values(name);
        const int index = taken[name]++;
        result.options.append({name, index < values.size() ? values[index] : QString()});
    }
    result.positional = parser.positionalArguments();
    return result;
}

QString HelpText(const QString& program, const CommandInfo& info) {
    QString text = QStringLiteral("Usage: %1 %2 [options]").arg(program, info.name);
    if (!info.arguments.isEmpty()) text += QLatin1Char(' ') + info.arguments;
    text += QStringLiteral("\n%1\n").arg(info.summary);
    std::vector<OptionInfo> options = info.options;
    options.push_back(
        {{QStringLiteral("help"), QStringLiteral("h")}, {}, QStringLiteral("this help")});
    options.push_back({{kVersionName}, {}, QStringLiteral("the program's version")});
    // Labels longer than this put their description on the next line.
    constexpr qsizetype kWidth = 20;
    const QString indent(kWidth + 4, QLatin1Char(' '));
    text += QStringLiteral("\nOptions:\n");
    for (const OptionInfo& option : options) {
        QString description = option.description;
        description.replace(QLatin1Char('\n'), QLatin1Char('\n') + indent);
        const QString label = OptionLabel(option);
        if (label.size() > kWidth)
            text += QStringLiteral("  %1\n%2%3\n").arg(label, indent, description);
        else
            text += QStringLiteral("  %1  %2\n").arg(label, -int(kWidth)).arg(description);
    }
    if (!info.epilogue.isEmpty()) text += QLatin1Char('\n') + info.epilogue;
    return text;
}

}  // namespace meridial::cli
