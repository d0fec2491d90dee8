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
    QByteArray report(size, '\0');
    report[0] = char(0x11);
    report[1] = char(0x22);
    report[2] = char(0x33);
    report[3] = char(group);
    report[4] = char(code);
    report[5] = char(payload.size());
    for (int i = 0; i < payload.size() && 7 + i < size - 1; ++i)
        report[7 + i] = payload.at(i);
    report[size - 1] = char(byteSumOf(report.left(size - 1)));
    return report;
}

quint8 byteSumOf(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (char byte : bytes)
        sum = quint8(sum + quint8(byte));
    return sum;
}
