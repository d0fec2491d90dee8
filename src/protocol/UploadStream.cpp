#include "UploadStream.h"

#include "HidIo.h"
#include "UploadPipeline.h"

#include <QIODevice>

#include <algorithm>

namespace upload {

ImageReader::ImageReader(QIODevice &image, int reportsPerRead)
    : m_image(image)
    , m_buffer(std::size_t(std::max(reportsPerRead, 1)) * frame::kMaxDataBytes)
{
}

std::pair<const quint8 *, int> ImageReader::next(qint64 remaining)
{
    if (m_handedOut == m_filled) {
        m_filled = 0;
        m_handedOut = 0;
        const qint64 got = m_image.read(reinterpret_cast<char *>(m_buffer.data()),
                                        std::min<qint64>(qint64(m_buffer.size()), remaining));
        if (got <= 0)
            return {nullptr, 0};
        m_filled = got;
    }
    const quint8 *chunk = m_buffer.data() + m_handedOut;
    const int n = int(std::min<qint64>(frame::kMaxDataBytes, m_filled - m_handedOut));
    m_handedOut += n;
    return {chunk, n};
}

Step streamStep(ImageReader &image, hid_device *data, qint64 size, qint64 &sent, quint8 &checksum,
                int &readFailures)
{
    const qint64 remaining = size - sent;
    if (remaining <= 0)
        return Step::Complete;
    const auto [chunk, length] = image.next(remaining);
    if (length == 0)
        return ++readFailures >= kImageReadAttempts ? Step::Unreadable : Step::ReadFailed;
    readFailures = 0;

    frame::DataReportBuffer report;
    const int n = prepareDataReport(report, chunk, length, checksum);
    if (!hidio::sendDataReport(data, report))
        return Step::WriteFailed;
    sent += n;
    return Step::Sent;
}

} // namespace upload
