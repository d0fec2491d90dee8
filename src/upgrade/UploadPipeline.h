#pragma once

// The parts of a firmware upload that need no window: the size rules, the
// header test, the percentage, and one step of cutting the image into data
// reports while keeping the byte sum.

#include "device/CommandFrame.h"

#include <QByteArray>
#include <QtGlobal>

namespace upload {

// Tries per data report before the upload is abandoned.
constexpr int kWriteAttempts = 3;
// Pause after each failed attempt, in milliseconds.
constexpr unsigned long kRetryPauseMs = 5;
// Reads of the image tried, one per tick, before the upload is abandoned.
constexpr int kImageReadAttempts = 3;
// Bytes of the image looked at by the header test.
constexpr int kHeaderTestBytes = 16;
// The size field of UPGRADE_START is 32 bits wide.
constexpr qint64 kMaxImageSize = 0xFFFFFFFFLL;

// Whether an image of this many bytes can be announced: not empty, and
// small enough for the 32-bit size field.
bool imageSizeAcceptable(qint64 size);

// The header test passes when any byte read from the image's start is non-zero.
bool hasNonZeroHeader(const QByteArray &head);

// Whole percent of the image sent, truncated and kept within 0..100. An
// image of no bytes counts as fully sent.
int uploadPercent(qint64 sent, qint64 total);

// Fills `report` with the first bytes of `chunk` (at most 510), adds them to
// `checksum` and returns how many went in.
int prepareDataReport(frame::DataReportBuffer &report, const quint8 *chunk, int length,
                      quint8 &checksum);

} // namespace upload
