#pragma once

// The arithmetic of a firmware upload: the percentage, and one data report
// cut from the image while the byte sum is kept.

#include "protocol/CommandFrame.h"

#include <QtGlobal>

namespace upload {

// Whole percent of the image sent, truncated and kept within 0..100. An
// image of no bytes counts as fully sent.
int uploadPercent(qint64 sent, qint64 total);

// Fills `report` with the first bytes of `chunk` (at most 510), adds them to
// `checksum` and returns how many went in.
int prepareDataReport(frame::DataReportBuffer &report, const quint8 *chunk, int length,
                      quint8 &checksum);

} // namespace upload
