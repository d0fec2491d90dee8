#include "Cli.h"

#include "Commands.h"
#include "Firmware.h"
#include "Interrupt.h"
#include "Options.h"
#include "Output.h"

#include <QJsonObject>

#include <hidapi/hidapi.h>

#ifndef CAMERA_CLI_VERSION
#define CAMERA_CLI_VERSION "unknown"
#endif

namespace cli {

namespace {

const char kHelp[] =
    "Usage: kelvora-camera-cli [OPTIONS] COMMAND [ARGUMENT]\n"
    "\n"
    "Looks after a Kelvora Camera 2 from a terminal or a script.\n"
    "\n"
    "Commands:\n"
    "  list                 every attached camera, in either identity, with its nodes\n"
    "                       and whether this user may open them\n"
    "  info                 name, firmware version and framing mode (or that the\n"
    "                       camera is in upgrade mode, with its version)\n"
    "  set-mode MODE        full, auto, voice or gallery (or 0, 1, 2, 8); succeeds\n"
    "                       once the camera reports the mode asked for\n"
    "  enter-upgrade        sends the camera into upgrade mode and waits for it there\n"
    "  upgrade FIRMWARE     a raw image (.bin) or a package (.cab): checks it, uploads\n"
    "                       it, follows the camera's writing and its restart, and\n"
    "                       prints the old and new version; a camera already in upgrade\n"
    "                       mode gets the upload straight away. A package must name this\n"
    "                       camera and be newer than its firmware\n"
    "  pack IMAGE.bin       writes a firmware package (.cab) of the image\n"
    "  doctor               why the camera can or cannot be used from here: the bus, its\n"
    "                       nodes, the udev rule and tags, the login session, a sandbox\n"
    "                       and hidapi, each with the fix and the commands to run\n"
    "\n"
    "Options:\n"
    "  --device SERIAL|NODE the camera to act on when several are attached\n"
    "  --json               JSON on stdout (for upgrade, one object per line), errors\n"
    "                       as JSON on stderr\n"
    "  --timeout SECONDS    the longest wait for any one answer of the camera\n"
    "                       (defaults: 5 s for a reply, 60 s for a switch of identity,\n"
    "                       between two progress reports and for the restart)\n"
    "  --udev-rules-dir DIR doctor: read udev rules from DIR instead of the system's\n"
    "                       folders (again for more folders, the winning one first)\n"
    "  -v, --verbose        the protocol log on stderr\n"
    "  -h, --help           this help\n"
    "  --version            the program's version\n"
    "  --dry-run            upgrade: every check that writes nothing; exit 0 when a real\n"
    "                       run would start writing, else the code it would end with\n"
    "  --allow-reinstall    upgrade: install a package of the camera's own version\n"
    "  --allow-older        upgrade: install a package older than the camera's firmware\n"
    "  --firmware-version X.Y.Z  pack: the version the package carries (required)\n"
    "  --output FILE.cab    pack: where the package goes (required)\n"
    "  --release-notes TEXT pack: what the release changes (blank lines part paragraphs)\n"
    "  --date YYYY-MM-DD    pack: the release date (default: today, UTC)\n"
    "\n"
    "Exit codes:\n"
    "  0 success (also when the camera already had what was asked)\n"
    "  1 unexpected failure        2 usage error\n"
    "  3 no camera                 4 several cameras and no --device\n"
    "  5 a node cannot be opened   6 the camera refused, failed or did not answer\n"
    "  7 the image was refused     8 another program is using the camera\n"
    "  9 the package is older than the firmware\n"
    "  10 doctor found a problem\n"
    "  129 stopped by SIGHUP       130 interrupted (Ctrl-C)\n"
    "  143 stopped by SIGTERM\n"
    "\n"
    "See kelvora-camera-cli(1) for more.\n";

// Where the shared code's debug lines go: the protocol log under -v,
// nowhere otherwise.
Output *g_logOutput = nullptr;

void logMessage(QtMsgType, const QMessageLogContext &, const QString &text)
{
    if (g_logOutput)
        g_logOutput->log(text);
}

} // namespace

const char *helpText()
{
    return kHelp;
}

int runCli(const QStringList &arguments, FILE *out, FILE *err, bool terminal)
{
    const Parsed parsed = parseArguments(arguments);
    const bool json = parsed.ok() ? parsed.options.json : asksForJson(arguments);
    Output output(out, err, json, terminal);
    if (!parsed.ok())
        return output.finish(output.fail(Problem{Exit::Usage, QStringLiteral("usage"), parsed.error, {}, {}}));
    const Options &options = parsed.options;
    if (options.help) {
        output.result(QJsonObject{{QStringLiteral("help"), QLatin1String(kHelp)}}, QString::fromLatin1(kHelp).chopped(1));
        return output.finish(int(Exit::Ok));
    }
    if (options.version) {
        output.result(QJsonObject{{QStringLiteral("program"), QStringLiteral("kelvora-camera-cli")},
                                  {QStringLiteral("version"), QStringLiteral(CAMERA_CLI_VERSION)}},
                      QStringLiteral("kelvora-camera-cli " CAMERA_CLI_VERSION));
        return output.finish(int(Exit::Ok));
    }

    g_logOutput = options.verbose ? &output : nullptr;
    const QtMessageHandler previous = qInstallMessageHandler(logMessage);
    interrupt::reset();
    interrupt::install(json);

    int code = int(Exit::Failure);
    if (options.command == Command::Pack) {
        // Writes a file; no camera, no hidapi.
        code = runPack(options, output);
    } else if (hid_init() != 0) {
        code = output.fail(Problem{Exit::Failure, QStringLiteral("hidapi"), QStringLiteral("hidapi could not start"), {}, {}});
    } else {
        code = runCommand(options, output);
        hid_exit();
    }
    code = output.finish(code);

    // A second signal that came after the command's last look ends here.
    interrupt::endIfAsked();
    interrupt::uninstall();
    qInstallMessageHandler(previous);
    g_logOutput = nullptr;
    return code;
}

QByteArray readBack(FILE *file)
{
    std::fflush(file);
    std::rewind(file);
    QByteArray bytes;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, int(n));
    std::fclose(file);
    return bytes;
}

} // namespace cli
