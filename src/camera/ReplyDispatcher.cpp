// The single entry for every report read from the control interface: the
// frame checks with their log lines, then the branch on group and code.

#include "MainWindow.h"

#include "device/CommandFrame.h"

#include <QByteArray>
#include <QDebug>

using frame::ReplyCheck;

void MainWindow::dispatchReply(const QByteArray &report)
{
    const auto *bytes = reinterpret_cast<const quint8 *>(report.constData());
    const ReplyCheck check = frame::checkReply(bytes, report.size());

    if (check.verdict == ReplyCheck::Verdict::TooShort)
        return;
    if (check.verdict == ReplyCheck::Verdict::BadLength) {
        qDebug() << "Size field is invalid or exceeds buffer size!";
        return;
    }

    // A checksum mismatch is only reported; the report is still acted on.
    if (check.checksumOk())
        qDebug() << "Checksum ok.";
    else
        qDebug() << "Checksum error! calc:" << QString::number(check.computedSum, 16)
                 << "expect:" << QString::number(check.receivedSum, 16);

    if (check.verdict == ReplyCheck::Verdict::BadHeader) {
        qDebug() << "Invalid header.";
        return;
    }
    qDebug() << "Valid header.";

    const frame::Command command{check.group, check.code};
    const int size = report.size();
    // Only read for rows whose length rule guarantees a payload byte.
    const auto firstPayloadByte = [bytes] { return bytes[frame::kPayloadOffset]; };

    if (check.group == frame::kCameraGroup) {
        if (command == frame::CAMERA_GET_UVC_NAME_STRING_ACK)
            qDebug() << "CAMERA_GET_UVC_NAME_STRING_ACK IN";
        if (!frame::replyLengthFits(command, check.payloadLength, size))
            return;
        if (command == frame::CAMERA_GET_VERSION_ACK)
            handleVersion(report);
        else if (command == frame::CAMERA_SET_MODE_ACK)
            handleSetModeAck();
        else if (command == frame::CAMERA_GET_MODE_ACK)
            handleGetModeAck(firstPayloadByte());
        else if (command == frame::CAMERA_GET_UVC_NAME_STRING_ACK)
            handleUvcName(report);
        else if (command == frame::CAMERA_GET_AUDIO_LEVELS_ACK)
            handleAudioLevels(report);
        return;
    }

    if (check.group == frame::kUpgradeGroup) {
        if (!frame::replyLengthFits(command, check.payloadLength, size))
            return;
        if (command == frame::UPGRADE_START_ACK)
            handleUpgradeStartAck(firstPayloadByte());
        else if (command == frame::UPGRADE_UPLOAD_COMPLETE_ACK)
            handleUploadCompleteAck(firstPayloadByte());
        else if (command == frame::UPGRADE_PROGRESS)
            handleUpgradeProgress(firstPayloadByte());
        return;
    }

    qDebug() << "IGGORAL CMD:" << int(check.code);
}
