#pragma once

// The frame format as the virtual camera reads and writes it: the command
// frame on the control interface, the upgrade data report on the data
// interface, the groups and codes the camera understands, and the checks
// that say why a write breaks the format. Written here from the camera's
// side and on purpose not taken from the tool's own frame code, so that a
// mistake there is caught here rather than shared.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace sim {
namespace frames {

// --- Command frame -------------------------------------------------------
constexpr int kFrameSize = 64;
constexpr quint8 kFrameReportId = 0x11;
constexpr quint8 kSyncFirst = 0x22;
constexpr quint8 kSyncSecond = 0x33;
constexpr int kGroupIndex = 3;
constexpr int kCodeIndex = 4;
constexpr int kLengthIndex = 5;
constexpr int kReservedIndex = 6;
constexpr int kPayloadIndex = 7;
constexpr int kChecksumIndex = kFrameSize - 1;
// A request has no checksum, so its payload may run to the last byte.
constexpr int kMaxRequestPayload = kFrameSize - kPayloadIndex;
// A reply keeps its last byte for the checksum.
constexpr int kMaxReplyPayload = kChecksumIndex - kPayloadIndex;

// --- Upgrade data report -------------------------------------------------
constexpr int kDataReportSize = 512;
constexpr quint8 kDataReportId = 0x22;
constexpr int kDataHeaderSize = 2;
constexpr int kImageBytesPerReport = kDataReportSize - kDataHeaderSize;
constexpr int kImageSizeBytes = 4;

// --- Groups and codes ----------------------------------------------------
constexpr quint8 kGroupCamera = 0x20;
constexpr quint8 kGroupUpgrade = 0x22;
constexpr quint8 kGroupPreamble = 0x27;

constexpr quint8 kVersionPreamble = 0x00;
constexpr quint8 kGetVersion = 0x06;
constexpr quint8 kGetVersionAck = 0x07;
constexpr quint8 kSetMode = 0x96;
constexpr quint8 kSetModeAck = 0x97;
constexpr quint8 kGetMode = 0xB0;
constexpr quint8 kGetModeAck = 0xB1;
constexpr quint8 kGetUvcName = 0xC6;
constexpr quint8 kGetUvcNameAck = 0xC7;
constexpr quint8 kGetAudioLevels = 0xD0;
constexpr quint8 kGetAudioLevelsAck = 0xD1;
constexpr quint8 kLpfSwitch = 0xD2;
constexpr quint8 kEnterUpgrade = 0xD3;
constexpr quint8 kUpgradeStart = 0x00;
constexpr quint8 kUpgradeStartAck = 0x01;
constexpr quint8 kUploadComplete = 0x02;
constexpr quint8 kUploadCompleteAck = 0x03;
constexpr quint8 kUpgradeProgress = 0x04;

constexpr quint8 kStatusOk = 0;
constexpr quint8 kStatusBadImage = 1;

// The byte at `index`, unsigned.
inline quint8 at(const QByteArray &bytes, int index)
{
    return static_cast<quint8>(bytes.at(index));
}

// "0x5A", as the camera's fault notes write a byte.
QString hexByte(quint8 value);

// A reply as the camera sends it: header, payload, zero fill and the 8-bit
// sum of every byte before the last one in the last byte. A payload too long
// to end before the checksum byte is cut, so the reply stays well-formed.
QByteArray buildReply(quint8 group, quint8 code, const QByteArray &payload);

// Why a write to the control interface is not a request the camera accepts,
// or an empty string when it is one.
QString requestFault(const QByteArray &frame);

// Why a write to the data interface is not an upgrade data report, judged
// on its shape alone.
QString dataReportShapeFault(const QByteArray &report);

} // namespace frames
} // namespace sim
