#include "Output.h"

#include <QJsonDocument>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace cli {

namespace {

constexpr int kBarWidth = 30;
// A terminal line is redrawn at most this often, and at each new percent.
constexpr std::chrono::milliseconds kRedrawInterval(100);
// The time left is shown once the rate has settled.
constexpr double kSteadyAfterSeconds = 1.0;
constexpr int kSteadyAfterPercent = 3;

QString bar(int percent)
{
    const int filled = percent * kBarWidth / 100;
    return QStringLiteral("[") + QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('.'))
           + QStringLiteral("]");
}

} // namespace

QString printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const ushort code = c.unicode();
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F))
            shown += QStringLiteral("\\x") + QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
        else
            shown += c;
    }
    return shown;
}

QString sizeText(double bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(qint64(bytes));
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KiB").arg(bytes / 1024, 0, 'f', 1);
    return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024), 0, 'f', 1);
}

QString durationText(double seconds)
{
    const qint64 whole = qint64(std::ceil(std::max(seconds, 0.0)));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

Output::Output(FILE *out, FILE *err, bool json, bool terminal)
    : m_out(out)
    , m_err(err)
    , m_json(json)
    , m_terminal(terminal && !json)
{
}

void Output::write(FILE *stream, const QByteArray &bytes)
{
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size());
    const bool flushed = std::fflush(stream) == 0;
    if (!written || !flushed)
        noteLost(stream, errno);
}

void Output::noteLost(FILE *stream, int error)
{
    int &kept = stream == m_out ? m_outError : m_errError;
    if (kept == 0)
        kept = error != 0 ? error : EIO;
}

Problem Output::lostProblem(bool commandDone) const
{
    const bool out = m_outError != 0;
    const QString what = QStringLiteral("could not write to %1 (%2); ")
                             .arg(out ? QStringLiteral("standard output") : QStringLiteral("standard error"),
                                  QString::fromLocal8Bit(std::strerror(out ? m_outError : m_errError)));
    return Problem{Exit::Failure, QStringLiteral("output-failed"),
                   what + (commandDone ? QStringLiteral("the command itself succeeded")
                                       : QStringLiteral("stopped before changing anything on the camera")),
                   {}, {}};
}

int Output::finish(int code)
{
    for (FILE *stream : {m_out, m_err}) {
        errno = 0;
        if (std::fflush(stream) != 0)
            noteLost(stream, errno);
    }
    if (code != int(Exit::Ok) || !lost())
        return code;
    return fail(lostProblem(true));
}

