#include "CommandFrame.h"

#include <algorithm>

namespace frame {

CommandBuffer buildRequest(Command command, const quint8 *payload, int length)
{
    CommandBuffer buffer{};
    const int n = payload ? std::clamp(length, 0, kMaxPayload) : 0;
    buffer[0] = kCommandReportId;
    buffer[1] = kSyncByte1;
    buffer[2] = kSyncByte2;
    buffer[kGroupOffset] = command.group;
    buffer[kCodeOffset] = command.code;
    buffer[kLengthOffset] = static_cast<quint8>(n);
    std::copy(payload, payload + n, buffer.begin() + kPayloadOffset);
    return buffer;
}

CommandBuffer buildReply(Command command, const quint8 *payload, int length)
{
    CommandBuffer buffer = buildRequest(command, payload, length);
    buffer[kCommandFrameSize - 1] = byteSum(buffer.data(), kCommandFrameSize - 1);
    return buffer;
}

quint8 byteSum(const quint8 *data, std::size_t size, quint8 start)
{
    unsigned sum = start;
    for (std::size_t i = 0; i < size; ++i)
        sum += data[i];
    return static_cast<quint8>(sum);
}

bool isFramingMode(int mode)
{
    return mode == 0 || mode == 1 || mode == 2 || mode == 8;
}

std::array<quint8, 4> bigEndianSize(quint32 size)
{
    return {static_cast<quint8>(size >> 24), static_cast<quint8>(size >> 16),
            static_cast<quint8>(size >> 8), static_cast<quint8>(size)};
}

ReplyCheck checkReply(const quint8 *data, int size)
{
    ReplyCheck check;
    if (!data || size <= 6)
        return check;

    check.payloadLength = data[kLengthOffset];
    if (check.payloadLength + 6 >= size) {
        check.verdict = ReplyCheck::Verdict::BadLength;
        return check;
    }

    check.checksumChecked = true;
    check.computedSum = byteSum(data, static_cast<std::size_t>(size - 1));
    check.receivedSum = data[size - 1];

    if (data[0] != kCommandReportId || data[1] != kSyncByte1 || data[2] != kSyncByte2) {
        check.verdict = ReplyCheck::Verdict::BadHeader;
        return check;
    }
    check.group = data[kGroupOffset];
    check.code = data[kCodeOffset];
    check.verdict = ReplyCheck::Verdict::Accepted;
    return check;
}

bool replyLengthFits(Command command, int payloadLength, int reportSize)
{
    // The version and name replies accept any length but carry no text in a
    // 7-byte report; the others fix their payload length.
    if (command == CAMERA_GET_VERSION_ACK || command == CAMERA_GET_UVC_NAME_STRING_ACK)
        return reportSize != 7;
    if (command == CAMERA_SET_MODE_ACK)
        return payloadLength == 1;
    if (command == CAMERA_GET_MODE_ACK)
        return payloadLength != 0;
    if (command == CAMERA_GET_AUDIO_LEVELS_ACK)
        return payloadLength == kAudioLevelCount;
    if (command == UPGRADE_START_ACK || command == UPGRADE_UPLOAD_COMPLETE_ACK
        || command == UPGRADE_PROGRESS)
        return payloadLength == 1;
    return false;
}

int fillDataReport(DataReportBuffer &report, const quint8 *chunk, int length)
{
    report.fill(0);
    report[0] = kDataReportId;
    const int n = chunk ? std::clamp(length, 0, kMaxDataBytes) : 0;
    std::copy(chunk, chunk + n, report.begin() + kDataOffset);
    return n;
}

} // namespace frame
