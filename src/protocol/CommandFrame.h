#pragma once

// The two HID reports the tool exchanges with the camera, declared once:
// the 64-byte command frame on the control interface and the 512-byte data
// report that carries the firmware image on the data interface. Everything
// else builds and checks them through the functions below.

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <cstddef>

namespace frame {

// Command frame layout.
constexpr int kCommandFrameSize = 64;
constexpr quint8 kCommandReportId = 0x11;
constexpr quint8 kSyncByte1 = 0x22;
constexpr quint8 kSyncByte2 = 0x33;
constexpr int kGroupOffset = 3;
constexpr int kCodeOffset = 4;
constexpr int kLengthOffset = 5;
constexpr int kPayloadOffset = 7;
// Largest payload that still leaves room for the checksum of a full frame.
constexpr int kMaxPayload = kCommandFrameSize - kPayloadOffset - 1;

// Upgrade data report layout.
constexpr int kDataReportSize = 512;
constexpr quint8 kDataReportId = 0x22;
constexpr int kDataOffset = 2;
constexpr int kMaxDataBytes = kDataReportSize - kDataOffset; // 510

// Command groups.
constexpr quint8 kCameraGroup = 0x20;
constexpr quint8 kUpgradeGroup = 0x22;
constexpr quint8 kPreambleGroup = 0x27;

struct Command
{
    quint8 group;
    quint8 code;
};

// Requests (tool to camera).
constexpr Command VERSION_PREAMBLE{kPreambleGroup, 0x00};
constexpr Command CAMERA_GET_VERSION{kCameraGroup, 0x06};
constexpr Command CAMERA_SET_MODE{kCameraGroup, 0x96};
constexpr Command CAMERA_GET_MODE{kCameraGroup, 0xB0};
constexpr Command CAMERA_GET_UVC_NAME_STRING{kCameraGroup, 0xC6};
constexpr Command CAMERA_GET_AUDIO_LEVELS{kCameraGroup, 0xD0};
constexpr Command CAMERA_LPF_SWITCH{kCameraGroup, 0xD2};
constexpr Command CAMERA_ENTER_UPD{kCameraGroup, 0xD3};
constexpr Command UPGRADE_START{kUpgradeGroup, 0x00};
constexpr Command UPGRADE_UPLOAD_COMPLETE{kUpgradeGroup, 0x02};

// Replies and reports (camera to tool).
constexpr Command CAMERA_GET_VERSION_ACK{kCameraGroup, 0x07};
constexpr Command CAMERA_SET_MODE_ACK{kCameraGroup, 0x97};
constexpr Command CAMERA_GET_MODE_ACK{kCameraGroup, 0xB1};
constexpr Command CAMERA_GET_UVC_NAME_STRING_ACK{kCameraGroup, 0xC7};
constexpr Command CAMERA_GET_AUDIO_LEVELS_ACK{kCameraGroup, 0xD1};
constexpr Command UPGRADE_START_ACK{kUpgradeGroup, 0x01};
constexpr Command UPGRADE_UPLOAD_COMPLETE_ACK{kUpgradeGroup, 0x03};
constexpr Command UPGRADE_PROGRESS{kUpgradeGroup, 0x04};

constexpr int kAudioLevelCount = 10;

constexpr bool operator==(Command a, Command b) { return a.group == b.group && a.code == b.code; }
constexpr bool operator!=(Command a, Command b) { return !(a == b); }

using CommandBuffer = std::array<quint8, kCommandFrameSize>;
using DataReportBuffer = std::array<quint8, kDataReportSize>;

// A request: header, length byte, payload from byte 7, zeros elsewhere.
// Requests carry no checksum, so the last byte stays zero. A payload longer
// than kMaxPayload is cut to that length.
CommandBuffer buildRequest(Command command, const quint8 *payload = nullptr, int length = 0);

// A reply as the camera sends it: the request layout plus the 8-bit sum of
// every earlier byte in the last byte. Used by the virtual camera and tests.
CommandBuffer buildReply(Command command, const quint8 *payload = nullptr, int length = 0);

// The 8-bit wrap-around sum of `size` bytes.
quint8 byteSum(const quint8 *data, std::size_t size, quint8 start = 0);

// UPGRADE_START's payload: the image size, 32 bits, most significant byte first.
std::array<quint8, 4> bigEndianSize(quint32 size);

// How long a reply's payload may be for the tool to act on it.
enum class LengthRule {
    Text,        // any length, but a 7-byte report (n = 0) carries no text
    OneByte,     // exactly one byte
    NotEmpty,    // at least one byte
    AudioLevels, // exactly kAudioLevelCount bytes
};

struct ReplyRule
{
    Command command;
    LengthRule length;
};

// Every reply the tool acts on, with its length rule. A reply not listed
// here is known to the tool only as a group and a code.
inline constexpr ReplyRule kReplyRules[] = {
    {CAMERA_GET_VERSION_ACK, LengthRule::Text},
    {CAMERA_SET_MODE_ACK, LengthRule::OneByte},
    {CAMERA_GET_MODE_ACK, LengthRule::NotEmpty},
    {CAMERA_GET_UVC_NAME_STRING_ACK, LengthRule::Text},
    {CAMERA_GET_AUDIO_LEVELS_ACK, LengthRule::AudioLevels},
    {UPGRADE_START_ACK, LengthRule::OneByte},
    {UPGRADE_UPLOAD_COMPLETE_ACK, LengthRule::OneByte},
    {UPGRADE_PROGRESS, LengthRule::OneByte},
};

// The payload of a decoded reply: a view into the bytes that were decoded,
// valid as long as they are.
struct Payload
{
    const quint8 *data = nullptr;
    int size = 0;

    // Byte `index`, or 0 past the end.
    quint8 at(int index) const { return index >= 0 && index < size ? data[index] : 0; }
    // The payload as text: its bytes up to the first zero byte.
    QByteArray text() const;
};

// A received report taken apart: the verdict of the frame checks, in the
// order they run, then what the report says.
struct Reply
{
    enum class Verdict {
        TooShort,    // 6 bytes or fewer: dropped silently
        BadLength,   // the length byte points past the checksum
        BadHeader,   // report ID or sync bytes wrong
        Accepted,    // header right; the checksum may still be wrong
    };
    Verdict verdict = Verdict::TooShort;
    int size = 0;                 // bytes received
    int payloadLength = 0;        // the length byte
    bool checksumChecked = false; // the checksum comparison ran
    quint8 computedSum = 0;       // sum of every byte before the last
    quint8 receivedSum = 0;       // the last byte
    Command command{0, 0};        // group and code (accepted reports only)
    const ReplyRule *rule = nullptr; // its row of kReplyRules, if the tool knows it
    bool lengthFits = false;      // known, and its length rule holds
    Payload payload;              // the payloadLength bytes from byte 7 (accepted reports only)

    bool checksumOk() const { return checksumChecked && computedSum == receivedSum; }
    // Accepted, known and of the right length: a handler may act on it.
    bool actionable() const { return verdict == Verdict::Accepted && lengthFits; }
};

// Runs the frame checks on `size` received bytes and decodes what passes.
// Reads nothing outside them; the payload points into them.
Reply decodeReply(const quint8 *data, int size);

// Fills a data report: report ID, zero byte, up to 510 image bytes, zeros.
// Returns how many image bytes went in.
int fillDataReport(DataReportBuffer &report, const quint8 *chunk, int length);

} // namespace frame