void Output::jsonLine(FILE *stream, const QJsonObject &object)
{
    write(stream, QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

void Output::result(const QJsonObject &document, const QString &human)
{
    finishProgressLine();
    if (m_json)
        jsonLine(m_out, document);
    else
        write(m_out, human.toUtf8() + '\n');
}

void Output::event(const QJsonObject &event)
{
    if (m_json)
        jsonLine(m_out, event);
}

void Output::say(const QString &text)
{
    if (m_json)
        return;
    finishProgressLine();
    write(m_out, text.toUtf8() + '\n');
}

void Output::log(const QString &text)
{
    toStderr(QStringLiteral("log"), QByteArray(), text);
}

void Output::notice(const QString &text)
{
    toStderr(QStringLiteral("notice"), QByteArrayLiteral("kelvora-camera-cli: "), text);
}

void Output::toStderr(const QString &kind, const QByteArray &prefix, const QString &text)
{
    if (m_json) {
        jsonLine(m_err, QJsonObject{{kind, text}});
        return;
    }
    finishProgressLine();
    write(m_err, prefix + text.toUtf8() + '\n');
}

int Output::fail(const Problem &problem)
{
    const ExitInfo &info = exitInfo(problem.exit);
    if (m_json) {
        QJsonObject error = problem.details;
        error.insert(QStringLiteral("exit_code"), int(problem.exit));
        error.insert(QStringLiteral("kind"), QLatin1String(info.keyword));
        error.insert(QStringLiteral("reason"), problem.reason.isEmpty() ? QLatin1String(info.keyword) : problem.reason);
        error.insert(QStringLiteral("message"), problem.message);
        if (!problem.hints.isEmpty())
            error.insert(QStringLiteral("hints"), QJsonArray::fromStringList(problem.hints));
        jsonLine(m_err, QJsonObject{{QStringLiteral("error"), error}});
    } else {
        finishProgressLine();
        QByteArray text = QByteArrayLiteral("kelvora-camera-cli: ") + problem.message.toUtf8() + '\n';
        for (const QString &hint : problem.hints)
            text += QByteArrayLiteral("  ") + hint.toUtf8() + '\n';
        write(m_err, text);
    }
    return int(problem.exit);
}

void Output::uploadProgress(qint64 sent, qint64 total, double seconds)
{
    const int percent = total > 0 ? int(std::min<qint64>(sent * 100 / total, 100)) : 100;
    const auto json = [&] {
        return QJsonObject{{QStringLiteral("event"), QStringLiteral("upload")},
                           {QStringLiteral("sent"), double(sent)},
                           {QStringLiteral("total"), double(total)},
                           {QStringLiteral("percent"), percent}};
    };
    const auto tenthLine = [&](int step) {
        return QStringLiteral("upload: %1 % (%2 of %3)\n").arg(step).arg(sizeText(double(sent)), sizeText(double(total)));
    };
    if (steppedOffTerminal(percent, m_lastUploadPercent, m_lastUploadTenth, json, tenthLine))
        return;
    const auto now = std::chrono::steady_clock::now();
    if (percent == m_lastUploadPercent && sent < total && now - m_lastDraw < kRedrawInterval)
        return;
    m_lastUploadPercent = percent;
    m_lastDraw = now;
    QString line = QStringLiteral("\r%1 %2 / %3 %4 %")
                       .arg(bar(percent), sizeText(double(sent)), sizeText(double(total)))
                       .arg(percent, 3);
    if (seconds > 0) {
        const double rate = double(sent) / seconds;
        line += QStringLiteral("  %1/s").arg(sizeText(rate));
        if (sent < total && seconds >= kSteadyAfterSeconds && percent >= kSteadyAfterPercent && rate > 0)
            line += QStringLiteral("  %1 left").arg(durationText(double(total - sent) / rate));
    }
    line += QStringLiteral("\x1b[K");   // clears what a longer line left behind
    write(m_out, line.toUtf8());
    m_lineOpen = true;
}

void Output::deviceProgress(int percent)
{
    percent = std::clamp(percent, 0, 100);
    const auto json = [&] {
        return QJsonObject{{QStringLiteral("event"), QStringLiteral("device-progress")},
                           {QStringLiteral("percent"), percent}};
    };
    const auto line = [](int step) { return QStringLiteral("writing firmware, do not unplug: %1 %\n").arg(step); };
    if (steppedOffTerminal(percent, m_lastDevicePercent, m_lastDeviceTenth, json, line))
        return;
    if (percent == m_lastDevicePercent)
        return;
    m_lastDevicePercent = percent;
    write(m_out, QStringLiteral("\r%1 writing firmware, do not unplug: %2 %\x1b[K").arg(bar(percent)).arg(percent, 3).toUtf8());
    m_lineOpen = true;
}

bool Output::steppedOffTerminal(int percent, int &lastPercent, int &lastTenth,
                                const std::function<QJsonObject()> &json, const std::function<QString(int)> &line)
{
    if (m_json) {
        if (percent != lastPercent) {
            lastPercent = percent;
            event(json());
        }
        return true;
    }
    if (!m_terminal) {
        const int tenth = percent / 10;
        if (tenth != lastTenth) {
            lastTenth = tenth;
            write(m_out, line(tenth * 10).toUtf8());
        }
        return true;
    }
    return false;
}

void Output::finishProgressLine()
{
    if (!m_lineOpen)
        return;
    m_lineOpen = false;
    write(m_out, "\n");
}

} // namespace cli
