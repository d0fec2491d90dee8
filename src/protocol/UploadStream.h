#pragma once

// The upload's stream, one data report at a time: the next part of the image
// read, cut into a report with the byte sum kept, and sent with the data
// report's retries. The window takes these steps from its upload timer,
// many to a tick; the command-line tool takes them one after the other.

#include "protocol/CommandFrame.h"

#include <QtGlobal>

#include <hidapi/hidapi.h>

#include <utility>
#include <vector>

class QIODevice;

namespace upload {

// Reads of the image that may fail in a row before the upload is abandoned.
constexpr int kImageReadAttempts = 3;

// The image as the stream reads it: `reportsPerRead` data reports' worth at
// a time (never past the announced size), handed out one report's worth per
// step. Reading many at once costs less per byte; a read that brings less
// than asked is handed out as it is.
class ImageReader
{
public:
    explicit ImageReader(QIODevice &image, int reportsPerRead = 1);

    // At most one report's worth of the image, from what the last read
    // brought or else from a new one of up to `remaining` bytes; empty
    // (nullptr, 0) when that read gave nothing.
    std::pair<const quint8 *, int> next(qint64 remaining);

private:
    QIODevice &m_image;
    std::vector<quint8> m_buffer;
    qint64 m_filled = 0;     // bytes the last read brought
    qint64 m_handedOut = 0;  // of those, handed out
};

// What one step of the stream did.
enum class Step {
    Sent,         // a data report went out; `sent` and `checksum` count its bytes
    Complete,     // `sent` had reached the announced size: nothing was read or sent
    ReadFailed,   // the image gave no bytes; counted in `readFailures`, worth another try
    Unreadable,   // the kImageReadAttempts-th failed read in a row: the upload cannot go on
    WriteFailed,  // the data interface did not take the report after its tries
};

// One data report of an upload of `size` bytes (the size the device was
// told; never more, even if the file has grown since): its bytes taken from
// `image`, added to `checksum` and sent to `data`. Bytes to send clear
// `readFailures`.
Step streamStep(ImageReader &image, hid_device *data, qint64 size, qint64 &sent, quint8 &checksum,
                int &readFailures);

} // namespace upload
