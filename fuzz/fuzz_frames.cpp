// Feeds arbitrary bytes to the frame code that needs no window: the decoder a
// received report goes through, the request and reply builders, the data
// report filler and the upload's byte sum and percentage. Besides looking
// for crashes and sanitizer reports, every result is compared with a plain
// restatement of the frame rules, and a mismatch aborts.

#include "protocol/CommandFrame.h"
#include "protocol/ImageChecks.h"
#include "protocol/UploadPipeline.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "frame rule broken: %s\n", what);
        std::abort();
    }
}

quint8 plainSum(const quint8 *data, std::size_t size)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i)
        sum = (sum + data[i]) & 0xFF;
    return quint8(sum);
}

// The acceptance rules for a received report, written out step by step.
void checkReceived(const quint8 *data, int size)
{
    const frame::Reply reply = frame::decodeReply(data, size);
    using Verdict = frame::Reply::Verdict;
    if (size <= 6) {
        require(reply.verdict == Verdict::TooShort, "short report not dropped");
        require(!reply.checksumChecked, "checksum looked at on a short report");
        require(!reply.actionable(), "short report acted on");
        return;
    }
    const int length = data[5];
    if (length + 7 > size) {
        require(reply.verdict == Verdict::BadLength, "length byte past the report accepted");
        require(!reply.checksumChecked, "checksum looked at after a bad length");
        require(!reply.actionable(), "report with a bad length acted on");
        return;
    }
    require(reply.checksumChecked, "checksum not compared");
    require(reply.computedSum == plainSum(data, std::size_t(size - 1)), "wrong computed sum");
    require(reply.receivedSum == data[size - 1], "wrong received sum");
    require(reply.checksumOk() == (plainSum(data, std::size_t(size - 1)) == data[size - 1]),
            "checksum verdict");
    require(reply.payloadLength == length, "payload length");
    const bool header = data[0] == 0x11 && data[1] == 0x22 && data[2] == 0x33;
    if (!header) {
        require(reply.verdict == Verdict::BadHeader, "bad header accepted");
        require(!reply.actionable(), "report with a bad header acted on");
        return;
    }
    require(reply.verdict == Verdict::Accepted, "good report refused");
    require(reply.command.group == data[3] && reply.command.code == data[4], "group or code");
    require(reply.payload.data == data + 7 && reply.payload.size == length, "payload position");

    // A length rule that holds never lets a handler read past the report.
    if (reply.actionable()) {
        const frame::Command command = reply.command;
        const bool readsFirstByte = command != frame::CAMERA_GET_VERSION_ACK
            && command != frame::CAMERA_GET_UVC_NAME_STRING_ACK;
        if (readsFirstByte)
            require(size > frame::kPayloadOffset && reply.payload.size >= 1, "payload byte outside the report");
        if (command == frame::CAMERA_GET_AUDIO_LEVELS_ACK)
            require(frame::kPayloadOffset + frame::kAudioLevelCount <= size, "levels outside the report");
    }
    const QByteArray text = reply.payload.text();
    require(text.size() <= length && !text.contains('\0'), "payload text");
}

void checkRequest(frame::Command command, const quint8 *payload, int length)
{
    const frame::CommandBuffer request = frame::buildRequest(command, payload, length);
    const int n = payload ? std::clamp(length, 0, frame::kMaxPayload) : 0;
    require(request[0] == 0x11 && request[1] == 0x22 && request[2] == 0x33, "request header");
    require(request[3] == command.group && request[4] == command.code, "request command");
    require(request[5] == n && request[6] == 0, "request length or reserved byte");
    for (int i = 0; i < n; ++i)
        require(request[std::size_t(7 + i)] == payload[i], "request payload");
    for (int i = 7 + n; i < frame::kCommandFrameSize; ++i)
        require(request[std::size_t(i)] == 0, "request zero fill or checksum byte");

    // A reply built from the same parts passes every check and keeps them.
    const frame::CommandBuffer reply = frame::buildReply(command, payload, length);
    require(std::equal(reply.begin(), reply.end() - 1, request.begin()), "reply body differs from request");
    const frame::Reply decoded = frame::decodeReply(reply.data(), int(reply.size()));
    require(decoded.verdict == frame::Reply::Verdict::Accepted && decoded.checksumOk(), "built reply refused");
    require(decoded.command == command && decoded.payloadLength == n, "built reply fields");
}

