#include "Options.h"

#include "Firmware.h"

#include "protocol/FirmwarePackage.h"
#include "protocol/FramingModes.h"

#include <cmath>

namespace cli {

namespace {

struct CommandWord
{
    Command command;
    const char *word;
    int arguments;   // operands the command takes
};

constexpr CommandWord kCommands[] = {
    {Command::List, "list", 0},
    {Command::Info, "info", 0},
    {Command::SetMode, "set-mode", 1},
    {Command::EnterUpgrade, "enter-upgrade", 0},
    {Command::Upgrade, "upgrade", 1},
    {Command::Pack, "pack", 1},
    {Command::Doctor, "doctor", 0},
};

// Options that belong to one command: their flag, and where the parsed value goes.
struct CommandOption
{
    const char *name;
    Command command;
    bool takesValue;
    bool repeatable = false;   // may be given more than once, each value kept
};

constexpr CommandOption kCommandOptions[] = {
    {"--dry-run", Command::Upgrade, false},
    {"--allow-reinstall", Command::Upgrade, false},
    {"--allow-older", Command::Upgrade, false},
    {"--firmware-version", Command::Pack, true},
    {"--output", Command::Pack, true},
    {"--release-notes", Command::Pack, true},
    {"--date", Command::Pack, true},
    {"--udev-rules-dir", Command::Doctor, true, true},
};

const CommandOption *commandOption(const QString &name)
{
    for (const CommandOption &entry : kCommandOptions) {
        if (name == QLatin1String(entry.name))
            return &entry;
    }
    return nullptr;
}

// Where a command option's value (or flag) is kept.
void setCommandOption(Options &options, const QString &name, const QString &value)
{
    if (name == QLatin1String("--dry-run"))
        options.dryRun = true;
    else if (name == QLatin1String("--allow-reinstall"))
        options.allowReinstall = true;
    else if (name == QLatin1String("--allow-older"))
        options.allowOlder = true;
    else if (name == QLatin1String("--firmware-version"))
        options.firmwareVersion = value;
    else if (name == QLatin1String("--output"))
        options.output = value;
    else if (name == QLatin1String("--release-notes"))
        options.releaseNotes = value;
    else if (name == QLatin1String("--date"))
        options.releaseDate = value;
    else if (name == QLatin1String("--udev-rules-dir"))
        options.rulesDirs << value;
}

constexpr double kLongestTimeoutSeconds = 24 * 60 * 60;

const CommandWord *commandNamed(const QString &word)
{
    for (const CommandWord &entry : kCommands) {
        if (word == QLatin1String(entry.word))
            return &entry;
    }
    return nullptr;
}

// "list, info, ... or upgrade": every command word, for the usage error
// that names them.
QString commandWords()
{
    QStringList words;
    for (const CommandWord &entry : kCommands)
        words << QLatin1String(entry.word);
    const QString last = words.takeLast();
    return words.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

} // namespace

const char *commandWord(Command command)
{
    for (const CommandWord &entry : kCommands) {
        if (entry.command == command)
            return entry.word;
    }
    return "";
}

bool asksForJson(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("--json"))
            return true;
    }
    return false;
}

std::optional<int> parseMode(const QString &text)
{
    for (const modes::ModeInfo &info : modes::kFramingModes) {
        if (text == QLatin1String(info.keyword) || text == QString::number(int(info.mode)))
            return int(info.mode);
    }
    return std::nullopt;
}

std::optional<std::chrono::milliseconds> parseTimeout(const QString &text)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > kLongestTimeoutSeconds)
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
}

