#include "LogCapture.h"

namespace {
QStringList g_lines;
bool g_passOn = false;
QtMessageHandler g_previous = nullptr;
}

LogCapture::LogCapture()
{
    g_lines.clear();
    m_previous = qInstallMessageHandler(&LogCapture::handler);
    g_previous = m_previous;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    g_previous = nullptr;
}

QStringList LogCapture::lines() const
{
    return g_lines;
}

void LogCapture::clear()
{
    g_lines.clear();
}

void LogCapture::setPassOn(bool passOn)
{
    g_passOn = passOn;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg)
        g_lines.append(message);
    if ((g_passOn || type != QtDebugMsg) && g_previous)
        g_previous(type, context, message);
}
