#pragma once

// The two HID reports the tool exchanges with the camera, declared once:
// the 64-byte command frame on the control interface and the 512-byte data
// report that carries the firmware image on the data interface. Everything
// else builds and checks them through the functions below.

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

// The framing-mode values the camera knows.
bool isFramingMode(int mode);

// UPGRADE_START's payload: the image size, 32 bits, most significant byte first.
std::array<quint8, 4> bigEndianSize(quint32 size);

// Result of the checks a received report goes through before it is acted on.
struct ReplyCheck
{
    enum class Verdict {
        TooShort,    // 6 bytes or fewer: dropped silently
        BadLength,   // the length byte points past the checksum
        BadHeader,   // report ID or sync bytes wrong
        Accepted,    // header right; the checksum may still be wrong
    };
    Verdict verdict = Verdict::TooShort;
    bool checksumChecked = false; // the checksum comparison ran
    quint8 computedSum = 0;       // sum of every byte before the last
    quint8 receivedSum = 0;       // the last byte
    quint8 group = 0;
    quint8 code = 0;
    int payloadLength = 0;

    bool checksumOk() const { return checksumChecked && computedSum == receivedSum; }
};

ReplyCheck checkReply(const quint8 *data, int size);

// Whether an accepted reply's length byte fits the rule of its command, for
// the replies the tool acts on. Unknown commands give false.
bool replyLengthFits(Command command, int payloadLength, int reportSize);

// Fills a data report: report ID, zero byte, up to 510 image bytes, zeros.
// Returns how many image bytes went in.
int fillDataReport(DataReportBuffer &report, const quint8 *chunk, int length);

} // namespace frame
