#pragma once

// What one in-process run of the command-line tool left behind: its exit
// code, what it wrote to stdout and stderr, and how long it took, with the
// readings the tests make of them.

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVector>

struct CliRun
{
    int code = -1;
    QByteArray out;
    QByteArray err;
    qint64 ms = 0;

    // stdout as one JSON document.
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
    // stdout as JSON lines (an upgrade's events and its result).
    QVector<QJsonObject> jsonLines() const
    {
        QVector<QJsonObject> lines;
        for (const QByteArray &line : out.trimmed().split('\n'))
            lines.append(QJsonDocument::fromJson(line).object());
        return lines;
    }
    QJsonObject lastJsonLine() const { return jsonLines().value(jsonLines().size() - 1); }
    // The error object, the last line on stderr under --json.
    QJsonObject error() const
    {
        return QJsonDocument::fromJson(err.trimmed().split('\n').last()).object().value("error").toObject();
    }
    // Every line of stdout is a JSON object (under --json).
    bool onlyJsonOnStdout() const
    {
        for (const QByteArray &line : out.trimmed().split('\n')) {
            if (!line.isEmpty() && !QJsonDocument::fromJson(line).isObject())
                return false;
        }
        return true;
    }
};
