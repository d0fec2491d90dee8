// The single entry for every report read from the control interface: the
// frame checks with their log lines, then the handler of the reply.

#include "MainWindow.h"

#include "protocol/CommandFrame.h"

#include <QByteArray>
#include <QDebug>

using frame::Reply;

namespace {

// One row per reply the window acts on. `arrival`, when set, is logged as
// soon as the reply is recognised, before its length rule is looked at.
struct ReplyHandler
{
    frame::Command command;
    const char *arrival;
    void (*handle)(MainWindow &window, const frame::Payload &payload);
};

} // namespace

void MainWindow::dispatchReply(const QByteArray &report)
{
    static const ReplyHandler kHandlers[] = {
        {frame::CAMERA_GET_VERSION_ACK, nullptr,
         [](MainWindow &w, const frame::Payload &p) { w.handleVersion(p); }},
        {frame::CAMERA_SET_MODE_ACK, nullptr,
         [](MainWindow &w, const frame::Payload &) { w.handleSetModeAck(); }},
        {frame::CAMERA_GET_MODE_ACK, nullptr,
         [](MainWindow &w, const frame::Payload &p) { w.handleGetModeAck(p.at(0)); }},
        {frame::CAMERA_GET_UVC_NAME_STRING_ACK, "CAMERA_GET_UVC_NAME_STRING_ACK IN",
         [](MainWindow &w, const frame::Payload &p) { w.handleUvcName(p); }},
        {frame::CAMERA_GET_AUDIO_LEVELS_ACK, nullptr,
         [](MainWindow &w, const frame::Payload &p) { w.handleAudioLevels(p); }},
        {frame::UPGRADE_START_ACK, nullptr,
         [](MainWindow &w, const frame::Payload &p) { w.handleUpgradeStartAck(p.at(0)); }},
        {frame::UPGRADE_UPLOAD_COMPLETE_ACK, nullptr,
         [](MainWindow &w, const frame::Payload &p) { w.handleUploadCompleteAck(p.at(0)); }},
        {frame::UPGRADE_PROGRESS, nullptr,
         [](MainWindow &w, const frame::Payload &p) { w.handleUpgradeProgress(p.at(0)); }},
    };

    const Reply reply = frame::decodeReply(reinterpret_cast<const quint8 *>(report.constData()), report.size());

    if (reply.verdict == Reply::Verdict::TooShort)
        return;
    if (reply.verdict == Reply::Verdict::BadLength) {
        qDebug() << "Size field is invalid or exceeds buffer size!";
        return;
    }

    // A wrong sum is only logged and the report still acted on; the command-line tool drops it.
    if (reply.checksumOk())
        qDebug() << "Checksum ok.";
    else
        qDebug() << "Checksum error! calc:" << QString::number(reply.computedSum, 16)
                 << "expect:" << QString::number(reply.receivedSum, 16);

    if (reply.verdict == Reply::Verdict::BadHeader) {
        qDebug() << "Invalid header.";
        return;
    }
    qDebug() << "Valid header.";

    // The camera and upgrade groups carry the replies; anything else is
    // only named in the log.
    if (reply.command.group != frame::kCameraGroup && reply.command.group != frame::kUpgradeGroup) {
        qDebug() << "IGGORAL CMD:" << int(reply.command.code);
        return;
    }
    for (const ReplyHandler &handler : kHandlers) {
        if (handler.command != reply.command)
            continue;
        if (handler.arrival)
            qDebug() << handler.arrival;
        if (reply.lengthFits)
            handler.handle(*this, reply.payload);
        return;
    }
}
