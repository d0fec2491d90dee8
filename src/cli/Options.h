#pragma once

// The command line, taken apart. Pure: no device, no output.

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace cli {

enum class Command { None, List, Info, SetMode, EnterUpgrade, Upgrade, Pack, Doctor };

struct Options
{
    Command command = Command::None;
    QString device;        // --device: a serial number or a node path
    bool json = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    std::optional<std::chrono::milliseconds> timeout;   // --timeout, for every wait
    int mode = -1;         // set-mode: the device value
    QString image;         // upgrade and pack: the image's (or package's) path
    // upgrade
    bool dryRun = false;           // every check that does not write, then stop
    bool allowReinstall = false;   // a package of the camera's own version is installed again
    bool allowOlder = false;       // a package older than the camera's version is installed
    // pack
    QString firmwareVersion;       // --firmware-version X.Y.Z
    QString output;                // --output FILE.cab
    QString releaseNotes;          // --release-notes TEXT
    QString releaseDate;           // --date YYYY-MM-DD
    // doctor
    QStringList rulesDirs;         // --udev-rules-dir, each folder udev would read rules from
};

struct Parsed
{
    Options options;
    QString error;         // not empty: a usage error, said in one sentence

    bool ok() const { return error.isEmpty(); }
};

// `arguments` without the program's name. Options may come before or after
// the command; "--" ends them.
Parsed parseArguments(const QStringList &arguments);

// Whether --json is among the arguments, for reporting a usage error in the
// form the caller asked for even when the rest does not parse.
bool asksForJson(const QStringList &arguments);

// A framing mode given by its word (full, auto, voice, gallery) or its
// device value (0, 1, 2, 8).
std::optional<int> parseMode(const QString &text);

// Seconds as the user writes them ("5", "0.5"), more than zero and at most a
// day, rounded up to whole milliseconds.
std::optional<std::chrono::milliseconds> parseTimeout(const QString &text);

// The word for a command, as typed.
const char *commandWord(Command command);

} // namespace cli
