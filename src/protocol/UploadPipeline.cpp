#include "UploadPipeline.h"

#include <algorithm>

namespace upload {

int uploadPercent(qint64 sent, qint64 total)
{
    if (total <= 0)
        return 100;
    return static_cast<int>(std::clamp<qint64>(sent * 100 / total, 0, 100));
}

int prepareDataReport(frame::DataReportBuffer &report, const quint8 *chunk, int length,
                      quint8 &checksum)
{
    const int n = frame::fillDataReport(report, chunk, length);
    checksum = frame::byteSum(report.data() + frame::kDataOffset, static_cast<std::size_t>(n), checksum);
    return n;
}

} // namespace upload
