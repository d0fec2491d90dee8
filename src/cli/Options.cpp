#include "Options.h"

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
    {Command::Doctor, "doctor", 0},
};

constexpr double kLongestTimeoutSeconds = 24 * 60 * 60;

const CommandWord *commandNamed(const QString &word)
{
    for (const CommandWord &entry : kCommands) {
        if (word == QLatin1String(entry.word))
            return &entry;
    }
    return nullptr;
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
        const bool takesValue = name == QLatin1String("--device") || name == QLatin1String("--timeout")
                                || name == QLatin1String("--udev-rules-dir");
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
        } else if (name == QLatin1String("--udev-rules-dir")) {
            if (value->isEmpty())
                return fail(QStringLiteral("--udev-rules-dir needs a folder"));
            options.rulesDirs << *value;
        } else {
            return fail(QStringLiteral("unknown option '%1' (try --help)").arg(argument));
        }
    }

    if (!command)
        return fail(QStringLiteral("no command given (list, info, set-mode, enter-upgrade, upgrade or doctor; try --help)"));
    options.command = command->command;
    if (!options.rulesDirs.isEmpty() && command->command != Command::Doctor)
        return fail(QStringLiteral("--udev-rules-dir is for doctor only"));
    if (operands.size() < command->arguments) {
        if (command->command == Command::SetMode)
            return fail(QStringLiteral("set-mode needs a mode: full, auto, voice or gallery (or 0, 1, 2, 8)"));
        return fail(QStringLiteral("upgrade needs the firmware image: upgrade IMAGE.bin"));
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
    }
    return parsed;
}

} // namespace cli
