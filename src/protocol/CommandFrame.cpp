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

std::array<quint8, 4> bigEndianSize(quint32 size)
{
    return {static_cast<quint8>(size >> 24), static_cast<quint8>(size >> 16),
            static_cast<quint8>(size >> 8), static_cast<quint8>(size)};
}

QByteArray Payload::text() const
{
    const quint8 *end = std::find(data, data + size, quint8(0));
    return QByteArray(reinterpret_cast<const char *>(data), int(end - data));
}

namespace {

const ReplyRule *ruleFor(Command command)
{
    for (const ReplyRule &rule : kReplyRules) {
        if (rule.command == command)
            return &rule;
    }
    return nullptr;
}

bool lengthHolds(LengthRule rule, int payloadLength, int reportSize)
{
    switch (rule) {
    case LengthRule::Text:
        return reportSize != 7;
    case LengthRule::OneByte:
        return payloadLength == 1;
    case LengthRule::NotEmpty:
        return payloadLength != 0;
    case LengthRule::AudioLevels:
        return payloadLength == kAudioLevelCount;
    }
    return false;
}

} // namespace

Reply decodeReply(const quint8 *data, int size)
{
    Reply reply;
    reply.size = data ? size : 0;
    if (!data || size <= 6)
        return reply;

    reply.payloadLength = data[kLengthOffset];
    if (reply.payloadLength + 6 >= size) {
        reply.verdict = Reply::Verdict::BadLength;
        return reply;
    }

    reply.checksumChecked = true;
    reply.computedSum = byteSum(data, static_cast<std::size_t>(size - 1));
    reply.receivedSum = data[size - 1];

    if (data[0] != kCommandReportId || data[1] != kSyncByte1 || data[2] != kSyncByte2) {
        reply.verdict = Reply::Verdict::BadHeader;
        return reply;
    }
    reply.verdict = Reply::Verdict::Accepted;
    reply.command = Command{data[kGroupOffset], data[kCodeOffset]};
    reply.payload = Payload{data + kPayloadOffset, reply.payloadLength};
    reply.rule = ruleFor(reply.command);
    reply.lengthFits = reply.rule && lengthHolds(reply.rule->length, reply.payloadLength, size);
    return reply;
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
