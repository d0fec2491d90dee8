#pragma once

// The parts of a firmware upload that need no window: the percentage, and
// one step of cutting the image into data reports while keeping the byte sum.

#include "protocol/CommandFrame.h"

#include <QtGlobal>

namespace upload {

// Reads of the image tried, one per tick, before the upload is abandoned.
constexpr int kImageReadAttempts = 3;

// Whole percent of the image sent, truncated and kept within 0..100. An
// image of no bytes counts as fully sent.
int uploadPercent(qint64 sent, qint64 total);

// Fills `report` with the first bytes of `chunk` (at most 510), adds them to
// `checksum` and returns how many went in.
int prepareDataReport(frame::DataReportBuffer &report, const quint8 *chunk, int length,
                      quint8 &checksum);

} // namespace upload
