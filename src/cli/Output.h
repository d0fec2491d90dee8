#pragma once

// Everything the tool says. In human form: results on stdout, errors and the
// protocol log on stderr, a progress bar on a terminal and one line per 10 %
// elsewhere. With --json: stdout carries JSON only (one document per command;
// for an upgrade one object per line), stderr carries JSON lines too (log
// lines and the error).

#include "Exit.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <cstdio>

namespace cli {

// Why a command failed, in the words the user and a script read.
struct Problem
{
    Exit exit = Exit::Failure;
    QString reason;        // a keyword finer than the exit code ("no-acceptance", "write-failed", ...)
    QString message;       // one sentence
    QStringList hints;     // what to do about it, one line each
    QJsonObject details;   // more for scripts: candidates, the refusal, the byte reached
};

class Output
{
public:
    Output(FILE *out, FILE *err, bool json, bool terminal);

    bool json() const { return m_json; }

    // The document a command ends with: `document` under --json, `human`
    // otherwise (printed as it is, a newline added).
    void result(const QJsonObject &document, const QString &human);
    // One line of an upgrade's JSON stream; nothing in human form.
    void event(const QJsonObject &event);
    // A line for people only (a step of a long command).
    void say(const QString &text);
    // A protocol log line (-v); stderr.
    void log(const QString &text);
    // A remark on stderr that is no error (Ctrl-C noticed, and what follows).
    void notice(const QString &text);
    // Reports the problem on stderr and returns its exit code.
    int fail(const Problem &problem);

    // Whether a write to stdout or stderr failed (a full disk, a reader that
    // went away, a terminal that hung up). The tool goes on with what it
    // started on the camera all the same.
    bool lost() const { return m_outError != 0 || m_errError != 0; }
    // What was lost, as a problem (exit code 1): `commandDone` says whether
    // the command ran to its end, or stopped before it changed the camera.
    Problem lostProblem(bool commandDone) const;
    // The end of a run: the last flush of both streams, checked. Returns
    // `code`, or 1 with the loss said on stderr (where it still works) when
    // the command succeeded but its output did not all get out.
    int finish(int code);

    // The upload's progress. Called whenever the whole percentage changes
    // and at the end; `seconds` since the first data report.
    void uploadProgress(qint64 sent, qint64 total, double seconds);
    // The device's own progress, 0..100.
    void deviceProgress(int percent);
    // Ends a progress line left open on a terminal.
    void finishProgressLine();

private:
    void write(FILE *stream, const QByteArray &bytes);
    // Keeps the first error of each stream.
    void noteLost(FILE *stream, int error);
    void jsonLine(FILE *stream, const QJsonObject &object);
    // Progress where no bar is drawn: under --json an event for each new
    // whole percent, off a terminal a line for each new tenth. False on a
    // terminal, where the caller draws its bar.
    bool steppedOffTerminal(int percent, int &lastPercent, int &lastTenth, const std::function<QJsonObject()> &json,
                            const std::function<QString(int)> &line);
    // A line on stderr: as {"<kind>": text} under --json, else prefixed.
    void toStderr(const QString &kind, const QByteArray &prefix, const QString &text);

    FILE *m_out;
    FILE *m_err;
    bool m_json;
    bool m_terminal;
    int m_outError = 0;            // errno of the first failed write to stdout, 0 while none failed
    int m_errError = 0;            // likewise for stderr
    bool m_lineOpen = false;       // a \r progress line waits for its newline
    int m_lastUploadTenth = -1;    // last 10 % step printed (not a terminal)
    int m_lastUploadPercent = -1;
    int m_lastDeviceTenth = -1;
    int m_lastDevicePercent = -1;
    std::chrono::steady_clock::time_point m_lastDraw;
};

// Text that came from the device (or from the command line) as people read
// it: control characters (C0, DEL and C1) are written as \xHH instead of
// reaching the terminal, where they would move the cursor, clear the screen
// or retitle the window. JSON output carries the text as it came.
QString printable(const QString &text);

// "1.5 MiB" and the like.
QString sizeText(double bytes);
// "1:05" for 65 seconds.
QString durationText(double seconds);

} // namespace cli