void checkDataReport(const quint8 *chunk, int length, quint8 startSum)
{
    frame::DataReportBuffer report;
    report.fill(0xA5);   // leftovers from an earlier report must not survive
    quint8 sum = startSum;
    const int n = upload::prepareDataReport(report, chunk, length, sum);
    require(n == std::clamp(length, 0, frame::kMaxDataBytes), "image bytes taken");
    require(report[0] == 0x22 && report[1] == 0x00, "data report header");
    for (int i = 0; i < n; ++i)
        require(report[std::size_t(2 + i)] == chunk[i], "data report image bytes");
    for (int i = 2 + n; i < frame::kDataReportSize; ++i)
        require(report[std::size_t(i)] == 0, "data report zero fill");
    require(sum == quint8(startSum + plainSum(chunk, std::size_t(n))), "running byte sum");
}

quint64 takeNumber(const quint8 *&data, std::size_t &size, int bytes)
{
    quint64 value = 0;
    for (int i = 0; i < bytes && size > 0; ++i, ++data, --size)
        value = (value << 8) | *data;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Copies of exact length, so that any read past the end is caught.
    const int whole = int(std::min<std::size_t>(size, 4096));
    const std::vector<quint8> bytes(data, data + whole);

    // The report as read, and every shorter read of it, down to nothing.
    const int longest = std::min(whole, frame::kCommandFrameSize);
    for (int cut = longest; cut >= 0; --cut) {
        std::vector<quint8> report(bytes.begin(), bytes.begin() + cut);
        checkReceived(report.empty() ? nullptr : report.data(), cut);
    }

    if (whole >= 3) {
        const frame::Command command{bytes[0], bytes[1]};
        // A length that may disagree with the bytes that follow, as callers could pass.
        const int claimed = int(qint8(bytes[2]));
        const std::vector<quint8> payload(bytes.begin() + 3, bytes.end());
        const int available = int(payload.size());
        checkRequest(command, payload.empty() ? nullptr : payload.data(), std::min(claimed, available));
        checkRequest(command, payload.empty() ? nullptr : payload.data(), available);
        checkDataReport(payload.empty() ? nullptr : payload.data(), available, bytes[2]);
        checkDataReport(payload.empty() ? nullptr : payload.data(), std::min(claimed, available), bytes[2]);
    }

    // The numbers of an upload, within what a 32-bit size field allows.
    const quint8 *cursor = data;
    std::size_t left = size;
    const qint64 total = qint64(takeNumber(cursor, left, 5) % quint64(imagecheck::kMaxImageSize + 2));
    const qint64 sent = qint64(takeNumber(cursor, left, 5) % quint64(2 * imagecheck::kMaxImageSize + 1));
    const int percent = upload::uploadPercent(sent, total);
    require(percent >= 0 && percent <= 100, "percentage out of range");
    if (total > 0 && sent <= total)
        require(percent == int(sent * 100 / total), "percentage not truncated");
    const auto sizeBytes = frame::bigEndianSize(quint32(total));
    require((quint32(sizeBytes[0]) << 24 | quint32(sizeBytes[1]) << 16 | quint32(sizeBytes[2]) << 8
             | sizeBytes[3]) == quint32(total),
            "announced size");

    const QByteArray head(reinterpret_cast<const char *>(data), int(std::min<std::size_t>(size, 16)));
    require(imagecheck::hasNonZeroHeader(head) == (head.count('\0') != head.size()), "header test");
    return 0;
}
