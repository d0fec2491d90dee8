#include "WindowHarness.h"

QVector<QPair<int, int>> WindowHarness::requests() const
{
    QVector<QPair<int, int>> list;
    for (const QByteArray &frame : camera.controlRequests())
        list.append(qMakePair(int(quint8(frame.at(3))), int(quint8(frame.at(4)))));
    return list;
}

QByteArray cameraReply(quint8 group, quint8 code, const QByteArray &payload, int size)
{
    QByteArray report = commandFrame(group, code, payload, size);
    report[size - 1] = char(byteSumOf(report.left(size - 1)));
    return report;
}