Parsed parseArguments(const QStringList &arguments)
{
    Parsed parsed;
    Options &options = parsed.options;
    const CommandWord *command = nullptr;
    QStringList operands;
    bool optionsEnded = false;
    bool deviceGiven = false;
    bool timeoutGiven = false;
    QStringList commandOptionsGiven;

    const auto fail = [&parsed](const QString &error) {
        parsed.error = error;
        return parsed;
    };

    // --help and --version answer whatever else the line holds.
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            options.help = true;
        else if (argument == QLatin1String("--version"))
            options.version = true;
        else if (argument == QLatin1String("--json"))
            options.json = true;
    }
    if (options.help || options.version)
        return parsed;

    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            if (!command) {
                command = commandNamed(argument);
                if (!command)
                    return fail(QStringLiteral("unknown command '%1' (try --help)").arg(argument));
            } else {
                operands.append(argument);
            }
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }

        // --name=value or --name value, for the two options that take one.
        QString name = argument;
        std::optional<QString> value;
        const int equals = argument.indexOf(QLatin1Char('='));
        if (argument.startsWith(QLatin1String("--")) && equals > 0) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
        }
        const CommandOption *ofCommand = commandOption(name);
        const bool takesValue = name == QLatin1String("--device") || name == QLatin1String("--timeout")
                                || (ofCommand && ofCommand->takesValue);
        if (!takesValue && value)
            return fail(QStringLiteral("option %1 takes no value").arg(name));
        if (takesValue && !value) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("option %1 needs a value").arg(name));
            value = arguments.at(++i);
        }

        if (name == QLatin1String("--json")) {
            options.json = true;
        } else if (name == QLatin1String("-v") || name == QLatin1String("--verbose")) {
            options.verbose = true;
        } else if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            options.help = true;
        } else if (name == QLatin1String("--version")) {
            options.version = true;
        } else if (name == QLatin1String("--device")) {
            if (deviceGiven)
                return fail(QStringLiteral("--device given twice"));
            if (value->isEmpty())
                return fail(QStringLiteral("--device needs a serial number or a node path"));
            deviceGiven = true;
            options.device = *value;
        } else if (name == QLatin1String("--timeout")) {
            if (timeoutGiven)
                return fail(QStringLiteral("--timeout given twice"));
            timeoutGiven = true;
            options.timeout = parseTimeout(*value);
            if (!options.timeout)
                return fail(QStringLiteral("--timeout takes seconds above 0 and at most 86400, not '%1'").arg(*value));
        } else if (ofCommand) {
            if (commandOptionsGiven.contains(name) && !ofCommand->repeatable)
                return fail(QStringLiteral("%1 given twice").arg(name));
            if (ofCommand->takesValue && value->isEmpty())
                return fail(QStringLiteral("%1 needs a value").arg(name));
            commandOptionsGiven.append(name);
            setCommandOption(options, name, value.value_or(QString()));
        } else {
            return fail(QStringLiteral("unknown option '%1' (try --help)").arg(argument));
        }
    }

    if (!command)
        return fail(QStringLiteral("no command given (%1; try --help)").arg(commandWords()));
    options.command = command->command;
    for (const QString &name : commandOptionsGiven) {
        const CommandOption *entry = commandOption(name);
        if (entry->command != command->command)
            return fail(QStringLiteral("%1 is an option of %2, not of %3")
                            .arg(name, QLatin1String(commandWord(entry->command)), QLatin1String(command->word)));
    }
    if (operands.size() < command->arguments) {
        if (command->command == Command::SetMode)
            return fail(QStringLiteral("set-mode needs a mode: full, auto, voice or gallery (or 0, 1, 2, 8)"));
        if (command->command == Command::Pack)
            return fail(QStringLiteral("pack needs the firmware image: pack IMAGE.bin --firmware-version X.Y.Z --output FILE.cab"));
        return fail(QStringLiteral("upgrade needs the firmware image or package: upgrade IMAGE.bin|PACKAGE.cab"));
    }
    if (operands.size() > command->arguments)
        return fail(QStringLiteral("%1 takes %2, but '%3' follows")
                        .arg(QLatin1String(command->word),
                             command->arguments == 0 ? QStringLiteral("no operand") : QStringLiteral("one operand"),
                             operands.at(command->arguments)));

    if (command->command == Command::SetMode) {
        const std::optional<int> mode = parseMode(operands.first());
        if (!mode)
            return fail(QStringLiteral("'%1' is not a framing mode: full, auto, voice or gallery (or 0, 1, 2, 8)")
                            .arg(operands.first()));
        options.mode = *mode;
    } else if (command->command == Command::Upgrade) {
        options.image = operands.first();
    } else if (command->command == Command::Pack) {
        options.image = operands.first();
        if (options.firmwareVersion.isEmpty())
            return fail(QStringLiteral("pack needs --firmware-version X.Y.Z"));
        if (options.output.isEmpty())
            return fail(QStringLiteral("pack needs --output FILE.cab"));
        // Three numbers, as the package declares its version format; a
        // leading V, as the camera writes it, is dropped.
        const std::optional<QVector<quint32>> version = package::parseVersion(options.firmwareVersion);
        if (!version || version->size() != 3)
            return fail(QStringLiteral("--firmware-version takes three numbers separated by dots, like 2.2.0, not '%1'")
                            .arg(options.firmwareVersion));
        if (!options.releaseDate.isEmpty() && !QDate::fromString(options.releaseDate, Qt::ISODate).isValid())
            return fail(QStringLiteral("--date takes a date as YYYY-MM-DD, not '%1'").arg(options.releaseDate));
        if (!isPackagePath(options.output))
            return fail(QStringLiteral("--output must name a .cab file, not '%1'").arg(options.output));
    }
    return parsed;
}

} // namespace cli
