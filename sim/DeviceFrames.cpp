#include "DeviceFrames.h"

#include <algorithm>
#include <iterator>

namespace sim {
namespace frames {

namespace {

struct RequestRule
{
    quint8 group;
    quint8 code;
    int payloadLength;
    const char *name;
};

// Every request the camera understands, with the payload length it must carry.
constexpr RequestRule kRequestRules[] = {
    {kGroupPreamble, kVersionPreamble, 0, "VERSION_PREAMBLE"},
    {kGroupCamera, kGetVersion, 0, "CAMERA_GET_VERSION"},
    {kGroupCamera, kSetMode, 1, "CAMERA_SET_MODE"},
    {kGroupCamera, kGetMode, 0, "CAMERA_GET_MODE"},
    {kGroupCamera, kGetUvcName, 0, "CAMERA_GET_UVC_NAME_STRING"},
    {kGroupCamera, kGetAudioLevels, 0, "CAMERA_GET_AUDIO_LEVELS"},
    {kGroupCamera, kLpfSwitch, 0, "CAMERA_LPF_SWITCH"},
    {kGroupCamera, kEnterUpgrade, 0, "CAMERA_ENTER_UPD"},
    {kGroupUpgrade, kUpgradeStart, kImageSizeBytes, "UPGRADE_START"},
    {kGroupUpgrade, kUploadComplete, 1, "UPGRADE_UPLOAD_COMPLETE"},
};

// The modes CAMERA_SET_MODE may ask for.
constexpr quint8 kFramingModes[] = {0, 1, 2, 8};

const RequestRule *findRule(quint8 group, quint8 code)
{
    for (const RequestRule &rule : kRequestRules) {
        if (rule.group == group && rule.code == code)
            return &rule;
    }
    return nullptr;
}

} // namespace

QString hexByte(quint8 value)
{
    return QString::asprintf("0x%02X", unsigned(value));
}

QByteArray buildReply(quint8 group, quint8 code, const QByteArray &payload)
{
    const int length = std::min<int>(payload.size(), kMaxReplyPayload);
    QByteArray frame(kFrameSize, '\0');
    frame[0] = char(kFrameReportId);
    frame[1] = char(kSyncFirst);
    frame[2] = char(kSyncSecond);
    frame[kGroupIndex] = char(group);
    frame[kCodeIndex] = char(code);
    frame[kLengthIndex] = char(length);
    for (int i = 0; i < length; ++i)
        frame[kPayloadIndex + i] = payload.at(i);
    quint8 sum = 0;
    for (int i = 0; i < kChecksumIndex; ++i)
        sum = quint8(sum + at(frame, i));
    frame[kChecksumIndex] = char(sum);
    return frame;
}

QString requestFault(const QByteArray &frame)
{
    if (frame.size() == kDataReportSize && at(frame, 0) == kDataReportId)
        return QStringLiteral("upgrade data report written to the control interface");
    if (frame.size() != kFrameSize)
        return QStringLiteral("command frame of %1 bytes, expected %2").arg(frame.size()).arg(kFrameSize);
    if (at(frame, 0) != kFrameReportId)
        return QStringLiteral("report ID %1, expected %2").arg(hexByte(at(frame, 0)), hexByte(kFrameReportId));
    if (at(frame, 1) != kSyncFirst || at(frame, 2) != kSyncSecond)
        return QStringLiteral("sync bytes %1 %2, expected %3 %4")
            .arg(hexByte(at(frame, 1)), hexByte(at(frame, 2)), hexByte(kSyncFirst), hexByte(kSyncSecond));
    if (at(frame, kReservedIndex) != 0)
        return QStringLiteral("reserved byte 6 is %1, expected 0x00").arg(hexByte(at(frame, kReservedIndex)));
    const int length = at(frame, kLengthIndex);
    if (length > kMaxRequestPayload)
        return QStringLiteral("payload length %1 exceeds %2").arg(length).arg(kMaxRequestPayload);
    for (int i = kPayloadIndex + length; i < kFrameSize; ++i) {
        if (at(frame, i) == 0)
            continue;
        if (i == kChecksumIndex)
            return QStringLiteral("byte 63 is %1, but requests carry no checksum").arg(hexByte(at(frame, i)));
        return QStringLiteral("byte %1 after the payload is %2, expected zero fill").arg(i).arg(hexByte(at(frame, i)));
    }
    const quint8 group = at(frame, kGroupIndex);
    const quint8 code = at(frame, kCodeIndex);
    const RequestRule *rule = findRule(group, code);
    if (!rule)
        return QStringLiteral("unknown command group %1 code %2").arg(hexByte(group), hexByte(code));
    if (length != rule->payloadLength)
        return QStringLiteral("%1 with payload length %2, expected %3")
            .arg(QLatin1String(rule->name)).arg(length).arg(rule->payloadLength);
    if (group == kGroupCamera && code == kSetMode) {
        const quint8 mode = at(frame, kPayloadIndex);
        if (std::find(std::begin(kFramingModes), std::end(kFramingModes), mode) == std::end(kFramingModes))
            return QStringLiteral("CAMERA_SET_MODE with unknown mode %1").arg(mode);
    }
    return QString();
}

QString dataReportShapeFault(const QByteArray &report)
{
    if (report.size() == kFrameSize && at(report, 0) == kFrameReportId)
        return QStringLiteral("command frame written to the data interface");
    if (report.size() != kDataReportSize)
        return QStringLiteral("data report of %1 bytes, expected %2").arg(report.size()).arg(kDataReportSize);
    if (at(report, 0) != kDataReportId)
        return QStringLiteral("data report ID %1, expected %2").arg(hexByte(at(report, 0)), hexByte(kDataReportId));
    if (at(report, 1) != 0)
        return QStringLiteral("data report byte 1 is %1, expected 0x00").arg(hexByte(at(report, 1)));
    return QString();
}

} // namespace frames
} // namespace sim
