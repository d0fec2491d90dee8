// Figure 10: the checks of a firmware package before the camera is touched
// (the file opened and read, the cabinet and its metainfo taken apart, the
// image's sha256 compared, as `upgrade PACKAGE.cab` runs them), against
// `sha256sum` of the same image as a process, measured in the same run, in
// turn, best of several runs each.
//
//   bench_package [--smoke]

#include "BenchCommon.h"

#include "cli/Firmware.h"
#include "protocol/FirmwarePackage.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using namespace bench;

// One sha256sum of `path`, its output thrown away; the seconds it took, or
// stops the run when it does not succeed.
double timeSha256sum(const QString &path)
{
    const QByteArray file = QFile::encodeName(path);
    char program[] = "sha256sum";
    char *arguments[] = {program, const_cast<char *>(file.constData()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    int status = 0;
    const bool ran = posix_spawnp(&child, program, &actions, nullptr, arguments, environ) == 0
                     && waitpid(child, &status, 0) == child;
    const double seconds = secondsSince(start);
    posix_spawn_file_actions_destroy(&actions);
    if (!ran || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(QStringLiteral("sha256sum %1 did not run (package coreutils)").arg(path));
    return seconds;
}

// The tool's checks of the package, as upgrade runs them; stops the run if
// the package is refused or its image is not the one packed.
double timeChecks(const QString &path, const QByteArray &expectedSha256)
{
    const Clock::time_point start = Clock::now();
    cli::Firmware firmware;
    cli::Problem problem;
    const bool ok = firmware.open(path, &problem);
    const double seconds = secondsSince(start);
    if (!ok)
        fail(QStringLiteral("the package was refused: %1").arg(problem.message));
    if (firmware.package().sha256 != expectedSha256)
        fail(QStringLiteral("the package's image is not the one packed"));
    return seconds;
}

void figure(const QTemporaryDir &dir, qint64 size, int runs)
{
    const ImageFile image = writeImage(dir.filePath(QStringLiteral("image.bin")), size);
    QFile file(image.path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(image.path));
    const QByteArray bytes = file.readAll();
    QString error;
    const QByteArray packed = package::writePackage(bytes, {{2, 2, 0}, QDate(2026, 12, 8), QString()}, &error);
    const QString path = dir.filePath(QStringLiteral("image.cab"));
    QFile out(path);
    if (packed.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(packed) != packed.size())
        fail(QStringLiteral("cannot write the package: %1").arg(error));
    out.close();
    const QByteArray sha256 = package::sha256Hex(bytes);

    // One uncounted run of each, so both read from the page cache.
    timeSha256sum(image.path);
    timeChecks(path, sha256);
    double floor = std::numeric_limits<double>::max();
    double tool = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        floor = std::min(floor, timeSha256sum(image.path));
        tool = std::min(tool, timeChecks(path, sha256));
    }
    const double ratio = tool / floor;
    constexpr double kGoal = 1.5;
    printRow({QStringLiteral("10"),
              QStringLiteral("package checks of a %1 MiB image (open, parse, checksum)").arg(size / kMiB),
              QStringLiteral("%1 ms").arg(number(tool * 1000, 1)),
              QStringLiteral("%1 ms (sha256sum of the image)").arg(number(floor * 1000, 1)), ratioText(ratio),
              QStringLiteral("<= 1.5x"), verdict(ratio <= kGoal)});
    printNote(QStringLiteral("figure 10: best of %1 runs each, in turn, after one uncounted run of each; the checks are "
                             "the CLI's own (cli::Firmware::open: the file read whole, libgcab, the metainfo, GLib's "
                             "sha256) on an uncompressed package made by pack; sha256sum is started as a process, as "
                             "a user would run it")
                  .arg(runs));
}

} // namespace

int main(int argc, char *argv[])
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no temporary folder"));
    if (smoke)
        figure(dir, kMiB, 1);
    else
        figure(dir, 16 * kMiB, 9);
    return 0;
}
