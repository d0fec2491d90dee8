#pragma once

#include <hidapi/hidapi.h>

// What every benchmark program shares: clocks, readings from /proc, the
// image files the uploads stream, and the rows of the result table that
// bench/run gathers from every program.

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <cstddef>

namespace bench {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to);
double secondsSince(Clock::time_point from);

// A "Vm..." line of /proc/self/status, in KiB; -1 when it cannot be read.
qint64 statusKiB(const char *field);
// Lowers VmHWM to the present VmRSS, so that the next peak is one of ours.
bool resetPeakResident();
// User plus system CPU time of this process so far, in seconds.
double cpuSeconds();
// Bytes the allocator has handed out and not yet taken back.
qint64 heapInUse();

// Debug lines would flood the output; they are still formatted, only dropped.
void dropDebugOutput();
// The benchmarks run without a display unless told otherwise.
void useOffscreenPlatformUnlessSet();
// Makes short sleeps (the paced link) last what they ask for, not 50 µs more.
void tightenTimerSlack();

// A firmware image on disk, filled with reproducible noise and a non-zero
// header, with what the device should see of it.
struct ImageFile
{
    QString path;
    qint64 size = 0;
    quint8 sum = 0;    // 8-bit sum of every byte
    int reports = 0;   // 510-byte pieces
};
ImageFile writeImage(const QString &path, qint64 size);

constexpr qint64 kMiB = 1024 * 1024;
constexpr int kImageBytesPerReport = 510;
int reportsFor(qint64 size);

// One line of the result table.
struct Row
{
    QString figure;
    QString measure;
    QString tool;
    QString floor;
    QString ratio;
    QString goal;
    QString result;
};
void printRow(const Row &row);
// A line printed under the table: how a figure was taken.
void printNote(const QString &text);
// Progress for whoever watches the run; not part of the table.
void progress(const QString &text);
// Ends the program: a benchmark that measured something other than what it
// claims must not print a number.
[[noreturn]] void fail(const QString &why);

// Opens the attached camera's control interface directly, as the floors do;
// stops the run if it cannot.
hid_device *openCameraControlInterface();

// One data report built the plain way, for the floors: report ID, a zero
// byte, the piece, zero fill. Adds the piece's bytes to `sum`.
void fillPlainReport(quint8 *report, const quint8 *piece, std::size_t n, unsigned &sum);

// The upgrade device's two interfaces, opened directly for a floor loop;
// stops the run if either cannot be opened.
struct UpgradeInterfaces
{
    hid_device *control = nullptr;
    hid_device *data = nullptr;
};
UpgradeInterfaces openUpgradeInterfaces();

QString number(double value, int decimals);
QString ratioText(double ratio);
QString verdict(bool met);

} // namespace bench
