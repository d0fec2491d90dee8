#include "HidIo.h"

#include <QDebug>
#include <QThread>

namespace hidio {

void closeHandle(hid_device *&handle)
{
    if (!handle)
        return;
    hid_close(handle);
    handle = nullptr;
}

int sendRequest(hid_device *control, frame::Command command, const quint8 *payload, int length)
{
    return writeRequest(control, frame::buildRequest(command, payload, length));
}

int writeRequest(hid_device *control, const frame::CommandBuffer &request)
{
    if (!control)
        return -1;
    return hid_write(control, request.data(), request.size());
}

bool sendDataReport(hid_device *data, const frame::DataReportBuffer &report)
{
    if (!data)
        return false;
    for (int attempt = 0;;) {
        const int result = hid_write(data, report.data(), report.size());
        if (result == frame::kDataReportSize)
            return true;
        qDebug() << "hid_write attempt" << attempt << "returned" << result << ", retrying...";
        ++attempt;
        QThread::msleep(static_cast<unsigned long>(kRetryPause.count()));
        if (attempt >= kWriteAttempts) {
            qDebug() << "hid write error to 0xFF01 after retries: " << result;
            return false;
        }
    }
}

} // namespace hidio
